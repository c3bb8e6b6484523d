// zorvi-settings through its real executable, as an installer or a script runs
// it: exit codes, what it prints, and what it leaves in the key.
#include "region.h"
#include "scratchkey.h"
#include "settings.h"

#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Names = std::vector<std::string>;

struct Result
{
    int code;
    std::string out;
    std::string err;
};

// ARGUMENTS as a shell would split them.
Result cli(const std::string &arguments)
{
    const std::string errors = std::string(std::getenv("XDG_RUNTIME_DIR")) + "/stderr";
    FILE *pipe = popen((ZORVI_SETTINGS " " + arguments + " 2>" + errors).c_str(), "r");
    Result run{-1, {}, {}};
    char buffer[4096];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        run.out.append(buffer, n);
    const int status = pclose(pipe);
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream in(errors);
    run.err.assign(std::istreambuf_iterator<char>(in), {});
    return run;
}

// A command that goes on running: its pid comes first, then its lines.
class Running
{
public:
    explicit Running(const std::string &arguments)
        : pipe(popen(("echo $$; exec " ZORVI_SETTINGS " " + arguments).c_str(), "r"))
    {
        pid = std::stoi(line(2000).value_or("0"));
    }
    ~Running() { pclose(pipe); }

    std::optional<std::string> line(int timeoutMs)
    {
        std::size_t end;
        while ((end = pending.find('\n')) == std::string::npos) {
            pollfd fd = {fileno(pipe), POLLIN, 0};
            char buffer[512];
            const ssize_t n = poll(&fd, 1, timeoutMs) > 0 ? read(fd.fd, buffer, sizeof buffer) : 0;
            if (n <= 0)
                return std::nullopt;
            pending.append(buffer, std::size_t(n));
        }
        const std::string result = pending.substr(0, end);
        pending.erase(0, end + 1);
        return result;
    }

    int stop()
    {
        kill(pid, SIGTERM);
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    FILE *pipe;
    pid_t pid;
    std::string pending;
};

} // namespace

TEST(Cli, RefusesMisuseBeforeItLooksForTheKey)
{
    const struct
    {
        const char *arguments;
        int code; // 0: the text is on stdout, else on stderr
        const char *text;
    } rows[] = {
        {"", 2, "usage"}, {"frobnicate", 2, "frobnicate"}, {"init --border 0", 2, "'0'"},
        {"init --border 11", 2, "'11'"}, {"init --border=4x", 2, "'4x'"}, {"init --border", 2, "--border"},
        {"get", 2, "NAME"}, {"get bogus", 2, "bogus not in"}, {"list --json", 2, "--json"},
        {"region --format %q", 2, "'%q'"}, {"region --json --format %x", 2, "excludes"},
        {"list", 1, "zorvi-settings init"}, {"region", 1, "zorvi-settings init"},
        {"watch", 1, "zorvi-settings init"}, {"region --help", 0, "shared lock"},
    };
    ScratchKey key(false);
    for (const auto &row : rows) {
        SCOPED_TRACE(row.arguments);
        const Result run = cli(row.arguments);
        EXPECT_EQ(run.code, row.code);
        EXPECT_NE((row.code ? run.err : run.out).find(row.text), std::string::npos);
    }
    EXPECT_FALSE(std::filesystem::exists(key.root + "/config"));
}

TEST(Cli, InitCreatesAPrivateKeyAndNeverOverwritesAValue)
{
    ScratchKey key(false);
    const Result created = cli("init --border 3");
    EXPECT_EQ(created.out, "created " + key.path + "\n");
    for (const std::string &folder : {key.root + "/config", key.path}) {
        struct stat st;
        EXPECT_TRUE(stat(folder.c_str(), &st) == 0 && (st.st_mode & 07777) == 0700) << folder;
    }
    EXPECT_EQ(key.text("capture_border"), "          3\n");
    EXPECT_EQ(key.text("show_capture"), "          1\n"); // else a first start shows no frame

    key.put("capture_border", "thick\n");
    key.put("show_capture", "0\n");
    const Result again = cli("init --border 7");
    EXPECT_EQ(again.code, 0);
    EXPECT_EQ(again.out, "exists " + key.path + "\n");
    EXPECT_NE(again.err.find("not a DWORD; left"), std::string::npos) << again.err;
    EXPECT_EQ(key.text("capture_border"), "thick\n");
    EXPECT_EQ(key.text("show_capture"), "0\n");
}

TEST(Cli, SetTakesADecimalInt32AndAKnownNameOnly)
{
    const std::pair<const char *, int32_t> rows[] = {
        {"start_x 100", 100}, {"start_x -2147483648", INT_MIN}, {"start_x 2147483647", INT_MAX},
        {"start_x 007", 7}, {"start_x 12abc", 42}, {"start_x 2147483648", 42},
        {"start_x -2147483649", 42}, {"start_x ''", 42}, {"start_x -", 42}, {"start_x ' 5'", 42},
        {"start_x +5", 42}, {"start_x 0x10", 42}, {"START_X 1", 42}, {".start_x 1", 42},
    };
    ScratchKey key;
    for (const auto &[arguments, stored] : rows) {
        SCOPED_TRACE(arguments);
        ASSERT_EQ(writeSetting("start_x", 42), 0);
        const Result run = cli(std::string("set ") + arguments);
        EXPECT_EQ(run.code, stored == 42 ? 2 : 0);
        EXPECT_EQ(key.dword("start_x"), uint32_t(stored));
        EXPECT_EQ(key.names(), Names{"start_x"});
    }
}

TEST(Cli, ListAndGetTellAnAbsentValueFromOneThatIsNoDword)
{
    ScratchKey key;
    key.put("start_x", "        100\n");
    key.put("start_y", "abc\n");
    std::filesystem::create_directory(key.file("capture_width"));
    key.put("show_capture", " 1\n");
    key.put("open_cam", "");
    std::filesystem::create_symlink("nowhere", key.file("capture_border")); // never followed
    key.put("screen_scale", "4294967295\n");
    const Result list = cli("list");
    EXPECT_EQ(list.out, "start_x         100\n"
                        "start_y         (not a DWORD)\n"
                        "capture_width   (not a DWORD)\n"
                        "capture_height  (absent)\n"
                        "show_capture    1\n"
                        "open_cam        (not a DWORD)\n"
                        "capture_border  (not a DWORD)\n"
                        "screen_scale    -1\n");
    EXPECT_EQ(cli("get screen_scale").out, "-1\n");
    for (const char *name : {"start_y", "capture_height"}) {
        const Result get = cli(std::string("get ") + name);
        EXPECT_EQ(get.code, 1);
        EXPECT_EQ(get.out, "");
    }
}

TEST(Cli, RegionAndWatchReadEachPairWhole)
{
    ScratchKey key;
    ASSERT_EQ(writePosition(10, -20) | writeSize(600, 338) | writeSetting("open_cam", 0), 0);
    EXPECT_EQ(cli("region").out, "10 -20 600 338\n");
    EXPECT_EQ(cli("region --json").out, "{\"x\":10,\"y\":-20,\"width\":600,\"height\":338}\n");
    EXPECT_EQ(cli("region --inner --format %g").out, "596x334+12+-18\n"); // no capture_border: 2
    ASSERT_EQ(writeSize(4, 338), 0);
    EXPECT_EQ(cli("region --inner").code, 1);

    std::filesystem::remove(key.file("capture_height"));
    const Result incomplete = cli("region");
    EXPECT_EQ(incomplete.code, 1);
    EXPECT_NE(incomplete.err.find("capture_height (absent)"), std::string::npos) << incomplete.err;

    Running watch("watch --json");
    Names lines;
    for (int i = 0; i < 8; ++i)
        lines.push_back(watch.line(2000).value_or("(nothing)"));
    EXPECT_EQ(lines[0], R"({"name":"start_x","value":10})");
    EXPECT_EQ(lines[3], R"({"name":"capture_height","value":null,"state":"absent"})");
    // A value written again unchanged prints nothing; each change prints at once.
    ASSERT_EQ(writeSetting("start_x", 10) | writeSetting("open_cam", 1), 0);
    EXPECT_EQ(watch.line(2000), R"({"name":"open_cam","value":1})");
    ASSERT_EQ(writeSize(480, 270), 0);
    EXPECT_EQ(watch.line(2000), R"({"name":"capture_width","value":480})");
    EXPECT_EQ(watch.line(2000), R"({"name":"capture_height","value":270})");
    EXPECT_EQ(watch.stop(), 0);

    // Once, then on each change of a pair, and on nothing else.
    Running follow("region --follow --inner --format %x,%y");
    EXPECT_EQ(follow.line(5000), "12,-18");
    ASSERT_EQ(writeSetting("open_cam", 0) | writePosition(30, 40), 0);
    EXPECT_EQ(follow.line(5000), "32,42");
    EXPECT_EQ(follow.stop(), 0);
}

TEST(Cli, RegionFormatTakesEachPlaceholderAndNoOther)
{
    // text: what it prints, or a part of the message
    const struct { const char *format; bool taken; const char *text; } rows[] = {
        {"%x %y %w %h", true, "-5 20 600 338"}, {"%g", true, "600x338+-5+20"}, {"%%x 100%%", true, "%x 100%"},
        {"", true, ""}, {"%q", false, "'%q'"}, {"%X", false, "'%X'"}, {"%g%", false, "end"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.format);
        std::string text, error;
        EXPECT_EQ(formatRegion(row.format, {-5, 20, 600, 338}, &text, &error), row.taken);
        if (row.taken)
            EXPECT_EQ(text, row.text);
        else
            EXPECT_NE(error.find(row.text), std::string::npos) << error;
    }
}
