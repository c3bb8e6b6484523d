// A reader of the region against a writer process that never pauses: the
// locked pair reads must never mix two writes, while two plain reads do.
#include "clitest.h"
#include "region.h"
#include "settings.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>

namespace {

bool isWhole(const Region &region)
{
    return region.height == region.width + 7 && region.y == -region.x;
}

struct Tally
{
    long reads = 0;
    long mixed = 0;

    void count(const Region &region)
    {
        ++reads;
        mixed += isWhole(region) ? 0 : 1;
    }
};

Region readUnlocked()
{
    Region region;
    readSetting("capture_width", &region.width, 0);
    readSetting("capture_height", &region.height, 0);
    readSetting("start_x", &region.x, 0);
    readSetting("start_y", &region.y, 0);
    return region;
}

} // namespace

TEST(RegionUnderWrites, PairsNeverMix)
{
    ScratchHome home;
    ASSERT_EQ(runCli({ "init" }).exitCode, 0);
    Child writer(PAIRWRITER, {});
    ASSERT_EQ(writer.readLine(2000), "ready");

    Tally locked, unlocked, cli;
    int32_t firstWidth = 0;
    int32_t lastWidth = 0;
    for (int i = 0; i < 20000; ++i) {
        Region region;
        ASSERT_TRUE(readRegion(&region));
        locked.count(region);
        if (i == 0)
            firstWidth = region.width;
        lastWidth = region.width;
        unlocked.count(readUnlocked());
    }
    for (int i = 0; i < 300; ++i) {
        const CliResult result = runCli({ "region" });
        Region region;
        ASSERT_EQ(result.exitCode, 0) << result.err;
        ASSERT_EQ(std::sscanf(result.out.c_str(), "%d %d %d %d", &region.x, &region.y,
                              &region.width, &region.height),
                  4);
        cli.count(region);
    }
    EXPECT_EQ(writer.finish(SIGTERM), 128 + SIGTERM); // still writing at the end

    std::printf("writer rounds (two pair writes each) during the in-process reads: %d\n"
                "mixed: locked %ld of %ld, zorvi-settings region %ld of %ld, "
                "two plain reads per pair %ld of %ld\n",
                lastWidth - firstWidth, locked.mixed, locked.reads, cli.mixed, cli.reads,
                unlocked.mixed, unlocked.reads);
    // Without a live writer no mixing could show.
    EXPECT_GT(lastWidth - firstWidth, 1000);
    EXPECT_EQ(locked.mixed, 0);
    EXPECT_EQ(cli.mixed, 0);
}
