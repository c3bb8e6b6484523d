#include "settings/region.h"
#include "settings/settings.h"

#include <cstdint>

bool readRegion(Region *region)
{
    Region read;
    if (readSettingPair("start_x", &read.x, "start_y", &read.y) != 0
        || readSettingPair("capture_width", &read.width, "capture_height", &read.height) != 0)
        return false;
    *region = read;
    return true;
}

std::string regionText(const Region &region)
{
    return std::to_string(region.x) + ' ' + std::to_string(region.y) + ' '
        + std::to_string(region.width) + ' ' + std::to_string(region.height);
}

std::string regionJson(const Region &region)
{
    return "{\"x\":" + std::to_string(region.x) + ",\"y\":" + std::to_string(region.y)
        + ",\"width\":" + std::to_string(region.width)
        + ",\"height\":" + std::to_string(region.height) + "}";
}

bool innerRegion(const Region &outer, int32_t thickness, Region *inner)
{
    // In 64 bits: stored values are anything a user wrote.
    const int64_t x = int64_t(outer.x) + thickness;
    const int64_t y = int64_t(outer.y) + thickness;
    const int64_t width = int64_t(outer.width) - 2 * int64_t(thickness);
    const int64_t height = int64_t(outer.height) - 2 * int64_t(thickness);
    if (width < 1 || height < 1 || x > INT32_MAX || y > INT32_MAX)
        return false;
    *inner = { int32_t(x), int32_t(y), int32_t(width), int32_t(height) };
    return true;
}

bool formatRegion(const std::string &format, const Region &region, std::string *text,
                  std::string *error)
{
    std::string result;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
            result += format[i];
            continue;
        }
        if (++i == format.size()) {
            *error = "a '%' at the end (write %% for a '%')";
            return false;
        }
        switch (format[i]) {
        case 'x':
            result += std::to_string(region.x);
            break;
        case 'y':
            result += std::to_string(region.y);
            break;
        case 'w':
            result += std::to_string(region.width);
            break;
        case 'h':
            result += std::to_string(region.height);
            break;
        case 'g':
            // A negative position reads "+-5", as X's geometry parser takes it.
            result += std::to_string(region.width) + 'x' + std::to_string(region.height) + '+'
                + std::to_string(region.x) + '+' + std::to_string(region.y);
            break;
        case '%':
            result += '%';
            break;
        default:
            *error = std::string("unknown placeholder '%") + format[i]
                + "' (one of %x %y %w %h %g %%)";
            return false;
        }
    }
    *text = result;
    return true;
}
