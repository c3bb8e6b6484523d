// X11 (and the other Qt platforms of Unix) for the window's platform duties.
#include "scrm.h"
#include "capturewgt.h"
#include "stackingwatch.h"

#include <QGuiApplication>
#include <QLayout>
#include <QRegion>
#include <QScreen>
#include <QX11Info>

#include <xcb/xcb.h>

#include <cstdlib>

bool SCRM::nativeEvent(const QByteArray &eventType, void *message, long *result)
{
    // Display changes arrive here as screen signals instead.
    return QWidget::nativeEvent(eventType, message, result);
}

void SCRM::setSurfaceAttributes()
{
    // Opaque, not translucent: the mask already cuts the interior out, and
    // what it leaves, the frame and the title bar, is opaque. A translucent
    // window would have the X server (or a compositor) blend all of it, and
    // a resize would cost a new buffer of the whole window. The children
    // paint every pixel the mask leaves, so no background fill goes first.
    setAttribute(Qt::WA_NoSystemBackground);
}

void SCRM::watchDisplayChanges()
{
    const auto quit = [] { std::exit(0); };
    connect(qApp, &QGuiApplication::screenAdded, this, quit);
    connect(qApp, &QGuiApplication::screenRemoved, this, quit);
    connect(qApp, &QGuiApplication::primaryScreenChanged, this, quit);
    const QList<QScreen *> screens = QGuiApplication::screens();
    for (QScreen *screen : screens)
        connect(screen, &QScreen::geometryChanged, this, quit);
}

void SCRM::timeoutSlot()
{
    // A raise travels to the window manager and back: only when something
    // may have come above us.
    if (!stackingWatch)
        stackingWatch = new StackingWatch(this);
    if (!stackingWatch->raiseNeeded())
        return;
    // Never activate: that would take the keyboard from the user's other
    // windows twenty times a second.
    raise();
    // The request would wait in the client's buffer until the next X event
    // arrives, and without a window manager nothing else raises us.
    if (QX11Info::isPlatformX11())
        xcb_flush(QX11Info::connection());
}

void SCRM::updateInteriorMask()
{
    // Without a compositor X11 paints translucent pixels black and never
    // passes clicks through them; cutting the interior out of the window
    // shows what lies below and lets clicks reach it.
    if (captureWidget->isHidden()) {
        clearMask();
        return;
    }
    layout()->activate();
    const int t = captureWidget->frameThickness();
    const QRect interior = captureWidget->geometry().adjusted(t, t, -t, -t);
    setMask(QRegion(rect()).subtracted(QRegion(interior)));
}
