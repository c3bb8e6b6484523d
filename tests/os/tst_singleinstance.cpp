// The marker across real processes, as a second start of the picker meets it.
#include "os/singleinstance.h"
#include "tests/common/scratchkey.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <process.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
extern char **environ;
#endif

namespace {

// The exit code of a second start, run to its end.
int secondStart()
{
#ifdef _WIN32
    // The helper lies beside this test; a build path means nothing to Windows.
    wchar_t self[MAX_PATH];
    std::wstring path(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
    path.replace(path.find_last_of(L"\\/") + 1, std::wstring::npos, L"zorvi_lockholder.exe");
    return int(_wspawnl(_P_WAIT, path.c_str(), path.c_str(), nullptr));
#else
    pid_t pid = -1;
    int status = -1;
    char *argv[] = {const_cast<char *>(LOCKHOLDER), nullptr};
    posix_spawn(&pid, LOCKHOLDER, nullptr, nullptr, argv, environ);
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

} // namespace

TEST(SingleInstance, ASecondStartEndsWithOneWhileTheFirstRuns)
{
    const ScratchKey key;
    EXPECT_EQ(secondStart(), 0);
    EXPECT_EQ(secondStart(), 0) << "the marker must go with the process that took it";
    ASSERT_TRUE(claimSingleInstance());
    EXPECT_EQ(secondStart(), 1);
#ifndef _WIN32
    struct stat st = {};
    EXPECT_EQ(lstat((key.root + "/run/SCRM-TAVRO.lock").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode, S_IFREG | 0600);
#endif
}

#ifndef _WIN32
// The fallback is a well-known name in the shared /tmp: the test runs only
// where /tmp is its own (privatetmp.sh), never on the user's.
TEST(TmpFallback, TakesOnlyARegularFileOfOurOwn)
{
    if (!std::getenv("ZORVI_PRIVATE_TMP"))
        GTEST_SKIP() << "needs a private /tmp";
    const std::string path = "/tmp/SCRM-TAVRO-" + std::to_string(geteuid()) + ".lock";
    unsetenv("XDG_RUNTIME_DIR");
    // Someone else's link or file there is neither followed nor locked, and
    // start-up goes on, as after any failure but a running picker.
    ASSERT_EQ(symlink("/tmp/victim", path.c_str()), 0);
    EXPECT_TRUE(claimSingleInstance());
    EXPECT_EQ(secondStart(), 0);
    EXPECT_NE(access("/tmp/victim", F_OK), 0) << "the link was followed";
    unlink(path.c_str());
    close(open(path.c_str(), O_WRONLY | O_CREAT, 0600));
    if (chown(path.c_str(), geteuid() + 1, getegid()) == 0) { // root only
        EXPECT_TRUE(claimSingleInstance());
        EXPECT_EQ(secondStart(), 0) << "another user's file was locked";
    }
    unlink(path.c_str());
    // A marker of our own there keeps out every start without a usable runtime folder.
    ASSERT_TRUE(claimSingleInstance());
    EXPECT_EQ(secondStart(), 1);
    for (const char *runtimeDir : {"relative", ""}) {
        setenv("XDG_RUNTIME_DIR", runtimeDir, 1);
        EXPECT_EQ(secondStart(), 1) << '"' << runtimeDir << '"';
    }
}
#endif
