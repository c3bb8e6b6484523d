// The sound of a take: which of the sound server's sources it records, and
// whether there is a server at all.
#ifndef SOUND_H
#define SOUND_H

#include <string>

enum class Sound { None, Desktop, Microphone, Both };

// "desktop", "mic", "both" or "none"; false for anything else.
bool parseSound(const std::string &text, Sound *sound);

// Whether a sound server answers on its socket ($PULSE_SERVER, else
// $XDG_RUNTIME_DIR/pulse/native); *where names the socket tried.
bool soundServerAnswers(std::string *where);

#endif // SOUND_H
