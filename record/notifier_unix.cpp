// sd-bus, asynchronous throughout: a call never holds up the take loop, and
// the bus's descriptor is polled beside the loop's own.
#include "os/stopsignal.h"
#include "record/notifier.h"

#include <cstdio>
#include <cstdlib>

#include <poll.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <time.h>
#include <unistd.h>

namespace {

const char service[] = "org.freedesktop.Notifications";
const char object[] = "/org/freedesktop/Notifications";

std::string folderOf(const std::string &file)
{
    const std::size_t slash = file.rfind('/');
    return slash == std::string::npos ? std::string(".") : file.substr(0, slash ? slash : 1);
}

// The desktop's file manager on the folder, in a grandchild, so that no
// child of ours is left for the take's waits to meet.
void openFolder(const std::string &folder)
{
    const pid_t child = fork();
    if (child == 0) {
        if (fork() == 0) {
            restoreDefaultSignals();
            execlp("xdg-open", "xdg-open", folder.c_str(), static_cast<char *>(nullptr));
            _exit(127);
        }
        _exit(0);
    }
    if (child > 0)
        waitpid(child, nullptr, 0);
}

} // namespace

Notifier::Notifier()
{
    if (sd_bus_open_user(&bus) < 0) {
        bus = nullptr;
        return;
    }
    // A click on an action of ours: the folder opens.
    const auto invoked = [](sd_bus_message *message, void *self, sd_bus_error *) -> int {
        uint32_t id = 0;
        const char *key = nullptr;
        if (sd_bus_message_read(message, "us", &id, &key) < 0)
            return 0;
        auto &folders = static_cast<Notifier *>(self)->folders;
        const auto found = folders.find(id);
        if (found != folders.end()) {
            openFolder(found->second);
            folders.erase(found);
        }
        return 0;
    };
    const auto closed = [](sd_bus_message *message, void *self, sd_bus_error *) -> int {
        uint32_t id = 0;
        if (sd_bus_message_read(message, "u", &id) >= 0)
            static_cast<Notifier *>(self)->folders.erase(id);
        return 0;
    };
    sd_bus_match_signal_async(bus, nullptr, nullptr, object, service, "ActionInvoked", invoked,
                              nullptr, this);
    sd_bus_match_signal_async(bus, nullptr, nullptr, object, service, "NotificationClosed", closed,
                              nullptr, this);
}

Notifier::~Notifier()
{
    if (!bus)
        return;
    // What was sent last (the take saved at a stop signal, what kept the
    // process from starting) is answered before we go: a server that is
    // being started for it, or busy, still gets it. Within a second.
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    const uint64_t start = uint64_t(now.tv_sec) * 1000000 + uint64_t(now.tv_nsec) / 1000;
    for (uint64_t waited = 0; unanswered > 0 && waited < 1000000;) {
        if (sd_bus_process(bus, nullptr) > 0)
            continue;
        if (sd_bus_wait(bus, 1000000 - waited) < 0)
            break;
        clock_gettime(CLOCK_MONOTONIC, &now);
        waited = uint64_t(now.tv_sec) * 1000000 + uint64_t(now.tv_nsec) / 1000 - start;
    }
    sd_bus_flush_close_unref(bus);
}

int Notifier::descriptor() const
{
    return bus ? sd_bus_get_fd(bus) : -1;
}

short Notifier::events() const
{
    const int wanted = bus ? sd_bus_get_events(bus) : 0;
    return short(wanted > 0 ? wanted : 0);
}

void Notifier::process()
{
    if (!bus)
        return;
    while (sd_bus_process(bus, nullptr) > 0) { }
}

void Notifier::notify(const std::string &summary, const std::string &body, const std::string &file,
                      bool urgent)
{
    if (!bus)
        return;
    sd_bus_message *call = nullptr;
    if (sd_bus_message_new_method_call(bus, &call, service, object, service, "Notify") < 0)
        return;
    // The server's number for it comes back in the reply: until then the
    // folder waits under the call's cookie.
    const auto shown = [](sd_bus_message *reply, void *self, sd_bus_error *) -> int {
        auto *notifier = static_cast<Notifier *>(self);
        --notifier->unanswered;
        uint64_t cookie = 0;
        uint32_t id = 0;
        sd_bus_message_get_reply_cookie(reply, &cookie);
        const auto found = notifier->pending.find(cookie);
        if (found == notifier->pending.end())
            return 0;
        if (!sd_bus_message_is_method_error(reply, nullptr)
            && sd_bus_message_read(reply, "u", &id) >= 0)
            notifier->folders[id] = found->second;
        notifier->pending.erase(found);
        return 0;
    };
    uint64_t cookie = 0;
    // The icon the desktop entry installs; "default" is a click on the
    // notification itself.
    const bool built
        = sd_bus_message_append(call, "susss", "Zorvi", 0u, "zorvi", summary.c_str(), body.c_str())
            >= 0
        && (file.empty() ? sd_bus_message_append(call, "as", 0)
                         : sd_bus_message_append(call, "as", 4, "default", "Open the folder",
                                                 "open", "Open the folder"))
            >= 0
        && sd_bus_message_append(call, "a{sv}", 2, "urgency", "y", uint8_t(urgent ? 2 : 1),
                                 "category", "s", urgent ? "transfer.error" : "transfer.complete")
            >= 0
        && sd_bus_message_append(call, "i", -1) >= 0;
    if (built && sd_bus_call_async(bus, nullptr, call, shown, this, 0) >= 0) {
        ++unanswered;
        if (sd_bus_message_get_cookie(call, &cookie) >= 0 && !file.empty())
            pending[cookie] = folderOf(file);
    }
    sd_bus_message_unref(call);
}
