// Wayland compositors with layer-shell (wlroots compositors such as sway,
// KWin): the window is one layer surface on the overlay layer, anchored to
// all four edges of its output, placed and sized by its margins alone. The
// compositor never moves it for us, and with LayerShellQt 5.27 a plain
// resize would snap back: margins are what every such compositor honours.
#include "window/layerplacement.h"
#include "window/waylandclient.h"
#include "window/windowsystem.h"

#include <LayerShellQt/Window>

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QRegion>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <qpa/qplatformnativeinterface.h>
#include <qpa/qwindowsysteminterface.h>

#include <wayland-client.h>

#include <deque>
#include <memory>
#include <optional>
#include <vector>

namespace {

class LayerShellWindowSystem : public WindowSystem
{
public:
    LayerShellWindowSystem(QWidget *window, int layerShellVersion)
        : WindowSystem(window)
        , version(layerShellVersion)
        , client([this](quint32 time, const QPointF &delta) {
            // Kept before the press is seen too: Qt hands on its events
            // after it has read them all.
            if (!dragFrom && motions.size() >= 256)
                motions.pop_front();
            motions.push_back(Motion { time, delta });
        })
    { }

    void prepare() override
    {
        // Translucent: the interior is see-through by its own pixels.
        window->setAttribute(Qt::WA_TranslucentBackground);
        window->winId();
        surface = LayerShellQt::Window::get(window->windowHandle());
        // Above every window, fullscreen ones too: nothing to raise from the
        // timer.
        surface->setLayer(LayerShellQt::Window::LayerOverlay);
        surface->setAnchors(LayerShellQt::Window::Anchors(
            LayerShellQt::Window::AnchorTop | LayerShellQt::Window::AnchorBottom
            | LayerShellQt::Window::AnchorLeft | LayerShellQt::Window::AnchorRight));
        // Placed over whatever panels reserve, and reserving nothing itself.
        surface->setExclusiveZone(-1);
        // No keyboard until a click asks for it (see eventFilter).
        surface->setKeyboardInteractivity(LayerShellQt::Window::KeyboardInteractivityNone);
        surface->setScope(QStringLiteral("zorvi"));
        window->installEventFilter(this);
        window->windowHandle()->installEventFilter(this);
        place();
        // Now: the outputs' scales are asked before the window shows.
        client.bindOnce();
    }

    // Qt cannot tell where a Wayland window is (it takes it for (0, 0)):
    // here the margins say, and so the window's place is kept here.
    void move(const QPoint &topLeft) override
    {
        at = topLeft;
        place();
    }

    void resize(const QSize &size) override
    {
        // Before the resize: its resize event may place the window anew.
        this->size = size;
        place();
        window->resize(size);
    }

    QPoint position() const override { return at; }

    QPoint mapToGlobal(const QWidget *widget, const QPoint &point) const override
    {
        return at + widget->mapTo(window, point);
    }

    // A pointer event's local position is relative to where the compositor
    // had the surface, and during a drag compositors disagree on that (sway
    // keeps the place at the press). So a drag follows the pointer's own
    // motion since the press, as the compositor reports it with the same
    // clock as the events; without that report, the place it moved the
    // surface to (markers, below).
    QPointF eventPosition(const QMouseEvent *event) const override
    {
        return dragFrom ? dragFrom->at + dragFrom->moved : eventOrigin + event->localPos();
    }

    QScreen *screen() const override { return output ? output : screenUnder(); }

    // Qt 5 gives every Wayland output 96 DPI and knows whole scales only
    // (sway 1.7 sends a wl_output scale of 2 for 1.5): the compositor's own
    // sizes of the output say.
    double scale(QScreen *screen) const override
    {
        const Output *known = outputOf(screen);
        const double scale = known ? outputScale(known->mode, known->logical) : 0;
        return scale > 0 ? scale : WindowSystem::scale(screen);
    }

    void finishMove() override
    {
        // A layer surface shows on its own output only: one that now belongs
        // on another is made anew there.
        QScreen *under = screenUnder();
        if (!window->isVisible() || !output || under == output)
            return;
        window->hide();
        output = under;
        surface->setDesiredOutput(output);
        place();
        window->show();
    }

    // Nothing to raise on the overlay layer; the tick only makes sure the
    // pointer's motion is followed before any drag begins.
    void keepOnTop() override { followPointer(); }

    void setInputRegion(const QRegion &region) override
    {
        // The mask becomes the surface's input region: clicks in the interior
        // reach the window below, Wayland or X.
        if (region.isEmpty())
            window->clearMask();
        else
            window->setMask(region);
    }

private:
    // The screen's output by the name Qt gives it, else by its place.
    using Output = WaylandClient::Output;
    const Output *outputOf(const QScreen *screen) const
    {
        const auto &outputs = client.outputs();
        for (const auto &known : outputs) {
            if (!known->name.isEmpty() && known->name == screen->name())
                return known.get();
        }
        for (const auto &known : outputs) {
            if (known->logical.isValid() && known->logicalAt == screen->geometry().topLeft())
                return known.get();
        }
        return nullptr;
    }

    QScreen *screenUnder() const
    {
        const QList<QScreen *> screens = QGuiApplication::screens();
        QVector<QRect> outputs;
        for (QScreen *screen : screens)
            outputs << screen->geometry();
        return screens.at(layerOutput(outputs, placed(), screens.indexOf(output)));
    }

    void place()
    {
        if (!surface)
            return;
        if (!window->isVisible()) {
            output = screenUnder();
            surface->setDesiredOutput(output);
        }
        surface->setMargins(layerMargins(output->geometry(), placed()));
        if (window->isVisible())
            commit();
    }

    // Margins take effect with the surface's next commit: made at once, and
    // followed by a marker. The compositor answers the marker once it has
    // moved the surface, after every event it sent from the old place;
    // Qt's own queue hands them on in that order, and the marker with them,
    // as a move of the window to where it now is.
    void commit()
    {
        QPlatformNativeInterface *native = QGuiApplication::platformNativeInterface();
        auto *display
            = static_cast<wl_display *>(native->nativeResourceForIntegration("wl_display"));
        if (!display || !commitSurface())
            return;
        if (!moving.empty() && moving.back() == at)
            return;
        moving.push_back(at);
        wl_callback *marker = wl_display_sync(display);
        wl_callback_add_listener(marker, &markerListener,
                                 new Marker { window->windowHandle(), at });
        wl_display_flush(display);
    }

    bool commitSurface()
    {
        auto *wlSurface = static_cast<wl_surface *>(
            QGuiApplication::platformNativeInterface()->nativeResourceForWindow(
                "surface", window->windowHandle()));
        if (wlSurface)
            wl_surface_commit(wlSurface);
        return wlSurface;
    }

    // On-demand keyboard interactivity (layer-shell 4) only from a press on
    // the window until the pointer leaves it. sway 1.7 hands the keyboard to
    // such a surface above the windows at each of its commits and takes it
    // back from every window clicked later; set to none, the surface gives
    // it back to the window that had it. Not asked for at the pointer's
    // arrival: sway 1.7 would hand the keyboard to a pointer passing by.
    void wantKeyboard(bool wanted)
    {
        const auto interactivity = wanted ? LayerShellQt::Window::KeyboardInteractivityOnDemand
                                          : LayerShellQt::Window::KeyboardInteractivityNone;
        if (version < 4 || !surface || surface->keyboardInteractivity() == interactivity)
            return;
        surface->setKeyboardInteractivity(interactivity);
        if (window->isVisible())
            commitSurface();
    }

    struct Marker
    {
        QPointer<QWindow> window;
        QPoint at;
    };

    static void markerDone(void *data, wl_callback *callback, uint32_t)
    {
        Marker *marker = static_cast<Marker *>(data);
        if (marker->window)
            QWindowSystemInterface::handleGeometryChange(
                marker->window, QRect(marker->at, marker->window->geometry().size()));
        delete marker;
        wl_callback_destroy(callback);
    }

    static constexpr wl_callback_listener markerListener = { markerDone };

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // The surface's own: a child widget may take a press for itself, and
        // the widgets' leave events come at a release too.
        if (watched == window->windowHandle()) {
            if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::Leave)
                wantKeyboard(event->type() == QEvent::MouseButtonPress);
            return false;
        }
        // Followed from the pointer's first arrival: the compositor reports
        // motions only from then on, and a drag needs them from its press.
        if (event->type() == QEvent::Enter || event->type() == QEvent::MouseMove)
            followPointer();
        if (event->type() == QEvent::MouseButtonPress) {
            const auto *press = static_cast<QMouseEvent *>(event);
            if (press->buttons() == press->button() && followPointer()) {
                const quint32 time = quint32(press->timestamp());
                dragFrom = Press { eventOrigin + press->localPos(), time, QPointF() };
                while (!motions.empty() && !pointerTimeAfter(motions.front().time, time))
                    motions.pop_front();
            }
        } else if (event->type() == QEvent::MouseMove && dragFrom) {
            // The motions up to this move, added once: a long drag costs no
            // more per move than a short one.
            const quint32 time = quint32(static_cast<QMouseEvent *>(event)->timestamp());
            while (!motions.empty() && !pointerTimeAfter(motions.front().time, time)) {
                if (pointerTimeAfter(motions.front().time, dragFrom->time))
                    dragFrom->moved += motions.front().delta;
                motions.pop_front();
            }
        } else if (event->type() == QEvent::MouseButtonRelease) {
            if (static_cast<QMouseEvent *>(event)->buttons() == Qt::NoButton)
                dragFrom.reset();
        } else if (event->type() == QEvent::Show) {
            // A new surface, made where the window is placed.
            moving.clear();
            eventOrigin = at;
            followPointer();
        } else if (event->type() == QEvent::Move) {
            // One of our markers, or Qt's own idea of the place: only the
            // first moves the origin of the events.
            const QPoint at = window->pos();
            for (auto it = moving.begin(); it != moving.end(); ++it) {
                if (*it == at) {
                    eventOrigin = at;
                    moving.erase(moving.begin(), it + 1);
                    break;
                }
            }
        }
        return false;
    }

    // The pointer's relative motion, on a pointer of our own from the start
    // (Qt makes its own only once the pointer first arrives, which may come
    // with the press of a drag) and on Qt's event queue, so that it arrives
    // in order with the rest. False where the compositor has none to offer.
    bool followPointer()
    {
        client.bindOnce();
        return client.followsPointer();
    }

    const int version;
    LayerShellQt::Window *surface = nullptr;
    QScreen *output = nullptr;
    // Where the window is placed: kept apart, as a rectangle of stored values
    // could overflow, and made one within any layout's reach.
    QPoint at;
    QSize size;
    QRect placed() const
    {
        const int reach = 1 << 24;
        return QRect(qBound(-reach, at.x(), reach), qBound(-reach, at.y(), reach),
                     qBound(0, size.width(), reach), qBound(0, size.height(), reach));
    }
    // Where the compositor had the surface when the events now delivered
    // happened, and where it has been asked to put it since, oldest first.
    QPoint eventOrigin;
    std::deque<QPoint> moving;
    // Since the press of a drag: where it was, how far the pointer has moved
    // by the last move, and its motions not yet added, with their times in
    // the milliseconds of the pointer's events (a motion in the millisecond
    // of the press counts as before it).
    struct Press
    {
        QPointF at;
        quint32 time;
        QPointF moved;
    };
    struct Motion
    {
        quint32 time;
        QPointF delta;
    };
    std::optional<Press> dragFrom;
    std::deque<Motion> motions;
    WaylandClient client;
};

} // namespace

WindowSystem *createLayerShellWindowSystem(QWidget *window, int layerShellVersion)
{
    return new LayerShellWindowSystem(window, layerShellVersion);
}
