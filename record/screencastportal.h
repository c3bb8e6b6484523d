// The desktop's screen-cast service on the session bus: it asks the user
// which monitors to share (once, when it can restore the answer later) and
// hands over PipeWire streams of them.
#ifndef SCREENCASTPORTAL_H
#define SCREENCASTPORTAL_H

#include "settings/region.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct sd_bus;

struct PortalStream
{
    uint32_t node = 0; // the PipeWire node
    Region logical; // the monitor's place and size in the desktop's layout
};

class ScreenCastPortal
{
public:
    enum class Answer { Started, Refused, Failed };

    // With `pointer`, the streams show the pointer where the backend can
    // draw it in; without, they leave it out where it can be left out.
    explicit ScreenCastPortal(bool pointer) : pointer(pointer) { }
    ~ScreenCastPortal();
    ScreenCastPortal(const ScreenCastPortal &) = delete;
    ScreenCastPortal &operator=(const ScreenCastPortal &) = delete;

    // False, with *error naming the package that is missing, when no portal
    // or no screen-cast backend answers on the session bus.
    bool connect(std::string *error);

    // A session of the monitors the user shares: restored from the token
    // kept from the last time when the backend can, else asked in its
    // dialog. `wanted` is asked while the dialog is up: once it says no, the
    // dialog is withdrawn. Refused when the user cancelled; *error says why
    // in every other case than Started.
    Answer start(const std::function<bool()> &wanted, std::vector<PortalStream> *streams,
                 std::string *error);

    // The PipeWire connection of the session's streams (ours to close), or -1.
    int openPipeWire(std::string *error);

    // Ends the session: the desktop stops showing that the screen is shared.
    void close();

    // Drops the kept answer: the next start asks the user again.
    void forget();

private:
    bool call(const char *method, const std::function<int(struct sd_bus_message *)> &append,
              const std::function<bool()> &wanted, struct sd_bus_message **results,
              uint32_t *response, std::string *error);

    const bool pointer;
    sd_bus *bus = nullptr;
    std::string sender; // our unique name as it appears in request paths
    std::string session;
    unsigned requests = 0;
};

// The backend's Debian package for XDG_CURRENT_DESKTOP ("ubuntu:GNOME",
// "KDE", "sway"…); for an unknown desktop, the three to choose from.
std::string portalBackendPackage(const std::string &currentDesktop);

#endif // SCREENCASTPORTAL_H
