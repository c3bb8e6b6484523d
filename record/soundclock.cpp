#include "record/soundclock.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// The least lag of each half second is what the clock follows: the chunk
// handed over soonest after it was heard, where a burst's others came
// late. It is averaged over about four seconds and taken back over ten:
// slow enough never to swing past, quick enough to follow any sound
// card's drift.
const double window = 0.5;
const double smoothing = 4.0;
const double correction = 10.0;

} // namespace

SoundClock::SoundClock(int rate)
    : rate(rate)
{
}

int SoundClock::heard(double heard, int count)
{
    const double where = heard * rate;
    if (!started) {
        started = true;
        at = std::llround(where);
        earliest = std::numeric_limits<double>::max();
        windowLeft = std::llround(window * rate);
        return 0;
    }
    earliest = std::min(earliest, where - double(at));
    windowLeft -= count;
    if (windowLeft > 0)
        return stretch;
    windowLeft += std::llround(window * rate);
    if (std::abs(earliest) > gapSeconds * rate) {
        at += std::llround(earliest);
        offset = 0;
    } else {
        offset += (earliest - offset) * window / smoothing;
    }
    earliest = std::numeric_limits<double>::max();
    const double most = mostStretch * rate;
    stretch = int(std::lround(std::clamp(offset / correction, -most, most)));
    return stretch;
}
