// Linux carries two window systems and picks one at run time: a Wayland
// compositor with layer-shell places the frame natively; elsewhere, XWayland
// included, the X11 window system does.
#include "window/windowsystem.h"

#include <LayerShellQt/Shell>

#include <QGuiApplication>

#include <wayland-client.h>

#include <cstring>

WindowSystem *createX11WindowSystem(QWidget *window);
WindowSystem *createLayerShellWindowSystem(QWidget *window, int layerShellVersion);

namespace {

const char layerShell[] = "zwlr_layer_shell_v1";

struct Globals
{
    const char *interface;
    uint32_t version;
};

void announced(void *data, wl_registry *, uint32_t, const char *interface, uint32_t version)
{
    auto *globals = static_cast<Globals *>(data);
    if (std::strcmp(interface, globals->interface) == 0)
        globals->version = version;
}

void removed(void *, wl_registry *, uint32_t) { }

const wl_registry_listener registryListener = { announced, removed };

// The version of a global the session's compositor offers: 0 when it has
// none, -1 when there is no compositor to ask. A connection of its own, so
// that it can ask before Qt connects.
int offeredVersion(const char *interface)
{
    wl_display *display = wl_display_connect(nullptr);
    if (!display)
        return -1;
    Globals globals = { interface, 0 };
    wl_registry *registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, &globals);
    const int answered = wl_display_roundtrip(display);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return answered < 0 ? -1 : int(globals.version);
}

} // namespace

bool chooseWindowSystem(QString *why)
{
    const QByteArray asked = qgetenv("QT_QPA_PLATFORM");
    const bool waylandSession = qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
    if (asked.isEmpty() ? !waylandSession : !asked.startsWith("wayland"))
        return true;
    const int version = offeredVersion(layerShell);
    if (version > 0) {
        // Every window of the process becomes a layer surface: it has one.
        LayerShellQt::Shell::useLayerShell();
        if (asked.isEmpty())
            qputenv("QT_QPA_PLATFORM", "wayland");
        return true;
    }
    if (!asked.isEmpty()) {
        *why = QStringLiteral("QT_QPA_PLATFORM=%1, but this compositor offers no %2, and a Wayland "
                              "window cannot place itself: the frame cannot be placed")
                   .arg(QString::fromLocal8Bit(asked), QLatin1String(layerShell));
        return false;
    }
    // A compositor without layer-shell (GNOME): through XWayland, whose
    // moves it honours; where it does not, the X11 window system says so.
    if (!qEnvironmentVariableIsSet("DISPLAY")) {
        *why = QStringLiteral("this Wayland compositor has neither layer-shell nor XWayland: the "
                              "frame cannot be placed");
        return false;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    return true;
}

WindowSystem *createWindowSystem(QWidget *window)
{
    if (QGuiApplication::platformName() == QLatin1String("wayland"))
        return createLayerShellWindowSystem(window, offeredVersion(layerShell));
    return createX11WindowSystem(window);
}
