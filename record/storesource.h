// The flag and the region as the settings key has them now, for the take
// loop of either platform.
#ifndef STORESOURCE_H
#define STORESOURCE_H

#include "record/clock.h"
#include "record/takerecorder.h"

class StoreSource : public TakeSource
{
public:
    explicit StoreSource(const Clock &clock) : clock(clock) { }

    bool captureOn() const override;
    int64_t switchedAt() const override;
    bool area(Region *area) const override;

private:
    const Clock &clock;
};

#endif // STORESOURCE_H
