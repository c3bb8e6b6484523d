// Draws zorvi's artwork: the title-bar buttons and logo (Image/*.png), the
// desktop icon (icons/zorvi.png) and the Windows icon (zorvi.ico).
//
// The drawn files are committed so a normal build needs no generator run.
// After changing a drawing below, redraw them with
//     cmake --build build --target zorvi_images
// or standalone:
//     cmake -S resources/imagegen -B /tmp/imagegen-build
//     cmake --build /tmp/imagegen-build
//     /tmp/imagegen-build/zorvi_imagegen resources
// and look at the result at 20 x 20 on the title-bar blue before committing.
//
// Output depends only on this file and Qt's rasteriser: no text (fonts differ
// between machines), no timestamps, and the palette building below uses
// ordered containers and stable sorts only.

#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPointF>
#include <QPolygonF>
#include <QRectF>
#include <QString>
#include <QVector>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <vector>

namespace {

// Buttons are drawn on a 200 x 200 grid and shown at 20 x 20, so one
// on-screen pixel is 10 units here: anything thinner than ~16 disappears.
constexpr int kButton = 200;

const QColor kInk(0xFF, 0xFF, 0xFF);
const QColor kAccent(0xD4, 0x2B, 0x10);
const QColor kBar(0x48, 0xA4, 0xF6);
const QColor kPressed(0x16, 0x4F, 0x8C);
const QColor kMuted(0xDA, 0xE1, 0xE8);
const QColor kCheckInk(0x12, 0x5A, 0xA8);

QImage blankCanvas(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QPen roundPen(const QColor &colour, qreal width)
{
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void beginPainting(QPainter &painter)
{
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setBrush(Qt::NoBrush);
}

// A strike drawn straight over a symbol merges with it at 20 px; clearing a
// wider band first leaves a visible gap on both sides of the strike.
void strikeThrough(QPainter &painter, const QColor &colour)
{
    const QPointF from(30, 170);
    const QPointF to(170, 30);
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_Clear);
    painter.setPen(roundPen(Qt::black, 48));
    painter.drawLine(from, to);
    painter.restore();
    painter.setPen(roundPen(colour, 20));
    painter.drawLine(from, to);
}

// The four corners of the square lo..hi, each an L with arms of arm.
QPainterPath cornerBrackets(qreal lo, qreal hi, qreal arm)
{
    QPainterPath path;
    path.moveTo(lo, lo + arm);
    path.lineTo(lo, lo);
    path.lineTo(lo + arm, lo);
    path.moveTo(hi - arm, lo);
    path.lineTo(hi, lo);
    path.lineTo(hi, lo + arm);
    path.moveTo(hi, hi - arm);
    path.lineTo(hi, hi);
    path.lineTo(hi - arm, hi);
    path.moveTo(lo + arm, hi);
    path.lineTo(lo, hi);
    path.lineTo(lo, hi - arm);
    return path;
}

// Viewfinder corners around a red "recording" dot, on the 200 grid.
void drawLogoGlyph(QPainter &painter)
{
    constexpr qreal lo = 24;
    constexpr qreal hi = 176;
    constexpr qreal arm = 50;
    QPainterPath corners = cornerBrackets(lo, hi, arm);
    painter.setPen(QPen(kInk, 22, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.drawPath(corners);

    painter.setPen(Qt::NoPen);
    painter.setBrush(kInk);
    painter.drawEllipse(QPointF(100, 100), 40, 40);
    painter.setBrush(kAccent);
    painter.drawEllipse(QPointF(100, 100), 28, 28);
    painter.setBrush(Qt::NoBrush);
}

void drawLogo(QPainter &painter, const QRectF &target)
{
    painter.save();
    painter.translate(target.topLeft());
    painter.scale(target.width() / kButton, target.height() / kButton);
    drawLogoGlyph(painter);
    painter.restore();
}

QImage logoButton()
{
    QImage image = blankCanvas(kButton, kButton);
    QPainter painter(&image);
    beginPainting(painter);
    drawLogoGlyph(painter);
    return image;
}

const QRectF kFrame(34, 34, 132, 132);

QImage frameShown()
{
    QImage image = blankCanvas(kButton, kButton);
    QPainter painter(&image);
    beginPainting(painter);
    // The white rim keeps the red band apart from the blue bar behind it.
    painter.setPen(roundPen(kInk, 42));
    painter.drawRoundedRect(kFrame, 10, 10);
    painter.setPen(roundPen(kAccent, 24));
    painter.drawRoundedRect(kFrame, 10, 10);
    return image;
}

QImage frameHidden()
{
    QImage image = blankCanvas(kButton, kButton);
    QPainter painter(&image);
    beginPainting(painter);
    // Dashes are laid out by hand rather than with a dash pattern so that
    // every side gets the same corner/middle rhythm.
    const qreal lo = kFrame.left();
    const qreal hi = kFrame.right();
    const qreal arm = 34;
    const qreal mid = 100;
    const qreal half = 16;
    QPainterPath dashes = cornerBrackets(lo, hi, arm);
    dashes.moveTo(mid - half, lo);
    dashes.lineTo(mid + half, lo);
    dashes.moveTo(mid - half, hi);
    dashes.lineTo(mid + half, hi);
    dashes.moveTo(lo, mid - half);
    dashes.lineTo(lo, mid + half);
    dashes.moveTo(hi, mid - half);
    dashes.lineTo(hi, mid + half);
    painter.setPen(QPen(kMuted, 22, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    painter.drawPath(dashes);
    strikeThrough(painter, kInk);
    return image;
}

QPainterPath cameraBody()
{
    QPainterPath body;
    body.addRoundedRect(QRectF(18, 58, 114, 84), 18, 18);
    return body;
}

QPolygonF cameraLens()
{
    return QPolygonF(QVector<QPointF> { { 140, 88 }, { 184, 62 }, { 184, 138 }, { 140, 112 } });
}

QImage cameraOn()
{
    QImage image = blankCanvas(kButton, kButton);
    QPainter painter(&image);
    beginPainting(painter);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kInk);
    painter.drawPath(cameraBody());
    painter.setPen(roundPen(kInk, 8));
    painter.drawPolygon(cameraLens());
    painter.setPen(Qt::NoPen);
    painter.setBrush(kAccent);
    painter.drawEllipse(QPointF(75, 100), 24, 24);
    return image;
}

QImage cameraOff()
{
    QImage image = blankCanvas(kButton, kButton);
    QPainter painter(&image);
    beginPainting(painter);
    painter.setPen(roundPen(kInk, 18));
    painter.drawPath(cameraBody());
    painter.drawPolygon(cameraLens());
    strikeThrough(painter, kInk);
    return image;
}

const QRectF kKey(24, 24, 152, 152);

// Zoom buttons: the pressed look fills the key dark so the click reads even
// when the symbol itself is too small to notice a change.
QImage zoomKey(bool plus, bool pressed)
{
    QImage image = blankCanvas(kButton, kButton);
    QPainter painter(&image);
    beginPainting(painter);
    painter.setPen(roundPen(kInk, 18));
    painter.setBrush(pressed ? QBrush(kPressed) : QBrush(Qt::NoBrush));
    painter.drawRoundedRect(kKey, 32, 32);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(roundPen(kInk, 24));
    painter.drawLine(QPointF(60, 100), QPointF(140, 100));
    if (plus)
        painter.drawLine(QPointF(100, 60), QPointF(100, 140));
    return image;
}

const QRectF kBox(28, 28, 144, 144);

QImage checkBox(bool checked)
{
    QImage image = blankCanvas(kButton, kButton);
    QPainter painter(&image);
    beginPainting(painter);
    painter.setPen(roundPen(kInk, 18));
    painter.setBrush(checked ? QBrush(kInk) : QBrush(Qt::NoBrush));
    painter.drawRoundedRect(kBox, 24, 24);
    if (checked) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(roundPen(kCheckInk, 24));
        painter.drawPolyline(QPolygonF(QVector<QPointF> { { 60, 102 }, { 88, 132 }, { 142, 70 } }));
    }
    return image;
}

// Launchers put the icon on any wallpaper or theme, so the logo gets its own
// opaque tile in the title-bar colour.
QImage tiledLogo(int width, int height)
{
    QImage image = blankCanvas(width, height);
    QPainter painter(&image);
    beginPainting(painter);
    const qreal inset = std::min(width, height) / 32.0;
    const QRectF tile(inset, inset, width - 2 * inset, height - 2 * inset);
    const qreal radius = std::min(width, height) * 0.19;
    painter.setPen(Qt::NoPen);
    painter.setBrush(kBar);
    painter.drawRoundedRect(tile, radius, radius);
    const qreal side = std::min(width, height) * 0.78;
    drawLogo(painter, QRectF((width - side) / 2, (height - side) / 2, side, side));
    return image;
}

// ---- 8-bit icon encoding -------------------------------------------------

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

// ---- output ----------------------------------------------------------------

bool savePng(const QImage &image, const QString &path)
{
    // Straight (non-premultiplied) ARGB is what PNG stores as RGBA.
    if (!image.convertToFormat(QImage::Format_ARGB32).save(path, "PNG")) {
        std::fprintf(stderr, "zorvi_imagegen: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

bool saveBytes(const std::vector<std::uint8_t> &bytes, const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(reinterpret_cast<const char *>(bytes.data()), qint64(bytes.size()))
            != qint64(bytes.size())
        || !file.flush()) {
        std::fprintf(stderr, "zorvi_imagegen: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

struct Button
{
    const char *name;
    std::function<QImage()> draw;
};

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr,
                     "usage: %s RESOURCES_DIR\n"
                     "writes RESOURCES_DIR/Image/*.png, RESOURCES_DIR/icons/zorvi.png"
                     " and RESOURCES_DIR/zorvi.ico\n",
                     argv[0]);
        return 2;
    }
    const QDir root(QString::fromLocal8Bit(argv[1]));
    if (!root.mkpath(QStringLiteral("Image")) || !root.mkpath(QStringLiteral("icons"))) {
        std::fprintf(stderr, "zorvi_imagegen: cannot create folders under %s\n", argv[1]);
        return 1;
    }

    const std::array<Button, 11> buttons { {
        { "LOGO", logoButton },
        { "show_capture_border", frameShown },
        { "hide_capture_border", frameHidden },
        { "open_cam", cameraOn },
        { "close_cam", cameraOff },
        { "big", [] { return zoomKey(true, false); } },
        { "big_clicked", [] { return zoomKey(true, true); } },
        { "small", [] { return zoomKey(false, false); } },
        { "small_clicked", [] { return zoomKey(false, true); } },
        { "check", [] { return checkBox(true); } },
        { "uncheck", [] { return checkBox(false); } },
    } };

    bool ok = true;
    for (const Button &button : buttons) {
        const QString path
            = root.filePath(QStringLiteral("Image/%1.png").arg(QLatin1String(button.name)));
        ok = savePng(button.draw(), path) && ok;
    }
    ok = savePng(tiledLogo(256, 256), root.filePath(QStringLiteral("icons/zorvi.png"))) && ok;
    ok = saveBytes(encodeIco8(tiledLogo(166, 148)), root.filePath(QStringLiteral("zorvi.ico")))
        && ok;
    return ok ? 0 : 1;
}
