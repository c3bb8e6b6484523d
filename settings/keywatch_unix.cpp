#include "settings/key.h"
#include "settings/keywatch.h"

#include <sys/inotify.h>
#include <unistd.h>

KeyWatch::KeyWatch() : events(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) { }

KeyWatch::~KeyWatch() = default;

int KeyWatch::descriptor() const
{
    return events.get();
}

bool KeyWatch::watching()
{
    if (!watched && events.get() >= 0)
        watched = inotify_add_watch(events.get(), keyLocation().c_str(),
                                    IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_DELETE
                                        | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR)
            >= 0;
    return watched;
}

KeyWatch::Change KeyWatch::drain()
{
    Change change = Change::None;
    alignas(inotify_event) char buffer[4096];
    ssize_t length;
    while ((length = read(events.get(), buffer, sizeof buffer)) > 0) {
        for (ssize_t offset = 0; offset < length;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + offset);
            offset += ssize_t(sizeof(inotify_event) + event->len);
            if (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) {
                // A folder moved away keeps its watch: it is not the key any more.
                if (event->mask & IN_MOVE_SELF)
                    inotify_rm_watch(events.get(), event->wd);
                watched = false;
                change = Change::KeyGone;
            } else if (change == Change::None
                       && ((event->mask & IN_Q_OVERFLOW)
                           // Names beginning with '.' are the store's temporaries.
                           || (event->len > 0 && event->name[0] != '.'))) {
                change = Change::ValueTouched;
            }
        }
    }
    return change;
}
