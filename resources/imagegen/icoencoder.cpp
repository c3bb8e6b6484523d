#include "resources/imagegen/icoencoder.h"

#include <QColor>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace {

struct ColourCount
{
    QRgb rgb;
    std::uint64_t count;
};

int channel(QRgb rgb, int axis)
{
    switch (axis) {
    case 0:
        return qRed(rgb);
    case 1:
        return qGreen(rgb);
    default:
        return qBlue(rgb);
    }
}

struct Box
{
    std::vector<ColourCount> colours;
    int widestAxis = 0;
    int widestRange = 0;

    void measure()
    {
        widestRange = -1;
        for (int axis = 0; axis < 3; ++axis) {
            int lo = 255;
            int hi = 0;
            for (const ColourCount &c : colours) {
                lo = std::min(lo, channel(c.rgb, axis));
                hi = std::max(hi, channel(c.rgb, axis));
            }
            if (hi - lo > widestRange) {
                widestRange = hi - lo;
                widestAxis = axis;
            }
        }
    }

    QRgb average() const
    {
        std::uint64_t r = 0;
        std::uint64_t g = 0;
        std::uint64_t b = 0;
        std::uint64_t n = 0;
        for (const ColourCount &c : colours) {
            r += qRed(c.rgb) * c.count;
            g += qGreen(c.rgb) * c.count;
            b += qBlue(c.rgb) * c.count;
            n += c.count;
        }
        return qRgb(int((r + n / 2) / n), int((g + n / 2) / n), int((b + n / 2) / n));
    }
};

// Median cut over the opaque pixels. Slot 0 stays black: the icon's
// transparent pixels point at it so the XOR image leaves the screen alone.
std::vector<QRgb> buildPalette(const std::map<QRgb, std::uint64_t> &histogram, std::size_t entries)
{
    std::vector<QRgb> palette { qRgb(0, 0, 0) };
    if (histogram.empty())
        return palette;
    if (histogram.size() < entries) {
        for (const auto &entry : histogram)
            palette.push_back(entry.first);
        return palette;
    }

    std::vector<Box> boxes(1);
    for (const auto &entry : histogram)
        boxes.front().colours.push_back({ entry.first, entry.second });
    boxes.front().measure();

    while (boxes.size() + 1 < entries) {
        auto widest = std::max_element(boxes.begin(), boxes.end(), [](const Box &a, const Box &b) {
            return a.widestRange < b.widestRange;
        });
        if (widest->widestRange <= 0 || widest->colours.size() < 2)
            break;
        const int axis = widest->widestAxis;
        std::stable_sort(widest->colours.begin(), widest->colours.end(),
                         [axis](const ColourCount &a, const ColourCount &b) {
                             return channel(a.rgb, axis) < channel(b.rgb, axis);
                         });
        std::uint64_t total = 0;
        for (const ColourCount &c : widest->colours)
            total += c.count;
        std::uint64_t seen = 0;
        std::size_t cut = 1;
        for (; cut < widest->colours.size(); ++cut) {
            seen += widest->colours[cut - 1].count;
            if (seen * 2 >= total)
                break;
        }
        cut = std::min(cut, widest->colours.size() - 1);
        Box upper;
        upper.colours.assign(widest->colours.begin() + std::ptrdiff_t(cut), widest->colours.end());
        widest->colours.resize(cut);
        widest->measure();
        upper.measure();
        boxes.push_back(std::move(upper));
    }
    for (const Box &box : boxes)
        palette.push_back(box.average());
    return palette;
}

std::uint8_t nearestIndex(const std::vector<QRgb> &palette, QRgb rgb)
{
    std::size_t best = 0;
    int bestDistance = 1 << 30;
    for (std::size_t i = 0; i < palette.size(); ++i) {
        const int dr = qRed(palette[i]) - qRed(rgb);
        const int dg = qGreen(palette[i]) - qGreen(rgb);
        const int db = qBlue(palette[i]) - qBlue(rgb);
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return std::uint8_t(best);
}

void put16(std::vector<std::uint8_t> &out, unsigned value)
{
    out.push_back(std::uint8_t(value & 0xFF));
    out.push_back(std::uint8_t((value >> 8) & 0xFF));
}

void put32(std::vector<std::uint8_t> &out, std::uint32_t value)
{
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

} // namespace

// A single 256-colour DIB entry. The classic ICO header stores width and
// height in one byte each, which is why sizes above 255 are not offered.
std::vector<std::uint8_t> encodeIco8(const QImage &source)
{
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const int width = image.width();
    const int height = image.height();

    // The AND mask is one bit deep, so half-covered edge pixels become either
    // fully drawn or fully see-through.
    auto opaque = [&](int x, int y) { return qAlpha(image.pixel(x, y)) >= 128; };

    std::map<QRgb, std::uint64_t> histogram;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (opaque(x, y))
                ++histogram[image.pixel(x, y) | 0xFF000000u];

    std::vector<QRgb> palette = buildPalette(histogram, 256);
    std::map<QRgb, std::uint8_t> lookup;
    for (const auto &entry : histogram)
        lookup[entry.first] = nearestIndex(palette, entry.first);
    palette.resize(256, qRgb(0, 0, 0));

    const std::uint32_t xorStride = std::uint32_t((width + 3) / 4 * 4);
    const std::uint32_t andStride = std::uint32_t((width + 31) / 32 * 4);
    const std::uint32_t pixelBytes = (xorStride + andStride) * std::uint32_t(height);
    const std::uint32_t dibBytes = 40 + 256 * 4 + pixelBytes;
    constexpr std::uint32_t kDirectoryBytes = 6 + 16;

    std::vector<std::uint8_t> out;
    out.reserve(kDirectoryBytes + dibBytes);

    put16(out, 0);
    put16(out, 1); // icon, not cursor
    put16(out, 1);
    out.push_back(std::uint8_t(width));
    out.push_back(std::uint8_t(height));
    out.push_back(0); // 0 means 256 colours
    out.push_back(0);
    put16(out, 1);
    put16(out, 8);
    put32(out, dibBytes);
    put32(out, kDirectoryBytes);

    put32(out, 40);
    put32(out, std::uint32_t(width));
    put32(out, std::uint32_t(height * 2)); // XOR image and AND mask stacked
    put16(out, 1);
    put16(out, 8);
    put32(out, 0);
    put32(out, pixelBytes);
    put32(out, 0);
    put32(out, 0);
    put32(out, 256);
    put32(out, 0);

    for (QRgb rgb : palette) {
        out.push_back(std::uint8_t(qBlue(rgb)));
        out.push_back(std::uint8_t(qGreen(rgb)));
        out.push_back(std::uint8_t(qRed(rgb)));
        out.push_back(0);
    }

    // DIB rows run bottom-up.
    for (int y = height - 1; y >= 0; --y) {
        std::uint32_t written = 0;
        for (int x = 0; x < width; ++x, ++written)
            out.push_back(opaque(x, y) ? lookup.at(image.pixel(x, y) | 0xFF000000u) : 0);
        for (; written < xorStride; ++written)
            out.push_back(0);
    }
    for (int y = height - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(andStride, 0);
        for (int x = 0; x < width; ++x)
            if (!opaque(x, y))
                row[std::size_t(x / 8)] |= std::uint8_t(0x80u >> (x % 8));
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}
