#include "clitest.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

ScratchHome::ScratchHome()
{
    char templ[] = "/tmp/zorvi-cli-XXXXXX";
    EXPECT_NE(mkdtemp(templ), nullptr);
    root = templ;
    setenv("XDG_CONFIG_HOME", config().c_str(), 1);
}

ScratchHome::~ScratchHome()
{
    std::filesystem::remove_all(root);
}

Child::Child(const char *program, const std::vector<std::string> &arguments)
{
    std::vector<char *> argv { const_cast<char *>(program) };
    for (const std::string &argument : arguments)
        argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);
    int out[2], err[2];
    EXPECT_EQ(pipe(out), 0);
    EXPECT_EQ(pipe(err), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    // Whatever ran the tests, SIGINT and SIGTERM must reach the child.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes, &signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    posix_spawnattr_setsigdefault(&attributes, &signals);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    EXPECT_EQ(posix_spawn(&pid, program, &actions, &attributes, argv.data(), environ), 0);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    output = out[0];
    errors = err[0];
}

Child::~Child()
{
    if (pid > 0)
        finish(SIGKILL);
}

std::optional<std::string> Child::readLine(int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const std::size_t newline = pending.find('\n');
        if (newline != std::string::npos) {
            const std::string line = pending.substr(0, newline);
            pending.erase(0, newline + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd fd = { output, POLLIN, 0 };
        char buffer[512];
        ssize_t length = 0;
        if (left.count() <= 0 || poll(&fd, 1, int(left.count())) <= 0
            || (length = read(output, buffer, sizeof buffer)) <= 0)
            return std::nullopt;
        pending.append(buffer, std::size_t(length));
    }
}

std::string Child::readAll(bool fromErrors)
{
    std::string text = fromErrors ? std::string() : pending;
    char buffer[4096];
    ssize_t length;
    while ((length = read(fromErrors ? errors : output, buffer, sizeof buffer)) > 0)
        text.append(buffer, std::size_t(length));
    return text;
}

int Child::finish(int signal)
{
    if (signal)
        kill(pid, signal);
    int status = 0;
    EXPECT_EQ(waitpid(pid, &status, 0), pid);
    pid = -1;
    close(output);
    close(errors);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

CliResult runCli(const std::vector<std::string> &arguments)
{
    Child child(ZORVI_SETTINGS, arguments);
    // Every command's output fits in a pipe, so reading one after the other cannot stall.
    const std::string out = child.readAll(false);
    const std::string err = child.readAll(true);
    return { out, err, child.finish(0) };
}
