// Where record's frames come from: one source a window system, the take
// loop the same for all.
#ifndef GRABBER_H
#define GRABBER_H

#include <cstddef>
#include <cstdint>
#include <string>

class Grabber
{
public:
    Grabber() = default;
    virtual ~Grabber() = default;
    Grabber(const Grabber &) = delete;
    Grabber &operator=(const Grabber &) = delete;

    // False, with *error saying why, when there is nothing to grab from or
    // its pixels are not what the encoder is told (32-bit BGR, bgr0).
    virtual bool open(std::string *error) = 0;

    // Sizes the buffers for a take's area, on the screen as it is now.
    virtual void prepare(int32_t width, int32_t height) = 0;

    virtual std::size_t frameBytes() const = 0;
    // The source has gone for good (the display closed).
    virtual bool broken() const = 0;

    // The area's pixels now, black where it leaves the screen; null when the
    // source refuses. Two buffers take turns: the pixels stay as they are
    // until the call after next, so that a pipe may hold them by reference
    // while the next frame is grabbed.
    virtual const uint8_t *grab(int32_t x, int32_t y) = 0;
};

#endif // GRABBER_H
