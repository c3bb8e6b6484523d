// XWayland, where the compositor has no layer-shell (GNOME): an X window
// that the compositor may draw without its shape, whose input region it
// resets on every new picture, and which it may place after its own rules.
#include "window/sparerow.h"
#include "window/windowsystem_x11.h"

#include <QEvent>
#include <QGuiApplication>
#include <QRegion>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QX11Info>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

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

namespace {

class XWaylandWindowSystem : public X11WindowSystem
{
public:
    explicit XWaylandWindowSystem(QWidget *window) : X11WindowSystem(window) { }

    void prepare() override
    {
        // The interior must be see-through by its own pixels.
        window->setAttribute(Qt::WA_TranslucentBackground);
        // Qt draws the whole window in its update requests.
        window->installEventFilter(this);
    }

    void move(const QPoint &topLeft) override
    {
        X11WindowSystem::move(topLeft);
        askedAt = topLeft;
        placementAsked();
    }

    void resize(const QSize &size) override
    {
        X11WindowSystem::resize(size);
        askedSize = size;
        placementAsked();
    }

    void keepOnTop() override
    {
        spareRow.tick();
        flip();
        checkPlacement();
        X11WindowSystem::keepOnTop();
    }

    void setInputRegion(const QRegion &region) override
    {
        // The X window may hold a spare row below what Qt knows of, which no
        // shape may show; mutter takes the bounding shape as the input
        // region where there is no input shape.
        window->setMask(region.isEmpty() ? QRegion(window->rect()) : region);
    }

    bool nativeEvent(void *message) override
    {
        auto *event = static_cast<xcb_generic_event_t *>(message);
        const xcb_window_t id = xcb_window_t(window->internalWinId());
        switch (event->response_type & 0x7f) {
        case XCB_CONFIGURE_NOTIFY: {
            auto *configure = reinterpret_cast<xcb_configure_notify_event_t *>(event);
            if (configure->window != id)
                return false;
            configure->height = uint16_t(spareRow.configured(configure->x, configure->y,
                                                             configure->height, window->height()));
            break;
        }
        case XCB_EXPOSE: {
            auto *expose = reinterpret_cast<xcb_expose_event_t *>(event);
            if (expose->window != id)
                return false;
            // Qt would paint the spare row.
            if (expose->y >= window->height())
                return true;
            spareRow.drawn();
            break;
        }
        case XCB_PROPERTY_NOTIFY: {
            auto *property = reinterpret_cast<xcb_property_notify_event_t *>(event);
            if (property->window != id || property->atom != allowCommitsAtom())
                return false;
            spareRow.commitsAllowed(property->state == XCB_PROPERTY_DELETE || commitsAllowed(id));
            break;
        }
        default:
            return false;
        }
        scheduleFlip();
        return false;
    }

    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::UpdateRequest) {
            spareRow.drawn();
            scheduleFlip();
        }
        return false;
    }

private:
    // Once what is under way is done: the pixels of a paint reach the X
    // server before the flip.
    void scheduleFlip()
    {
        if (flipQueued)
            return;
        flipQueued = true;
        QTimer::singleShot(0, this, [this] {
            flipQueued = false;
            flip();
        });
    }

    void flip()
    {
        const std::optional<int> height
            = spareRow.flip(window->height(), QGuiApplication::mouseButtons() != Qt::NoButton);
        if (!height || !window->internalWinId())
            return;
        const uint32_t value = uint32_t(*height);
        xcb_connection_t *connection = QX11Info::connection();
        xcb_configure_window(connection, xcb_window_t(window->internalWinId()),
                             XCB_CONFIG_WINDOW_HEIGHT, &value);
        xcb_flush(connection);
    }

    xcb_atom_t allowCommitsAtom()
    {
        if (allowCommits == XCB_ATOM_NONE) {
            static const char name[] = "_XWAYLAND_ALLOW_COMMITS";
            xcb_connection_t *connection = QX11Info::connection();
            std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
                xcb_intern_atom_reply(
                    connection, xcb_intern_atom(connection, 0, sizeof(name) - 1, name), nullptr),
                &std::free);
            if (reply)
                allowCommits = reply->atom;
        }
        return allowCommits;
    }

    bool commitsAllowed(xcb_window_t id)
    {
        xcb_connection_t *connection = QX11Info::connection();
        std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
            xcb_get_property_reply(
                connection,
                xcb_get_property(connection, 0, id, allowCommitsAtom(), XCB_ATOM_CARDINAL, 0, 1),
                nullptr),
            &std::free);
        if (!reply || xcb_get_property_value_length(reply.get()) < 4)
            return true;
        return *static_cast<const uint32_t *>(xcb_get_property_value(reply.get())) != 0;
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
        // The spare row is ours.
        const int spare = actualSize.height() - askedSize.height();
        if (actualAt == askedAt && actualSize.width() == askedSize.width()
            && (spare == 0 || spare == 1)) {
            honoured = ++matched >= settled;
            mismatched = 0;
            return;
        }
        matched = 0;
        if (++mismatched >= settled) {
            frameNotPlaced(QStringLiteral("this compositor does not put an XWayland window where "
                                          "it asks (at %1,%2 %3x%4, not %5,%6 %7x%8): the frame "
                                          "cannot be placed")
                               .arg(actualAt.x())
                               .arg(actualAt.y())
                               .arg(actualSize.width())
                               .arg(actualSize.height())
                               .arg(askedAt.x())
                               .arg(askedAt.y())
                               .arg(askedSize.width())
                               .arg(askedSize.height()));
        }
    }

    // A second of ticks.
    static constexpr int settled = 20;
    SpareRow spareRow;
    bool flipQueued = false;
    xcb_atom_t allowCommits = XCB_ATOM_NONE;
    // Kept apart: a rectangle of stored values could overflow.
    QPoint askedAt;
    QSize askedSize;
    bool honoured = false;
    int matched = 0;
    int mismatched = 0;
};

} // namespace

WindowSystem *createXWaylandWindowSystem(QWidget *window)
{
    return new XWaylandWindowSystem(window);
}
