// X11, XWayland and Qt's other non-Wayland platforms of Unix (offscreen).
#include "stackingwatch.h"
#include "windowsystem.h"

#include <QGuiApplication>
#include <QRegion>
#include <QScreen>
#include <QWidget>
#include <QX11Info>

#include <xcb/shape.h>
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

// XWayland names its outputs after itself (XWAYLAND0, ...); it has no
// extension of its own to ask for.
bool onXWayland()
{
    if (!QX11Info::isPlatformX11())
        return false;
    const QList<QScreen *> screens = QGuiApplication::screens();
    for (const QScreen *screen : screens) {
        if (screen->name().startsWith(QLatin1String("XWAYLAND")))
            return true;
    }
    return false;
}

class X11WindowSystem : public WindowSystem
{
public:
    explicit X11WindowSystem(QWidget *window) : WindowSystem(window) { }

    void prepare() override
    {
        xwayland = onXWayland();
        // A Wayland compositor may draw an X window without its shape: there
        // the interior must be see-through by its own pixels.
        if (xwayland) {
            window->setAttribute(Qt::WA_TranslucentBackground);
            return;
        }
        // Opaque, not translucent: the mask already cuts the interior out,
        // and what it leaves, the frame and the title bar, is opaque. A
        // translucent window would have the X server (or a compositor) blend
        // all of it, and a resize would cost a new buffer of the whole window.
        // The children paint every pixel the mask leaves, so no background
        // fill goes first.
        window->setAttribute(Qt::WA_NoSystemBackground);
    }

    void move(const QPoint &topLeft) override
    {
        window->move(topLeft);
        askedAt = topLeft;
        placementAsked();
    }

    void resize(const QSize &size) override
    {
        window->resize(size);
        askedSize = size;
        placementAsked();
    }

    QScreen *screen() const override { return window->screen(); }

    void keepOnTop() override
    {
        // Its first shape, set before mutter showed it, is not always its
        // input region there.
        if (xwayland && !nudged && window->isVisible())
            nudge();
        if (xwayland)
            checkPlacement();
        // A raise travels to the window manager and back: only when
        // something may have come above us.
        if (!stackingWatch)
            stackingWatch = new StackingWatch(window);
        if (!stackingWatch->raiseNeeded())
            return;
        // Never activate: that would take the keyboard from the user's other
        // windows twenty times a second.
        window->raise();
        // The request would wait in the client's buffer until the next X
        // event arrives, and without a window manager nothing else raises us.
        if (QX11Info::isPlatformX11())
            xcb_flush(QX11Info::connection());
    }

    void setInputRegion(const QRegion &region) override
    {
        // Without a compositor X11 paints translucent pixels black and never
        // passes clicks through them; the mask shows what lies below the
        // interior and lets clicks reach it.
        if (region.isEmpty())
            window->clearMask();
        else
            window->setMask(region);
        // Qt sets the X window's bounding shape; a Wayland compositor (mutter)
        // takes an XWayland window's input region from its input shape.
        if (xwayland && window->internalWinId())
            setInputShape(region.isEmpty() ? QRegion(window->rect()) : region);
    }

private:
    void setInputShape(const QRegion &region)
    {
        std::vector<xcb_rectangle_t> rectangles;
        for (const QRect &rect : region)
            rectangles.push_back({ int16_t(rect.x()), int16_t(rect.y()), uint16_t(rect.width()),
                                   uint16_t(rect.height()) });
        const xcb_window_t id = xcb_window_t(window->internalWinId());
        xcb_connection_t *connection = QX11Info::connection();
        xcb_shape_rectangles(connection, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT,
                             XCB_CLIP_ORDERING_UNSORTED, id, 0, 0, uint32_t(rectangles.size()),
                             rectangles.data());
        // mutter takes the input shape anew when the window is resized, not
        // on a change alone (measured: mutter 43): a change at the same size
        // resizes it by a pixel and back.
        if (nudged && window->size() == shapedSize)
            nudge();
        shapedSize = window->size();
    }

    void nudge()
    {
        nudged = true;
        const QSize size = window->size();
        window->resize(size + QSize(0, 1));
        window->resize(size);
    }

    void placementAsked() { matched = mismatched = 0; }

    // Some compositors place an XWayland window after their own rules and
    // not where it asked: there the store would name a place the frame is
    // not at. Looked at on every tick until the X server has reported the
    // window where it asked for a second running; once it has, the
    // compositor honours our moves, and its own later corrections (keeping a
    // window on screen) do not end the picker.
    void checkPlacement()
    {
        if (!window->isVisible() || honoured)
            return;
        xcb_connection_t *connection = QX11Info::connection();
        const xcb_window_t id = xcb_window_t(window->internalWinId());
        const auto origin
            = xcb_translate_coordinates(connection, id, QX11Info::appRootWindow(), 0, 0);
        const auto size = xcb_get_geometry(connection, id);
        std::unique_ptr<xcb_translate_coordinates_reply_t, decltype(&std::free)> at(
            xcb_translate_coordinates_reply(connection, origin, nullptr), &std::free);
        std::unique_ptr<xcb_get_geometry_reply_t, decltype(&std::free)> geometry(
            xcb_get_geometry_reply(connection, size, nullptr), &std::free);
        if (!at || !geometry)
            return;
        const QPoint actualAt(at->dst_x, at->dst_y);
        const QSize actualSize(geometry->width, geometry->height);
        if (actualAt == askedAt && actualSize == askedSize) {
            honoured = ++matched >= settled;
            mismatched = 0;
            return;
        }
        matched = 0;
        if (++mismatched >= settled) {
            std::fprintf(stderr,
                         "zorvi: this compositor does not put an XWayland window where it asks "
                         "(at %d,%d %dx%d, not %d,%d %dx%d): the frame cannot be placed\n",
                         actualAt.x(), actualAt.y(), actualSize.width(), actualSize.height(),
                         askedAt.x(), askedAt.y(), askedSize.width(), askedSize.height());
            std::exit(1);
        }
    }

    // A second of ticks.
    static constexpr int settled = 20;
    bool xwayland = false;
    bool nudged = false;
    QSize shapedSize;
    StackingWatch *stackingWatch = nullptr;
    // Kept apart: a rectangle of stored values could overflow.
    QPoint askedAt;
    QSize askedSize;
    bool honoured = false;
    int matched = 0;
    int mismatched = 0;
};

} // namespace

WindowSystem *createX11WindowSystem(QWidget *window)
{
    return new X11WindowSystem(window);
}
