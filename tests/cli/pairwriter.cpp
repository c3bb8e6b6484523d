// Writes both pairs as fast as it can, the way a drag that also resizes
// would, with halves a reader can check against each other: for the n-th
// write, capture_height = capture_width + 7 and start_y = -start_x. Prints
// "ready" after the first round; ends when a write fails (the key is gone).
#include "settings.h"

#include <cstdio>

int main()
{
    for (int32_t n = 1; n < 2000000000; ++n) {
        if (writeSize(n, n + 7) != 0 || writePosition(n, -n) != 0)
            return 1;
        if (n == 1) {
            std::puts("ready");
            std::fflush(stdout);
        }
    }
    return 0;
}
