// zorvi-settings as a separate process, as an installer or a script runs it,
// against a key in a scratch home of its own.
#ifndef CLITEST_H
#define CLITEST_H

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

// A fresh XDG_CONFIG_HOME whose folder does not exist yet.
class ScratchHome
{
public:
    ScratchHome();
    ~ScratchHome();
    ScratchHome(const ScratchHome &) = delete;
    ScratchHome &operator=(const ScratchHome &) = delete;

    std::string config() const { return root + "/config"; }
    std::string key() const { return config() + "/screen-capture-rvk"; }

private:
    std::string root;
};

// A running program with its standard output and error on pipes.
class Child
{
public:
    Child(const char *program, const std::vector<std::string> &arguments);
    ~Child(); // kills it if still running
    Child(const Child &) = delete;
    Child &operator=(const Child &) = delete;

    // The next line of output without its newline, or nothing after timeoutMs.
    std::optional<std::string> readLine(int timeoutMs);
    std::string readAll(bool errors);
    // Sends signal (none when 0) and returns the exit code, 128 + N for signal N.
    int finish(int signal);

private:
    pid_t pid = -1;
    int output = -1;
    int errors = -1;
    std::string pending;
};

struct CliResult
{
    std::string out;
    std::string err;
    int exitCode;
};

CliResult runCli(const std::vector<std::string> &arguments);

#endif // CLITEST_H
