// The marker across real processes, as two starts of the picker would race
// for it.
#include <gtest/gtest.h>

#include <csignal>
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
