#include "window/presets.h"

#include <cmath>

QVector<QSize> presetsForScreen(const QSize &screenSize)
{
    const int w = screenSize.width();
    QVector<QSize> presets;
    if (w > 800)
        presets << QSize(480, 250) << QSize(960, 520);
    else if (w > 600)
        presets << QSize(480, 230);
    presets << QSize(w, screenSize.height() - 20);
    return presets;
}

int widerPreset(const QVector<QSize> &presets, int captureWidth)
{
    for (int i = 0; i < presets.size(); ++i) {
        if (presets.at(i).width() > captureWidth)
            return i;
    }
    return -1;
}

int narrowerPreset(const QVector<QSize> &presets, int captureWidth)
{
    for (int i = presets.size() - 1; i >= 0; --i) {
        if (presets.at(i).width() < captureWidth)
            return i;
    }
    return -1;
}

QSize cornerResizeSize(const QVector<QSize> &presets, int newWidth)
{
    const QSize first = presets.first();
    const QSize last = presets.last();
    if (newWidth <= first.width())
        return first;
    if (newWidth >= last.width())
        return last;
    return QSize(newWidth, int(newWidth * 9.0 * 0.0625));
}

QPoint arrowStep(int key, Qt::KeyboardModifiers modifiers)
{
    const int step = modifiers & Qt::ShiftModifier ? 10 : 1;
    switch (key) {
    case Qt::Key_Left:
        return QPoint(-step, 0);
    case Qt::Key_Right:
        return QPoint(step, 0);
    case Qt::Key_Up:
        return QPoint(0, -step);
    case Qt::Key_Down:
        return QPoint(0, step);
    }
    return QPoint();
}

int roundHalfUp(qreal v)
{
    return int(std::floor(v + 0.5));
}

QPoint roundHalfUp(const QPointF &point)
{
    return QPoint(roundHalfUp(point.x()), roundHalfUp(point.y()));
}

QRect gripRectFor(const QSize &windowSize, int thickness)
{
    return QRect(QPoint(windowSize.width() - thickness, windowSize.height() - thickness),
                 QPoint(windowSize.width() - 1, windowSize.height() - 1));
}
