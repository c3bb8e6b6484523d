#include "window/waylandclient.h"
#include "relative-pointer-unstable-v1-client-protocol.h"
#include "window/layerplacement.h"
#include "xdg-output-unstable-v1-client-protocol.h"

#include <QGuiApplication>
#include <qpa/qplatformnativeinterface.h>

#include <wayland-client.h>

struct WaylandClient::Listeners
{
    static void capabilities(void *data, wl_seat *, uint32_t offered)
    {
        auto *self = static_cast<WaylandClient *>(data);
        self->pointerOffered = offered & WL_SEAT_CAPABILITY_POINTER;
        // Later, once bound: the pointer arrived after the start.
        if (self->pointerOffered && self->boundAll)
            self->followOwnPointer();
    }

    static void seatName(void *, wl_seat *, const char *) { }

    static constexpr wl_seat_listener seat = { capabilities, seatName };

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

    static constexpr wl_pointer_listener pointer
        = { entered, left,       moved,    button,       axis,
            frame,   axisSource, axisStop, axisDiscrete, axisValue120 };

    static void announced(void *data, wl_registry *registry, uint32_t name, const char *interface,
                          uint32_t version)
    {
        auto *self = static_cast<WaylandClient *>(data);
        if (qstrcmp(interface, zwp_relative_pointer_manager_v1_interface.name) == 0) {
            self->relativeManager = static_cast<zwp_relative_pointer_manager_v1 *>(
                wl_registry_bind(registry, name, &zwp_relative_pointer_manager_v1_interface, 1));
        } else if (qstrcmp(interface, wl_seat_interface.name) == 0 && !self->seat) {
            self->seat = static_cast<wl_seat *>(
                wl_registry_bind(registry, name, &wl_seat_interface, qMin(version, 5u)));
            wl_seat_add_listener(self->seat, &seat, self);
        } else if (qstrcmp(interface, wl_output_interface.name) == 0) {
            auto known = std::make_unique<WaylandClient::Output>();
            known->output = static_cast<wl_output *>(
                wl_registry_bind(registry, name, &wl_output_interface, qMin(version, 4u)));
            wl_output_add_listener(known->output, &output, known.get());
            self->known.push_back(std::move(known));
        } else if (qstrcmp(interface, zxdg_output_manager_v1_interface.name) == 0) {
            self->outputManager = static_cast<zxdg_output_manager_v1 *>(wl_registry_bind(
                registry, name, &zxdg_output_manager_v1_interface, qMin(version, 3u)));
        }
    }

    static void removed(void *, wl_registry *, uint32_t) { }

    static constexpr wl_registry_listener registry = { announced, removed };

    static void relativeMotion(void *data, zwp_relative_pointer_v1 *, uint32_t high, uint32_t low,
                               wl_fixed_t dx, wl_fixed_t dy, wl_fixed_t, wl_fixed_t)
    {
        static_cast<WaylandClient *>(data)->motion(
            pointerTime(high, low), QPointF(wl_fixed_to_double(dx), wl_fixed_to_double(dy)));
    }

    static constexpr zwp_relative_pointer_v1_listener relative = { relativeMotion };

    static void outputGeometry(void *, wl_output *, int32_t, int32_t, int32_t, int32_t, int32_t,
                               const char *, const char *, int32_t)
    { }
    static void outputMode(void *data, wl_output *, uint32_t flags, int32_t width, int32_t height,
                           int32_t)
    {
        if (flags & WL_OUTPUT_MODE_CURRENT)
            static_cast<WaylandClient::Output *>(data)->mode = QSize(width, height);
    }
    static void outputDone(void *, wl_output *) { }
    static void outputScaleFactor(void *, wl_output *, int32_t) { }
    static void outputName(void *data, wl_output *, const char *name)
    {
        static_cast<WaylandClient::Output *>(data)->name = QString::fromUtf8(name);
    }
    static void outputDescription(void *, wl_output *, const char *) { }

    static constexpr wl_output_listener output = {
        outputGeometry, outputMode, outputDone, outputScaleFactor, outputName, outputDescription
    };

    static void logicalPosition(void *data, zxdg_output_v1 *, int32_t x, int32_t y)
    {
        static_cast<WaylandClient::Output *>(data)->logicalAt = QPoint(x, y);
    }
    static void logicalSize(void *data, zxdg_output_v1 *, int32_t width, int32_t height)
    {
        static_cast<WaylandClient::Output *>(data)->logical = QSize(width, height);
    }
    static void xdgDone(void *, zxdg_output_v1 *) { }
    static void xdgName(void *data, zxdg_output_v1 *, const char *name)
    {
        static_cast<WaylandClient::Output *>(data)->name = QString::fromUtf8(name);
    }
    static void xdgDescription(void *, zxdg_output_v1 *, const char *) { }

    static constexpr zxdg_output_v1_listener xdgOutput
        = { logicalPosition, logicalSize, xdgDone, xdgName, xdgDescription };
};

void WaylandClient::bindOnce()
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
void WaylandClient::bind()
{
    wl_event_queue *queue = wl_display_create_queue(display);
    auto *wrapped = static_cast<wl_display *>(wl_proxy_create_wrapper(display));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy *>(wrapped), queue);
    wl_registry *registry = wl_display_get_registry(wrapped);
    wl_registry_add_listener(registry, &Listeners::registry, this);
    wl_display_roundtrip_queue(display, queue);
    for (const auto &output : known) {
        if (outputManager) {
            output->xdg = zxdg_output_manager_v1_get_xdg_output(outputManager, output->output);
            zxdg_output_v1_add_listener(output->xdg, &Listeners::xdgOutput, output.get());
        }
    }
    wl_display_roundtrip_queue(display, queue);
    std::vector<wl_proxy *> proxies { reinterpret_cast<wl_proxy *>(relativeManager),
                                      reinterpret_cast<wl_proxy *>(seat),
                                      reinterpret_cast<wl_proxy *>(outputManager) };
    for (const auto &output : known) {
        proxies.push_back(reinterpret_cast<wl_proxy *>(output->output));
        proxies.push_back(reinterpret_cast<wl_proxy *>(output->xdg));
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

void WaylandClient::followOwnPointer()
{
    if (pointer || !seat || !relativeManager)
        return;
    pointer = wl_seat_get_pointer(seat);
    wl_proxy_set_queue(reinterpret_cast<wl_proxy *>(pointer), nullptr);
    wl_pointer_add_listener(pointer, &Listeners::pointer, this);
    relative = zwp_relative_pointer_manager_v1_get_relative_pointer(relativeManager, pointer);
    zwp_relative_pointer_v1_add_listener(relative, &Listeners::relative, this);
    wl_display_flush(display);
}
