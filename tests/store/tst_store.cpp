// What the store promises on every platform. The same file runs against the
// key folder natively and against the registry under Wine.
#include "settings.h"
#include "testkey.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

namespace {

const char *const allNames[] = {"start_x", "start_y", "capture_width", "capture_height",
                                "show_capture", "open_cam", "capture_border", "screen_scale"};

class Store : public ::testing::Test
{
protected:
    TestKey key;
};

} // namespace

TEST_F(Store, MissingKeyKeepsDefaultsAndCreatesNothing)
{
    for (const char *name : allNames) {
        SCOPED_TRACE(name);
        int32_t value = 12345;
        EXPECT_EQ(readSetting(name, &value, 77), -1);
        EXPECT_EQ(value, 77);
    }
    int32_t x = 5, y = 5, w = 5, h = 5;
    EXPECT_EQ(readPosition(&x, &y), 0);
    EXPECT_EQ(readSize(&w, &h), 0);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(h, 0);

    EXPECT_EQ(writeSetting("open_cam", 1), -1);
    EXPECT_EQ(writePosition(10, 20), -1);
    EXPECT_EQ(writeSize(600, 338), -1);
    EXPECT_FALSE(key.exists());
}

TEST_F(Store, MissingValueKeepsDefault)
{
    key.create();
    int32_t value = 0;
    EXPECT_EQ(readSetting("capture_border", &value, 42), -1);
    EXPECT_EQ(value, 42);
}

TEST_F(Store, RoundTripsEveryInt32)
{
    key.create();
    const int32_t values[] = {0, 1, -1, 600, -338, INT_MAX, INT_MIN};
    for (int32_t written : values) {
        SCOPED_TRACE(written);
        ASSERT_EQ(writeSetting("start_x", written), 0);
        int32_t read = 99;
        EXPECT_EQ(readSetting("start_x", &read, 99), 0);
        EXPECT_EQ(read, written);
        EXPECT_EQ(key.dword("start_x"), uint32_t(written));
    }
}

TEST_F(Store, ReadsTheUnsignedSpellingAsTheSameBits)
{
    key.create();
    key.putDword("start_y", 0xFFFFFFFFu);
    key.putDword("start_x", 0x80000000u);
    int32_t y = 0, x = 0;
    EXPECT_EQ(readSetting("start_y", &y, 0), 0);
    EXPECT_EQ(readSetting("start_x", &x, 0), 0);
    EXPECT_EQ(y, -1);
    EXPECT_EQ(x, INT_MIN);
}

TEST_F(Store, ValueOfAnotherTypeKeepsDefault)
{
    key.create();
    key.putText("show_capture", "abc");
    int32_t value = 0;
    EXPECT_EQ(readSetting("show_capture", &value, 7), -1);
    EXPECT_EQ(value, 7);
    // A set replaces it with a DWORD.
    EXPECT_EQ(writeSetting("show_capture", 1), 0);
    EXPECT_EQ(key.dword("show_capture"), 1u);
}

TEST_F(Store, PairsUseTheirOwnNames)
{
    key.create();
    ASSERT_EQ(writePosition(-10, 20), 0);
    ASSERT_EQ(writeSize(600, 338), 0);
    EXPECT_EQ(key.dword("start_x"), uint32_t(-10));
    EXPECT_EQ(key.dword("start_y"), 20u);
    EXPECT_EQ(key.dword("capture_width"), 600u);
    EXPECT_EQ(key.dword("capture_height"), 338u);

    int32_t x = 0, y = 0, w = 0, h = 0;
    EXPECT_EQ(readPosition(&x, &y), 0);
    EXPECT_EQ(readSize(&w, &h), 0);
    EXPECT_EQ(x, -10);
    EXPECT_EQ(y, 20);
    EXPECT_EQ(w, 600);
    EXPECT_EQ(h, 338);

    std::vector<std::string> names = key.names();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"capture_height", "capture_width", "start_x", "start_y"}));
}

TEST_F(Store, PairReadsReturnZeroWhateverTheSingleReadsSay)
{
    key.create();
    key.putDword("start_x", 5);
    key.putText("start_y", "zzzz");
    int32_t x = 0, y = 9;
    EXPECT_EQ(readPosition(&x, &y), 0);
    EXPECT_EQ(x, 5);
    EXPECT_EQ(y, 0);
}
