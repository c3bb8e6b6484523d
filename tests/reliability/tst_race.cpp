// Several pickers started at the same instant, as a double click on a slow
// desktop or an autostart racing the user would start them: one stays.
#include "testkey.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// Starts the picker in each of count processes, all held at a gate that
// opens at once.
std::vector<pid_t> startTogether(int count)
{
    int gate[2];
    EXPECT_EQ(pipe(gate), 0);
    std::vector<pid_t> pids;
    for (int i = 0; i < count; ++i) {
        const pid_t pid = fork();
        if (pid == 0) {
            close(gate[1]);
            char c;
            if (read(gate[0], &c, 1) != 0)
                _exit(126);
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            execl(ZORVI, ZORVI, static_cast<char *>(nullptr));
            _exit(127);
        }
        pids.push_back(pid);
    }
    close(gate[0]);
    close(gate[1]);
    return pids;
}

// Waits until all but one have exited, or the timeout passes; the exit
// codes of those that ended, and the pids of those still running.
void waitForAllButOne(std::vector<pid_t> *running, std::vector<int> *codes,
                      std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (running->size() > 1 && std::chrono::steady_clock::now() < deadline) {
        for (auto it = running->begin(); it != running->end();) {
            int status = 0;
            if (waitpid(*it, &status, WNOHANG) == *it) {
                codes->push_back(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
                it = running->erase(it);
            } else {
                ++it;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

} // namespace

TEST(RacingStarts, ExactlyOneKeepsRunningAndAKilledOneBlocksNothing)
{
    TestKey key;
    key.create();
    char runtime[] = "/tmp/zorvi-race-XXXXXX";
    ASSERT_NE(mkdtemp(runtime), nullptr);
    setenv("XDG_RUNTIME_DIR", runtime, 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);

    const int trials = 30;
    int winners = 0;
    for (int trial = 0; trial < trials; ++trial) {
        const int count = 3 + trial % 2;
        std::vector<pid_t> running = startTogether(count);
        std::vector<int> codes;
        waitForAllButOne(&running, &codes, std::chrono::seconds(10));
        // The one that won must still be there a while after the others.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        waitForAllButOne(&running, &codes, std::chrono::milliseconds(0));
        EXPECT_EQ(codes, std::vector<int>(std::size_t(count - 1), 1)) << "trial " << trial;
        for (pid_t pid : running) {
            EXPECT_NE(waitpid(pid, nullptr, WNOHANG), pid) << "trial " << trial;
            // Killed, not ended: the next trial starts after a crash.
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        winners += running.size() == 1 && codes.size() == std::size_t(count - 1);
    }
    EXPECT_EQ(winners, trials);
    std::printf("racing starts: %d trials of 3 or 4 pickers, %d with exactly one running\n",
                trials, winners);
    EXPECT_EQ(std::system((std::string("rm -rf ") + runtime).c_str()), 0);
}
