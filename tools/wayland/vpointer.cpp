// A pointer for a compositor that has no input device (headless sway,
// KWin's virtual session): the hand of the Wayland tests, through the
// wlroots virtual-pointer protocol or KWin's fake input, whichever the
// compositor offers. One device for the whole test, as a hand's mouse: a
// device made anew for each drag would appear to the clients only after its
// first press. Positions are logical, in the outputs' layout of the given
// size. Reads commands from its standard input, a line each:
//
//     zorvi_vpointer WxH
//       move X Y     the pointer to (X, Y)
//       down | up    the left button
//       wait MS      a pause, for the clients to take what came
//       sync         prints "ok" once the compositor has taken all before
//       key CODE     a press and release of that evdev key (KWin's fake
//                    input only; sway's keys come from wtype)
#include "fake-input-client.h"
#include "virtual-pointer-client.h"

#include <wayland-client.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>

namespace {

const uint32_t leftButton = 272; // BTN_LEFT

struct Globals
{
    zwlr_virtual_pointer_manager_v1 *manager = nullptr;
    org_kde_kwin_fake_input *fakeInput = nullptr;
};

void announced(void *data, wl_registry *registry, uint32_t name, const char *interface,
               uint32_t version)
{
    auto *globals = static_cast<Globals *>(data);
    if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        globals->manager = static_cast<zwlr_virtual_pointer_manager_v1 *>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
    // Absolute motion came with version 3, keys with 4.
    else if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= 3)
        globals->fakeInput = static_cast<org_kde_kwin_fake_input *>(wl_registry_bind(
            registry, name, &org_kde_kwin_fake_input_interface, std::min(version, 4u)));
}

void removed(void *, wl_registry *, uint32_t) { }

uint32_t now()
{
    using namespace std::chrono;
    return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// What the two protocols share: an absolute move and the left button.
class Pointer
{
public:
    explicit Pointer(Globals *globals, unsigned width, unsigned height)
        : globals(globals), width(width), height(height)
    {
        if (globals->manager)
            virtualPointer
                = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(globals->manager, nullptr);
        else
            org_kde_kwin_fake_input_authenticate(globals->fakeInput, "zorvi tests",
                                                 "drives the picker's end-to-end tests");
    }

    ~Pointer()
    {
        if (virtualPointer) {
            zwlr_virtual_pointer_v1_destroy(virtualPointer);
            zwlr_virtual_pointer_manager_v1_destroy(globals->manager);
        } else {
            org_kde_kwin_fake_input_destroy(globals->fakeInput);
        }
    }

    void move(unsigned x, unsigned y)
    {
        if (!virtualPointer) {
            // KWin gives clients relative motion (what a drag of a layer
            // surface follows) only for a relative move, as a mouse makes:
            // after the first jump, the hand moves by steps.
            if (placed)
                org_kde_kwin_fake_input_pointer_motion(globals->fakeInput,
                                                       wl_fixed_from_int(int(x) - int(atX)),
                                                       wl_fixed_from_int(int(y) - int(atY)));
            else
                org_kde_kwin_fake_input_pointer_motion_absolute(
                    globals->fakeInput, wl_fixed_from_int(int(x)), wl_fixed_from_int(int(y)));
            placed = true;
            atX = x;
            atY = y;
            return;
        }
        zwlr_virtual_pointer_v1_motion_absolute(virtualPointer, now(), x, y, width, height);
        zwlr_virtual_pointer_v1_frame(virtualPointer);
    }

    void button(bool down)
    {
        if (!virtualPointer) {
            org_kde_kwin_fake_input_button(globals->fakeInput, leftButton, down);
            return;
        }
        zwlr_virtual_pointer_v1_button(virtualPointer, now(), leftButton, down);
        zwlr_virtual_pointer_v1_frame(virtualPointer);
    }

    bool key(unsigned code)
    {
        if (virtualPointer || org_kde_kwin_fake_input_get_version(globals->fakeInput) < 4)
            return false;
        org_kde_kwin_fake_input_keyboard_key(globals->fakeInput, code, 1);
        org_kde_kwin_fake_input_keyboard_key(globals->fakeInput, code, 0);
        return true;
    }

private:
    Globals *globals;
    zwlr_virtual_pointer_v1 *virtualPointer = nullptr;
    bool placed = false;
    unsigned atX = 0;
    unsigned atY = 0;
    unsigned width;
    unsigned height;
};

int usage()
{
    std::fprintf(
        stderr,
        "usage: zorvi_vpointer WxH < COMMANDS (move X Y, down, up, key CODE, wait MS, sync)\n");
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    unsigned width = 0, height = 0;
    if (argc != 2 || std::sscanf(argv[1], "%ux%u", &width, &height) != 2 || !width || !height)
        return usage();
    wl_display *display = wl_display_connect(nullptr);
    if (!display) {
        std::fprintf(stderr, "zorvi_vpointer: no Wayland display\n");
        return 1;
    }
    Globals globals;
    const wl_registry_listener listener = { announced, removed };
    wl_registry *registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &listener, &globals);
    wl_display_roundtrip(display);
    if (!globals.manager && !globals.fakeInput) {
        std::fprintf(stderr, "zorvi_vpointer: the compositor has no virtual pointers\n");
        return 1;
    }
    int status = 0;
    {
        Pointer pointer(&globals, width, height);
        std::string line;
        while (std::getline(std::cin, line)) {
            std::istringstream words(line);
            std::string command;
            words >> command;
            unsigned x = 0, y = 0;
            int ms = 0;
            if (command == "move" && words >> x >> y) {
                pointer.move(x, y);
            } else if (command == "key" && words >> x) {
                if (!pointer.key(x)) {
                    std::fprintf(stderr, "zorvi_vpointer: no keys on this compositor\n");
                    status = 1;
                    break;
                }
            } else if (command == "down" || command == "up") {
                pointer.button(command == "down");
            } else if (command == "wait" && words >> ms) {
                std::this_thread::sleep_for(std::chrono::milliseconds(ms));
                continue;
            } else if (command == "sync") {
                if (wl_display_roundtrip(display) < 0)
                    break;
                std::printf("ok\n");
                std::fflush(stdout);
                continue;
            } else {
                status = usage();
                break;
            }
            if (wl_display_flush(display) < 0)
                break;
        }
    }
    wl_registry_destroy(registry);
    wl_display_roundtrip(display);
    wl_display_disconnect(display);
    return status;
}
