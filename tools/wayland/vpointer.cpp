// A pointer for a compositor that has no input device (headless sway): the
// hand of the Wayland tests. One device for the whole test, as a hand's
// mouse: a device made anew for each drag would appear to the clients only
// after its first press. Positions are logical, in the outputs' layout of
// the given size. Reads commands from its standard input, a line each:
//
//     zorvi_vpointer WxH
//       move X Y     the pointer to (X, Y)
//       down | up    the left button
//       wait MS      a pause, for the clients to take what came
//       sync         prints "ok" once the compositor has taken all before
#include "virtual-pointer-client.h"

#include <wayland-client.h>

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
};

void announced(void *data, wl_registry *registry, uint32_t name, const char *interface, uint32_t)
{
    if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        static_cast<Globals *>(data)->manager = static_cast<zwlr_virtual_pointer_manager_v1 *>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
}

void removed(void *, wl_registry *, uint32_t) { }

uint32_t now()
{
    using namespace std::chrono;
    return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

int usage()
{
    std::fprintf(stderr,
                 "usage: zorvi_vpointer WxH < COMMANDS (move X Y, down, up, wait MS, sync)\n");
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
    if (!globals.manager) {
        std::fprintf(stderr, "zorvi_vpointer: the compositor has no virtual pointers\n");
        return 1;
    }
    zwlr_virtual_pointer_v1 *pointer
        = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(globals.manager, nullptr);
    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream words(line);
        std::string command;
        words >> command;
        unsigned x = 0, y = 0;
        int ms = 0;
        if (command == "move" && words >> x >> y) {
            zwlr_virtual_pointer_v1_motion_absolute(pointer, now(), x, y, width, height);
        } else if (command == "down" || command == "up") {
            zwlr_virtual_pointer_v1_button(pointer, now(), leftButton, command == "down");
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
            return usage();
        }
        zwlr_virtual_pointer_v1_frame(pointer);
        if (wl_display_flush(display) < 0)
            break;
    }
    zwlr_virtual_pointer_v1_destroy(pointer);
    zwlr_virtual_pointer_manager_v1_destroy(globals.manager);
    wl_registry_destroy(registry);
    wl_display_roundtrip(display);
    wl_display_disconnect(display);
    return 0;
}
