// inotify on the key folder and the stop signals: one poll() waits for both.
#include "cli/watch.h"
#include "os/stopsignal.h"
#include "settings/key.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include <poll.h>

int watchKey(const std::function<void()> &refresh)
{
    const std::string path = keyLocation();
    const Descriptor stop(stopSignalDescriptor());
    KeyWatch key;
    if (stop.get() < 0 || !key.watching()) {
        std::fprintf(stderr, "zorvi-settings: cannot watch %s: %s\n", path.c_str(),
                     std::strerror(errno));
        return 1;
    }

    refresh();
    for (;;) {
        pollfd fds[2] = { { stop.get(), POLLIN, 0 }, { key.descriptor(), POLLIN, 0 } };
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            std::perror("zorvi-settings: poll");
            return 1;
        }
        if (fds[0].revents)
            return 0;
        if (const int status = takeChange(key, refresh); status >= 0)
            return status;
    }
}
