// The arithmetic of a recording, apart from the X server and the encoder:
// what is recorded of a region, which part of it the screen holds, and what
// the files are called.
#ifndef RECORDING_H
#define RECORDING_H

#include "settings/region.h"

#include <cstdint>
#include <ctime>
#include <string>

// The region with its width and height rounded down to even numbers, which
// the encoder's 4:2:0 needs; rounding up would take in the frame. False when
// nothing is left.
bool evenArea(const Region &inner, Region *area);

// Where the part of an area that lies on a screen of the given size comes
// from and goes to, in the area's own frame; all else is recorded black.
struct ScreenPart
{
    int32_t screenX = 0;
    int32_t screenY = 0;
    int32_t areaX = 0;
    int32_t areaY = 0;
    int32_t width = 0;
    int32_t height = 0;
};
// False when none of the area is on the screen.
bool screenPart(const Region &area, int32_t screenWidth, int32_t screenHeight, ScreenPart *part);

// zorvi-YYYY-MM-DD_HH-MM-SS.mkv for the local time given; a second take
// within that second is "…-2.mkv", and so on.
std::string takeFileName(const std::tm &local, int attempt);

// XDG_VIDEOS_DIR from the text of user-dirs.dirs ("$HOME/Videos" or an
// absolute path); empty when it names none.
std::string videosFolderFrom(const std::string &userDirs, const std::string &home);

// A pointer's image: premultiplied ARGB, one 32-bit value a pixel, as the X
// server gives it; the hot spot is the pixel that stands where the pointer is.
struct PointerImage
{
    const uint32_t *pixels;
    int32_t width, height;
    int32_t hotX, hotY;
};

// Draws the pointer over a frame of 32-bit BGR pixels, its hot spot at
// (x, y) of the frame; what falls outside the frame is left out.
void drawPointer(uint8_t *frame, int32_t width, int32_t height, const PointerImage &pointer,
                 int32_t x, int32_t y);

// TEXT as a JSON string, quotes included.
std::string jsonString(const std::string &text);

#endif // RECORDING_H
