#include "record/recorderclaim.h"

#include "os/singleinstance.h"
#include "record/notifier.h"

#include <chrono>
#include <cstdio>
#include <thread>

int cannotRecord(Notifier *notifier, const std::string &why)
{
    notifier->problem("Recording is off", "The capture button records nothing: " + why);
    std::fprintf(stderr, "zorvi-settings: %s\n", why.c_str());
    return 1;
}

bool claimRecorder(const Clock &clock, int waitSeconds, Notifier *notifier)
{
    const int64_t deadline = clock.now() + int64_t(waitSeconds) * 1000000000;
    for (bool told = false; !claimSessionMarker("zorvi-record"); told = true) {
        if (clock.now() >= deadline) {
            cannotRecord(notifier,
                         "another zorvi-settings record runs in this session (the picker "
                         "starts one beside itself): it records the capture button's takes "
                         "already");
            return false;
        }
        if (!told)
            std::fprintf(stderr,
                         "zorvi-settings: waiting up to %d s for the other record of this "
                         "session to end\n",
                         waitSeconds);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}
