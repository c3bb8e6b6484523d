#include "app/startenvironment.h"

#include <string>
#include <vector>

#include <unistd.h>

namespace {

// Copies: setenv() and putenv() may change or free what environ points at.
std::vector<std::string> entries;
std::vector<char *> pointers = { nullptr };

} // namespace

void keepStartEnvironment()
{
    entries.clear();
    for (char **entry = environ; *entry; ++entry)
        entries.emplace_back(*entry);
    pointers.clear();
    for (std::string &entry : entries)
        pointers.push_back(entry.data());
    pointers.push_back(nullptr);
}

char *const *startEnvironment()
{
    return pointers.data();
}
