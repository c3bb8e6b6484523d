// The ffmpeg that turns record's frames into one file, a take.
#ifndef ENCODER_H
#define ENCODER_H

#include "os/descriptor.h"
#include "record/takewriter.h"
#include "settings/region.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <sys/types.h>

// One file: an ffmpeg encoding what is written into its standard input.
struct Take
{
    std::string file;
    pid_t encoder = -1;
    Descriptor input;
    std::size_t pipeSize = 0; // what the pipe to ffmpeg holds, in bytes
};

// Starts an ffmpeg reading raw bgr0 frames of the area's size at fps from
// its standard input, after the inputs `before` gives, with the output
// options `after` gives (both the sound's), into a new file of the folder
// named after the clock. False, with *error, when it cannot.
bool startTake(const Region &area, const std::string &folder, int fps,
               const std::vector<std::string> &before, const std::vector<std::string> &after,
               Take *take, std::string *error);

// Hands a frame to ffmpeg; false, with errno set (EPIPE when ffmpeg has
// gone), when not all of it went. A frame of at least twice what the pipe
// holds goes by reference (vmsplice), with no copy: once it is in, the frame
// before it has been read whole, and its buffer may be grabbed into again.
bool sendFrame(const Take &take, const uint8_t *data, std::size_t size);

// Closing its input lets ffmpeg finish the file; the empty string when it
// did, else what went wrong. An ffmpeg that has not ended within limitMs is
// killed (the file keeps what it had written), so that a hung encoder never
// holds up the recorder, or the next one waiting for it.
std::string finishTake(Take *take, int limitMs = 8000);

// The take loop's writer: an ffmpeg a take, the sound from the sound
// server's sources, the files in `folder`.
class FfmpegWriter : public TakeWriter
{
public:
    FfmpegWriter(const std::string &folder, int fps);

    bool soundServer(std::string *where) override;
    bool open(int32_t width, int32_t height, Sound sound, double start,
              std::string *error) override;
    std::string file() const override;
    bool push(const uint8_t *pixels, std::string *error) override;
    std::string finish() override;
    bool remove(bool onlyEmpty) override;

private:
    const std::string folder;
    const int fps;
    Take take;
    std::size_t frameBytes = 0;
};

#endif // ENCODER_H
