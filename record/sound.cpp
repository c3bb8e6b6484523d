#include "record/sound.h"

#include <cstdio>

bool parseSound(const std::string &text, Sound *sound)
{
    const std::pair<const char *, Sound> names[] = {
        { "none", Sound::None },
        { "desktop", Sound::Desktop },
        { "mic", Sound::Microphone },
        { "both", Sound::Both },
    };
    for (const auto &[name, value] : names) {
        if (text == name) {
            *sound = value;
            return true;
        }
    }
    return false;
}

SoundArguments soundArguments(Sound sound, double start)
{
    SoundArguments arguments;
    if (sound == Sound::None)
        return arguments;
    char offset[32];
    std::snprintf(offset, sizeof offset, "%.6f", -start);
    int count = 0;
    const auto input = [&](const char *source, const char *name) {
        // The pulse input stamps its packets with the wall clock; -copyts
        // keeps those stamps, and this offset makes them count from the
        // first frame.
        arguments.inputs.insert(arguments.inputs.end(),
                                { "-thread_queue_size", "1024", "-itsoffset", offset, "-f", "pulse",
                                  "-name", "zorvi", "-stream_name", name, "-i", source });
        ++count;
    };
    // The default output's monitor is what the desktop plays; the default
    // source is the microphone.
    if (sound != Sound::Microphone)
        input("@DEFAULT_MONITOR@", "desktop");
    if (sound != Sound::Desktop)
        input("default", "microphone");
    // Silence before the first sample and in any gap, so that the sound
    // starts with the picture and keeps to its stamps.
    const std::string align = "aresample=async=1:first_pts=0";
    std::vector<std::string> &out = arguments.output;
    out = { "-map", std::to_string(count) + ":v" };
    if (count == 2)
        out.insert(out.end(),
                   { "-filter_complex",
                     "[0:a][1:a]amix=inputs=2:duration=longest," + align + "[sound]", "-map",
                     "[sound]" });
    else
        out.insert(out.end(), { "-map", "0:a", "-af", align });
    // -shortest: the sound never ends by itself; the take ends with the frames.
    out.insert(out.end(), { "-copyts", "-c:a", "libopus", "-b:a", "128k", "-shortest" });
    return arguments;
}
