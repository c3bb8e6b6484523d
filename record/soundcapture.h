// A take's sound, read from the sound server's sources on a thread of its
// own and kept, a couple of seconds at most, until the encoder asks for it.
#ifndef SOUNDCAPTURE_H
#define SOUNDCAPTURE_H

#include "record/sound.h"

#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class SoundRing;

class SoundCapture
{
public:
    static constexpr int rate = 48000;
    static constexpr int channels = 2;

    SoundCapture() = default;
    ~SoundCapture();
    SoundCapture(const SoundCapture &) = delete;
    SoundCapture &operator=(const SoundCapture &) = delete;

    // Connects to the sources of `sound` and starts reading them; samples
    // are placed by when they were heard, from the wall-clock instant
    // `start`, however fast the sound card counts. False, with *error, when
    // a source cannot be opened.
    bool open(Sound sound, double start, std::string *error);
    // How many samples (a sample is one value for each channel) from start
    // have been read so far.
    int64_t available() const;
    // False once reading has stopped: closed, or the server went.
    bool reading() const;
    // Copies `count` interleaved S16 samples from sample `from` on: silence
    // where nothing was heard (before the first, or lost to a full buffer).
    void take(int64_t from, int count, int16_t *out) const;
    // Stops reading, within about a read's length (a server that no longer
    // answers is left to itself after a second).
    void close();

    struct Shared;

private:
    std::shared_ptr<Shared> shared; // the reading thread's
    std::shared_ptr<SoundRing> ring; // what it read
    std::thread reader;
};

#endif // SOUNDCAPTURE_H
