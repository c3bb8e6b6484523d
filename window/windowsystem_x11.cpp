#include "window/stackingwatch.h"
#include "window/windowsystem_x11.h"

#include <QRegion>
#include <QWidget>
#include <QX11Info>

#include <xcb/xcb.h>

void X11WindowSystem::prepare()
{
    // Opaque, not translucent: the mask already cuts the interior out, and
    // what it leaves, the frame and the title bar, is opaque. A translucent
    // window would have the X server (or a compositor) blend all of it, and
    // a resize would cost a new buffer of the whole window. The children
    // paint every pixel the mask leaves, so no background fill goes first.
    window->setAttribute(Qt::WA_NoSystemBackground);
}

void X11WindowSystem::keepOnTop()
{
    // A raise travels to the window manager and back: only when something
    // may have come above us.
    if (!stackingWatch)
        stackingWatch = new StackingWatch(window);
    if (!stackingWatch->raiseNeeded())
        return;
    // Never activate: that would take the keyboard from the user's other
    // windows twenty times a second.
    window->raise();
    // The request would wait in the client's buffer until the next X event
    // arrives, and without a window manager nothing else raises us.
    if (QX11Info::isPlatformX11())
        xcb_flush(QX11Info::connection());
}

void X11WindowSystem::setInputRegion(const QRegion &region)
{
    // Without a compositor X11 paints translucent pixels black and never
    // passes clicks through them; the mask shows what lies below the
    // interior and lets clicks reach it.
    if (region.isEmpty())
        window->clearMask();
    else
        window->setMask(region);
}

WindowSystem *createX11WindowSystem(QWidget *window)
{
    if (onXWayland())
        return createXWaylandWindowSystem(window);
    return new X11WindowSystem(window);
}
