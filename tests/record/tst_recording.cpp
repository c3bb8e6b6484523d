// What record takes of a region and where it puts it, without an X server.
#include "record/recording.h"
#include "record/sound.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <tuple>
#include <vector>

namespace {

using Rect = std::tuple<int32_t, int32_t, int32_t, int32_t>;
const Rect none { 0, 0, 0, 0 };

struct AreaRow
{
    const char *name;
    Region inner;
    Rect area; // x, y, width, height; none when nothing is recorded
    Rect fromScreen; // the screen part's x, y, width, height on a 1920 x 1080 screen
    Rect intoArea; // where it lands in the frame: x, y, width, height
};

class Area : public testing::TestWithParam<AreaRow>
{
};

TEST_P(Area, IsEvenAndBlackOffTheScreen)
{
    const AreaRow &row = GetParam();
    Region area;
    ScreenPart part;
    const bool recorded = evenArea(row.inner, &area);
    EXPECT_EQ(recorded ? Rect(area.x, area.y, area.width, area.height) : none, row.area);
    const bool seen = recorded && screenPart(area, 1920, 1080, &part);
    EXPECT_EQ(seen ? Rect(part.screenX, part.screenY, part.width, part.height) : none,
              row.fromScreen);
    EXPECT_EQ(seen ? Rect(part.areaX, part.areaY, part.width, part.height) : none, row.intoArea);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Recording, Area, testing::Values(
    // Rounding up would take in a column and a row of the frame.
    AreaRow { "odd_rounds_down", { 10, 20, 597, 335 }, { 10, 20, 596, 334 }, { 10, 20, 596, 334 }, { 0, 0, 596, 334 } },
    AreaRow { "smallest", { 0, 0, 3, 2 }, { 0, 0, 2, 2 }, { 0, 0, 2, 2 }, { 0, 0, 2, 2 } },
    AreaRow { "one_pixel_wide_is_nothing", { 0, 0, 1, 100 }, none, none, none },
    AreaRow { "left_and_top_off", { -100, -50, 300, 200 }, { -100, -50, 300, 200 }, { 0, 0, 200, 150 }, { 100, 50, 200, 150 } },
    AreaRow { "right_and_bottom_off", { 1800, 1000, 200, 100 }, { 1800, 1000, 200, 100 }, { 1800, 1000, 120, 80 }, { 0, 0, 120, 80 } },
    AreaRow { "touching_the_edge_is_off", { 1920, 0, 100, 100 }, { 1920, 0, 100, 100 }, none, none },
    AreaRow { "far_off_without_overflow", { INT_MAX - 10, INT_MIN, INT_MAX, INT_MAX },
              { INT_MAX - 10, INT_MIN, INT_MAX - 1, INT_MAX - 1 }, none, none },
    AreaRow { "larger_than_the_screen", { -10, -10, 1940, 1100 }, { -10, -10, 1940, 1100 }, { 0, 0, 1920, 1080 }, { 10, 10, 1920, 1080 } }),
    [](const testing::TestParamInfo<AreaRow> &info) { return std::string(info.param.name); });
// clang-format on

TEST(Recording, FileNamesFromTheClockNeverRepeat)
{
    std::tm local {};
    local.tm_year = 126, local.tm_mon = 0, local.tm_mday = 5;
    local.tm_hour = 7, local.tm_min = 8, local.tm_sec = 9;
    EXPECT_EQ(takeFileName(local, 1), "zorvi-2026-01-05_07-08-09.mkv");
    EXPECT_EQ(takeFileName(local, 2), "zorvi-2026-01-05_07-08-09-2.mkv");
}

TEST(Recording, VideosFolderFromUserDirs)
{
    const std::pair<const char *, const char *> rows[] = {
        { "XDG_VIDEOS_DIR=\"$HOME/Videos\"\n", "/home/u/Videos" },
        { "# XDG_VIDEOS_DIR=\"/x\"\nXDG_MUSIC_DIR=\"$HOME/M\"\n  XDG_VIDEOS_DIR=\"/srv/v w\"\n",
          "/srv/v w" },
        { "XDG_VIDEOS_DIR=\"$HOMEX/v\"\n", "" }, // relative once $HOME is not replaced
        { "XDG_VIDEOS_DIR=\"\n", "" },
    };
    for (const auto &[text, folder] : rows)
        EXPECT_EQ(videosFolderFrom(text, "/home/u"), folder) << text;
}

struct PointerRow
{
    const char *name;
    int32_t x, y; // where the pointer stands in a 4 x 3 frame
    uint32_t pixel; // the 2 x 2 image's every pixel, premultiplied ARGB; its hot spot (1, 1)
    std::vector<uint8_t> blue; // the frame's blue bytes after, row by row
};

class Pointer : public testing::TestWithParam<PointerRow>
{
};

TEST_P(Pointer, IsDrawnOverTheFrameAndClipped)
{
    const PointerRow &row = GetParam();
    // Every pixel of the frame 0x64 (100) in each colour.
    std::vector<uint8_t> frame(4 * 3 * 4, 100);
    const uint32_t image[4] = { row.pixel, row.pixel, row.pixel, row.pixel };
    drawPointer(frame.data(), 4, 3, { image, 2, 2, 1, 1 }, row.x, row.y);
    std::vector<uint8_t> blue;
    for (std::size_t i = 0; i < frame.size(); i += 4)
        blue.push_back(frame[i]);
    EXPECT_EQ(blue, row.blue);
    // Green and red are drawn alike; the fourth byte is never touched.
    for (std::size_t i = 0; i < frame.size(); i += 4)
        EXPECT_TRUE(frame[i + 1] == frame[i] && frame[i + 2] == frame[i] && frame[i + 3] == 100)
            << i;
}

const uint8_t _ = 100;
// clang-format off
INSTANTIATE_TEST_SUITE_P(Recording, Pointer, testing::Values(
    PointerRow { "opaque_white", 2, 2, 0xffffffff, { _, _, _, _,  _, 255, 255, _,  _, 255, 255, _ } },
    PointerRow { "transparent", 2, 2, 0x00000000, { _, _, _, _,  _, _, _, _,  _, _, _, _ } },
    // Half covered by black: half of what lies below shows.
    PointerRow { "half_black", 1, 1, 0x80000000, { 50, 50, _, _,  50, 50, _, _,  _, _, _, _ } },
    // Premultiplied: 0x40 of colour at alpha 0x80 adds to half the frame.
    PointerRow { "half_grey", 3, 2, 0x80404040, { _, _, _, _,  _, _, 114, 114,  _, _, 114, 114 } },
    PointerRow { "over_the_top_left", 0, 0, 0xff000000, { 0, _, _, _,  _, _, _, _,  _, _, _, _ } },
    PointerRow { "over_the_bottom_right", 4, 3, 0xff000000, { _, _, _, _,  _, _, _, _,  _, _, _, 0 } },
    PointerRow { "off_the_frame", 5, 1, 0xff000000, { _, _, _, _,  _, _, _, _,  _, _, _, _ } },
    PointerRow { "far_off_without_overflow", INT_MAX, INT_MIN, 0xff000000, { _, _, _, _,  _, _, _, _,  _, _, _, _ } }),
    [](const testing::TestParamInfo<PointerRow> &info) { return std::string(info.param.name); });
// clang-format on

// The --audio choices, and nothing else.
TEST(Recording, SoundChoices)
{
    const std::pair<const char *, Sound> rows[] = {
        { "none", Sound::None },
        { "desktop", Sound::Desktop },
        { "mic", Sound::Microphone },
        { "both", Sound::Both },
    };
    for (const auto &[text, expected] : rows) {
        Sound sound = Sound::None;
        EXPECT_TRUE(parseSound(text, &sound) && sound == expected) << text;
    }
    Sound sound = Sound::Desktop;
    EXPECT_FALSE(parseSound("Desktop", &sound));
}

} // namespace
