#include "record/takelines.h"
#include "record/notifier.h"
#include "record/recording.h"

#include <cstdio>

namespace {

void print(const std::string &line)
{
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

} // namespace

TakeLines::TakeLines(bool json, Notifier *notifier) : json(json), notifier(notifier) { }

void TakeLines::recording(const std::string &file, const Region &area, int32_t width,
                          int32_t height)
{
    const std::string x = std::to_string(area.x), y = std::to_string(area.y);
    const std::string w = std::to_string(width), h = std::to_string(height);
    const std::string scaled = width == area.width && height == area.height
        ? std::string()
        : " (the monitor's own pixels: the frame's inside is " + std::to_string(area.width) + 'x'
            + std::to_string(area.height) + ")";
    print(json ? "{\"event\":\"recording\",\"file\":" + jsonString(file) + ",\"width\":" + w
                  + ",\"height\":" + h + ",\"x\":" + x + ",\"y\":" + y + "}"
               : "recording " + file + ": " + w + 'x' + h + " at " + x + "," + y + scaled);
}

void TakeLines::saved(const std::string &file, double seconds, long frames, long dropped)
{
    char length[32];
    std::snprintf(length, sizeof length, "%.1f", seconds);
    const std::string counts[] = { std::to_string(frames), std::to_string(dropped) };
    print(json ? "{\"event\":\"saved\",\"file\":" + jsonString(file) + ",\"seconds\":" + length
                  + ",\"frames\":" + counts[0] + ",\"dropped\":" + counts[1] + "}"
               : "saved " + file + ": " + length + " s, " + counts[0] + " frames, " + counts[1]
                  + " dropped");
    notifier->saved(file, seconds);
}

void TakeLines::failed(const std::string &file, bool removed, const std::string &reason,
                       long frames)
{
    note("the take " + file + " ended" + (removed ? " empty and was removed" : "") + ": " + reason
         + "; the next starts when capture is switched on again");
    if (json)
        print("{\"event\":\"failed\",\"file\":" + jsonString(file) + ",\"reason\":"
              + jsonString(reason) + ",\"frames\":" + std::to_string(frames) + "}");
    notifier->failed(file, reason);
}

void TakeLines::refused(const std::string &reason, bool captureOn)
{
    note("no take: " + reason + "; the next starts when capture is switched on again");
    if (json)
        print("{\"event\":\"failed\",\"file\":null,\"reason\":" + jsonString(reason)
              + ",\"frames\":0}");
    // Switched off by then, the user knows why there is none.
    if (captureOn)
        notifier->problem("No take",
                          reason + ". The next starts when capture is switched on again.");
}

void TakeLines::note(const std::string &line)
{
    std::fprintf(stderr, "zorvi-settings: %s\n", line.c_str());
}
