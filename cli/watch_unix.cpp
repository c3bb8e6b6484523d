// inotify on the key folder and the stop signals: one poll() waits for both.
#include "cli/watch.h"
#include "os/stopsignal.h"
#include "settings/key.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace {

enum class Events { None, ValueTouched, KeyGone };

Events drainEvents(int fd)
{
    Events result = Events::None;
    alignas(inotify_event) char buffer[4096];
    ssize_t length;
    while ((length = read(fd, buffer, sizeof buffer)) > 0) {
        for (ssize_t offset = 0; offset < length;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + offset);
            offset += ssize_t(sizeof(inotify_event) + event->len);
            if (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED))
                return Events::KeyGone;
            // Names beginning with '.' are the store's temporaries, never values.
            if ((event->mask & IN_Q_OVERFLOW) || (event->len > 0 && event->name[0] != '.'))
                result = Events::ValueTouched;
        }
    }
    return result;
}

} // namespace

int watchKey(const std::function<void()> &refresh)
{
    const std::string path = keyLocation();
    const Descriptor stop(stopSignalDescriptor());
    const Descriptor events(inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    const uint32_t mask = IN_MODIFY | IN_MOVED_TO | IN_CLOSE_WRITE | IN_DELETE | IN_DELETE_SELF
        | IN_MOVE_SELF | IN_ONLYDIR;
    if (stop.get() < 0 || events.get() < 0
        || inotify_add_watch(events.get(), path.c_str(), mask) < 0) {
        std::fprintf(stderr, "zorvi-settings: cannot watch %s: %s\n", path.c_str(),
                     std::strerror(errno));
        return 1;
    }

    refresh();
    for (;;) {
        pollfd fds[2] = { { stop.get(), POLLIN, 0 }, { events.get(), POLLIN, 0 } };
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            std::perror("zorvi-settings: poll");
            return 1;
        }
        if (fds[0].revents)
            return 0;
        switch (drainEvents(events.get())) {
        case Events::KeyGone:
            std::fprintf(stderr, "zorvi-settings: the settings key %s went away\n", path.c_str());
            return 1;
        case Events::ValueTouched:
            refresh();
            break;
        case Events::None:
            break;
        }
    }
}
