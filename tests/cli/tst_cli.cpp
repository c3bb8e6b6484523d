// zorvi-settings through its real executable: exit codes, what it prints and
// what it leaves in the key.
#include "clitest.h"
#include "settings.h"

#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

using Strings = std::vector<std::string>;

unsigned mode(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

std::set<std::string> names(const std::string &folder)
{
    std::set<std::string> result;
    for (const fs::directory_entry &entry : fs::directory_iterator(folder))
        result.insert(entry.path().filename());
    return result;
}

void putText(const std::string &path, const std::string &text)
{
    std::ofstream(path, std::ios::binary) << text;
}

std::string text(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

int32_t stored(const char *name)
{
    int32_t value = 0;
    EXPECT_EQ(readSetting(name, &value, 0), 0) << name;
    return value;
}

} // namespace

TEST(Cli, InitCreatesPrivateKeyAndParent)
{
    const struct
    {
        Strings arguments;
        const char *border; // the record written, or none
    } rows[] = {
        { { "init" }, nullptr },
        { { "init", "--border", "1" }, "          1\n" },
        { { "init", "--border=10" }, "         10\n" },
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.arguments.back());
        ScratchHome home;
        const CliResult result = runCli(row.arguments);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.out, "created " + home.key() + "\n");
        EXPECT_EQ(mode(home.config()), 0700u);
        EXPECT_EQ(mode(home.key()), 0700u);
        EXPECT_EQ(names(home.key()).size(), row.border ? 1u : 0u);
        EXPECT_EQ(text(home.key() + "/capture_border"), row.border ? row.border : "");
    }
}

TEST(Cli, InitAgainOverwritesNothing)
{
    const struct
    {
        const char *border; // as found, written behind the store's back
        const char *note;
    } rows[] = { { "3\n", "already 3; left" }, { "thick\n", "not a DWORD; left" } };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.note);
        ScratchHome home;
        ASSERT_EQ(runCli({ "init" }).exitCode, 0);
        putText(home.key() + "/capture_border", row.border);
        ASSERT_EQ(writeSetting("start_x", 5), 0);

        const CliResult again = runCli({ "init", "--border", "7" });
        EXPECT_EQ(again.exitCode, 0);
        EXPECT_EQ(again.out, "exists " + home.key() + "\n");
        EXPECT_NE(again.err.find(row.note), std::string::npos) << again.err;
        EXPECT_EQ(text(home.key() + "/capture_border"), row.border);
        EXPECT_EQ(stored("start_x"), 5);
        EXPECT_EQ(names(home.key()), (std::set<std::string> { "capture_border", "start_x" }));
    }
}

// With no key at all: misuse is refused before anything is looked at or made.
TEST(Cli, ExitCodesAndMessagesWithoutKey)
{
    const struct
    {
        Strings arguments;
        int exitCode; // 0: the text is on stdout, else on stderr
        const char *text;
    } rows[] = {
        { {}, 2, "usage: zorvi-settings COMMAND" },
        { { "frobnicate" }, 2, "unknown command 'frobnicate'" },
        { { "init", "--border", "0" }, 2, "1 to 10 pixels, not '0'" },
        { { "init", "--border", "11" }, 2, "not '11'" },
        { { "init", "--border", "abc" }, 2, "not 'abc'" },
        { { "init", "--border=4x" }, 2, "not '4x'" },
        { { "init", "--border" }, 2, "--border needs" },
        { { "init", "--frame", "3" }, 2, "unexpected argument '--frame'" },
        { { "get" }, 2, "usage: get NAME" },
        { { "get", "bogus" }, 2, "unknown value name 'bogus'" },
        { { "set", "start_x" }, 2, "usage: set NAME VALUE" },
        { { "list", "--json" }, 2, "unexpected argument '--json'" },
        { { "region", "--xml" }, 2, "unexpected argument '--xml'" },
        { { "list" }, 1, "run zorvi-settings init" },
        { { "get", "open_cam" }, 1, "run zorvi-settings init" },
        { { "set", "open_cam", "1" }, 1, "run zorvi-settings init" },
        { { "region" }, 1, "run zorvi-settings init" },
        { { "watch" }, 1, "run zorvi-settings init" },
        { { "help" }, 0, "zorvi-settings watch [--json]" },
        { { "help", "init" }, 0, "never overwritten" },
        { { "region", "--help" }, 0, "under the key folder's shared lock" },
        { { "watch", "--json", "-h" }, 0, "SIGINT or SIGTERM" },
    };
    ScratchHome home;
    for (const auto &row : rows) {
        SCOPED_TRACE(row.text);
        const CliResult result = runCli(row.arguments);
        EXPECT_EQ(result.exitCode, row.exitCode);
        const std::string &stream = row.exitCode == 0 ? result.out : result.err;
        EXPECT_NE(stream.find(row.text), std::string::npos) << stream;
    }
    EXPECT_FALSE(fs::exists(home.config()));
}

TEST(Cli, SetTakesDecimalInt32Only)
{
    const struct
    {
        const char *name;
        const char *text;
        int32_t stored; // start_x holds 42 before each row, and keeps it if refused
    } rows[] = {
        { "start_x", "100", 100 },
        { "start_x", "-2147483648", INT_MIN },
        { "start_x", "2147483647", INT_MAX },
        { "start_x", "007", 7 },
        { "start_x", "12abc", 42 },
        { "start_x", "2147483648", 42 },
        { "start_x", "-2147483649", 42 },
        { "start_x", "4294967295", 42 },
        { "start_x", "", 42 },
        { "start_x", "-", 42 },
        { "start_x", " 5", 42 },
        { "start_x", "+5", 42 },
        { "start_x", "0x10", 42 },
        { "START_X", "1", 42 },
        { ".start_x", "1", 42 },
        { "capture", "1", 42 },
    };
    ScratchHome home;
    ASSERT_EQ(runCli({ "init" }).exitCode, 0);
    for (const auto &row : rows) {
        SCOPED_TRACE(std::string(row.name) + " " + row.text);
        ASSERT_EQ(writeSetting("start_x", 42), 0);
        const CliResult result = runCli({ "set", row.name, row.text });
        const bool accepted = row.stored != 42;
        EXPECT_EQ(result.exitCode, accepted ? 0 : 2);
        EXPECT_EQ(result.err.empty(), accepted) << result.err;
        EXPECT_EQ(stored("start_x"), row.stored);
        EXPECT_EQ(names(home.key()), std::set<std::string> { "start_x" });
    }
}

TEST(Cli, ListAndGetTellAbsentFromNotDword)
{
    enum Kind { File, Folder, Link, Absent };
    const struct
    {
        const char *name;
        Kind kind;
        const char *content;
        const char *listed; // the line, the value from column 17 on
    } rows[] = {
        { "start_x", File, "        100\n", "start_x         100" },
        { "start_y", File, "abc\n", "start_y         (not a DWORD)" },
        { "capture_width", Folder, "", "capture_width   (not a DWORD)" },
        { "capture_height", Absent, "", "capture_height  (absent)" },
        { "show_capture", File, " 1\n", "show_capture    1" },
        { "open_cam", File, "", "open_cam        (not a DWORD)" },
        { "capture_border", Link, "3\n", "capture_border  (not a DWORD)" }, // never followed
        { "screen_scale", File, "4294967295\n", "screen_scale    -1" },
    };
    ScratchHome home;
    ASSERT_EQ(runCli({ "init" }).exitCode, 0);
    std::string expected;
    for (const auto &row : rows) {
        const std::string path = home.key() + "/" + row.name;
        if (row.kind == File) {
            putText(path, row.content);
        } else if (row.kind == Folder) {
            fs::create_directory(path);
        } else if (row.kind == Link) {
            putText(home.config() + "/elsewhere", row.content);
            fs::create_symlink("../elsewhere", path);
        }
        expected += std::string(row.listed) + "\n";
    }
    const CliResult list = runCli({ "list" });
    EXPECT_EQ(list.exitCode, 0);
    EXPECT_EQ(list.out, expected);

    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const CliResult get = runCli({ "get", row.name });
        const std::string value = row.listed + 16;
        const bool valid = value[0] != '(';
        EXPECT_EQ(get.exitCode, valid ? 0 : 1);
        EXPECT_EQ(get.out, valid ? value + "\n" : "");
        EXPECT_EQ(get.err.find(value) != std::string::npos, !valid) << get.err;
    }
}

TEST(Cli, RegionPrintsPositionAndSize)
{
    ScratchHome home;
    ASSERT_EQ(runCli({ "init" }).exitCode, 0);
    ASSERT_EQ(writePosition(10, -20), 0);
    ASSERT_EQ(writeSize(600, 338), 0);
    EXPECT_EQ(runCli({ "region" }).out, "10 -20 600 338\n");
    EXPECT_EQ(runCli({ "region", "--json" }).out,
              "{\"x\":10,\"y\":-20,\"width\":600,\"height\":338}\n");

    fs::remove(home.key() + "/capture_height");
    const CliResult incomplete = runCli({ "region" });
    EXPECT_EQ(incomplete.exitCode, 1);
    EXPECT_EQ(incomplete.out, "");
    EXPECT_NE(incomplete.err.find("capture_height (absent)"), std::string::npos) << incomplete.err;
}

TEST(Cli, WatchPrintsValuesThenChangesUntilSignalled)
{
    const struct
    {
        Strings arguments;
        int signal;
        Strings expected; // start_x, capture_height and open_cam at first, then the changes
    } rows[] = {
        { { "watch" },
          SIGINT,
          { "start_x 5", "capture_height (absent)", "open_cam 0", "open_cam 1", "capture_width 600",
            "capture_height 338" } },
        { { "watch", "--json" },
          SIGTERM,
          { R"({"name":"start_x","value":5})",
            R"({"name":"capture_height","value":null,"state":"absent"})",
            R"({"name":"open_cam","value":0})", R"({"name":"open_cam","value":1})",
            R"({"name":"capture_width","value":600})",
            R"({"name":"capture_height","value":338})" } },
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.arguments.back());
        ScratchHome home;
        ASSERT_EQ(runCli({ "init" }).exitCode, 0);
        ASSERT_EQ(writeSetting("start_x", 5), 0);
        ASSERT_EQ(writeSetting("open_cam", 0), 0);

        Child watch(ZORVI_SETTINGS, row.arguments);
        Strings initial;
        while (initial.size() < 8) {
            const std::optional<std::string> line = watch.readLine(2000);
            ASSERT_TRUE(line) << "after " << initial.size() << " lines";
            initial.push_back(*line);
        }
        EXPECT_EQ(initial[0], row.expected[0]);
        EXPECT_EQ(initial[3], row.expected[1]);
        EXPECT_EQ(initial[5], row.expected[2]);

        // Rewriting start_x unchanged must print nothing before open_cam.
        ASSERT_EQ(writeSetting("start_x", 5), 0);
        ASSERT_EQ(writeSetting("open_cam", 1), 0);
        EXPECT_EQ(watch.readLine(2000), row.expected[3]);
        ASSERT_EQ(writeSize(600, 338), 0);
        EXPECT_EQ(watch.readLine(2000), row.expected[4]);
        EXPECT_EQ(watch.readLine(2000), row.expected[5]);
        EXPECT_EQ(watch.finish(row.signal), 0);
    }
}
