#include "record/sound.h"

#include <utility>

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
