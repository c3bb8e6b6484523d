// Where a layer surface is: it lives on one output, anchored to all four
// edges, and its margins from them give its place and size; its output's
// mode against that output's logical size gives its scale. The store and
// the rest of the window speak logical global coordinates, the outputs'
// layout. Plain functions, so that they can be checked without a compositor.
#ifndef LAYERPLACEMENT_H
#define LAYERPLACEMENT_H

#include <QMargins>
#include <QRect>
#include <QSize>
#include <QVector>
#include <QtGlobal>

// The margins that put a window at `global` on an output with the logical
// geometry `output`; negative where the window reaches past that edge.
QMargins layerMargins(const QRect &output, const QRect &global);
// The global rectangle those margins give on that output.
QRect layerGeometry(const QRect &output, const QMargins &margins);

// The output a window at `global` belongs on: the one that holds its centre
// (the pixel right of and below the middle for even sizes), else `current`
// when it is valid, else the first.
int layerOutput(const QVector<QRect> &outputs, const QRect &global, int current);

// A drag follows the pointer's relative motions between its press and each
// move, matched by time. A relative motion comes with 64-bit microseconds,
// the pointer's events with 32-bit milliseconds that wrap, on the same clock:
// KWin's, counted from the epoch, has long passed 32 bits of milliseconds.
// So a motion's time is its milliseconds' low 32 bits ...
quint32 pointerTime(quint32 microsecondsHigh, quint32 microsecondsLow);
// ... and one time comes after another the way such a clock counts across
// its wrap.
bool pointerTimeAfter(quint32 time, quint32 than);

// An output's scale as the store publishes it (screen_scale, truncated from
// the scale x 100): its current mode, in its own pixels, against its logical
// size, to the nearest whole percent, as a compositor's logical size of a
// fractional scale is itself rounded. 0 while either size is unknown.
double outputScale(const QSize &mode, const QSize &logical);

#endif // LAYERPLACEMENT_H
