// Takes the single-instance marker as the picker does and holds it until its
// standard input closes: exit 1 when another process holds it.
#include "singleinstance.h"

#include <cstdio>

int main()
{
    if (!claimSingleInstance())
        return 1;
    std::puts("held");
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    return 0;
}
