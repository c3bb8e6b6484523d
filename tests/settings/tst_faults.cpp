// The store under the faults it must survive: a writer killed at random
// instants, and an outside reader racing the writes. Each prints its figures.
#include "settings/region.h"
#include "settings/settings.h"
#include "settings/valueformat.h"
#include "tests/common/scratchkey.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

pid_t forked(const std::function<void()> &child)
{
    const pid_t pid = fork();
    if (pid == 0) {
        child();
        _exit(0);
    }
    return pid;
}

} // namespace

TEST(Faults, AWriterKilledAtAnyInstantLeavesEveryValueWhole)
{
    ScratchKey key;
    const char *const names[] = {"start_x", "capture_height", "open_cam"};
    for (const char *name : names)
        writeSetting(name, 0);
    const unsigned seed = std::random_device()();
    std::mt19937 random(seed);
    const int kills = 1000;
    int broken = 0;
    for (int32_t round = 1; round <= kills; ++round) {
        // Counting up from a base of its own, in place, and through a rename
        // where a second name on the record forbids writing in place.
        int started[2];
        ASSERT_EQ(pipe(started), 0);
        const pid_t writer = forked([&] {
            for (int32_t n = round * 1000000;; ++n) {
                writeSize(n, n);
                writePosition(n, n);
                link(key.file("open_cam").c_str(), key.file(".held").c_str());
                writeSetting("open_cam", n);
                unlink(key.file(".held").c_str());
                if (n == round * 1000000)
                    close(started[1]);
            }
        });
        // Once the writer has written a round, a kill on a loaded machine
        // still lands among its writes, not before them.
        close(started[1]);
        pollfd firstRound = {started[0], POLLIN, 0};
        const bool wrote = poll(&firstRound, 1, 10000) == 1;
        close(started[0]);
        if (wrote)
            std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
        kill(writer, SIGKILL);
        waitpid(writer, nullptr, 0);
        ASSERT_TRUE(wrote) << "no round written in 10 s";
        unlink(key.file(".held").c_str());
        for (const char *name : names) {
            // A whole record, a DWORD, and one that was written, before or now.
            const std::string text = key.text(name);
            int32_t value = -1;
            const bool whole = text.size() == valueRecordSize && readSetting(name, &value, -1) == 0
                && value >= round * 1000000 && value < (round + 1) * 1000000 && text.back() == '\n';
            broken += !whole;
            EXPECT_TRUE(whole) << name << " after kill " << round << " (seed " << seed << ")";
        }
    }
    int temporaries = 0;
    for (const std::string &name : key.names())
        temporaries += name[0] == '.';
    std::printf("crash loop: %d kills among the writes: %d values not whole, "
                "%d temporaries left (seed %u)\n", kills, broken, temporaries, seed);
    EXPECT_EQ(key.names().size(), 5u + temporaries) << "only the five values and temporaries";
}

TEST(Faults, AnOutsideReaderNeverSeesHalfAPair)
{
    ScratchKey key;
    const int32_t rounds = 25000; // two pairs each: 100,000 values
    const pid_t writer = forked([] {
        for (int32_t n = 1; n <= rounds; ++n) {
            writeSize(n, n + 7);
            writePosition(n, -n);
        }
    });
    long reads = 0, mixed = 0;
    const auto start = std::chrono::steady_clock::now();
    for (bool done = false; !done;) {
        done = waitpid(writer, nullptr, WNOHANG) == writer;
        Region region;
        if (readRegion(&region)) {
            ++reads;
            mixed += region.height != region.width + 7 || region.y != -region.x;
        }
    }
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    std::printf("outside reader: %ld regions read in %.2f s while 100000 values were written: "
                "%ld mixed pairs\n", reads, seconds.count(), mixed);
    EXPECT_EQ(mixed, 0);
    EXPECT_GT(reads, 1000) << "the reader must have raced the writer";
}
