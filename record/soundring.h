// The last seconds of a take's sound, placed by sample from the take's
// start, between the thread that reads it and the encoder that takes it;
// and whether that thread still reads.
#ifndef SOUNDRING_H
#define SOUNDRING_H

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

class SoundRing
{
public:
    SoundRing(int64_t capacity, int channels);

    // The first sample heard: silence before it.
    void start(int64_t first);
    // `count` interleaved samples from sample `at` on (those before the take
    // dropped); what a gap skipped over is silence, not what the ring held.
    void store(const int16_t *samples, int64_t at, int count);
    // One past the last sample stored.
    int64_t written() const;
    // `count` samples from `from` on: silence where none was stored, or it
    // is no longer kept.
    void take(int64_t from, int count, int16_t *out) const;

    // The reading thread is done: nothing more will come.
    void finish();
    bool finished() const;
    // Waits up to `limit` for finish(); whether it came.
    bool waitFinished(std::chrono::milliseconds limit);

private:
    const int64_t capacity;
    const int channels;
    mutable std::mutex lock;
    std::vector<int16_t> samples;
    int64_t begin = 0;
    int64_t end = 0;
    std::condition_variable ended;
    bool done = false;
};

#endif // SOUNDRING_H
