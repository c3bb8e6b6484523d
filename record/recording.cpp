#include "record/recording.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

bool evenArea(const Region &inner, Region *area)
{
    const int32_t width = inner.width & ~int32_t(1);
    const int32_t height = inner.height & ~int32_t(1);
    if (width < 2 || height < 2)
        return false;
    *area = { inner.x, inner.y, width, height };
    return true;
}

bool screenPart(const Region &area, int32_t screenWidth, int32_t screenHeight, ScreenPart *part)
{
    // In 64 bits: a stored position is anything a user wrote.
    const int64_t left = std::max<int64_t>(area.x, 0);
    const int64_t top = std::max<int64_t>(area.y, 0);
    const int64_t right = std::min<int64_t>(int64_t(area.x) + area.width, screenWidth);
    const int64_t bottom = std::min<int64_t>(int64_t(area.y) + area.height, screenHeight);
    if (right <= left || bottom <= top)
        return false;
    *part = { int32_t(left),         int32_t(top),          int32_t(left - area.x),
              int32_t(top - area.y), int32_t(right - left), int32_t(bottom - top) };
    return true;
}

std::string takeFileName(const std::tm &local, int attempt)
{
    char name[64];
    std::snprintf(name, sizeof name, "zorvi-%04d-%02d-%02d_%02d-%02d-%02d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    std::string result = name;
    if (attempt > 1)
        result += '-' + std::to_string(attempt);
    return result + ".mkv";
}

std::string videosFolderFrom(const std::string &userDirs, const std::string &home)
{
    // Lines of the form XDG_VIDEOS_DIR="$HOME/Videos"; the last one counts.
    std::string folder;
    std::istringstream lines(userDirs);
    const std::string key = "XDG_VIDEOS_DIR=\"";
    for (std::string line; std::getline(lines, line);) {
        const std::size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.compare(start, key.size(), key) != 0)
            continue;
        const std::size_t end = line.rfind('"');
        if (end < start + key.size())
            continue;
        std::string value = line.substr(start + key.size(), end - start - key.size());
        if (value.compare(0, 5, "$HOME") == 0 && (value.size() == 5 || value[5] == '/'))
            value = home.empty() ? std::string() : home + value.substr(5);
        folder = !value.empty() && value[0] == '/' ? value : std::string();
    }
    return folder;
}

void drawPointer(uint8_t *frame, int32_t width, int32_t height, const PointerImage &pointer,
                 int32_t x, int32_t y)
{
    // The image is small, its place anything the server says: in 64 bits.
    const int64_t imageX = int64_t(x) - pointer.hotX;
    const int64_t imageY = int64_t(y) - pointer.hotY;
    const int64_t left = std::max<int64_t>(imageX, 0);
    const int64_t top = std::max<int64_t>(imageY, 0);
    const int64_t right = std::min<int64_t>(imageX + pointer.width, width);
    const int64_t bottom = std::min<int64_t>(imageY + pointer.height, height);
    for (int64_t row = top; row < bottom; ++row) {
        for (int64_t column = left; column < right; ++column) {
            const uint32_t pixel
                = pointer.pixels[(row - imageY) * pointer.width + (column - imageX)];
            const uint32_t keep = 255 - (pixel >> 24);
            uint8_t *out = frame + (row * width + column) * 4;
            // Premultiplied: the colour plus what shows through of the frame.
            for (int channel = 0; channel < 3; ++channel)
                out[channel] = uint8_t(std::min<uint32_t>(
                    ((pixel >> (8 * channel)) & 0xff) + (out[channel] * keep + 127) / 255, 255));
        }
    }
}

std::string jsonString(const std::string &text)
{
    std::string json = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            json += escaped;
        } else {
            json += c;
        }
    }
    return json + '"';
}
