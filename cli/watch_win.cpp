// The registry's change notification and a stop request: one wait for both,
// so a watch that sees nothing change costs nothing.
#include "cli/watch.h"
#include "settings/key.h"

#include <csignal>
#include <cstdio>

#include <windows.h>

namespace {

// Set from the signal handler, which runs on a thread of its own.
HANDLE stopRequested = nullptr;

void requestStop(int)
{
    SetEvent(stopRequested);
}

} // namespace

int watchKey(const std::function<void()> &refresh)
{
    const std::string path = keyLocation();
    stopRequested = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    KeyWatch key;
    if (!stopRequested || !key.watching()) {
        std::fprintf(stderr, "zorvi-settings: cannot watch %s\n", path.c_str());
        return 1;
    }
    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);

    refresh();
    for (;;) {
        const HANDLE handles[2] = { stopRequested, key.event() };
        const DWORD woken = WaitForMultipleObjects(2, handles, FALSE, INFINITE);
        if (woken == WAIT_OBJECT_0)
            return 0;
        if (woken != WAIT_OBJECT_0 + 1) {
            std::fprintf(stderr, "zorvi-settings: cannot wait for %s (error %lu)\n", path.c_str(),
                         GetLastError());
            return 1;
        }
        if (const int status = takeChange(key, refresh); status >= 0)
            return status;
    }
}
