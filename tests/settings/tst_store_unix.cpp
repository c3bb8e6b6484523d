// The key folder's own promises: the 12-byte record, written in place, and
// whatever else stands at a value's name never followed, waited for or kept.
#include "settings/settings.h"
#include "settings/valueformat.h"
#include "tests/common/scratchkey.h"

#include <gtest/gtest.h>

#include <climits>
#include <fcntl.h>
#include <filesystem>
#include <future>
#include <sys/file.h>
#include <sys/stat.h>

TEST(ValueFormat, ReadsDecimalDwordsInWhiteSpaceAndWritesTwelveBytes)
{
    const std::pair<std::string, std::optional<int32_t>> cases[] = {
        {"        600\n", 600}, {"600", 600}, {" \t\v\f-5 \r\n", -5}, {"+7", 7}, {"-0", 0},
        {"2147483648", INT_MIN}, {"4294967295", -1}, {"-2147483648", INT_MIN},
        {std::string(30, '0') + "42", 42}, {"4294967296", {}}, {"-2147483649", {}},
        {"99999999999999999999", {}}, {" \n", {}}, {"-", {}}, {"--1", {}}, {"1 2", {}},
        {"0x10", {}}, {"600\x0e", {}}, {std::string(32, ' ') + "1", {}}, // 33 bytes
    };
    for (const auto &[text, expected] : cases) {
        int32_t value = 31337;
        EXPECT_EQ(parseValue(text.data(), text.size(), &value), expected.has_value()) << text;
        EXPECT_EQ(value, expected.value_or(31337)) << text;
    }
    char record[valueRecordSize];
    for (const auto &[value, text] : {std::pair<int32_t, std::string>{600, "        600\n"},
                                      {-1, "         -1\n"}, {INT_MIN, "-2147483648\n"}}) {
        formatValue(value, record);
        EXPECT_EQ(std::string(record, valueRecordSize), text);
    }
}

TEST(KeyFolder, WritesRecordsPrivateAndInPlaceFirstOfAPairFirst)
{
    ScratchKey key;
    struct stat before, after;
    ASSERT_EQ(writeSetting("start_x", 1) | stat(key.file("start_x").c_str(), &before), 0);
    ASSERT_EQ(writeSetting("start_x", -2147483647) | stat(key.file("start_x").c_str(), &after), 0);
    EXPECT_EQ(before.st_mode & 07777, 0600u);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(key.text("start_x"), "-2147483647\n");
    key.changes();
    ASSERT_EQ(writeSize(960, 540) | writePosition(3, 4), 0);
    EXPECT_EQ(key.changes(), (std::vector<std::string>{"capture_width", "capture_height",
                                                       "start_x", "start_y"}));
}

TEST(KeyFolder, WhateverStandsAtAValuesNameIsNeitherFollowedNorWaitedFor)
{
    const struct
    {
        const char *make; // run in the key folder, beside a record "outside" it
        std::optional<int32_t> read;
        bool settable;
    } rows[] = {
        {"ln -s ../outside open_cam", {}, true},
        {"ln ../outside open_cam", 123, true},
        {"ln -s open_cam open_cam", {}, true},
        {"mkfifo open_cam", {}, true},
        {"mkdir open_cam", {}, false},
        {"truncate -s 1G open_cam", {}, true},
        {"printf '600\\n' >open_cam", 600, true},
        {"printf '%20s\\n' 600 >open_cam", 600, true},
    };
    ScratchKey key;
    for (const auto &row : rows) {
        SCOPED_TRACE(row.make);
        key.put("../outside", "        123\n");
        ASSERT_EQ(std::system(("cd " + key.path + " && " + row.make).c_str()), 0);
        // A reader on a FIFO would let a write-only open of it succeed.
        struct stat st;
        lstat(key.file("open_cam").c_str(), &st);
        const int reader = S_ISFIFO(st.st_mode) ? open(key.file("open_cam").c_str(), O_RDONLY | O_NONBLOCK) : -1;
        int32_t found = 7;
        EXPECT_EQ(readSetting("open_cam", &found, 7), row.read ? 0 : -1);
        EXPECT_EQ(found, row.read.value_or(7));
        EXPECT_EQ(writeSetting("open_cam", 480), row.settable ? 0 : -1);
        char buffer[16];
        EXPECT_LE(read(reader, buffer, sizeof buffer), 0) << "written into the FIFO";
        close(reader);
        EXPECT_EQ(key.text("../outside"), "        123\n") << "written through";
        EXPECT_EQ(key.names(), std::vector<std::string>{"open_cam"}) << "a temporary was left";
        EXPECT_TRUE(!row.settable
                    || (lstat(key.file("open_cam").c_str(), &st) == 0 && S_ISREG(st.st_mode)
                        && st.st_nlink == 1 && (st.st_mode & 0777) == 0600
                        && key.text("open_cam") == "        480\n"));
        std::filesystem::remove_all(key.file("open_cam"));
    }
}

TEST(KeyFolder, ARelativeOrEmptyConfigHomeCountsAsUnset)
{
    ScratchKey key(false);
    std::filesystem::create_directories(key.root + "/home/.config/screen-capture-rvk");
    setenv("HOME", (key.root + "/home").c_str(), 1);
    for (const char *config : {"relative", ""}) {
        setenv("XDG_CONFIG_HOME", config, 1);
        EXPECT_EQ(writeSetting("open_cam", 1), 0) << '"' << config << '"';
    }
}

TEST(KeyFolder, APeerThatNeverReleasesTheLockDelaysTheStoreButNeverStopsIt)
{
    ScratchKey key;
    const int peer = open(key.path.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_EQ(flock(peer, LOCK_EX), 0);
    auto writing = std::async(std::launch::async, [] { return writeSize(600, 338); });
    const bool finished = writing.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    close(peer); // lets a blocked write go on, so that the test ends either way
    EXPECT_TRUE(finished);
    EXPECT_EQ(writing.get(), 0);
    EXPECT_EQ(key.text("capture_height"), "        338\n");
}
