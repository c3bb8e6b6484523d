// The marker across real processes, as two starts of the picker would race
// for it.
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <cstdlib>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

struct Holder {
    pid_t pid = -1;
    int input = -1; // closing it lets the holder end
    int output = -1;
};

Holder start()
{
    int in[2], out[2];
    EXPECT_EQ(pipe(in), 0);
    EXPECT_EQ(pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, in[1]);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    Holder holder;
    char *argv[] = {const_cast<char *>(LOCKHOLDER), nullptr};
    EXPECT_EQ(posix_spawn(&holder.pid, LOCKHOLDER, &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    holder.input = in[1];
    holder.output = out[0];
    return holder;
}

// "held" once it holds the marker, "" when it exited without it.
std::string firstLine(const Holder &holder)
{
    std::string line;
    char c;
    while (read(holder.output, &c, 1) == 1 && c != '\n')
        line += c;
    return line;
}

int exitCode(Holder &holder)
{
    close(holder.input);
    close(holder.output);
    int status = 0;
    EXPECT_EQ(waitpid(holder.pid, &status, 0), holder.pid);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

class SingleInstance : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char templ[] = "/tmp/zorvi-runtime-XXXXXX";
        ASSERT_NE(mkdtemp(templ), nullptr);
        runtimeDir = templ;
        setenv("XDG_RUNTIME_DIR", runtimeDir.c_str(), 1);
    }
    void TearDown() override
    {
        EXPECT_EQ(std::system(("rm -rf '" + runtimeDir + "'").c_str()), 0);
    }

    std::string runtimeDir;
};

} // namespace

TEST_F(SingleInstance, SecondStartFailsWhileTheFirstRuns)
{
    Holder first = start();
    ASSERT_EQ(firstLine(first), "held");
    Holder second = start();
    EXPECT_EQ(firstLine(second), "");
    EXPECT_EQ(exitCode(second), 1);
    EXPECT_EQ(exitCode(first), 0);

    struct stat st;
    ASSERT_EQ(lstat((runtimeDir + "/SCRM-TAVRO.lock").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(SingleInstance, StartSucceedsAfterTheFirstEnds)
{
    for (const bool killed : {false, true}) {
        SCOPED_TRACE(killed ? "killed" : "ended");
        Holder first = start();
        ASSERT_EQ(firstLine(first), "held");
        if (killed)
            kill(first.pid, SIGKILL);
        EXPECT_EQ(exitCode(first), killed ? 128 + SIGKILL : 0);

        Holder next = start();
        EXPECT_EQ(firstLine(next), "held");
        EXPECT_EQ(exitCode(next), 0);
    }
}

// The fallback is a well-known name in the shared /tmp: the test runs only
// where /tmp is its own (see privatetmp.sh), never on the user's.
TEST(TmpFallback, TakesOnlyARegularFileOfOurOwn)
{
    if (!std::getenv("ZORVI_PRIVATE_TMP"))
        GTEST_SKIP() << "needs a private /tmp";
    const std::string path = "/tmp/SCRM-TAVRO-" + std::to_string(geteuid()) + ".lock";
    const auto startTwo = [] {
        Holder first = start();
        EXPECT_EQ(firstLine(first), "held");
        Holder second = start();
        const bool secondHeld = firstLine(second) == "held";
        EXPECT_EQ(exitCode(second), secondHeld ? 0 : 1);
        EXPECT_EQ(exitCode(first), 0);
        return !secondHeld;
    };

    for (const char *runtimeDir : {static_cast<const char *>(nullptr), "relative", ""}) {
        SCOPED_TRACE(runtimeDir ? runtimeDir : "unset");
        if (runtimeDir)
            setenv("XDG_RUNTIME_DIR", runtimeDir, 1);
        else
            unsetenv("XDG_RUNTIME_DIR");
        EXPECT_TRUE(startTwo()) << "the fallback marker keeps a second start out";
    }

    // Someone else's link or file: not followed, not locked, and start-up
    // goes on, as with any failure but a running picker.
    ASSERT_EQ(unlink(path.c_str()), 0);
    ASSERT_EQ(symlink("/tmp/victim", path.c_str()), 0);
    EXPECT_FALSE(startTwo());
    struct stat st;
    EXPECT_NE(lstat("/tmp/victim", &st), 0) << "the link was followed";

    ASSERT_EQ(unlink(path.c_str()), 0);
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT, 0666);
    ASSERT_GE(fd, 0);
    close(fd);
    if (chown(path.c_str(), geteuid() + 1, getegid()) != 0)
        GTEST_SKIP() << "only root can give the file to someone else";
    EXPECT_FALSE(startTwo());
}
