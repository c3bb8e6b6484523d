// The thickness the picker draws its frame with, for a stored capture_border.
// The overlay draws the frame and zorvi-settings cuts it off a capture
// (region --inner): both must agree, so the rule lives once, without Qt.
#ifndef FRAME_H
#define FRAME_H

#include <cstdint>

constexpr int32_t frameThicknessFor(int32_t border)
{
    return border >= 1 && border <= 10 ? border : 2;
}

#endif // FRAME_H
