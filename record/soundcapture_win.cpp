// No sound is read on Windows yet (see sound_win.cpp): takes are video only,
// and a capture asked for anyway is refused.
#include "record/soundcapture.h"

#include <algorithm>

struct SoundCapture::Shared
{
};

SoundCapture::~SoundCapture() = default;

bool SoundCapture::open(Sound, double, std::string *error)
{
    *error = "this build reads no sound on Windows";
    return false;
}

int64_t SoundCapture::available() const
{
    return 0;
}

bool SoundCapture::reading() const
{
    return false;
}

void SoundCapture::take(int64_t, int count, int16_t *out) const
{
    std::fill_n(out, count * channels, int16_t(0));
}

void SoundCapture::close() { }
