// Frames of a screen area from the X server, for record.
#ifndef X11GRABBER_H
#define X11GRABBER_H

#include "record/grabber.h"

#include <xcb/shm.h>
#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The root window's pixels, through a shared-memory segment when the server
// offers one (the image lands in our memory with no copy through the socket),
// else through plain GetImage. With `pointer`, the pointer is drawn in
// where it stands, as the X server shows it (XFixes' cursor image).
class X11Grabber : public Grabber
{
public:
    explicit X11Grabber(bool pointer) : pointer(pointer) { }
    ~X11Grabber() override;

    bool open(std::string *error) override;
    bool prepare(const Region &area, std::string *error) override;
    int32_t frameWidth() const override { return areaWidth; }
    int32_t frameHeight() const override { return areaHeight; }
    std::size_t frameBytes() const override { return buffers[0].frame.size(); }
    bool broken() const override { return xcb_connection_has_error(connection) != 0; }
    const uint8_t *grab(int32_t x, int32_t y) override;

private:
    struct Buffer
    {
        xcb_shm_seg_t segment = 0;
        uint8_t *shared = nullptr; // the segment, when the server shares one
        std::vector<uint8_t> frame;
    };

    bool attach(Buffer *buffer);
    const uint8_t *withPointer(uint8_t *frame, xcb_xfixes_get_cursor_image_cookie_t cookie,
                               int32_t x, int32_t y);

    void detach();

    xcb_connection_t *connection = nullptr;
    xcb_window_t root = 0;
    int32_t screenWidth = 0;
    int32_t screenHeight = 0;
    bool shm = false;
    bool pointer;
    int32_t areaWidth = 0;
    int32_t areaHeight = 0;
    Buffer buffers[2];
    int turn = 0;
};

#endif // X11GRABBER_H
