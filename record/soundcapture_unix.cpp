#include "record/soundcapture.h"

#include "record/soundclock.h"
#include "record/soundring.h"

#include <algorithm>
#include <atomic>
#include <chrono>

#include <pulse/error.h>
#include <pulse/simple.h>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace {

// Ten milliseconds a read: pa_simple_read blocks until it has them all, so
// this is how late a stop is seen.
const int chunk = SoundCapture::rate / 100;
// Two seconds: the encoder takes the sound at every frame.
const int64_t capacity = 2 * SoundCapture::rate;

double wallNow()
{
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace

struct SoundCapture::Shared
{
    std::vector<pa_simple *> sources;
    SwrContext *stretch = nullptr;
    double start = 0;
    std::atomic<bool> stop { false };

    std::shared_ptr<SoundRing> ring = std::make_shared<SoundRing>(capacity, channels);

    ~Shared()
    {
        for (pa_simple *source : sources)
            pa_simple_free(source);
        swr_free(&stretch);
    }

    void read()
    {
        std::vector<int16_t> mixed(chunk * channels), other(chunk * channels);
        std::vector<int16_t> placed(2 * chunk * channels);
        const size_t bytes = mixed.size() * sizeof(int16_t);
        SoundClock clock(rate);
        bool first = true;
        int error = 0;
        while (!stop) {
            if (pa_simple_read(sources[0], mixed.data(), bytes, &error) < 0)
                break; // the server went: silence from here
            if (sources.size() > 1) {
                if (pa_simple_read(sources[1], other.data(), bytes, &error) < 0)
                    break;
                for (size_t i = 0; i < mixed.size(); ++i)
                    mixed[i] = int16_t(std::clamp(mixed[i] + other[i], -32768, 32767));
            }
            // When this chunk's first sample was heard, at the latest: a read
            // returns once all of it was, and the resampler still holds some
            // of those before. The server's latency figure is no help: a new
            // stream of a monitor claims a quarter of a second that is not
            // there.
            const double heard = wallNow() - start
                - double(chunk + swr_get_delay(stretch, rate)) / rate;
            if (swr_set_compensation(stretch, clock.heard(heard, chunk), rate) < 0)
                break;
            if (first) {
                // What came late is preceded by silence.
                ring->start(clock.position());
                first = false;
            }
            const uint8_t *in = reinterpret_cast<const uint8_t *>(mixed.data());
            uint8_t *out = reinterpret_cast<uint8_t *>(placed.data());
            const int count = swr_convert(stretch, &out, 2 * chunk, &in, chunk);
            if (count < 0)
                break;
            ring->store(placed.data(), clock.position(), count);
            clock.placed(count);
        }
        ring->finish();
    }
};

bool SoundCapture::open(Sound sound, double start, std::string *error)
{
    close();
    auto opened = std::make_shared<Shared>();
    opened->start = start;
    // The same rate in and out: the resampler only stretches, as the sound
    // clock asks.
    AVChannelLayout layout;
    av_channel_layout_default(&layout, channels);
    if (swr_alloc_set_opts2(&opened->stretch, &layout, AV_SAMPLE_FMT_S16, rate, &layout,
                            AV_SAMPLE_FMT_S16, rate, 0, nullptr) < 0
        || av_opt_set_int(opened->stretch, "flags", SWR_FLAG_RESAMPLE, 0) < 0
        || swr_init(opened->stretch) < 0) {
        *error = "the sound's resampler cannot be made";
        return false;
    }
    const pa_sample_spec sampling = { PA_SAMPLE_S16NE, rate, channels };
    pa_buffer_attr attributes;
    attributes.maxlength = uint32_t(-1);
    attributes.fragsize = uint32_t(chunk * channels * sizeof(int16_t));
    const auto connect = [&](const char *device, const char *name) {
        int code = 0;
        pa_simple *source = pa_simple_new(nullptr, "zorvi", PA_STREAM_RECORD, device, name, &sampling,
                                          nullptr, &attributes, &code);
        if (!source) {
            *error = std::string("the sound server's ") + name
                + " cannot be read: " + pa_strerror(code);
            return false;
        }
        opened->sources.push_back(source);
        return true;
    };
    // The default output's monitor is what the desktop plays; the default
    // source is the microphone.
    if (sound != Sound::Microphone && !connect("@DEFAULT_MONITOR@", "desktop"))
        return false;
    if (sound != Sound::Desktop && !connect(nullptr, "microphone"))
        return false;
    shared = opened;
    ring = opened->ring;
    reader = std::thread([opened] { opened->read(); });
    return true;
}

void SoundCapture::close()
{
    if (!shared)
        return;
    shared->stop = true;
    // A read returns within its ten milliseconds unless the server hangs:
    // then the thread keeps what it shares and frees it when it ends.
    if (shared->ring->waitFinished(std::chrono::seconds(1)))
        reader.join();
    else
        reader.detach();
    shared.reset();
    ring.reset();
}
