// What the subcommands of zorvi-settings do, once main() has parsed and
// checked their arguments. Each returns the exit code: 0 done, 1 failed (the
// key or a value is missing, a write failed); misuse (2) never gets here.
#ifndef COMMANDS_H
#define COMMANDS_H

#include <cstdint>
#include <optional>
#include <string>

int runInit(std::optional<int32_t> border);
int runList();
int runGet(const std::string &name);
int runSet(const std::string &name, int32_t value);

struct RegionOptions
{
    bool json = false;
    std::optional<std::string> format; // checked with formatRegion()
    bool inner = false;
    bool follow = false;
};
int runRegion(const RegionOptions &options);

int runWatch(bool json);

// Says there is no key and to run init; returns 1.
int missingKey();

#endif // COMMANDS_H
