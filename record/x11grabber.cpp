#include "record/x11grabber.h"
#include "record/recording.h"

#include <cstdlib>
#include <cstring>
#include <memory>

#include <sys/ipc.h>
#include <sys/shm.h>

X11Grabber::~X11Grabber()
{
    detach();
    if (connection)
        xcb_disconnect(connection);
}

void X11Grabber::release()
{
    if (damage)
        xcb_damage_destroy(connection, damage);
    damage = 0;
    last = nullptr;
    same = false;
    xcb_flush(connection);
}

bool X11Grabber::open(std::string *error)
{
    const char *variable = std::getenv("DISPLAY");
    const std::string display = variable ? variable : "";
    if (display.empty()) {
        *error = "no X display (DISPLAY is not set); record grabs an X11 screen";
        return false;
    }
    int number = 0;
    connection = xcb_connect(nullptr, &number);
    if (xcb_connection_has_error(connection)) {
        *error = "cannot open the X display " + display;
        return false;
    }
    const xcb_setup_t *setup = xcb_get_setup(connection);
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
    for (int i = 0; i < number && screens.rem; ++i)
        xcb_screen_next(&screens);
    const xcb_screen_t *screen = screens.data;
    root = screen->root;
    screenWidth = screen->width_in_pixels;
    screenHeight = screen->height_in_pixels;
    // The encoder is told bgr0: 32 bits a pixel, least significant byte first.
    bool wide = false;
    for (auto formats = xcb_setup_pixmap_formats_iterator(setup); formats.rem;
         xcb_format_next(&formats))
        wide |= formats.data->depth == screen->root_depth && formats.data->bits_per_pixel == 32;
    if (!wide || screen->root_depth < 24 || setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST) {
        *error = "the X screen's pixels (depth " + std::to_string(screen->root_depth)
            + ") are not 32-bit BGR";
        return false;
    }
    const xcb_query_extension_reply_t *extension = xcb_get_extension_data(connection, &xcb_shm_id);
    shm = extension && extension->present;
    // The cursor image needs XFixes 4; without it the takes show no pointer.
    const xcb_query_extension_reply_t *fixes = xcb_get_extension_data(connection, &xcb_xfixes_id);
    if (pointer && fixes && fixes->present) {
        std::free(xcb_xfixes_query_version_reply(
            connection, xcb_xfixes_query_version(connection, 4, 0), nullptr));
    } else {
        pointer = false;
    }
    const xcb_query_extension_reply_t *damages
        = xcb_get_extension_data(connection, &xcb_damage_id);
    if (damages && damages->present) {
        std::free(xcb_damage_query_version_reply(
            connection, xcb_damage_query_version(connection, 1, 1), nullptr));
        damageEvent = damages->first_event;
    }
    return true;
}

bool X11Grabber::prepare(const Region &area, std::string *error)
{
    std::unique_ptr<xcb_get_geometry_reply_t, decltype(&std::free)> geometry(
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, root), nullptr),
        &std::free);
    if (geometry) {
        screenWidth = geometry->width;
        screenHeight = geometry->height;
    }
    // The picker never makes one, but a size set by hand can be: its
    // buffers alone would be gigabytes, and the encoder refuses it anyway.
    if (area.width > screenWidth || area.height > screenHeight) {
        *error = "the frame's inside, " + std::to_string(area.width) + 'x'
            + std::to_string(area.height) + ", is larger than the X screen, "
            + std::to_string(screenWidth) + 'x' + std::to_string(screenHeight)
            + ": make the frame smaller";
        return false;
    }
    areaWidth = area.width;
    areaHeight = area.height;
    detach();
    for (Buffer &buffer : buffers) {
        buffer.frame.assign(std::size_t(areaWidth) * areaHeight * 4, 0);
        if (shm && !attach(&buffer))
            shm = false; // a remote server, or no segment to be had
    }
    if (!shm)
        detach();
    // Each rectangle drawn on the screen from now on, while the take runs:
    // only then, so that no reports pile up while capture is off.
    release();
    if (damageEvent) {
        damage = xcb_generate_id(connection);
        xcb_damage_create(connection, damage, root, XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES);
    }
    return true;
}

// Whether anything was drawn over the area since the last look. Called after
// a round trip, so that every report of what came before it is in.
bool X11Grabber::damagedAt(int32_t x, int32_t y)
{
    bool damaged = false;
    while (xcb_generic_event_t *event = xcb_poll_for_event(connection)) {
        if (damageEvent && (event->response_type & 0x7f) == damageEvent + XCB_DAMAGE_NOTIFY) {
            const xcb_rectangle_t &area
                = reinterpret_cast<xcb_damage_notify_event_t *>(event)->area;
            ScreenPart part;
            damaged |= screenPart({ x - area.x, y - area.y, areaWidth, areaHeight }, area.width,
                                  area.height, &part);
        }
        std::free(event);
    }
    return damaged;
}

const uint8_t *X11Grabber::grab(int32_t x, int32_t y)
{
    // The pointer first: its reply is also the round trip after which the
    // damage reports are all in.
    Cursor cursor(nullptr, &std::free);
    if (pointer)
        cursor.reset(xcb_xfixes_get_cursor_image_reply(
            connection, xcb_xfixes_get_cursor_image(connection), nullptr));
    else if (damage)
        std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    const bool damaged = damagedAt(x, y);
    const uint32_t serial = cursor ? cursor->cursor_serial : 0;
    const int16_t pointerX = cursor ? cursor->x : 0;
    const int16_t pointerY = cursor ? cursor->y : 0;
    same = damage && last && !damaged && x == lastX && y == lastY && serial == lastCursor
        && pointerX == cursorX && pointerY == cursorY;
    if (same)
        return last;
    last = image(x, y, cursor);
    lastX = x, lastY = y, lastCursor = serial, cursorX = pointerX, cursorY = pointerY;
    return last;
}

const uint8_t *X11Grabber::image(int32_t x, int32_t y, const Cursor &cursor)
{
    turn ^= 1;
    std::vector<uint8_t> &frame = buffers[turn].frame;
    uint8_t *const shared = buffers[turn].shared;
    ScreenPart part;
    if (!screenPart({ x, y, areaWidth, areaHeight }, screenWidth, screenHeight, &part)) {
        std::memset(frame.data(), 0, frame.size());
        return withPointer(frame.data(), cursor, x, y);
    }
    const bool whole = part.width == areaWidth && part.height == areaHeight;
    const uint8_t *pixels = nullptr;
    xcb_generic_error_t *error = nullptr; // taken here, or it would queue up unread
    std::unique_ptr<xcb_get_image_reply_t, decltype(&std::free)> plain(nullptr, &std::free);
    if (shared) {
        auto *reply = xcb_shm_get_image_reply(
            connection,
            xcb_shm_get_image(connection, root, int16_t(part.screenX), int16_t(part.screenY),
                              uint16_t(part.width), uint16_t(part.height), ~0u,
                              XCB_IMAGE_FORMAT_Z_PIXMAP, buffers[turn].segment, 0),
            &error);
        std::free(error);
        if (reply) {
            std::free(reply);
            if (whole)
                return withPointer(shared, cursor, x, y);
            pixels = shared;
        } else {
            detach(); // go on without it
        }
    }
    if (!pixels) {
        plain.reset(xcb_get_image_reply(
            connection,
            xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, root, int16_t(part.screenX),
                          int16_t(part.screenY), uint16_t(part.width), uint16_t(part.height), ~0u),
            &error));
        std::free(error);
        if (!plain || xcb_get_image_data_length(plain.get()) < part.width * part.height * 4)
            return nullptr;
        pixels = xcb_get_image_data(plain.get());
        if (whole) {
            std::memcpy(frame.data(), pixels, frame.size());
            return withPointer(frame.data(), cursor, x, y);
        }
    }
    std::memset(frame.data(), 0, frame.size());
    const std::size_t row = std::size_t(part.width) * 4;
    for (int32_t line = 0; line < part.height; ++line)
        std::memcpy(frame.data() + (std::size_t(part.areaY + line) * areaWidth + part.areaX) * 4,
                    pixels + line * row, row);
    return withPointer(frame.data(), cursor, x, y);
}

const uint8_t *X11Grabber::withPointer(uint8_t *frame, const Cursor &cursor, int32_t x,
                                       int32_t y)
{
    if (cursor)
        drawPointer(frame, areaWidth, areaHeight,
                    { xcb_xfixes_get_cursor_image_cursor_image(cursor.get()), cursor->width,
                      cursor->height, cursor->xhot, cursor->yhot },
                    cursor->x - x, cursor->y - y);
    return frame;
}

bool X11Grabber::attach(Buffer *buffer)
{
    const int id = shmget(IPC_PRIVATE, buffer->frame.size(), IPC_CREAT | 0600);
    if (id < 0)
        return false;
    void *data = shmat(id, nullptr, 0);
    const xcb_shm_seg_t segment = xcb_generate_id(connection);
    xcb_generic_error_t *error = data == reinterpret_cast<void *>(-1)
        ? nullptr
        : xcb_request_check(connection, xcb_shm_attach_checked(connection, segment, id, 0));
    // Marked for removal at once: it goes with the last of us and the server.
    shmctl(id, IPC_RMID, nullptr);
    if (data == reinterpret_cast<void *>(-1))
        return false;
    if (error) {
        std::free(error);
        shmdt(data);
        return false;
    }
    buffer->segment = segment;
    buffer->shared = static_cast<uint8_t *>(data);
    return true;
}

void X11Grabber::detach()
{
    bool detached = false;
    for (Buffer &buffer : buffers) {
        if (!buffer.shared)
            continue;
        xcb_shm_detach(connection, buffer.segment);
        shmdt(buffer.shared);
        buffer.shared = nullptr;
        detached = true;
    }
    if (detached)
        xcb_flush(connection);
}
