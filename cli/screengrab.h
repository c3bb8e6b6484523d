// Frames of a screen area from the X server, for record.
#ifndef SCREENGRAB_H
#define SCREENGRAB_H

#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The root window's pixels, through a shared-memory segment when the server
// offers one (the image lands in our memory with no copy through the socket),
// else through plain GetImage.
class Grabber
{
public:
    Grabber() = default;
    ~Grabber();
    Grabber(const Grabber &) = delete;
    Grabber &operator=(const Grabber &) = delete;

    // False, with *error saying why, when there is no display to grab or its
    // pixels are not what the encoder is told.
    bool open(std::string *error);

    // Sizes the buffers for a take's area, on the screen as it is now.
    void prepare(int32_t width, int32_t height);

    std::size_t frameBytes() const { return buffers[0].frame.size(); }
    // The server has gone.
    bool broken() const { return xcb_connection_has_error(connection) != 0; }

    // The area's pixels now, black where it leaves the screen; null when the
    // server refuses. Two buffers take turns: the pixels stay as they are
    // until the call after next, so that a pipe may hold them by reference
    // while the next frame is grabbed.
    const uint8_t *grab(int32_t x, int32_t y);

private:
    struct Buffer
    {
        xcb_shm_seg_t segment = 0;
        uint8_t *shared = nullptr; // the segment, when the server shares one
        std::vector<uint8_t> frame;
    };

    bool attach(Buffer *buffer);

    void detach();

    xcb_connection_t *connection = nullptr;
    xcb_window_t root = 0;
    int32_t screenWidth = 0;
    int32_t screenHeight = 0;
    bool shm = false;
    int32_t areaWidth = 0;
    int32_t areaHeight = 0;
    Buffer buffers[2];
    int turn = 0;
};

#endif // SCREENGRAB_H
