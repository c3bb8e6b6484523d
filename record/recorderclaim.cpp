#include "record/recorderclaim.h"

#include "os/singleinstance.h"

#include <chrono>
#include <cstdio>
#include <thread>

bool claimRecorder(const Clock &clock, int waitSeconds)
{
    const int64_t deadline = clock.now() + int64_t(waitSeconds) * 1000000000;
    for (bool told = false; !claimSessionMarker("zorvi-record"); told = true) {
        if (clock.now() >= deadline)
            return false;
        if (!told)
            std::fprintf(stderr,
                         "zorvi-settings: waiting up to %d s for the other record of this "
                         "session to end\n",
                         waitSeconds);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}
