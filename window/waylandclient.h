// What the compositor tells a Wayland client that Qt 5 keeps to itself: the
// pointer's relative motion, on the clock of the pointer's events, and each
// output's own sizes. Bound once, on a queue of its own so that Qt's events
// wait meanwhile; what comes later comes on Qt's queue, in order with them.
#ifndef WAYLANDCLIENT_H
#define WAYLANDCLIENT_H

#include <QPoint>
#include <QPointF>
#include <QSize>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

struct wl_display;
struct wl_output;
struct wl_pointer;
struct wl_seat;
struct zwp_relative_pointer_manager_v1;
struct zwp_relative_pointer_v1;
struct zxdg_output_manager_v1;
struct zxdg_output_v1;

class WaylandClient
{
public:
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

    // Told each relative motion: its time in the milliseconds of the
    // pointer's events, and how far the pointer moved.
    using MotionHandler = std::function<void(quint32 time, const QPointF &delta)>;
    explicit WaylandClient(MotionHandler motion) : motion(std::move(motion)) { }
    WaylandClient(const WaylandClient &) = delete;
    WaylandClient &operator=(const WaylandClient &) = delete;

    // The first call binds; later ones do nothing.
    void bindOnce();
    // False where the compositor has no relative motion to offer.
    bool followsPointer() const { return relative; }
    const std::vector<std::unique_ptr<Output>> &outputs() const { return known; }

private:
    struct Listeners;
    friend struct Listeners;

    void bind();
    void followOwnPointer();

    MotionHandler motion;
    wl_display *display = nullptr;
    zwp_relative_pointer_manager_v1 *relativeManager = nullptr;
    zwp_relative_pointer_v1 *relative = nullptr;
    wl_seat *seat = nullptr;
    wl_pointer *pointer = nullptr;
    bool pointerOffered = false;
    bool bound = false;
    bool boundAll = false;
    zxdg_output_manager_v1 *outputManager = nullptr;
    std::vector<std::unique_ptr<Output>> known;
};

#endif // WAYLANDCLIENT_H
