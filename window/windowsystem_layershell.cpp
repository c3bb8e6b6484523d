// Wayland compositors with layer-shell (wlroots compositors such as sway,
// KWin): the window is one layer surface on the overlay layer, anchored to
// all four edges of its output, placed and sized by its margins alone. The
// compositor never moves it for us, and with LayerShellQt 5.27 a plain
// resize would snap back: margins are what every such compositor honours.
#include "relative-pointer-unstable-v1-client-protocol.h"
#include "window/layerplacement.h"
#include "window/windowsystem.h"
#include "xdg-output-unstable-v1-client-protocol.h"

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
        : WindowSystem(window), version(layerShellVersion)
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
        bindOnce();
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
    struct Output;
    const Output *outputOf(const QScreen *screen) const
    {
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
        bindOnce();
        return relative;
    }

    void bindOnce()
    {
        if (bound)
            return;
        bound = true;
        QPlatformNativeInterface *native = QGuiApplication::platformNativeInterface();
        display = static_cast<wl_display *>(native->nativeResourceForIntegration("wl_display"));
        if (display)
            bind();
    }

    // Round trips on a queue of our own, so that Qt's events wait meanwhile:
    // one for the globals, one for the seat's capabilities and the outputs'
    // sizes.
    void bind()
    {
        wl_event_queue *queue = wl_display_create_queue(display);
        auto *wrapped = static_cast<wl_display *>(wl_proxy_create_wrapper(display));
        wl_proxy_set_queue(reinterpret_cast<wl_proxy *>(wrapped), queue);
        wl_registry *registry = wl_display_get_registry(wrapped);
        wl_registry_add_listener(registry, &registryListener, this);
        wl_display_roundtrip_queue(display, queue);
        for (const auto &known : outputs) {
            if (outputManager) {
                known->xdg = zxdg_output_manager_v1_get_xdg_output(outputManager, known->output);
                zxdg_output_v1_add_listener(known->xdg, &xdgOutputListener, known.get());
            }
        }
        wl_display_roundtrip_queue(display, queue);
        std::vector<wl_proxy *> proxies { reinterpret_cast<wl_proxy *>(relativeManager),
                                          reinterpret_cast<wl_proxy *>(seat),
                                          reinterpret_cast<wl_proxy *>(outputManager) };
        for (const auto &known : outputs) {
            proxies.push_back(reinterpret_cast<wl_proxy *>(known->output));
            proxies.push_back(reinterpret_cast<wl_proxy *>(known->xdg));
        }
        for (wl_proxy *proxy : proxies) {
            if (proxy)
                wl_proxy_set_queue(proxy, nullptr);
        }
        wl_registry_destroy(registry);
        wl_proxy_wrapper_destroy(wrapped);
        wl_event_queue_destroy(queue);
        boundAll = true;
        if (pointerOffered)
            followOwnPointer();
    }

    void followOwnPointer()
    {
        if (pointer || !seat || !relativeManager)
            return;
        pointer = wl_seat_get_pointer(seat);
        wl_proxy_set_queue(reinterpret_cast<wl_proxy *>(pointer), nullptr);
        wl_pointer_add_listener(pointer, &pointerListener, this);
        relative = zwp_relative_pointer_manager_v1_get_relative_pointer(relativeManager, pointer);
        zwp_relative_pointer_v1_add_listener(relative, &relativeListener, this);
        wl_display_flush(display);
    }

    static void capabilities(void *data, wl_seat *, uint32_t offered)
    {
        auto *self = static_cast<LayerShellWindowSystem *>(data);
        self->pointerOffered = offered & WL_SEAT_CAPABILITY_POINTER;
        // Later, once bound: the pointer arrived after the start.
        if (self->pointerOffered && self->boundAll)
            self->followOwnPointer();
    }

    static void seatName(void *, wl_seat *, const char *) { }

    static constexpr wl_seat_listener seatListener = { capabilities, seatName };

    // Our pointer's own events go unused: Qt's pointer has them too.
    static void entered(void *, wl_pointer *, uint32_t, wl_surface *, wl_fixed_t, wl_fixed_t) { }
    static void left(void *, wl_pointer *, uint32_t, wl_surface *) { }
    static void moved(void *, wl_pointer *, uint32_t, wl_fixed_t, wl_fixed_t) { }
    static void button(void *, wl_pointer *, uint32_t, uint32_t, uint32_t, uint32_t) { }
    static void axis(void *, wl_pointer *, uint32_t, uint32_t, wl_fixed_t) { }
    static void frame(void *, wl_pointer *) { }
    static void axisSource(void *, wl_pointer *, uint32_t) { }
    static void axisStop(void *, wl_pointer *, uint32_t, uint32_t) { }
    static void axisDiscrete(void *, wl_pointer *, uint32_t, int32_t) { }
    static void axisValue120(void *, wl_pointer *, uint32_t, int32_t) { }

    static constexpr wl_pointer_listener pointerListener
        = { entered, left,       moved,    button,       axis,
            frame,   axisSource, axisStop, axisDiscrete, axisValue120 };

    static void announced(void *data, wl_registry *registry, uint32_t name, const char *interface,
                          uint32_t version)
    {
        auto *self = static_cast<LayerShellWindowSystem *>(data);
        if (qstrcmp(interface, zwp_relative_pointer_manager_v1_interface.name) == 0) {
            self->relativeManager = static_cast<zwp_relative_pointer_manager_v1 *>(
                wl_registry_bind(registry, name, &zwp_relative_pointer_manager_v1_interface, 1));
        } else if (qstrcmp(interface, wl_seat_interface.name) == 0 && !self->seat) {
            self->seat = static_cast<wl_seat *>(
                wl_registry_bind(registry, name, &wl_seat_interface, qMin(version, 5u)));
            wl_seat_add_listener(self->seat, &seatListener, self);
        } else if (qstrcmp(interface, wl_output_interface.name) == 0) {
            auto known = std::make_unique<Output>();
            known->output = static_cast<wl_output *>(
                wl_registry_bind(registry, name, &wl_output_interface, qMin(version, 4u)));
            wl_output_add_listener(known->output, &outputListener, known.get());
            self->outputs.push_back(std::move(known));
        } else if (qstrcmp(interface, zxdg_output_manager_v1_interface.name) == 0) {
            self->outputManager = static_cast<zxdg_output_manager_v1 *>(wl_registry_bind(
                registry, name, &zxdg_output_manager_v1_interface, qMin(version, 3u)));
        }
    }

    static void removed(void *, wl_registry *, uint32_t) { }

    static constexpr wl_registry_listener registryListener = { announced, removed };

    static void relativeMotion(void *data, zwp_relative_pointer_v1 *, uint32_t high, uint32_t low,
                               wl_fixed_t dx, wl_fixed_t dy, wl_fixed_t, wl_fixed_t)
    {
        // Kept before the press is seen too: Qt hands on its events after
        // it has read them all.
        auto *self = static_cast<LayerShellWindowSystem *>(data);
        if (!self->dragFrom && self->motions.size() >= 256)
            self->motions.pop_front();
        self->motions.push_back(Motion { pointerTime(high, low),
                                         QPointF(wl_fixed_to_double(dx), wl_fixed_to_double(dy)) });
    }

    static constexpr zwp_relative_pointer_v1_listener relativeListener = { relativeMotion };

    // An output as the compositor describes it: its current mode in its own
    // pixels, its place and size in the logical layout, and its name, which
    // Qt gives its screen.
    struct Output
    {
        wl_output *output = nullptr;
        zxdg_output_v1 *xdg = nullptr;
        QString name;
        QSize mode;
        QPoint logicalAt;
        QSize logical;
    };

    static void outputGeometry(void *, wl_output *, int32_t, int32_t, int32_t, int32_t, int32_t,
                               const char *, const char *, int32_t)
    { }
    static void outputMode(void *data, wl_output *, uint32_t flags, int32_t width, int32_t height,
                           int32_t)
    {
        if (flags & WL_OUTPUT_MODE_CURRENT)
            static_cast<Output *>(data)->mode = QSize(width, height);
    }
    static void outputDone(void *, wl_output *) { }
    static void outputScaleFactor(void *, wl_output *, int32_t) { }
    static void outputName(void *data, wl_output *, const char *name)
    {
        static_cast<Output *>(data)->name = QString::fromUtf8(name);
    }
    static void outputDescription(void *, wl_output *, const char *) { }

    static constexpr wl_output_listener outputListener = { outputGeometry, outputMode,
                                                           outputDone,     outputScaleFactor,
                                                           outputName,     outputDescription };

    static void logicalPosition(void *data, zxdg_output_v1 *, int32_t x, int32_t y)
    {
        static_cast<Output *>(data)->logicalAt = QPoint(x, y);
    }
    static void logicalSize(void *data, zxdg_output_v1 *, int32_t width, int32_t height)
    {
        static_cast<Output *>(data)->logical = QSize(width, height);
    }
    static void xdgDone(void *, zxdg_output_v1 *) { }
    static void xdgName(void *data, zxdg_output_v1 *, const char *name)
    {
        static_cast<Output *>(data)->name = QString::fromUtf8(name);
    }
    static void xdgDescription(void *, zxdg_output_v1 *, const char *) { }

    static constexpr zxdg_output_v1_listener xdgOutputListener
        = { logicalPosition, logicalSize, xdgDone, xdgName, xdgDescription };

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
    zwp_relative_pointer_manager_v1 *relativeManager = nullptr;
    zwp_relative_pointer_v1 *relative = nullptr;
    wl_display *display = nullptr;
    wl_seat *seat = nullptr;
    wl_pointer *pointer = nullptr;
    bool pointerOffered = false;
    bool bound = false;
    bool boundAll = false;
    zxdg_output_manager_v1 *outputManager = nullptr;
    std::vector<std::unique_ptr<Output>> outputs;
};

} // namespace

WindowSystem *createLayerShellWindowSystem(QWidget *window, int layerShellVersion)
{
    return new LayerShellWindowSystem(window, layerShellVersion);
}
