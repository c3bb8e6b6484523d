#include "record/streamcrop.h"

#include <algorithm>

namespace {

// value × pixels / logical, to the nearest, halves up; in 64 bits, since a
// stored position is anything a user wrote. Floor division: value may be
// negative (left of the monitor).
int64_t toPixels(int64_t value, int64_t pixels, int64_t logical)
{
    const int64_t twice = 2 * value * pixels + logical;
    const int64_t divisor = 2 * logical;
    return twice >= 0 ? twice / divisor : -((-twice + divisor - 1) / divisor);
}

int64_t overlap(const Region &a, const Region &b)
{
    const int64_t width = std::min<int64_t>(int64_t(a.x) + a.width, int64_t(b.x) + b.width)
        - std::max<int64_t>(a.x, b.x);
    const int64_t height = std::min<int64_t>(int64_t(a.y) + a.height, int64_t(b.y) + b.height)
        - std::max<int64_t>(a.y, b.y);
    return width > 0 && height > 0 ? width * height : 0;
}

bool usable(const StreamMonitor &monitor)
{
    return monitor.logical.width > 0 && monitor.logical.height > 0 && monitor.pixelWidth > 0
        && monitor.pixelHeight > 0;
}

bool sameScale(const StreamMonitor &a, const StreamMonitor &b)
{
    return int64_t(a.pixelWidth) * b.logical.width == int64_t(b.pixelWidth) * a.logical.width
        && int64_t(a.pixelHeight) * b.logical.height == int64_t(b.pixelHeight) * a.logical.height;
}

} // namespace

int startMonitor(const std::vector<StreamMonitor> &monitors, const Region &area)
{
    int best = -1;
    int64_t most = 0;
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        const int64_t part = usable(monitors[i]) ? overlap(monitors[i].logical, area) : 0;
        if (part > most) {
            most = part;
            best = int(i);
        }
    }
    return best;
}

int followMonitor(const std::vector<StreamMonitor> &monitors, int current, const Region &area)
{
    if (current < 0 || std::size_t(current) >= monitors.size())
        return startMonitor(monitors, area);
    if (overlap(monitors[current].logical, area) > 0)
        return current;
    const int next = startMonitor(monitors, area);
    return next >= 0 && sameScale(monitors[next], monitors[current]) ? next : current;
}

bool streamFrameSize(const StreamMonitor &monitor, int32_t width, int32_t height,
                     int32_t *frameWidth, int32_t *frameHeight)
{
    if (!usable(monitor) || width <= 0 || height <= 0)
        return false;
    const int64_t w = toPixels(width, monitor.pixelWidth, monitor.logical.width) & ~int64_t(1);
    const int64_t h = toPixels(height, monitor.pixelHeight, monitor.logical.height) & ~int64_t(1);
    // Larger than any monitor's pixels would be nothing a stream holds.
    if (w < 2 || h < 2 || w > INT32_MAX || h > INT32_MAX)
        return false;
    *frameWidth = int32_t(w);
    *frameHeight = int32_t(h);
    return true;
}

bool streamPart(const StreamMonitor &monitor, int32_t x, int32_t y, int32_t frameWidth,
                int32_t frameHeight, ScreenPart *part)
{
    if (!usable(monitor))
        return false;
    const int64_t left
        = toPixels(int64_t(x) - monitor.logical.x, monitor.pixelWidth, monitor.logical.width);
    const int64_t top
        = toPixels(int64_t(y) - monitor.logical.y, monitor.pixelHeight, monitor.logical.height);
    // Far off the monitor is nothing of it, whatever the sums would wrap to.
    if (left >= monitor.pixelWidth || top >= monitor.pixelHeight || left + frameWidth <= 0
        || top + frameHeight <= 0)
        return false;
    return screenPart({ int32_t(left), int32_t(top), frameWidth, frameHeight }, monitor.pixelWidth,
                      monitor.pixelHeight, part);
}
