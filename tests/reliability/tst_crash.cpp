// The store under the faults it must survive: a writer killed at random
// instants, and an outside reader polling while the picker writes. Each test
// prints its figures; run the binary to see them.
#include "settings.h"
#include "testkey.h"
#include "valueformat.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <random>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

const char *const allNames[] = {"start_x", "start_y", "capture_width", "capture_height",
                                "capture_border", "show_capture", "open_cam", "screen_scale"};

// The value as a lock-free outside reader finds it: a regular file holding
// one whole record, or nothing.
std::optional<int32_t> recordAt(const std::string &path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    struct stat st;
    char buffer[valueRecordSize + 1];
    ssize_t length = -1;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        length = pread(fd, buffer, sizeof buffer, 0);
    close(fd);
    int32_t value = 0;
    if (length != ssize_t(valueRecordSize) || buffer[valueRecordSize - 1] != '\n'
        || !parseValue(buffer, valueRecordSize, &value))
        return std::nullopt;
    return value;
}

// Writes every value, counting up from base, as fast as it can until it is
// killed: both pairs and two singles in place, and two singles that a second
// name on their record forces through the replace path.
[[noreturn]] void writeForever(const std::string &key, int32_t base)
{
    const std::string held = key + "/.held";
    for (int32_t n = base;; ++n) {
        writeSize(n, n);
        writePosition(n, n);
        writeSetting("capture_border", n);
        writeSetting("screen_scale", n);
        for (const char *name : {"show_capture", "open_cam"}) {
            link((key + "/" + name).c_str(), held.c_str());
            writeSetting(name, n);
            unlink(held.c_str());
        }
    }
}

class Faults : public ::testing::Test
{
protected:
    void SetUp() override
    {
        key.create();
        for (const char *name : allNames)
            ASSERT_EQ(writeSetting(name, 0), 0);
    }
    std::string path(const char *name) const { return key.path() + "/" + name; }

    TestKey key;
};

} // namespace

TEST_F(Faults, AKilledWriterLeavesEveryValueWhole)
{
    const int kills = 1000;
    const unsigned seed = std::random_device()();
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> delayMicroseconds(0, 3000);
    std::map<std::string, int32_t> before;
    for (const char *name : allNames)
        before[name] = 0;

    int unreadable = 0;
    int notWritten = 0;
    int roundsThatWrote = 0;
    for (int round = 1; round <= kills; ++round) {
        const int32_t base = round * 1000000;
        const pid_t writer = fork();
        ASSERT_GE(writer, 0);
        if (writer == 0)
            writeForever(key.path(), base);
        std::this_thread::sleep_for(std::chrono::microseconds(delayMicroseconds(random)));
        kill(writer, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(writer, &status, 0), writer);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself";

        bool wrote = false;
        for (const char *name : allNames) {
            const std::optional<int32_t> record = recordAt(path(name));
            int32_t value = -7;
            const bool read = readSetting(name, &value, -7) == 0;
            if (!record || !read || *record != value) {
                ++unreadable;
                ADD_FAILURE() << name << " after kill " << round << " (seed " << seed << ")";
                continue;
            }
            if (value != before[name] && (value < base || value >= base + 1000000)) {
                ++notWritten;
                ADD_FAILURE() << name << " = " << value << ", never written (seed " << seed << ")";
            }
            wrote = wrote || value != before[name];
            before[name] = value;
        }
        roundsThatWrote += wrote;
        unlink((key.path() + "/.held").c_str());
    }

    int temporaries = 0;
    for (const std::string &name : key.names())
        temporaries += name[0] == '.';
    EXPECT_EQ(key.names().size(), std::size(allNames) + std::size_t(temporaries));
    std::printf("crash loop: %d kills (%d mid-write), %d values unreadable, %d never written, "
                "%d temporaries left, seed %u\n",
                kills, roundsThatWrote, unreadable, notWritten, temporaries, seed);
    EXPECT_GT(roundsThatWrote, kills / 2) << "most kills must land while the writer writes";
}

TEST_F(Faults, AnOutsideReaderNeverSeesATornValue)
{
    const int32_t pairWrites = 50000; // two pairs each round: 100,000 values
    const pid_t writer = fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
        for (int32_t n = 1; n <= pairWrites / 2; ++n) {
            writeSize(n, n);
            writePosition(n, -n);
        }
        _exit(0);
    }

    long reads = 0;
    long torn = 0;
    long mixedPairs = 0;
    long lockFreeReads = 0;
    long lockFreeBroken = 0;
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        const bool writerDone = waitpid(writer, nullptr, WNOHANG) == writer;
        int32_t width = 0, height = 0, x = 0, y = 0;
        if (readSettingPair("capture_width", &width, "capture_height", &height) != 0
            || readSettingPair("start_x", &x, "start_y", &y) != 0)
            ++torn;
        else if (height != width || y != -x)
            ++mixedPairs;
        for (const char *name : {"capture_border", "show_capture", "open_cam", "screen_scale"}) {
            int32_t value = -1;
            torn += readSetting(name, &value, -1) != 0 || value != 0;
        }
        reads += 8;
        // What a reader that ignores the lock sees of a value being written.
        for (const char *name : {"capture_width", "start_x"}) {
            ++lockFreeReads;
            lockFreeBroken += !recordAt(path(name));
        }
        if (writerDone)
            break;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    EXPECT_EQ(torn, 0);
    EXPECT_EQ(mixedPairs, 0);
    EXPECT_EQ(key.dword("capture_width"), uint32_t(pairWrites / 2));
    EXPECT_EQ(key.dword("start_y"), uint32_t(-(pairWrites / 2)));
    std::printf("outside reader: %ld reads of locked values in %.2f s (%.0f/s) while %d values "
                "were written: %ld unreadable, %ld mixed pairs; lock-free: %ld of %ld broken\n",
                reads, seconds, reads / seconds, pairWrites * 2, torn, mixedPairs, lockFreeBroken,
                lockFreeReads);
}
