// The registry key polled every 50 ms: refresh() prints only what changed,
// so a poll that finds nothing new costs eight reads and no output.
#include "cli/watch.h"
#include "settings/key.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

namespace {

// The one piece of state a signal handler may touch.
std::atomic<bool> stopRequested(false);

void requestStop(int)
{
    stopRequested = true;
}

} // namespace

int watchKey(const std::function<void()> &refresh)
{
    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);
    refresh();
    while (!stopRequested) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (!keyExists()) {
            std::fprintf(stderr, "zorvi-settings: the settings key %s went away\n",
                         keyLocation().c_str());
            return 1;
        }
        refresh();
    }
    return 0;
}
