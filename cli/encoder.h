// The ffmpeg that turns record's frames into one file, a take.
#ifndef ENCODER_H
#define ENCODER_H

#include "region.h"
#include "stopsignal.h"

#include <cstddef>
#include <cstdint>
#include <string>

#include <sys/types.h>

// One file: an ffmpeg encoding what is written into its standard input.
struct Take
{
    std::string file;
    Region area;
    pid_t encoder = -1;
    Descriptor input;
    long frames = 0;
    long dropped = 0;
};

// Starts an ffmpeg reading raw bgr0 frames of the area's size at fps, into a
// new file of the folder named after the clock. False, with *error, when it
// cannot.
bool startTake(const Region &area, const std::string &folder, int fps, Take *take,
               std::string *error);

// False, with errno set (EPIPE when ffmpeg has gone), when not all was written.
bool writeAll(int fd, const uint8_t *data, std::size_t size);

// Closing its input lets ffmpeg finish the file; the empty string when it
// did, else what went wrong.
std::string finishTake(Take *take);

#endif // ENCODER_H
