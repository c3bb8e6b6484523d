// zorvi-settings record: takes of the region inside the frame while the
// capture flag is on, one file a take.
#ifndef RECORD_H
#define RECORD_H

#include <optional>
#include <string>

struct RecordOptions
{
    int fps = 30;
    std::optional<std::string> folder; // else the user's videos folder
    bool json = false;
    bool onWayland = false; // record although a Wayland session shows most windows black
    std::string sound = "desktop"; // desktop, mic, both or none
    bool pointer = true; // the pointer drawn in where it stands
};

// Linux on X11 only; elsewhere it says so (exit status 2). Returns the exit
// code, as the other commands do.
int runRecord(const RecordOptions &options);

#endif // RECORD_H
