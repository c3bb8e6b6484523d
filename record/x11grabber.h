// Frames of a screen area from the X server, for record.
#ifndef X11GRABBER_H
#define X11GRABBER_H

#include "record/grabber.h"

#include <xcb/damage.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

// The root window's pixels, through a shared-memory segment when the server
// offers one (the image lands in our memory with no copy through the socket),
// else through plain GetImage. With `pointer`, the pointer is drawn in
// where it stands, as the X server shows it (XFixes' cursor image). During
// a take the server's damage reports tell when the area has not changed:
// then the picture before is given again, with no image asked for.
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
    bool unchanged() const override { return same; }
    void release() override;

private:
    struct Buffer
    {
        xcb_shm_seg_t segment = 0;
        uint8_t *shared = nullptr; // the segment, when the server shares one
        std::vector<uint8_t> frame;
    };

    using Cursor = std::unique_ptr<xcb_xfixes_get_cursor_image_reply_t, decltype(&std::free)>;

    bool attach(Buffer *buffer);
    const uint8_t *image(int32_t x, int32_t y, const Cursor &cursor);
    const uint8_t *withPointer(uint8_t *frame, const Cursor &cursor, int32_t x, int32_t y);
    bool damagedAt(int32_t x, int32_t y);

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

    uint8_t damageEvent = 0; // the first event of the extension; 0 without it
    xcb_damage_damage_t damage = 0; // while a take runs
    const uint8_t *last = nullptr; // the picture grabbed last, with its place and pointer
    int32_t lastX = 0;
    int32_t lastY = 0;
    uint32_t lastCursor = 0; // the cursor image's serial
    int16_t cursorX = 0;
    int16_t cursorY = 0;
    bool same = false;
};

#endif // X11GRABBER_H
