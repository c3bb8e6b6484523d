// The sound of a take: which of the sound server's sources go into the
// take's ffmpeg, beside the frames, and whether there is a server at all.
#ifndef SOUND_H
#define SOUND_H

#include <string>
#include <vector>

enum class Sound { None, Desktop, Microphone, Both };

// "desktop", "mic", "both" or "none"; false for anything else.
bool parseSound(const std::string &text, Sound *sound);

// ffmpeg's arguments for a take's sound: the inputs, which go before the
// frames' input (so that the sound server is open by the time ffmpeg takes
// the first frame), and how they reach the file, which goes with the output.
// Each source is stamped with the wall clock when it is read; `start` is the
// wall-clock time of the take's first frame, in seconds, so that sound and
// picture share one time line that begins with that frame.
struct SoundArguments
{
    std::vector<std::string> inputs;
    std::vector<std::string> output;
};
SoundArguments soundArguments(Sound sound, double start);

// Whether a sound server answers on its socket ($PULSE_SERVER, else
// $XDG_RUNTIME_DIR/pulse/native); *where names the socket tried.
bool soundServerAnswers(std::string *where);

#endif // SOUND_H
