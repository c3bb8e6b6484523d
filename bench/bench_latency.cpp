// How long after a mouse move another process sees the new position: a
// reader process waits on the key folder with inotify and reads the
// position pair (under the shared lock, as zorvi-settings does) whenever a
// value changes, stamping the moment it sees a new pair. Baseline: the same
// reader, the pair written by two bare 12-byte pwrites into files already
// open, without the lock. Samples of both alternate. Prints figures, fails
// nothing.
//
//     QT_QPA_PLATFORM=offscreen bench_latency [samples]
#include "settings/settings.h"
#include "settings/valueformat.h"
#include "window/scrm.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QWindow>
#include <QtTest/QTest>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Sighting
{
    int32_t x;
    int32_t y;
    int64_t nanos;
};

int64_t now()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// The outside program: one line of output per new pair, here a record.
[[noreturn]] void reader(const std::string &folder, int out)
{
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    const int events = inotify_init1(IN_CLOEXEC);
    if (events < 0 || inotify_add_watch(events, folder.c_str(), IN_MODIFY | IN_MOVED_TO) < 0)
        _exit(1);
    int32_t x = 0;
    int32_t y = 0;
    readSettingPair("start_x", &x, "start_y", &y);
    const Sighting ready { x, y, 0 };
    if (write(out, &ready, sizeof ready) != ssize_t(sizeof ready))
        _exit(1);
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        if (read(events, buffer, sizeof buffer) <= 0)
            _exit(1);
        int32_t newX = 0;
        int32_t newY = 0;
        if (readSettingPair("start_x", &newX, "start_y", &newY) != 0
            || (newX == x && newY == y))
            continue;
        x = newX;
        y = newY;
        const Sighting seen { x, y, now() };
        if (write(out, &seen, sizeof seen) != ssize_t(sizeof seen))
            _exit(1);
    }
}

// Nanoseconds from start until the reader reports (x, y); -1 on a timeout.
int64_t waitFor(int in, int32_t x, int32_t y, int64_t start)
{
    for (;;) {
        pollfd fd = { in, POLLIN, 0 };
        if (poll(&fd, 1, 1000) <= 0)
            return -1;
        Sighting seen;
        if (read(in, &seen, sizeof seen) != ssize_t(sizeof seen))
            return -1;
        if (seen.x == x && seen.y == y)
            return seen.nanos - start;
    }
}

double percentile(std::vector<int64_t> values, double p)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    const std::size_t index = std::min(values.size() - 1, std::size_t(p * double(values.size())));
    return double(values[index]) / 1000.0;
}

} // namespace

int main(int argc, char *argv[])
{
    const int samples = argc > 1 ? std::max(1, atoi(argv[1])) : 2000;

    QTemporaryDir dir;
    const QString folder = QDir(dir.path()).filePath(QStringLiteral("screen-capture-rvk"));
    QDir().mkpath(folder);
    qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit());
    writePosition(0, 0);

    // The reader is forked before Qt starts any thread.
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return 1;
    const pid_t child = fork();
    if (child < 0)
        return 1;
    if (child == 0) {
        close(pipeFds[0]);
        reader(folder.toStdString(), pipeFds[1]);
    }
    close(pipeFds[1]);
    const int in = pipeFds[0];
    Sighting ready;
    if (read(in, &ready, sizeof ready) != ssize_t(sizeof ready)) {
        std::fprintf(stderr, "bench_latency: the reader did not start\n");
        return 1;
    }

    QApplication app(argc, argv);
    SCRM picker;
    picker.show();
    if (!QTest::qWaitForWindowExposed(&picker))
        return 1;
    QWindow *handle = picker.windowHandle();
    QTest::mousePress(handle, Qt::LeftButton, Qt::NoModifier, QPoint(400, 10));
    QCoreApplication::processEvents();

    const std::string base = folder.toStdString() + '/';
    const int xFd = open((base + "start_x").c_str(), O_WRONLY | O_CLOEXEC);
    const int yFd = open((base + "start_y").c_str(), O_WRONLY | O_CLOEXEC);

    std::vector<int64_t> pickerLatency;
    std::vector<int64_t> bareLatency;
    int lost = 0;
    for (int i = 1; i <= samples; ++i) {
        // A drag step of one pixel: the grabbed point stays under the pointer.
        const QPoint pointer = QPoint(400, 10) + (i % 2 ? QPoint(1, 1) : QPoint(-1, -1));
        int64_t start = now();
        QTest::mouseMove(handle, pointer);
        int32_t x = 0;
        int32_t y = 0;
        readPosition(&x, &y);
        const int64_t picked = waitFor(in, x, y, start);
        QCoreApplication::processEvents();
        usleep(1000);

        char bx[valueRecordSize];
        char by[valueRecordSize];
        formatValue(10000 + i, bx);
        formatValue(20000 + i, by);
        const auto size = ssize_t(valueRecordSize);
        start = now();
        const bool written = pwrite(xFd, bx, size, 0) == size && pwrite(yFd, by, size, 0) == size;
        const int64_t bare = written ? waitFor(in, 10000 + i, 20000 + i, start) : -1;
        usleep(1000);

        if (picked < 0 || bare < 0) {
            ++lost;
            continue;
        }
        pickerLatency.push_back(picked);
        bareLatency.push_back(bare);
    }
    QTest::mouseRelease(handle, Qt::LeftButton, Qt::NoModifier, QPoint(400, 10));
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);

    std::printf("latency picker_median_us=%.1f picker_p99_us=%.1f bare_median_us=%.1f "
                "bare_p99_us=%.1f samples=%zu lost=%d\n",
                percentile(pickerLatency, 0.5), percentile(pickerLatency, 0.99),
                percentile(bareLatency, 0.5), percentile(bareLatency, 0.99),
                pickerLatency.size(), lost);
    return pickerLatency.empty() ? 1 : 0;
}
