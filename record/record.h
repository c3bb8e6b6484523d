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
    bool onWayland = false; // the X grab in a Wayland session, which sees only X11 windows
    std::string sound = "desktop"; // desktop, mic, both or none
    bool pointer = true; // the pointer drawn in where it stands
    int waitSeconds = 0; // for another record of the session to end first
};

// For a key that exists (the caller has told the user otherwise). On Linux
// X11, or a Wayland session through the desktop's portal; on Windows the
// desktop's duplication or GDI, or in a build without FFmpeg's libraries it
// says so (exit status 2). Returns the exit code, as the other commands do.
int runRecord(const RecordOptions &options);

#ifdef _WIN32
// The event that asks the record of process `pid` to end its take and exit,
// as Ctrl+C does: the picker sets it when it quits.
inline std::wstring recordStopEventName(unsigned long pid)
{
    return L"Local\\zorvi-record-stop-" + std::to_wstring(pid);
}

// The picker hands its recorder, in this variable, an inherited handle of
// the picker's own process (decimal): the recorder saves its take and exits
// when the picker ends, however it ends.
inline constexpr char pickerProcessVariable[] = "ZORVI_PICKER_PROCESS";
#endif

#endif // RECORD_H
