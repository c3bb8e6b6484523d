// Where a take's frames go, one file a take: all the take loop knows of the
// encoder.
#ifndef TAKEWRITER_H
#define TAKEWRITER_H

#include "record/sound.h"

#include <cstdint>
#include <string>

class TakeWriter
{
public:
    TakeWriter() = default;
    virtual ~TakeWriter() = default;
    TakeWriter(const TakeWriter &) = delete;
    TakeWriter &operator=(const TakeWriter &) = delete;

    // Whether a sound server answers; *where names the one tried.
    virtual bool soundServer(std::string *where) = 0;
    // A new file for frames of width × height, with that sound; `start` is
    // the first frame's instant on the wall clock, which the sound is stamped
    // against. False, with *error, when no file could be started.
    virtual bool open(int32_t width, int32_t height, Sound sound, double start, std::string *error)
        = 0;
    // The file open, or opened last.
    virtual std::string file() const = 0;
    // Hands over the picture of tick `frame`, counted from the take's first
    // (0): it shows until the next one pushed, so a tick missed is a longer
    // frame, not the picture again. False, with *error, when the encoder took
    // not all of it (it has gone). The pixels may be grabbed into again once
    // the frame after them has been pushed.
    virtual bool push(const uint8_t *pixels, int64_t frame, std::string *error) = 0;
    // Ends the file: the empty string when it is whole, else what went wrong.
    virtual std::string finish() = 0;
    // Removes the file, or only when nothing was written to it: true when
    // it went.
    virtual bool remove(bool onlyEmpty) = 0;
};

#endif // TAKEWRITER_H
