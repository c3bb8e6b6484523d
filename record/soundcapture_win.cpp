// WASAPI in shared mode, on a thread of its own: the default output's
// loopback (what the desktop plays) and the default capture device (the
// microphone), each in its own format, converted by libswresample into the
// take's 48 kHz stereo, both mixed, kept on the take's clock by SoundClock.
#include "record/soundcapture.h"

#include "record/soundclock.h"
#include "record/soundring.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <future>
#include <thread>

#include <windows.h>

#include <audioclient.h>
#include <mmdeviceapi.h>
#include <mmreg.h>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace {

const int64_t capacity = 2 * SoundCapture::rate;
const int chunk = SoundCapture::rate / 100;

double wallNow()
{
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string hresult(HRESULT code)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lx", static_cast<unsigned long>(code));
    return text;
}

template <class T>
void release(T **object)
{
    if (*object)
        (*object)->Release();
    *object = nullptr;
}

// One endpoint, read as it comes and converted into the take's format.
struct Source
{
    IAudioClient *client = nullptr;
    IAudioCaptureClient *capture = nullptr;
    SwrContext *convert = nullptr;
    int frameBytes = 0;

    ~Source()
    {
        if (client)
            client->Stop();
        release(&capture);
        release(&client);
        swr_free(&convert);
    }

    bool open(IMMDeviceEnumerator *devices, bool loopback, std::string *error)
    {
        const char *name = loopback ? "desktop's sound" : "microphone";
        IMMDevice *device = nullptr;
        HRESULT code = devices->GetDefaultAudioEndpoint(loopback ? eRender : eCapture, eConsole,
                                                        &device);
        WAVEFORMATEX *format = nullptr;
        if (SUCCEEDED(code))
            code = device->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr,
                                    reinterpret_cast<void **>(&client));
        release(&device);
        if (SUCCEEDED(code))
            code = client->GetMixFormat(&format);
        // A second of the endpoint's own buffer: read every 10 ms.
        if (SUCCEEDED(code))
            code = client->Initialize(AUDCLNT_SHAREMODE_SHARED,
                                      loopback ? AUDCLNT_STREAMFLAGS_LOOPBACK : 0, 10000000, 0,
                                      format, nullptr);
        if (SUCCEEDED(code))
            code = client->GetService(__uuidof(IAudioCaptureClient),
                                      reinterpret_cast<void **>(&capture));
        if (FAILED(code)) {
            CoTaskMemFree(format);
            *error = std::string("the ") + name + " cannot be read through WASAPI ("
                + hresult(code) + ")";
            return false;
        }
        const bool made = makeConverter(*format, error);
        CoTaskMemFree(format);
        if (made && FAILED(code = client->Start())) {
            *error = std::string("the ") + name + " does not start (" + hresult(code) + ")";
            return false;
        }
        return made;
    }

    bool makeConverter(const WAVEFORMATEX &format, std::string *error)
    {
        // An extensible format's subformat GUID starts with the plain tag.
        unsigned long tag = format.wFormatTag;
        if (tag == WAVE_FORMAT_EXTENSIBLE)
            tag = reinterpret_cast<const WAVEFORMATEXTENSIBLE &>(format).SubFormat.Data1;
        const bool floating = tag == WAVE_FORMAT_IEEE_FLOAT;
        AVSampleFormat sampleFormat = AV_SAMPLE_FMT_NONE;
        if (floating && format.wBitsPerSample == 32)
            sampleFormat = AV_SAMPLE_FMT_FLT;
        else if (!floating && format.wBitsPerSample == 16)
            sampleFormat = AV_SAMPLE_FMT_S16;
        else if (!floating && format.wBitsPerSample == 32)
            sampleFormat = AV_SAMPLE_FMT_S32;
        if (sampleFormat == AV_SAMPLE_FMT_NONE) {
            *error = "a sound format of " + std::to_string(format.wBitsPerSample)
                + " bits a sample is not read";
            return false;
        }
        frameBytes = format.nBlockAlign;
        AVChannelLayout in, out;
        av_channel_layout_default(&in, format.nChannels);
        av_channel_layout_default(&out, SoundCapture::channels);
        if (swr_alloc_set_opts2(&convert, &out, AV_SAMPLE_FMT_S16, SoundCapture::rate, &in,
                                sampleFormat, int(format.nSamplesPerSec), 0, nullptr)
                < 0
            || av_opt_set_int(convert, "flags", SWR_FLAG_RESAMPLE, 0) < 0
            || swr_init(convert) < 0) {
            *error = "the sound's resampler cannot be made";
            return false;
        }
        return true;
    }

    // What came since the last call, into the converter; false once the
    // endpoint is gone.
    bool drain(std::vector<uint8_t> *silence)
    {
        UINT32 size = 0;
        while (SUCCEEDED(capture->GetNextPacketSize(&size)) && size > 0) {
            BYTE *data = nullptr;
            UINT32 frames = 0;
            DWORD flags = 0;
            if (FAILED(capture->GetBuffer(&data, &frames, &flags, nullptr, nullptr)))
                return false;
            if (flags & AUDCLNT_BUFFERFLAGS_SILENT) {
                silence->assign(std::size_t(frames) * frameBytes, 0);
                data = silence->data();
            }
            const uint8_t *in = data;
            swr_convert(convert, nullptr, 0, &in, int(frames));
            capture->ReleaseBuffer(frames);
        }
        return size == 0;
    }
};

} // namespace

struct SoundCapture::Shared
{
    double start = 0;
    std::atomic<bool> stop { false };

    std::shared_ptr<SoundRing> ring = std::make_shared<SoundRing>(capacity, channels);

    void read(Sound sound, std::promise<std::string> *opened)
    {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        run(sound, opened);
        CoUninitialize();
        ring->finish();
    }

    void run(Sound sound, std::promise<std::string> *opened)
    {
        IMMDeviceEnumerator *devices = nullptr;
        HRESULT code = CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL,
                                        __uuidof(IMMDeviceEnumerator),
                                        reinterpret_cast<void **>(&devices));
        if (FAILED(code)) {
            opened->set_value("no sound endpoints (" + hresult(code) + ")");
            return;
        }
        Source sources[2];
        int count = 0;
        std::string error;
        bool fine = (sound == Sound::Microphone || sources[count++].open(devices, true, &error))
            && (sound == Sound::Desktop || sources[count++].open(devices, false, &error));
        release(&devices);
        opened->set_value(fine ? std::string() : error);
        if (!fine)
            return;
        SoundClock clock(rate);
        std::vector<int16_t> mixed(4 * chunk * channels), other(mixed.size());
        std::vector<uint8_t> silence;
        bool first = true;
        while (!stop) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            for (int i = 0; i < count; ++i)
                if (!sources[i].drain(&silence))
                    return; // the endpoint went: silence from here
            // As much as every source has, mixed.
            int ready = int(mixed.size() / channels);
            for (int i = 0; i < count; ++i)
                ready = std::min(ready, int(swr_get_out_samples(sources[i].convert, 0)));
            if (ready <= 0)
                continue;
            // When the first of these was heard, at the latest: the newest
            // input was heard by now, and the resampler holds all since.
            const double heard
                = wallNow() - start - double(swr_get_delay(sources[0].convert, rate)) / rate;
            const int stretch = clock.heard(heard, ready);
            int got = 0;
            for (int i = 0; i < count; ++i) {
                swr_set_compensation(sources[i].convert, stretch, rate);
                uint8_t *out = reinterpret_cast<uint8_t *>(i ? other.data() : mixed.data());
                const int n = swr_convert(sources[i].convert, &out, ready, nullptr, 0);
                if (n < 0)
                    return;
                if (i == 0)
                    got = n;
                else
                    for (int k = 0; k < std::min(got, n) * channels; ++k)
                        mixed[k] = int16_t(std::clamp(mixed[k] + other[k], -32768, 32767));
            }
            if (first) {
                ring->start(clock.position());
                first = false;
            }
            ring->store(mixed.data(), clock.position(), got);
            clock.placed(got);
        }
    }
};

bool SoundCapture::open(Sound sound, double start, std::string *error)
{
    close();
    auto opened = std::make_shared<Shared>();
    opened->start = start;
    std::promise<std::string> told;
    std::future<std::string> answer = told.get_future();
    reader = std::thread([opened, sound, &told] { opened->read(sound, &told); });
    *error = answer.get();
    shared = opened;
    ring = opened->ring;
    if (!error->empty()) {
        close();
        return false;
    }
    return true;
}

void SoundCapture::close()
{
    if (!shared)
        return;
    shared->stop = true;
    if (reader.joinable())
        reader.join();
    shared.reset();
    ring.reset();
}
