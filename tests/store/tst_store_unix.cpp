// The key folder's own promises: the 12-byte record, in-place updates, and
// values in odd states (links, FIFOs, folders, junk) that never hang, never
// get written through, and never count as DWORDs.
#include "readonly.h"
#include "settings.h"
#include "testkey.h"
#include "valueformat.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string contentOf(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct stat statOf(const std::string &path)
{
    struct stat st = {};
    EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
    return st;
}

class UnixStore : public ::testing::Test
{
protected:
    void SetUp() override { key.create(); }
    std::string value(const char *name) const { return key.path() + "/" + name; }

    TestKey key;
};

} // namespace

TEST(ValueFormat, ParsesWhatItShould)
{
    struct Case {
        const char *text;
        bool ok;
        int32_t value;
    };
    const Case cases[] = {
        {"        600\n", true, 600},
        {"600\n", true, 600},
        {"600", true, 600},
        {" \t-5 \r\n", true, -5},
        {"+7", true, 7},
        {"-0", true, 0},
        {"2147483647", true, INT_MAX},
        {"-2147483648", true, INT_MIN},
        {"2147483648", true, INT_MIN},
        {"4294967295", true, -1},
        {"000000000000000000000000000042", true, 42},
        {"4294967296", false, 0},
        {"-2147483649", false, 0},
        {"99999999999999999999", false, 0},
        {"", false, 0},
        {"   \n", false, 0},
        {"-", false, 0},
        {"12abc", false, 0},
        {"1 2", false, 0},
        {"0x10", false, 0},
        {"--1", false, 0},
        {"                                1", false, 0}, // 33 bytes
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string("\"") + c.text + "\"");
        int32_t value = 31337;
        EXPECT_EQ(parseValue(c.text, std::strlen(c.text), &value), c.ok);
        EXPECT_EQ(value, c.ok ? c.value : 31337);
    }
    const char withNul[] = {'1', '\0', '2'};
    int32_t value = 0;
    EXPECT_FALSE(parseValue(withNul, sizeof withNul, &value));
}

TEST(ValueFormat, RecordsAreTwelveBytesRightAligned)
{
    const std::pair<int32_t, const char *> cases[] = {
        {600, "        600\n"},
        {0, "          0\n"},
        {-1, "         -1\n"},
        {INT_MAX, " 2147483647\n"},
        {INT_MIN, "-2147483648\n"},
    };
    for (const auto &c : cases) {
        char record[valueRecordSize];
        formatValue(c.first, record);
        EXPECT_EQ(std::string(record, valueRecordSize), c.second);
    }
}

TEST_F(UnixStore, WritesARecordOfMode0600AndLeavesNoTemporaries)
{
    ASSERT_EQ(writeSetting("capture_width", 600), 0);
    EXPECT_EQ(contentOf(value("capture_width")), "        600\n");
    EXPECT_EQ(statOf(value("capture_width")).st_mode & 07777, 0600u);
    EXPECT_EQ(key.names(), std::vector<std::string>{"capture_width"});
}

TEST_F(UnixStore, UpdatesARecordInPlace)
{
    ASSERT_EQ(writeSetting("start_x", 1), 0);
    const ino_t before = statOf(value("start_x")).st_ino;
    ASSERT_EQ(writeSetting("start_x", -2147483647), 0);
    EXPECT_EQ(statOf(value("start_x")).st_ino, before);
    EXPECT_EQ(contentOf(value("start_x")), "-2147483647\n");
}

TEST_F(UnixStore, RewritesAHandWrittenValueAsARecord)
{
    key.putText("capture_width", "600\n");
    int32_t width = 0;
    EXPECT_EQ(readSetting("capture_width", &width, 0), 0);
    EXPECT_EQ(width, 600);
    ASSERT_EQ(writeSetting("capture_width", 480), 0);
    EXPECT_EQ(contentOf(value("capture_width")), "        480\n");
    EXPECT_EQ(key.names(), std::vector<std::string>{"capture_width"});
}

TEST_F(UnixStore, RejectsMalformedContent)
{
    const std::string cases[] = {"", "abc", "12abc", "4294967296", "-2147483649", "1.5",
                                 std::string(40, ' ') + "1", std::string("1\0", 2)};
    for (const std::string &text : cases) {
        SCOPED_TRACE("\"" + text + "\"");
        key.putText("open_cam", text);
        int32_t v = 0;
        EXPECT_EQ(readSetting("open_cam", &v, 3), -1);
        EXPECT_EQ(v, 3);
    }
}

TEST_F(UnixStore, NeverWritesThroughALink)
{
    const std::string target = key.path() + "/../outside";
    std::ofstream(target) << "        123\n";
    ASSERT_EQ(symlink(target.c_str(), value("start_x").c_str()), 0);
    ASSERT_EQ(link(target.c_str(), value("start_y").c_str()), 0);

    int32_t x = 0;
    EXPECT_EQ(readSetting("start_x", &x, 9), -1) << "a symbolic link is not a DWORD";
    EXPECT_EQ(x, 9);

    ASSERT_EQ(symlink("capture_width", value("capture_width").c_str()), 0);
    EXPECT_EQ(readSetting("capture_width", &x, 9), -1) << "a link to itself never resolves";

    ASSERT_EQ(writePosition(5, 6), 0);
    ASSERT_EQ(writeSetting("capture_width", 7), 0);
    EXPECT_EQ(key.dword("capture_width"), 7u);
    EXPECT_EQ(contentOf(target), "        123\n");
    EXPECT_TRUE(S_ISREG(statOf(value("start_x")).st_mode));
    EXPECT_EQ(statOf(value("start_y")).st_nlink, 1u);
    EXPECT_EQ(key.dword("start_x"), 5u);
    EXPECT_EQ(key.dword("start_y"), 6u);
}

TEST_F(UnixStore, NeitherHangsOnNorKeepsAFifo)
{
    ASSERT_EQ(mkfifo(value("show_capture").c_str(), 0600), 0);
    const auto start = std::chrono::steady_clock::now();
    int32_t v = 0;
    EXPECT_EQ(readSetting("show_capture", &v, 4), -1);
    EXPECT_EQ(v, 4);

    // With a reader on the FIFO a write-only open would succeed: the set
    // must still not write into it.
    const int reader = open(value("show_capture").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    EXPECT_EQ(writeSetting("show_capture", 1), 0);
    char buffer[16];
    EXPECT_LE(read(reader, buffer, sizeof buffer), 0);
    close(reader);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_TRUE(S_ISREG(statOf(value("show_capture")).st_mode));
    EXPECT_EQ(key.dword("show_capture"), 1u);
}

TEST_F(UnixStore, AFolderInTheWayFailsTheSet)
{
    ASSERT_EQ(mkdir(value("capture_height").c_str(), 0700), 0);
    int32_t v = 0;
    EXPECT_EQ(readSetting("capture_height", &v, 8), -1);
    EXPECT_EQ(v, 8);
    EXPECT_EQ(writeSetting("capture_height", 1), -1);
    EXPECT_EQ(writeSize(600, 338), -1);
    EXPECT_EQ(key.dword("capture_width"), 600u) << "the first of a pair is still set";
    EXPECT_TRUE(S_ISDIR(statOf(value("capture_height")).st_mode));
    EXPECT_EQ(key.names().size(), 2u) << "no temporary left behind";
}

TEST_F(UnixStore, AHugeValueFileIsNotReadWhole)
{
    const int fd = open(value("capture_border").c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, off_t(1) << 30), 0);
    close(fd);
    int32_t v = 0;
    EXPECT_EQ(readSetting("capture_border", &v, 2), -1);
    EXPECT_EQ(v, 2);
}

TEST_F(UnixStore, WritesTheFirstOfAPairFirst)
{
    ASSERT_EQ(writeSize(1, 1), 0); // both exist, so both are updated in place
    const int watch = inotify_init1(IN_NONBLOCK);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, key.path().c_str(), IN_MODIFY | IN_MOVED_TO), 0);
    ASSERT_EQ(writeSize(960, 540), 0);
    ASSERT_EQ(writePosition(3, 4), 0); // created by rename

    alignas(inotify_event) char buffer[4096];
    const ssize_t length = read(watch, buffer, sizeof buffer);
    close(watch);
    std::vector<std::string> order;
    for (ssize_t offset = 0; offset < length;) {
        const auto *event = reinterpret_cast<const inotify_event *>(buffer + offset);
        if (event->name[0] != '.') // temporaries are no values
            order.push_back(event->name);
        offset += ssize_t(sizeof(inotify_event) + event->len);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"capture_width", "capture_height", "start_x",
                                               "start_y"}));
}

TEST_F(UnixStore, RelativeConfigHomeCountsAsUnset)
{
    const std::string home = key.path() + "/../home";
    ASSERT_EQ(mkdir(home.c_str(), 0700), 0);
    ASSERT_EQ(mkdir((home + "/.config").c_str(), 0700), 0);
    ASSERT_EQ(mkdir((home + "/.config/screen-capture-rvk").c_str(), 0700), 0);
    const std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("HOME", home.c_str(), 1);
    for (const char *config : {"relative/dir", ""}) {
        SCOPED_TRACE(config);
        setenv("XDG_CONFIG_HOME", config, 1);
        ASSERT_EQ(writeSetting("open_cam", 1), 0);
        EXPECT_EQ(contentOf(home + "/.config/screen-capture-rvk/open_cam"), "          1\n");
    }
    setenv("HOME", oldHome.c_str(), 1);
}

TEST_F(UnixStore, AKeyThatCannotBeWrittenStillReads)
{
    ASSERT_EQ(writeSetting("start_x", 5), 0);
    if (!setReadOnly(value("start_x"), true) || !setReadOnly(key.path(), true))
        GTEST_SKIP() << "cannot make the key read-only here";
    int32_t x = 0;
    EXPECT_EQ(readSetting("start_x", &x, 9), 0);
    EXPECT_EQ(x, 5);
    EXPECT_EQ(writeSetting("start_x", 6), -1);
    EXPECT_EQ(writeSetting("start_y", 6), -1) << "a value that is not there cannot be created";
    EXPECT_EQ(writePosition(1, 2), -1);
    ASSERT_TRUE(setReadOnly(key.path(), false));
    ASSERT_TRUE(setReadOnly(value("start_x"), false));
    EXPECT_EQ(key.dword("start_x"), 5u);
    EXPECT_EQ(key.names(), std::vector<std::string>{"start_x"});
}

TEST_F(UnixStore, AKeyThatIsAFileIsNoKey)
{
    ASSERT_EQ(rmdir(key.path().c_str()), 0);
    std::ofstream(key.path()) << "        600\n";
    int32_t v = 0;
    EXPECT_EQ(readSetting("capture_width", &v, 3), -1);
    EXPECT_EQ(v, 3);
    EXPECT_EQ(writeSetting("capture_width", 1), -1);
    EXPECT_EQ(writeSize(1, 2), -1);
    EXPECT_EQ(contentOf(key.path()), "        600\n");
}
