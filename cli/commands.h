// The subcommands of zorvi-settings. Each takes the arguments after its
// name and returns the exit code: 0 done, 1 failed (the key or a value is
// missing, a write failed), 2 misused (unknown name, bad number, bad option).
#ifndef COMMANDS_H
#define COMMANDS_H

#include <string>
#include <vector>

using Arguments = std::vector<std::string>;

struct Command
{
    const char *name;
    const char *synopsis;
    const char *help;
    int (*run)(const Arguments &arguments);
};

const std::vector<Command> &commands();
const Command *findCommand(const std::string &name);

#endif // COMMANDS_H
