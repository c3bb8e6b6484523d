// What one store write costs, against what the same update costs done the
// cheapest way possible (a 12-byte pwrite into a file already open, and
// for context the system calls a set makes, done bare), the
// atomic-replace way (a temporary file renamed over the value) and the Qt
// way (QSettings in INI format, setValue + sync). Every baseline writes the
// same names and the same values as the store call it stands next to: one
// value for writeSetting, two for writePosition.
//
//     bench_store [--benchmark_... flags]
//
// The key folder is a fresh temporary one, on the same file system as the
// temporary folder (TMPDIR): the user's own settings are never touched.
#include "settings/settings.h"
#include "settings/valueformat.h"

#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QDir>
#include <QSettings>
#include <QString>
#include <QTemporaryDir>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char *const names[] = { "start_x", "start_y" };

QTemporaryDir *scratch = nullptr;

std::string keyFolder()
{
    return QDir(scratch->path()).filePath(QStringLiteral("screen-capture-rvk")).toStdString();
}

// The values change on every call, as they do during a drag.
int32_t valueFor(int64_t i, int n)
{
    return int32_t((i * 7 + n * 500) % 1900);
}

// Runs write(n, record) for the first count names on every iteration, with
// that iteration's records; returns the number of iterations.
template<typename Write>
int64_t writeRecords(benchmark::State &state, int count, Write write)
{
    int64_t i = 0;
    for (auto _ : state) {
        ++i;
        for (int n = 0; n < count; ++n) {
            char record[valueRecordSize];
            formatValue(valueFor(i, n), record);
            if (!write(n, record)) {
                state.SkipWithError("a baseline write failed");
                return i;
            }
        }
    }
    return i;
}

// Afterwards the store must hold what was written last, or the figure
// measured a failing path.
void checkStored(benchmark::State &state, int count, int64_t last)
{
    for (int n = 0; n < count; ++n) {
        int32_t stored = 0;
        if (readSetting(names[n], &stored, -1) != 0 || stored != valueFor(last, n)) {
            state.SkipWithError("the store does not hold the last value written");
            return;
        }
    }
}

void BM_writeSetting(benchmark::State &state)
{
    int64_t i = 0;
    for (auto _ : state) {
        ++i;
        if (writeSetting("start_x", valueFor(i, 0)) != 0) {
            state.SkipWithError("writeSetting failed");
            break;
        }
    }
    checkStored(state, 1, i);
}

void BM_writePosition(benchmark::State &state)
{
    int64_t i = 0;
    for (auto _ : state) {
        ++i;
        if (writePosition(valueFor(i, 0), valueFor(i, 1)) != 0) {
            state.SkipWithError("writePosition failed");
            break;
        }
    }
    checkStored(state, 2, i);
}

// (a) The floor: the record written into files that stay open.
void BM_pwriteOpenFile(benchmark::State &state)
{
    const int count = int(state.range(0));
    int fds[2] = { -1, -1 };
    for (int n = 0; n < count; ++n)
        fds[n] = open((keyFolder() + '/' + names[n]).c_str(), O_WRONLY | O_CLOEXEC);
    const int64_t i = writeRecords(state, count, [&](int n, const char *record) {
        return pwrite(fds[n], record, valueRecordSize, 0) == ssize_t(valueRecordSize);
    });
    for (int n = 0; n < count; ++n)
        close(fds[n]);
    checkStored(state, count, i);
}

// Context for (a): the system calls a set makes, bare. The folder is opened
// and locked, the value opened, checked, written and closed, every time.
void BM_storeSyscalls(benchmark::State &state)
{
    const int count = int(state.range(0));
    const std::string folder = keyFolder();
    const int64_t i = writeRecords(state, count, [&](int n, const char *record) {
        const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        bool ok = dir >= 0 && flock(dir, LOCK_EX | LOCK_NB) == 0;
        const int fd = ok ? openat(dir, names[n], O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC) : -1;
        struct stat st;
        ok = fd >= 0 && fstat(fd, &st) == 0 && pwrite(fd, record, valueRecordSize, 0) == ssize_t(valueRecordSize);
        if (fd >= 0)
            close(fd);
        if (dir >= 0)
            close(dir);
        return ok;
    });
    checkStored(state, count, i);
}

// (b) Atomic replace: a new file renamed over each value, the folder open.
void BM_renameReplace(benchmark::State &state)
{
    const int count = int(state.range(0));
    const int dir = open(keyFolder().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const int64_t i = writeRecords(state, count, [&](int n, const char *record) {
        char temporary[64];
        std::snprintf(temporary, sizeof temporary, ".%s.%ld", names[n], long(getpid()));
        const int fd = openat(dir, temporary, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        const bool ok = fd >= 0 && write(fd, record, valueRecordSize) == ssize_t(valueRecordSize);
        if (fd >= 0)
            close(fd);
        return ok && renameat(dir, temporary, dir, names[n]) == 0;
    });
    close(dir);
    checkStored(state, count, i);
}

// (c) What a Qt program would do: an INI file, setValue and sync.
void BM_qsettingsSync(benchmark::State &state)
{
    const int count = int(state.range(0));
    QSettings settings(QDir(scratch->path()).filePath(QStringLiteral("qsettings.ini")),
                       QSettings::IniFormat);
    int64_t i = 0;
    for (auto _ : state) {
        ++i;
        for (int n = 0; n < count; ++n)
            settings.setValue(QString::fromLatin1(names[n]), valueFor(i, n));
        settings.sync();
        if (settings.status() != QSettings::NoError)
            state.SkipWithError("QSettings::sync failed");
    }
    QSettings check(settings.fileName(), QSettings::IniFormat);
    for (int n = 0; n < count; ++n)
        if (check.value(QString::fromLatin1(names[n])).toInt() != valueFor(i, n))
            state.SkipWithError("QSettings does not hold the last value written");
}

BENCHMARK(BM_writeSetting);
BENCHMARK(BM_writePosition);
BENCHMARK(BM_pwriteOpenFile)->Arg(1)->Arg(2);
BENCHMARK(BM_storeSyscalls)->Arg(1)->Arg(2);
BENCHMARK(BM_renameReplace)->Arg(1)->Arg(2);
BENCHMARK(BM_qsettingsSync)->Arg(1)->Arg(2);

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir dir;
    if (!dir.isValid() || !QDir(dir.path()).mkpath(QStringLiteral("screen-capture-rvk"))) {
        std::fprintf(stderr, "bench_store: cannot make a temporary key folder\n");
        return 1;
    }
    scratch = &dir;
    qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit());
    // Existing records, so that every set is the in-place update a drag makes.
    if (writePosition(0, 0) != 0) {
        std::fprintf(stderr, "bench_store: cannot write to %s\n", keyFolder().c_str());
        return 1;
    }

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 2;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
