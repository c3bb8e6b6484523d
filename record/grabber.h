// Where record's frames come from: one source a window system, the take
// loop the same for all.
#ifndef GRABBER_H
#define GRABBER_H

#include "settings/region.h"

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

    // Readies a take of the area where it is now: sizes the buffers, and
    // asks for the screen where that needs the user's consent. False, with
    // *error in one line, when the take cannot start.
    virtual bool prepare(const Region &area, std::string *error) = 0;

    // What grab gives: the area's size, or more on a screen scaled above 1
    // whose pixels are recorded as they are.
    virtual int32_t frameWidth() const = 0;
    virtual int32_t frameHeight() const = 0;
    virtual std::size_t frameBytes() const = 0;
    // The source has gone for good (the display closed).
    virtual bool broken() const = 0;
    // The take's source has stopped, *why (the user stopped sharing the
    // screen): that take is over, not the recorder.
    virtual bool ended(std::string *why) const
    {
        (void)why;
        return false;
    }
    // The take is over: what was asked for it can go.
    virtual void release() { }

    // The area's pixels now, black where it leaves the screen; null when the
    // source refuses. Two buffers take turns: the pixels stay as they are
    // until the call after next, so that a writer may hold them by reference
    // while the next frame is grabbed.
    virtual const uint8_t *grab(int32_t x, int32_t y) = 0;
    // The last grab gave the picture of the one before again: the area
    // stayed where it was and nothing in it changed, the pointer included.
    // False when that cannot be told.
    virtual bool unchanged() const { return false; }
};

#endif // GRABBER_H
