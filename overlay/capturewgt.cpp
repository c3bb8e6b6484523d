#include "overlay/capturewgt.h"
#include "settings/frame.h"
#include "settings/settings.h"

#include <QPainter>

CaptureWgt::CaptureWgt(QWidget *parent)
    : QWidget(parent)
{
    readSetting("capture_border", &thickness, 0);
    thickness = frameThicknessFor(thickness);
    setWindowFlags(Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    // Moves without a button reach the window through this widget, for the
    // cursor feedback over the grip.
    setAttribute(Qt::WA_MouseTracking);
}

void CaptureWgt::paintEvent(QPaintEvent *)
{
    const int w = width();
    const int h = height();
    const QRect interior(thickness, thickness, w - 2 * thickness, h - 2 * thickness);
    QPainter painter(this);
    // Only the frame strips: filling the whole widget and then erasing the
    // interior again touched every pixel twice on each resize.
    const QColor frame(212, 43, 16);
    if (interior.isEmpty()) {
        painter.fillRect(rect(), frame);
    } else {
        painter.fillRect(QRect(0, 0, w, thickness), frame);
        painter.fillRect(QRect(0, h - thickness, w, thickness), frame);
        painter.fillRect(QRect(0, thickness, thickness, interior.height()), frame);
        painter.fillRect(QRect(w - thickness, thickness, thickness, interior.height()), frame);
    }
    // An opaque window cuts the interior out with its mask instead.
    if (!window()->testAttribute(Qt::WA_TranslucentBackground))
        return;
    painter.setPen(Qt::NoPen);
    painter.setCompositionMode(QPainter::CompositionMode_Clear);
    painter.drawRect(interior);
}
