// The hand and the eye of the GNOME tests: a remote-desktop session of
// mutter's own, linked to a screen cast of its monitor. Prints "node N", the
// PipeWire node of the screen cast, once it streams; then takes the same
// commands as zorvi_vpointer on its standard input (move X Y, down, up,
// wait MS, sync). The session lives as long as this process: mutter ends it
// with the D-Bus connection that made it.
#include <systemd/sd-bus.h>

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>

namespace {

const char remoteDesktop[] = "org.gnome.Mutter.RemoteDesktop";
const char screenCast[] = "org.gnome.Mutter.ScreenCast";
const uint32_t leftButton = 272; // BTN_LEFT

sd_bus *bus = nullptr;

bool failed(int status, const char *what, const sd_bus_error *error = nullptr)
{
    if (status >= 0)
        return false;
    std::fprintf(stderr, "zorvi_remotedesktop: %s: %s\n", what,
                 error && error->message ? error->message : "failed");
    return true;
}

// A call that answers with an object path.
bool callForPath(const char *service, const char *object, const char *interface, const char *method,
                 std::string *path, const char *types, ...)
{
    sd_bus_message *call = nullptr;
    sd_bus_message *reply = nullptr;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    int status = sd_bus_message_new_method_call(bus, &call, service, object, interface, method);
    va_list args;
    va_start(args, types);
    if (status >= 0)
        status = sd_bus_message_appendv(call, types, args);
    va_end(args);
    if (status >= 0)
        status = sd_bus_call(bus, call, 0, &error, &reply);
    const char *answer = nullptr;
    if (status >= 0)
        status = sd_bus_message_read(reply, "o", &answer);
    const bool ok = !failed(status, method, &error);
    if (ok)
        *path = answer;
    sd_bus_error_free(&error);
    sd_bus_message_unref(reply);
    sd_bus_message_unref(call);
    return ok;
}

bool call(const char *object, const char *method, const char *types, ...)
{
    sd_bus_message *message = nullptr;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    int status = sd_bus_message_new_method_call(bus, &message, remoteDesktop, object,
                                                "org.gnome.Mutter.RemoteDesktop.Session", method);
    va_list args;
    va_start(args, types);
    if (status >= 0 && *types)
        status = sd_bus_message_appendv(message, types, args);
    va_end(args);
    if (status >= 0)
        status = sd_bus_call(bus, message, 0, &error, nullptr);
    const bool ok = !failed(status, method, &error);
    sd_bus_error_free(&error);
    sd_bus_message_unref(message);
    return ok;
}

uint32_t node = 0;

int streamAdded(sd_bus_message *message, void *, sd_bus_error *)
{
    sd_bus_message_read(message, "u", &node);
    return 0;
}

} // namespace

int main()
{
    if (failed(sd_bus_open_user(&bus), "no session bus"))
        return 1;
    std::string session, cast, stream;
    char *id = nullptr;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    if (!callForPath(remoteDesktop, "/org/gnome/Mutter/RemoteDesktop", remoteDesktop,
                     "CreateSession", &session, ""))
        return 1;
    if (failed(sd_bus_get_property_string(bus, remoteDesktop, session.c_str(),
                                          "org.gnome.Mutter.RemoteDesktop.Session", "SessionId",
                                          &error, &id),
               "SessionId", &error))
        return 1;
    const bool made
        = callForPath(screenCast, "/org/gnome/Mutter/ScreenCast", screenCast, "CreateSession",
                      &cast, "a{sv}", 1, "remote-desktop-session-id", "s", id)
        && callForPath(screenCast, cast.c_str(), "org.gnome.Mutter.ScreenCast.Session",
                       "RecordMonitor", &stream, "sa{sv}", "", 0);
    free(id);
    if (!made)
        return 1;
    sd_bus_match_signal(bus, nullptr, screenCast, stream.c_str(),
                        "org.gnome.Mutter.ScreenCast.Stream", "PipeWireStreamAdded", streamAdded,
                        nullptr);
    if (!call(session.c_str(), "Start", ""))
        return 1;
    for (int i = 0; !node && i < 100; ++i) {
        while (sd_bus_process(bus, nullptr) > 0) { }
        if (!node)
            sd_bus_wait(bus, 100000);
    }
    if (!node) {
        std::fprintf(stderr, "zorvi_remotedesktop: no stream\n");
        return 1;
    }
    std::printf("node %u\n", node);
    std::fflush(stdout);

    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream words(line);
        std::string command;
        words >> command;
        double x = 0, y = 0;
        int ms = 0;
        bool ok = true;
        if (command == "move" && words >> x >> y) {
            ok = call(session.c_str(), "NotifyPointerMotionAbsolute", "sdd", stream.c_str(), x, y);
        } else if (command == "down" || command == "up") {
            ok = call(session.c_str(), "NotifyPointerButton", "ib", int(leftButton),
                      command == "down");
        } else if (command == "wait" && words >> ms) {
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        } else if (command == "sync") {
            std::printf("ok\n");
            std::fflush(stdout);
        } else {
            std::fprintf(stderr, "zorvi_remotedesktop: unknown command: %s\n", line.c_str());
            return 2;
        }
        if (!ok)
            return 1;
    }
    call(session.c_str(), "Stop", "");
    sd_bus_flush_close_unref(bus);
    return 0;
}
