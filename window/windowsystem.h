// What differs between the window systems the picker's window lives on:
// placing it, keeping it on top, the interior's input region and display
// changes. One source per window system; on Linux the X11 one and the
// Wayland layer-shell one are both built in and chosen at run time.
#ifndef WINDOWSYSTEM_H
#define WINDOWSYSTEM_H

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QWidget>

#include <cstdlib>

QT_BEGIN_NAMESPACE
class QPoint;
class QRegion;
class QSize;
QT_END_NAMESPACE

class WindowSystem : public QObject
{
public:
    explicit WindowSystem(QWidget *window) : QObject(window), window(window) { }

    // Once, after the window flags are set and before the window is shown.
    virtual void prepare() = 0;
    // Places the window's top-left corner, in logical global coordinates,
    // and sizes it.
    virtual void move(const QPoint &topLeft) = 0;
    virtual void resize(const QSize &size) = 0;
    // Where the window is, logical global: the window's top-left corner, a
    // point of the window or of one of its children, and where a mouse event
    // happened. Qt's own answers, except where Qt cannot know where the
    // window is.
    virtual QPoint position() const { return window->pos(); }
    virtual QPoint mapToGlobal(const QWidget *widget, const QPoint &point) const
    {
        return widget->mapToGlobal(point);
    }
    virtual QPointF eventPosition(const QMouseEvent *event) const { return event->screenPos(); }
    // The screen the window is placed on; before it is shown, the one under
    // its geometry.
    virtual QScreen *screen() const = 0;
    // A screen's scale as the store publishes it: logical DPI / 96, unless
    // the window system knows better.
    virtual double scale(QScreen *screen) const { return screen->logicalDotsPerInch() / 96.0; }
    // At the end of a drag or a keyboard move.
    virtual void finishMove() { }
    // From the keep-on-top timer.
    virtual void keepOnTop() = 0;
    // The part of the window that takes input and shows (frame and title bar);
    // an empty region for the whole window.
    virtual void setInputRegion(const QRegion &region) = 0;
    // Ends the process with 0 on every change of the display configuration,
    // as Qt reports them unless the window system says it otherwise.
    virtual void watchDisplayChanges()
    {
        const auto quit = [] { std::exit(0); };
        connect(qApp, &QGuiApplication::screenAdded, this, quit);
        connect(qApp, &QGuiApplication::screenRemoved, this, quit);
        connect(qApp, &QGuiApplication::primaryScreenChanged, this, quit);
        const QList<QScreen *> screens = QGuiApplication::screens();
        for (QScreen *screen : screens)
            connect(screen, &QScreen::geometryChanged, this, quit);
    }
    // The window's native events; true when handled.
    virtual bool nativeEvent(void *) { return false; }

protected:
    QWidget *window;
};

// Before the QApplication: picks the window system (Qt platform) for this
// session, unless the user set QT_QPA_PLATFORM. False, with the reason in
// *why, where the frame cannot be placed where the store will say it is.
bool chooseWindowSystem(QString *why);

// Before the QApplication, after the choice: Qt's own scaling off, whatever
// the session's variables ask for.
void keepWindowSystemPixels();

// After it: the window system of this process for the picker's window.
WindowSystem *createWindowSystem(QWidget *window);

// Once shown, the frame may turn out not to be where it asked (XWayland
// under a compositor that places windows after its own rules): the window
// system then calls frameNotPlaced(), which prints why and ends the process
// with 1, handing the reason to `tell` first where one was set.
void onFrameNotPlaced(void (*tell)(const QString &why));
[[noreturn]] void frameNotPlaced(const QString &why);

#endif // WINDOWSYSTEM_H
