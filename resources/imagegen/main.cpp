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
// Output depends only on these sources and Qt's rasteriser: no text (fonts
// differ between machines), no timestamps, and the icon's palette building
// uses ordered containers and stable sorts only.

#include "resources/imagegen/icoencoder.h"

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
