// Which monitor's stream a take records and which of its pixels, without a
// compositor: two monitors side by side, the right one scaled by 2 unless a
// row says otherwise.
#include "record/streamcrop.h"

#include <gtest/gtest.h>

#include <climits>
#include <tuple>

namespace {

using Rect = std::tuple<int32_t, int32_t, int32_t, int32_t>;
const Rect none { 0, 0, 0, 0 };

// Logical place and size, then the stream's pixels.
const StreamMonitor left { { 0, 0, 1920, 1080 }, 1920, 1080 };
const StreamMonitor right { { 1920, 0, 1280, 720 }, 2560, 1440 };
const StreamMonitor rightUnscaled { { 1920, 0, 1280, 720 }, 1280, 720 };
const StreamMonitor noFrameYet { { 1920, 0, 1280, 720 }, 0, 0 };
const StreamMonitor leftOfPrimary { { -1280, 0, 1280, 720 }, 1920, 1080 }; // 1.5
const StreamMonitor quarter { { 0, 0, 2048, 1152 }, 2560, 1440 }; // 1.25

struct MonitorRow
{
    const char *name;
    std::vector<StreamMonitor> monitors;
    int current; // -1: the take starts
    Region area;
    int chosen;
};

class Monitor : public testing::TestWithParam<MonitorRow>
{
};

TEST_P(Monitor, IsTheStartOnesUntilTheFrameLeavesIt)
{
    const MonitorRow &row = GetParam();
    EXPECT_EQ(row.current < 0 ? startMonitor(row.monitors, row.area)
                              : followMonitor(row.monitors, row.current, row.area),
              row.chosen);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(StreamCrop, Monitor, testing::Values(
    MonitorRow { "starts_where_it_is", { left, right }, -1, { 2000, 100, 596, 334 }, 1 },
    MonitorRow { "starts_on_the_larger_part", { left, right }, -1, { 1800, 100, 596, 334 }, 1 },
    MonitorRow { "a_tie_starts_on_the_first", { left, rightUnscaled }, -1, { 1620, 100, 600, 334 }, 0 },
    MonitorRow { "off_every_monitor", { left, right }, -1, { 3200, 100, 596, 334 }, -1 },
    MonitorRow { "one_without_a_frame_is_none", { left, noFrameYet }, -1, { 2000, 100, 596, 334 }, -1 },
    MonitorRow { "straddling_stays_on_its_start", { left, rightUnscaled }, 0, { 1900, 100, 596, 334 }, 0 },
    MonitorRow { "wholly_on_the_next_switches", { left, rightUnscaled }, 0, { 1920, 100, 596, 334 }, 1 },
    MonitorRow { "never_to_another_scale", { left, right }, 0, { 2000, 100, 596, 334 }, 0 },
    MonitorRow { "off_every_monitor_stays", { left, rightUnscaled }, 1, { 4000, 100, 596, 334 }, 1 },
    MonitorRow { "far_off_without_overflow", { left, right }, -1, { INT_MAX - 10, INT_MIN, INT_MAX, INT_MAX }, -1 }),
    [](const testing::TestParamInfo<MonitorRow> &info) { return std::string(info.param.name); });
// clang-format on

struct CropRow
{
    const char *name;
    StreamMonitor monitor;
    Region area; // logical, as the store has it
    Rect frame; // the take's frame: width, height; none when nothing is left
    Rect fromStream; // x, y, width, height in the stream's pixels
    Rect intoFrame; // x, y, width, height in the frame
};

class Crop : public testing::TestWithParam<CropRow>
{
};

TEST_P(Crop, ScalesAndIsBlackOffTheMonitor)
{
    const CropRow &row = GetParam();
    int32_t width = 0, height = 0;
    const bool sized
        = streamFrameSize(row.monitor, row.area.width, row.area.height, &width, &height);
    EXPECT_EQ(sized ? Rect(0, 0, width, height) : none, row.frame);
    ScreenPart part;
    const bool seen
        = sized && streamPart(row.monitor, row.area.x, row.area.y, width, height, &part);
    EXPECT_EQ(seen ? Rect(part.screenX, part.screenY, part.width, part.height) : none,
              row.fromStream);
    EXPECT_EQ(seen ? Rect(part.areaX, part.areaY, part.width, part.height) : none, row.intoFrame);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(StreamCrop, Crop, testing::Values(
    CropRow { "unscaled", left, { 102, 123, 596, 334 }, { 0, 0, 596, 334 }, { 102, 123, 596, 334 }, { 0, 0, 596, 334 } },
    CropRow { "scaled_by_2", right, { 2000, 10, 596, 334 }, { 0, 0, 1192, 668 }, { 160, 20, 1192, 668 }, { 0, 0, 1192, 668 } },
    CropRow { "scaled_by_1_5_rounds_to_even", leftOfPrimary, { -1279, 1, 597, 335 }, { 0, 0, 896, 502 }, { 2, 2, 896, 502 }, { 0, 0, 896, 502 } },
    CropRow { "scaled_by_1_25", quarter, { 100, 100, 600, 338 }, { 0, 0, 750, 422 }, { 125, 125, 750, 422 }, { 0, 0, 750, 422 } },
    CropRow { "straddling_the_right_edge", left, { 1800, 100, 596, 334 }, { 0, 0, 596, 334 }, { 1800, 100, 120, 334 }, { 0, 0, 120, 334 } },
    CropRow { "straddling_the_left_edge_scaled", right, { 1800, 100, 596, 334 }, { 0, 0, 1192, 668 }, { 0, 200, 952, 668 }, { 240, 0, 952, 668 } },
    CropRow { "left_of_the_origin_halves_up", leftOfPrimary, { -1, -3, 400, 224 }, { 0, 0, 600, 336 }, { 1919, 0, 1, 332 }, { 0, 4, 1, 332 } },
    CropRow { "wholly_on_another_monitor", right, { 100, 100, 596, 334 }, { 0, 0, 1192, 668 }, none, none },
    CropRow { "one_pixel_wide_is_nothing", left, { 0, 0, 1, 100 }, none, none, none },
    CropRow { "no_frame_yet_is_nothing", noFrameYet, { 2000, 10, 596, 334 }, none, none, none },
    CropRow { "far_off_without_overflow", right, { INT_MAX, INT_MIN, 596, 334 }, { 0, 0, 1192, 668 }, none, none }),
    [](const testing::TestParamInfo<CropRow> &info) { return std::string(info.param.name); });
// clang-format on

} // namespace
