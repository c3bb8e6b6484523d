// The arithmetic of the region: preset sizes, steps, corner-resize bounds
// and rounding. Plain functions, so that they can be checked without a
// window.
#ifndef PRESETS_H
#define PRESETS_H

#include "settings/frame.h"

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QVector>

// Built in a fixed order that is not sorted by width: the screen's own
// entry comes last, even where a fixed entry is wider.
QVector<QSize> presetsForScreen(const QSize &screenSize);

// Index of the first entry, in list order, strictly wider than
// captureWidth; -1 when there is none.
int widerPreset(const QVector<QSize> &presets, int captureWidth);
// Index of the last entry, in list order, strictly narrower than
// captureWidth; -1 when there is none.
int narrowerPreset(const QVector<QSize> &presets, int captureWidth);

// The capture size for a corner resize to newWidth: 16:9 between the first
// and the last entry, those entries themselves at and beyond them.
QSize cornerResizeSize(const QVector<QSize> &presets, int newWidth);

// The step an arrow key takes, 1 pixel or 10 with Shift; (0, 0) for any other
// key.
QPoint arrowStep(int key, Qt::KeyboardModifiers modifiers);

// floor(v + 0.5): halves go towards positive infinity.
int roundHalfUp(qreal v);
QPoint roundHalfUp(const QPointF &point);

// The thickness x thickness square in the bottom-right corner; the
// thickness is the drawn frame's (frameThicknessFor).
QRect gripRectFor(const QSize &windowSize, int thickness);

#endif // PRESETS_H
