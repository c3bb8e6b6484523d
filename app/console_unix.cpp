#include "app/console.h"

#include <cstdio>

bool printLine(const char *line)
{
    return std::printf("%s\n", line) >= 0 && std::fflush(stdout) == 0;
}
