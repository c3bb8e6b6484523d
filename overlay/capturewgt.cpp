#include "capturewgt.h"
#include "presets.h"
#include "settings.h"

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
    QPainter painter(this);
    painter.setBrush(QColor(212, 43, 16));
    // The default pen's outline falls just outside the widget.
    painter.drawRect(QRect(QPoint(-1, -1), QPoint(w - 1, h - 1)));
    painter.setPen(Qt::NoPen);
    painter.setCompositionMode(QPainter::CompositionMode_Clear);
    painter.drawRect(QRect(thickness, thickness, w - 2 * thickness, h - 2 * thickness));
}
