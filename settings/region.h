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

// What lies inside a frame of the given thickness, the frame lying inside
// the region. False when nothing does.
bool innerRegion(const Region &outer, int32_t thickness, Region *inner);

// FORMAT with %x %y %w %h, %g (the WxH+X+Y geometry X programs take) and %%
// replaced, in the shape of the selector programs capture tools pair with.
// False, with *error naming it, for any other character after a '%' or a
// '%' at the end.
bool formatRegion(const std::string &format, const Region &region, std::string *text,
                  std::string *error);

#endif // REGION_H
