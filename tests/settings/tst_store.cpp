// What the store promises on every platform: the same tests run against the
// key folder natively and against the registry under Wine.
#include "settings/keywatch.h"
#include "settings/settings.h"
#include "tests/common/scratchkey.h"

#include <gtest/gtest.h>

#include <climits>
#include <tuple>

#ifdef _WIN32
#include <windows.h>
#else
#include <filesystem>

#include <poll.h>
#endif

namespace {

// Whether the watch wakes within ms, as a follower's wait would.
bool wakes(const KeyWatch &watch, int ms)
{
#ifdef _WIN32
    return WaitForSingleObject(watch.event(), DWORD(ms)) == WAIT_OBJECT_0;
#else
    pollfd fd = { watch.descriptor(), POLLIN, 0 };
    return poll(&fd, 1, ms) == 1;
#endif
}

void removeKey(const ScratchKey &key)
{
#ifdef _WIN32
    (void)key;
    RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\screen-capture-rvk");
#else
    std::filesystem::remove_all(key.path);
#endif
}

} // namespace

TEST(Store, AnAbsentKeyKeepsEveryDefaultAndIsNeverCreated)
{
    ScratchKey key(false);
    int32_t value = 12345, x = 5, y = 5, w = 5, h = 5;
    EXPECT_EQ(readSetting("capture_border", &value, 77), -1);
    EXPECT_EQ(readPosition(&x, &y) | readSize(&w, &h), 0);
    EXPECT_EQ(std::make_tuple(value, x, y, w, h), std::make_tuple(77, 0, 0, 0, 0));
    EXPECT_EQ(writeSetting("open_cam", 1), -1);
    EXPECT_EQ(writePosition(10, 20), -1);
    EXPECT_FALSE(key.exists());
}

TEST(Store, KeepsEveryInt32UnderItsOwnName)
{
    ScratchKey key;
    for (int32_t v : { 0, -1, 600, INT_MAX, INT_MIN }) {
        ASSERT_EQ(writePosition(v, ~v) | writeSize(v ^ 5, 338), 0);
        int32_t x = 0, y = 0, w = 0, h = 0;
        EXPECT_EQ(readPosition(&x, &y) | readSize(&w, &h), 0);
        EXPECT_EQ(std::make_tuple(x, y, w, h), std::make_tuple(v, ~v, v ^ 5, 338));
    }
#ifdef _WIN32
    key.put("open_cam", "\xff\xff\xff\xff", REG_DWORD);
#else
    key.put("open_cam", "4294967295\n"); // the unsigned spelling of the same bits
#endif
    int32_t value = 0;
    EXPECT_EQ(readSetting("open_cam", &value, 0), 0);
    EXPECT_EQ(value, -1);
}

TEST(Store, AValueOfAnotherTypeKeepsTheDefaultUntilASetReplacesIt)
{
    const std::pair<unsigned long, std::string> rows[] = {
#ifdef _WIN32
        { REG_SZ, std::string("a\0b\0", 4) },
        { REG_BINARY, std::string("\5\0\0\0", 4) },
        { REG_DWORD_BIG_ENDIAN, std::string("\0\0\0\5", 4) },
        { REG_DWORD, std::string("\5\0", 2) },
        { REG_DWORD, "" },
        { REG_QWORD, std::string("\5\0\0\0\0\0\0\0", 8) },
#else
        { 0, "" },
        { 0, "abc" },
        { 0, "12abc" },
        { 0, "1.5" },
        { 0, "4294967296" },
        { 0, "-2147483649" },
        { 0, std::string(40, ' ') + "1" },
        { 0, std::string("1\0", 2) },
#endif
    };
    ScratchKey key;
    for (const auto &[type, bytes] : rows) {
        SCOPED_TRACE(bytes);
        key.put("capture_border", bytes, type);
        int32_t value = 12345, x = 5;
        EXPECT_EQ(readSetting("capture_border", &value, 77), -1);
        EXPECT_EQ(value, 77);
        EXPECT_EQ(readSettingPair("start_x", &x, "capture_border", &value), -1);
        EXPECT_EQ(x + value, 82) << "a pair that is not whole sets neither";
        ASSERT_EQ(writeSetting("capture_border", 0x01020304), 0);
        EXPECT_EQ(readSetting("capture_border", &value, 77), 0);
        EXPECT_EQ(value, 0x01020304);
    }
}

TEST(Store, ASetThatFailsIsReportedAndAPairTriesBoth)
{
    ScratchKey key;
    const std::string refused(16384, 'n'); // longer than any name either backend takes
    EXPECT_EQ(writeSetting(refused.c_str(), 1), -1);
    EXPECT_EQ(writeSettingPair(refused.c_str(), 8, "start_y", 9), -1);
    EXPECT_EQ(writeSettingPair("start_x", 8, refused.c_str(), 9), -1);
    int32_t x = 0, y = 0;
    EXPECT_EQ(readSettingPair("start_x", &x, "start_y", &y), 0);
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(8, 9));
#ifndef _WIN32
    EXPECT_EQ(writeSetting(".start_x", 1), -1) << "names beginning with '.' are no values";
#endif
}

TEST(Store, AWatchWakesForEveryWriteAndEndsWithTheKey)
{
    ScratchKey key;
    KeyWatch watch;
    ASSERT_TRUE(watch.watching());
    EXPECT_FALSE(wakes(watch, 100));
    EXPECT_EQ(watch.drain(), KeyWatch::Change::None);
    // The second write wakes it too: the watch renews itself.
    for (int32_t x : { 10, 20 }) {
        ASSERT_EQ(writePosition(x, 5), 0);
        ASSERT_TRUE(wakes(watch, 5000)) << x;
        EXPECT_EQ(watch.drain(), KeyWatch::Change::ValueTouched) << x;
    }
    removeKey(key);
    ASSERT_TRUE(wakes(watch, 5000));
    EXPECT_EQ(watch.drain(), KeyWatch::Change::KeyGone);
    EXPECT_FALSE(watch.watching());
}
