// Whether the picker's window may need raising. Every raise travels to the
// window manager and back, waking the X server, the window manager and the
// picker: a desktop left alone should cost none. So the keep-on-top tick
// raises only when the X server has reported a change among the root
// window's children since it last looked, and a look at the stacking order
// finds a mapped window above ours. X11 only: on Windows the tick raises
// every time.
#ifndef STACKINGWATCH_H
#define STACKINGWATCH_H

#include <QAbstractNativeEventFilter>
#include <QObject>

#include <cstdint>
#include <optional>

QT_BEGIN_NAMESPACE
class QWidget;
QT_END_NAMESPACE

class StackingWatch : public QObject, public QAbstractNativeEventFilter
{
public:
    // A child of the top-level window it watches.
    explicit StackingWatch(QWidget *window);

    // False only when nothing can have come above the window since the last
    // call that answered true or looked; true whenever the window system
    // cannot tell.
    bool raiseNeeded();

    bool nativeEventFilter(const QByteArray &eventType, void *message, long *result) override;

private:
    bool start(uint32_t window);
    std::optional<bool> covered();

    QWidget *window;
    uint32_t root = 0;
    // The window's own X window, and the root window's child that holds it:
    // the window manager's frame, or the window itself without one.
    uint32_t client = 0;
    uint32_t topLevel = 0;
    bool topLevelKnown = false;
    // The sibling just below our top level, as last reported: a move keeps
    // it, a restack changes it.
    uint32_t below = 0;
    bool changed = true;
};

#endif // STACKINGWATCH_H
