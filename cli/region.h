// The capture region as one record: what an outside reader usually wants.
#ifndef REGION_H
#define REGION_H

#include <cstdint>
#include <string>

struct Region
{
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
};

// The position and the size are each read whole (never the first value of
// one pair write with the second of another), one pair after the other.
// False, leaving *region alone, when any of the four is not a DWORD.
bool readRegion(Region *region);

std::string regionText(const Region &region); // "X Y W H"
std::string regionJson(const Region &region);

#endif // REGION_H
