// The arithmetic of recording from streams of whole monitors, apart from the
// streams themselves: which monitor a take records, how large its frames
// are on a scaled monitor, and which of a monitor's pixels go where.
#ifndef STREAMCROP_H
#define STREAMCROP_H

#include "record/recording.h"
#include "settings/region.h"

#include <cstdint>
#include <vector>

// A monitor as its stream shows it: its place and size in the desktop's
// logical layout (where the store's region lives), and the size of the
// stream's pixels, larger on a monitor scaled above 1.
struct StreamMonitor
{
    Region logical;
    int32_t pixelWidth = 0;
    int32_t pixelHeight = 0;
};

// The monitor holding the largest part of the area: the one a take starts
// on. -1 when the area is on none of them.
int startMonitor(const std::vector<StreamMonitor> &monitors, const Region &area);

// The monitor a take records from now: `current` while any of the area is
// still on it; once none is, the one holding most of it, provided its scale
// is current's (the take's frame keeps its size). Else `current`.
int followMonitor(const std::vector<StreamMonitor> &monitors, int current, const Region &area);

// The size of a take's frames for an area of the given logical size on the
// monitor: scaled to the monitor's pixels, rounded down to even numbers.
// False when nothing is left.
bool streamFrameSize(const StreamMonitor &monitor, int32_t width, int32_t height,
                     int32_t *frameWidth, int32_t *frameHeight);

// Which of the monitor's pixels make the frame (screenX, screenY: in the
// stream's pixels) and where they land in it (areaX, areaY), for the area at
// (x, y) in the logical layout; the rest of the frame is black. False when
// none of the area is on the monitor.
bool streamPart(const StreamMonitor &monitor, int32_t x, int32_t y, int32_t frameWidth,
                int32_t frameHeight, ScreenPart *part);

#endif // STREAMCROP_H
