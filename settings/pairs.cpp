#include "settings/settings.h"

int readPosition(int32_t *x, int32_t *y)
{
    readSetting("start_x", x, 0);
    readSetting("start_y", y, 0);
    return 0;
}

int writePosition(int32_t x, int32_t y)
{
    return writeSettingPair("start_x", x, "start_y", y);
}

int readSize(int32_t *width, int32_t *height)
{
    readSetting("capture_width", width, 0);
    readSetting("capture_height", height, 0);
    return 0;
}

int writeSize(int32_t width, int32_t height)
{
    return writeSettingPair("capture_width", width, "capture_height", height);
}
