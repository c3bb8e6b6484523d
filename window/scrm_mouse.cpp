#include "overlay/capturewgt.h"
#include "settings/settings.h"
#include "window/presets.h"
#include "window/scrm.h"
#include "window/windowsystem.h"

#include <QMouseEvent>
#include <QScreen>

#include <cstdlib>

void SCRM::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    dragging = true;
    dragOffset = roundHalfUp(windowSystem->eventPosition(event)) - windowSystem->position();
    pressWidth = width();
    pressPoint = roundHalfUp(event->localPos());
    if (gripRect.contains(pressPoint, false))
        resizing = true;
}

void SCRM::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint local = roundHalfUp(event->localPos());
    const Qt::CursorShape shape
        = gripRect.contains(local, false) ? Qt::SizeFDiagCursor : Qt::ArrowCursor;
    // Asking the window system again for the cursor it has costs a request
    // on every move.
    if (cursor().shape() != shape)
        setCursor(shape);

    if (resizing) {
        resizeCapture(pressWidth + (local.x() - pressPoint.x()));
    } else if (dragging) {
        moveWindow(roundHalfUp(windowSystem->eventPosition(event)) - dragOffset);
        writeOverlayPosition();
    }
}

void SCRM::mouseReleaseEvent(QMouseEvent *)
{
    finishMove(dragging);
}

void SCRM::resizeCapture(int newWidth)
{
    const QSize capture = cornerResizeSize(sizePresets, newWidth);
    captureRect.setRight(captureRect.left() + capture.width() - 1);
    captureRect.setBottom(captureRect.top() + capture.height() - 1);
    windowSize = QSize(capture.width(), capture.height() + 21);
    windowSystem->resize(windowSize);
    writeSize(capture.width(), capture.height());
}

// The end of a drag, a corner resize or a keyboard move.
void SCRM::finishMove(bool moved)
{
    if (moved)
        windowSystem->finishMove();
    QScreen *screen = windowSystem->screen();
    if (moved && screen != currentScreen) {
        currentScreen = screen;
        rebuildPresets();
    }
    // Written so that a NaN on either side counts as a change of scale.
    const double scale = windowSystem->scale(screen);
    if (!(scale == dpiScale))
        std::exit(0);
    dragging = false;
    resizing = false;
}

void SCRM::resizeEvent(QResizeEvent *event)
{
    // The size the window asked for decides, not the one the event carries.
    if (windowSize.width() == sizePresets.last().width()) {
        moveWindow(windowSystem->screen()->geometry().topLeft());
        writeOverlayPosition();
    }
    gripRect = gripRectFor(size(), frameThicknessFor(borderThickness));
    updateInteriorMask();
    QWidget::resizeEvent(event);
}
