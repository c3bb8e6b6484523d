// The recorder's time: the monotonic clock that paces the ticks, and the
// wall clock that stamps the sound. A test hands in a clock of its own.
#ifndef CLOCK_H
#define CLOCK_H

#include <cstdint>

class Clock
{
public:
    virtual ~Clock() = default;
    // Nanoseconds on the monotonic clock.
    virtual int64_t now() const;
    // Seconds since the epoch.
    virtual double wall() const;
};

#endif // CLOCK_H
