#include "record/screencastportal.h"
#include "os/environment.h"
#include "record/busoptions.h"
#include "record/restoretoken.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>

#include <fcntl.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

namespace {

const char portal[] = "org.freedesktop.portal.Desktop";
const char portalPath[] = "/org/freedesktop/portal/desktop";
const char screenCast[] = "org.freedesktop.portal.ScreenCast";

// Values of the portal's options and answers.
const uint32_t monitorSource = 1;
const uint32_t hiddenCursor = 1;
const uint32_t embeddedCursor = 2;
const uint32_t keptUntilRevoked = 2; // persist_mode: across restarts, until revoked
const uint32_t userCancelled = 1;

const char calledOff[] = "capture was switched off (or record stopped) before the desktop answered";

struct MessageUnref
{
    void operator()(sd_bus_message *message) const { sd_bus_message_unref(message); }
};
using Message = std::unique_ptr<sd_bus_message, MessageUnref>;

struct ErrorFree
{
    void operator()(sd_bus_error *error) const { sd_bus_error_free(error); }
};

std::string problem(int code, const sd_bus_error *error)
{
    if (error && sd_bus_error_is_set(error))
        return error->message ? error->message : error->name;
    return std::strerror(code < 0 ? -code : code);
}

// streams: a(ua{sv}), each with its node and its monitor's position and size.
int readStreams(sd_bus_message *message, std::vector<PortalStream> *streams)
{
    int r = sd_bus_message_enter_container(message, 'v', "a(ua{sv})");
    if (r >= 0)
        r = sd_bus_message_enter_container(message, 'a', "(ua{sv})");
    while (r >= 0 && (r = sd_bus_message_enter_container(message, 'r', "ua{sv}")) > 0) {
        PortalStream stream;
        r = sd_bus_message_read_basic(message, 'u', &stream.node);
        if (r >= 0)
            r = readOptions(message, [&](const std::string &key, sd_bus_message *m) {
                if (key == "position")
                    return readPair(m, &stream.logical.x, &stream.logical.y);
                if (key == "size")
                    return readPair(m, &stream.logical.width, &stream.logical.height);
                return 0;
            });
        if (r >= 0)
            r = sd_bus_message_exit_container(message);
        streams->push_back(stream);
    }
    if (r >= 0)
        r = sd_bus_message_exit_container(message);
    if (r >= 0)
        r = sd_bus_message_exit_container(message);
    return r < 0 ? r : 1;
}

struct Reply
{
    bool answered = false;
    sd_bus_message *message = nullptr;
};

int onResponse(sd_bus_message *message, void *data, sd_bus_error *)
{
    auto *reply = static_cast<Reply *>(data);
    reply->answered = true;
    reply->message = sd_bus_message_ref(message);
    return 1;
}

} // namespace

std::string portalBackendPackage(const std::string &currentDesktop)
{
    const std::pair<const char *, const char *> backends[] = {
        { "gnome", "xdg-desktop-portal-gnome" },  { "kde", "xdg-desktop-portal-kde" },
        { "sway", "xdg-desktop-portal-wlr" },     { "wlroots", "xdg-desktop-portal-wlr" },
        { "hyprland", "xdg-desktop-portal-wlr" }, { "river", "xdg-desktop-portal-wlr" },
        { "wayfire", "xdg-desktop-portal-wlr" },  { "labwc", "xdg-desktop-portal-wlr" },
    };
    std::istringstream names(currentDesktop);
    for (std::string name; std::getline(names, name, ':');) {
        for (char &c : name)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        for (const auto &[desktop, package] : backends)
            if (name == desktop)
                return package;
    }
    return "xdg-desktop-portal-gnome, -kde or -wlr, for your desktop";
}

ScreenCastPortal::~ScreenCastPortal()
{
    close();
    sd_bus_flush_close_unref(bus);
}

bool ScreenCastPortal::connect(std::string *error)
{
    int r = sd_bus_open_user(&bus);
    if (r < 0) {
        bus = nullptr;
        *error = "no session bus (" + problem(r, nullptr)
            + "): record asks the desktop's portal for the screen through it";
        return false;
    }
    const char *unique = nullptr;
    sd_bus_get_unique_name(bus, &unique);
    // ":1.42" appears as "1_42" in the paths of our requests.
    sender = unique && *unique == ':' ? unique + 1 : "";
    for (char &c : sender)
        if (c == '.')
            c = '_';
    sd_bus_error failure = SD_BUS_ERROR_NULL;
    std::unique_ptr<sd_bus_error, ErrorFree> freed(&failure);
    uint32_t sources = 0;
    r = sd_bus_get_property_trivial(bus, portal, portalPath, screenCast, "AvailableSourceTypes",
                                    &failure, 'u', &sources);
    const std::string backend = portalBackendPackage(environment("XDG_CURRENT_DESKTOP"));
    if (r < 0
        && sd_bus_error_has_names(&failure, SD_BUS_ERROR_SERVICE_UNKNOWN,
                                  SD_BUS_ERROR_NAME_HAS_NO_OWNER)) {
        *error = "no desktop portal on the session bus: install xdg-desktop-portal and " + backend
            + " (record asks it for the screen in a Wayland session)";
        return false;
    }
    if (r < 0
        && sd_bus_error_has_names(&failure, SD_BUS_ERROR_UNKNOWN_INTERFACE,
                                  SD_BUS_ERROR_UNKNOWN_PROPERTY, SD_BUS_ERROR_INVALID_ARGS)) {
        *error = "the desktop portal has no screen-cast backend: install " + backend;
        return false;
    }
    if (r < 0) {
        *error = "the desktop portal does not answer: " + problem(r, &failure);
        return false;
    }
    if (!(sources & monitorSource)) {
        *error = "the desktop portal's screen-cast backend shares no monitors: install " + backend;
        return false;
    }
    return true;
}

// Calls a portal method that answers through a Request object's Response
// signal, and waits for that answer.
bool ScreenCastPortal::call(const char *method, const std::function<int(sd_bus_message *)> &append,
                            const std::function<bool()> &wanted, sd_bus_message **results,
                            uint32_t *response, std::string *error)
{
    // The answer's path is known before the call: listening first, no answer
    // can slip by.
    const std::string token = "zorvi" + std::to_string(getpid()) + "_" + std::to_string(++requests);
    const std::string path = std::string(portalPath) + "/request/" + sender + "/" + token;
    Reply reply;
    sd_bus_slot *slot = nullptr;
    int r = sd_bus_match_signal(bus, &slot, nullptr, path.c_str(), "org.freedesktop.portal.Request",
                                "Response", onResponse, &reply);
    std::unique_ptr<sd_bus_slot, decltype(&sd_bus_slot_unref)> listening(slot, &sd_bus_slot_unref);
    sd_bus_message *raw = nullptr;
    if (r >= 0)
        r = sd_bus_message_new_method_call(bus, &raw, portal, portalPath, screenCast, method);
    const Message call(raw);
    if (r >= 0)
        r = append(call.get());
    if (r >= 0)
        r = appendString(call.get(), "handle_token", token);
    if (r >= 0)
        r = sd_bus_message_close_container(call.get());
    sd_bus_error failure = SD_BUS_ERROR_NULL;
    std::unique_ptr<sd_bus_error, ErrorFree> freed(&failure);
    if (r >= 0)
        r = sd_bus_call(bus, call.get(), 0, &failure, nullptr);
    while (r >= 0 && !reply.answered) {
        if (!wanted()) {
            // Withdraws the dialog, if it is the one up.
            sd_bus_call_method(bus, portal, path.c_str(), "org.freedesktop.portal.Request", "Close",
                               nullptr, nullptr, "");
            *error = calledOff;
            return false;
        }
        r = sd_bus_process(bus, nullptr);
        if (r == 0)
            r = sd_bus_wait(bus, 200000);
    }
    if (r < 0) {
        *error = std::string("the desktop portal's ") + method + " failed: " + problem(r, &failure);
        return false;
    }
    const Message answer(reply.message);
    r = sd_bus_message_read_basic(answer.get(), 'u', response);
    if (r < 0) {
        *error = std::string("the desktop portal's answer to ") + method + " is unreadable";
        return false;
    }
    *results = sd_bus_message_ref(answer.get());
    return true;
}

ScreenCastPortal::Answer ScreenCastPortal::start(const std::function<bool()> &wanted,
                                                 std::vector<PortalStream> *streams,
                                                 std::string *error)
{
    close();
    streams->clear();
    const std::string tokenFile
        = restoreTokenFile(environment("XDG_STATE_HOME"), environment("HOME"));
    const std::string kept = tokenFile.empty() ? std::string() : readRestoreToken(tokenFile);
    sd_bus_message *raw = nullptr;
    uint32_t response = 0;
    const auto refused = [&](const char *step) {
        *error = response == userCancelled ? "the desktop's screen-sharing dialog was cancelled"
                                           : std::string("the desktop portal refused to ") + step
                + " (response " + std::to_string(response) + ")";
        return response == userCancelled ? Answer::Refused : Answer::Failed;
    };

    // 1. A session. xdg-desktop-portal-gnome 43 dies when its dialog is
    // withdrawn (capture switched off while it asked), and the portal answers
    // 2 until the bus has started it again: once more, a second later.
    Message results;
    for (int attempt = 1;; ++attempt) {
        const std::string sessionToken
            = "zorvi" + std::to_string(getpid()) + "_s" + std::to_string(++requests);
        if (!call(
                "CreateSession",
                [&](sd_bus_message *m) {
                    int r = sd_bus_message_open_container(m, 'a', "{sv}");
                    return r < 0 ? r : appendString(m, "session_handle_token", sessionToken);
                },
                wanted, &raw, &response, error))
            return Answer::Failed;
        results.reset(raw);
        if (response == 0 || attempt == 2)
            break;
        for (int waited = 0; waited < 1000; waited += 100) {
            if (!wanted()) {
                *error = calledOff;
                return Answer::Failed;
            }
            usleep(100000);
        }
    }
    if (response != 0)
        return refused("open a session");
    int r = readOptions(results.get(), [&](const std::string &key, sd_bus_message *m) {
        return key == "session_handle" ? readString(m, &session) : 0;
    });
    if (r < 0 || session.empty()) {
        *error = "the desktop portal gave no session";
        return Answer::Failed;
    }

    // 2. Monitors, with the pointer drawn in (or left out) when the backend
    // can, the answer kept until the user revokes it.
    uint32_t cursors = 0;
    sd_bus_get_property_trivial(bus, portal, portalPath, screenCast, "AvailableCursorModes",
                                nullptr, 'u', &cursors);
    const uint32_t cursor = pointer ? embeddedCursor : hiddenCursor;
    if (!call(
            "SelectSources",
            [&](sd_bus_message *m) {
                const int multiple = 1;
                int r = sd_bus_message_append_basic(m, 'o', session.c_str());
                if (r >= 0)
                    r = sd_bus_message_open_container(m, 'a', "{sv}");
                if (r >= 0)
                    r = appendOption(m, "types", 'u', &monitorSource);
                if (r >= 0)
                    r = appendOption(m, "multiple", 'b', &multiple);
                if (r >= 0 && (cursors & cursor))
                    r = appendOption(m, "cursor_mode", 'u', &cursor);
                if (r >= 0)
                    r = appendOption(m, "persist_mode", 'u', &keptUntilRevoked);
                if (r >= 0 && !kept.empty())
                    r = appendString(m, "restore_token", kept);
                return r;
            },
            wanted, &raw, &response, error))
        return Answer::Failed;
    results.reset(raw);
    if (response != 0)
        return refused("select the monitors");

    // 3. The dialog, unless the token restores the last answer.
    if (!call(
            "Start",
            [&](sd_bus_message *m) {
                int r = sd_bus_message_append(m, "os", session.c_str(), "");
                return r < 0 ? r : sd_bus_message_open_container(m, 'a', "{sv}");
            },
            wanted, &raw, &response, error))
        return Answer::Failed;
    results.reset(raw);
    if (response != 0)
        return refused("share the screen");
    std::string token;
    r = readOptions(results.get(), [&](const std::string &key, sd_bus_message *m) {
        if (key == "streams")
            return readStreams(m, streams);
        return key == "restore_token" ? readString(m, &token) : 0;
    });
    if (r < 0 || streams->empty()) {
        *error = "the desktop portal shared no monitor";
        return Answer::Failed;
    }
    // A token serves once: the next take needs the new one.
    std::string why;
    if (!token.empty() && token != kept && !tokenFile.empty()
        && !keepRestoreToken(tokenFile, token, &why))
        std::fprintf(stderr,
                     "zorvi-settings: cannot keep the permission to share the screen (%s): "
                     "the desktop will ask again\n",
                     why.c_str());
    return Answer::Started;
}

int ScreenCastPortal::openPipeWire(std::string *error)
{
    sd_bus_error failure = SD_BUS_ERROR_NULL;
    std::unique_ptr<sd_bus_error, ErrorFree> freed(&failure);
    sd_bus_message *raw = nullptr;
    int r = sd_bus_call_method(bus, portal, portalPath, screenCast, "OpenPipeWireRemote", &failure,
                               &raw, "oa{sv}", session.c_str(), 0);
    const Message reply(raw);
    int fd = -1;
    if (r >= 0)
        r = sd_bus_message_read_basic(reply.get(), 'h', &fd);
    // The message owns its descriptor.
    if (r >= 0 && (fd = fcntl(fd, F_DUPFD_CLOEXEC, 3)) < 0)
        r = -errno;
    if (r < 0) {
        *error = "the desktop portal gave no PipeWire connection: " + problem(r, &failure);
        return -1;
    }
    return fd;
}

void ScreenCastPortal::close()
{
    if (session.empty() || !bus)
        return;
    sd_bus_call_method(bus, portal, session.c_str(), "org.freedesktop.portal.Session", "Close",
                       nullptr, nullptr, "");
    session.clear();
}

void ScreenCastPortal::forget()
{
    const std::string file = restoreTokenFile(environment("XDG_STATE_HOME"), environment("HOME"));
    if (!file.empty())
        unlink(file.c_str());
}
