#include "window/stackingwatch.h"

#include <QCoreApplication>
#include <QRect>
#include <QWidget>
#include <QX11Info>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

namespace {

template<typename Reply> using Owned = std::unique_ptr<Reply, decltype(&std::free)>;

template<typename Reply> Owned<Reply> own(Reply *reply)
{
    return Owned<Reply>(reply, &std::free);
}

} // namespace

StackingWatch::StackingWatch(QWidget *window) : QObject(window), window(window) { }

bool StackingWatch::raiseNeeded()
{
    // Qt gives the window a new X window when some of its flags change.
    const uint32_t id = uint32_t(window->internalWinId());
    if (!id)
        return true;
    if (id != client && !start(id))
        return true;
    if (!changed)
        return false;
    const std::optional<bool> answer = covered();
    // Not knowing, raise, and look again on the next tick.
    changed = !answer;
    return answer.value_or(true);
}

bool StackingWatch::start(uint32_t window)
{
    if (!QX11Info::isPlatformX11())
        return false;
    xcb_connection_t *connection = QX11Info::connection();
    if (!root) {
        const xcb_window_t desktop = QX11Info::appRootWindow();
        // Every child of the root window mapped, restacked, moved or
        // reparented: added to what Qt selected there, which a plain replace
        // would drop.
        const auto attributes = own(xcb_get_window_attributes_reply(
            connection, xcb_get_window_attributes(connection, desktop), nullptr));
        if (!attributes)
            return false;
        const uint32_t mask = attributes->your_event_mask | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(connection, desktop, XCB_CW_EVENT_MASK, &mask);
        QCoreApplication::instance()->installNativeEventFilter(this);
        root = desktop;
    }
    client = window;
    topLevelKnown = false;
    changed = true;
    return true;
}

// Whether a mapped window overlaps ours from above, in one look at the
// stacking order: two round trips to the X server, none to the window
// manager. (Window managers keep small windows of their own above all
// others, off screen.) Nothing when the X server could not tell.
std::optional<bool> StackingWatch::covered()
{
    xcb_connection_t *connection = QX11Info::connection();
    if (!topLevelKnown) {
        topLevel = client;
        for (;;) {
            const auto tree = own(
                xcb_query_tree_reply(connection, xcb_query_tree(connection, topLevel), nullptr));
            if (!tree)
                return std::nullopt;
            if (tree->parent == root || tree->parent == XCB_NONE)
                break;
            topLevel = tree->parent;
        }
        topLevelKnown = true;
    }
    const auto tree
        = own(xcb_query_tree_reply(connection, xcb_query_tree(connection, root), nullptr));
    if (!tree)
        return std::nullopt;
    // Bottom to top.
    const xcb_window_t *children = xcb_query_tree_children(tree.get());
    const int count = xcb_query_tree_children_length(tree.get());
    int ours = count - 1;
    while (ours >= 0 && children[ours] != topLevel)
        --ours;
    if (ours < 0)
        return std::nullopt;
    // Ours and every window above it; all the questions first, then the
    // answers: one round trip.
    struct Asked
    {
        xcb_get_window_attributes_cookie_t attributes;
        xcb_get_geometry_cookie_t geometry;
    };
    std::vector<Asked> asked;
    for (int i = ours; i < count; ++i)
        asked.push_back({ xcb_get_window_attributes(connection, children[i]),
                          xcb_get_geometry(connection, children[i]) });
    bool ownSeen = false;
    bool overlapped = false;
    QRect area;
    for (size_t i = 0; i < asked.size(); ++i) {
        const auto attributes
            = own(xcb_get_window_attributes_reply(connection, asked[i].attributes, nullptr));
        const auto geometry = own(xcb_get_geometry_reply(connection, asked[i].geometry, nullptr));
        // Another window gone since the list was taken covers nothing.
        if (!attributes || !geometry)
            continue;
        const int border = 2 * geometry->border_width;
        const QRect rect(geometry->x, geometry->y, geometry->width + border,
                         geometry->height + border);
        if (i == 0) {
            area = rect;
            ownSeen = true;
        } else if (attributes->map_state != XCB_MAP_STATE_UNMAPPED && rect.intersects(area)) {
            overlapped = true;
        }
    }
    // Ours gone: a new frame is on its way.
    if (!ownSeen)
        return std::nullopt;
    return overlapped;
}

bool StackingWatch::nativeEventFilter(const QByteArray &eventType, void *message, long *)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    switch (event->response_type & 0x7f) {
    case XCB_CONFIGURE_NOTIFY: {
        const auto *configure = reinterpret_cast<const xcb_configure_notify_event_t *>(event);
        if (configure->event != root)
            break;
        // Our own moves leave the stacking as it was.
        if (configure->window != topLevel || configure->above_sibling != below)
            changed = true;
        if (configure->window == topLevel)
            below = configure->above_sibling;
        break;
    }
    case XCB_MAP_NOTIFY:
        changed |= reinterpret_cast<const xcb_map_notify_event_t *>(event)->event == root;
        break;
    case XCB_CIRCULATE_NOTIFY:
        changed |= reinterpret_cast<const xcb_circulate_notify_event_t *>(event)->event == root;
        break;
    case XCB_REPARENT_NOTIFY: {
        const auto *reparent = reinterpret_cast<const xcb_reparent_notify_event_t *>(event);
        // A window manager that starts, stops or replaces our frame.
        if (reparent->window == client)
            topLevelKnown = false;
        changed |= reparent->event == root || reparent->window == client;
        break;
    }
    default:
        break;
    }
    return false;
}
