#include "window/layerplacement.h"

QMargins layerMargins(const QRect &output, const QRect &global)
{
    const int left = global.x() - output.x();
    const int top = global.y() - output.y();
    return QMargins(left, top, output.width() - left - global.width(),
                    output.height() - top - global.height());
}

QRect layerGeometry(const QRect &output, const QMargins &margins)
{
    return QRect(output.x() + margins.left(), output.y() + margins.top(),
                 output.width() - margins.left() - margins.right(),
                 output.height() - margins.top() - margins.bottom());
}

int layerOutput(const QVector<QRect> &outputs, const QRect &global, int current)
{
    const QPoint centre(global.x() + global.width() / 2, global.y() + global.height() / 2);
    for (int i = 0; i < outputs.size(); ++i) {
        if (outputs.at(i).contains(centre))
            return i;
    }
    return current >= 0 && current < outputs.size() ? current : 0;
}

quint32 pointerTime(quint32 microsecondsHigh, quint32 microsecondsLow)
{
    return quint32((quint64(microsecondsHigh) << 32 | microsecondsLow) / 1000);
}

bool pointerTimeAfter(quint32 time, quint32 than)
{
    // Later by less than half the clock's range.
    return qint32(time - than) > 0;
}

double outputScale(const QSize &mode, const QSize &logical)
{
    if (mode.isEmpty() || logical.isEmpty())
        return 0;
    // Both sides summed: the same whichever way the output is turned, and
    // the logical size's rounding counts for less.
    const int percent
        = qRound(100.0 * (mode.width() + mode.height()) / (logical.width() + logical.height()));
    // The middle of that percent: truncating x 100 gives it back, where the
    // percent itself, as a binary fraction, may fall just short (1.15).
    return (percent + 0.5) / 100.0;
}
