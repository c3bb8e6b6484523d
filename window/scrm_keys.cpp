#include "window/presets.h"
#include "window/scrm.h"
#include "window/windowsystem.h"

#include <QKeyEvent>

// The arrows move the window as a drag does; with Ctrl they take the corner
// resize's road, with its bounds, rounding and writes.
void SCRM::keyPressEvent(QKeyEvent *event)
{
    const QPoint step = arrowStep(event->key(), event->modifiers());
    if (step.isNull()) {
        QWidget::keyPressEvent(event);
    } else if (event->modifiers() & Qt::ControlModifier) {
        // Right and Down widen, Left and Up narrow.
        resizeCapture(captureRect.width() + step.x() + step.y());
    } else {
        moveWindow(windowSystem->position() + step);
        writeOverlayPosition();
    }
}

void SCRM::keyReleaseEvent(QKeyEvent *event)
{
    if (event->isAutoRepeat() || arrowStep(event->key(), event->modifiers()).isNull())
        QWidget::keyReleaseEvent(event);
    else
        finishMove(true);
}
