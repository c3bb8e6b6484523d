// Keeps a take's sound on the picture's clock. A sound card counts its own
// samples, a little faster or slower than the system clock: left alone, the
// sound of a ten-minute take ends a few frames away from its picture. Each
// chunk says when it was heard; the sound is stretched or squeezed, within
// what nobody hears, so that it stays where that says. A gap (samples lost,
// a stalled server) is closed at once instead.
#ifndef SOUNDCLOCK_H
#define SOUNDCLOCK_H

#include <cstdint>

class SoundClock
{
public:
    explicit SoundClock(int rate);

    // A chunk of `count` samples arrived whose first was heard `heard`
    // seconds into the take, or later: no chunk comes before it is heard,
    // but a server hands them over in bursts. Returns how many samples to
    // add (or, below zero, to drop) for each second of sound from here on.
    int heard(double heard, int count);
    // Where the next sample placed goes, in samples from the take's start.
    int64_t position() const { return at; }
    // `count` samples were placed at position().
    void placed(int count) { at += count; }

    // At most this share of the sound is added or dropped: 0.2 % is a
    // fifth of the smallest change of pitch a trained ear tells.
    static constexpr double mostStretch = 0.002;
    // A window whose chunks all lie further off than this is a gap.
    static constexpr double gapSeconds = 0.1;

private:
    int rate;
    bool started = false;
    int64_t at = 0;
    double offset = 0; // how far the sound lags where it was heard, smoothed, in samples
    double earliest = 0; // the least lag in this window
    int64_t windowLeft = 0; // samples
    int stretch = 0;
};

#endif // SOUNDCLOCK_H
