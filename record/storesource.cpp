#include "record/storesource.h"

#include "record/recording.h"
#include "settings/frame.h"
#include "settings/key.h"
#include "settings/region.h"
#include "settings/settings.h"

bool StoreSource::captureOn() const
{
    int32_t openCam = 0;
    readSetting("open_cam", &openCam, 0);
    return openCam == 1;
}

int64_t StoreSource::switchedAt() const
{
    const int64_t now = clock.now();
    const int64_t ago = valueWrittenAgo("open_cam");
    return ago > 0 ? now - ago : now;
}

bool StoreSource::area(Region *area) const
{
    Region region;
    if (!readRegion(&region))
        return false;
    int32_t border = 0;
    readSetting("capture_border", &border, 0);
    return innerRegion(region, frameThicknessFor(border), &region) && evenArea(region, area);
}
