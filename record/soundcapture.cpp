#include "record/soundcapture.h"

#include "record/soundring.h"

#include <algorithm>

SoundCapture::~SoundCapture()
{
    close();
}

int64_t SoundCapture::available() const
{
    return ring ? ring->written() : 0;
}

bool SoundCapture::reading() const
{
    return ring && !ring->finished();
}

void SoundCapture::take(int64_t from, int count, int16_t *out) const
{
    if (ring)
        ring->take(from, count, out);
    else
        std::fill_n(out, count * channels, int16_t(0));
}
