#include "region.h"
#include "settings.h"

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
