#include "record/soundring.h"

#include <algorithm>

SoundRing::SoundRing(int64_t capacity, int channels)
    : capacity(capacity), channels(channels), samples(std::size_t(capacity * channels))
{
}

void SoundRing::start(int64_t first)
{
    const std::lock_guard<std::mutex> guard(lock);
    begin = std::max<int64_t>(first, 0);
}

void SoundRing::store(const int16_t *from, int64_t at, int count)
{
    const std::lock_guard<std::mutex> guard(lock);
    for (int64_t i = std::max({ end, at - capacity, int64_t(0) }); i < at; ++i)
        std::fill_n(samples.begin() + (i % capacity) * channels, channels, int16_t(0));
    for (int i = 0; i < count; ++i)
        if (at + i >= 0)
            std::copy_n(from + i * channels, channels,
                        samples.begin() + ((at + i) % capacity) * channels);
    end = std::max<int64_t>(at + count, 0);
}

int64_t SoundRing::written() const
{
    const std::lock_guard<std::mutex> guard(lock);
    return end;
}

void SoundRing::take(int64_t from, int count, int16_t *out) const
{
    std::fill_n(out, count * channels, int16_t(0));
    const std::lock_guard<std::mutex> guard(lock);
    const int64_t kept = std::max(begin, end - capacity);
    for (int i = 0; i < count; ++i)
        if (from + i >= kept && from + i < end)
            std::copy_n(samples.begin() + ((from + i) % capacity) * channels, channels,
                        out + i * channels);
}

void SoundRing::finish()
{
    const std::lock_guard<std::mutex> guard(lock);
    done = true;
    ended.notify_all();
}

bool SoundRing::finished() const
{
    const std::lock_guard<std::mutex> guard(lock);
    return done;
}

bool SoundRing::waitFinished(std::chrono::milliseconds limit)
{
    std::unique_lock<std::mutex> guard(lock);
    return ended.wait_for(guard, limit, [this] { return done; });
}
