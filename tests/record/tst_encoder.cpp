// How a take's encoder ended, told truly and within a time limit, with a
// child of the test's own for the encoder.
#include "record/encoder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>

#include <sys/wait.h>
#include <unistd.h>

namespace {

enum class Child { Succeeds, Fails, Crashes, Hangs, NotOurs };

struct FinishRow
{
    const char *name;
    Child child;
    const char *told; // what the message begins with; "" for a take saved
};

class Finish : public testing::TestWithParam<FinishRow>
{
};

TEST_P(Finish, SaysHowTheEncoderEnded)
{
    const FinishRow &row = GetParam();
    Take take;
    take.encoder = row.child == Child::NotOurs ? getppid() : fork();
    ASSERT_GE(take.encoder, 0);
    if (take.encoder == 0) {
        if (row.child == Child::Hangs)
            pause();
        if (row.child == Child::Crashes)
            raise(SIGKILL);
        _exit(row.child == Child::Fails ? 3 : 0);
    }
    alarm(10); // a wait with no limit ends the test instead of hanging it
    const auto start = std::chrono::steady_clock::now();
    const std::string told = finishTake(&take, 300);
    alarm(0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(told.substr(0, std::string(row.told).size()), row.told) << told;
    EXPECT_EQ(told.empty(), *row.told == '\0') << told;
    // Nothing of ours left behind: the hung one was ended and reaped.
    if (row.child != Child::NotOurs) {
        EXPECT_EQ(waitpid(take.encoder, nullptr, WNOHANG), -1);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Encoder, Finish,
    testing::Values(FinishRow { "finished", Child::Succeeds, "" },
                    FinishRow { "failed", Child::Fails, "ffmpeg failed (exit status 3)" },
                    FinishRow { "killed", Child::Crashes, "ffmpeg was killed" },
                    FinishRow { "hung", Child::Hangs,
                                "ffmpeg did not finish the file within 0.3 s" },
                    FinishRow { "not_ours", Child::NotOurs, "cannot tell whether ffmpeg" }),
    [](const testing::TestParamInfo<FinishRow> &info) { return std::string(info.param.name); });

} // namespace
