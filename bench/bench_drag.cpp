// What one mouse move of a drag costs the picker, against a bare frameless
// widget that does only the geometry part of it:
//
//   drag    the window moves and writes the position pair; the bare widget
//           only moves;
//   resize  a corner resize: the window resizes, lays out, repaints and
//           writes the size pair; the bare widget only resizes, to the same
//           sizes.
//
// The events go in through the window system's entry point (so the child
// under the pointer sees them first and passes them on, as on a desktop),
// and everything they cause, paints included, is processed before the next
// one. Run under the offscreen platform; prints figures, fails nothing.
//
//     QT_QPA_PLATFORM=offscreen bench_drag [events per round] [rounds]
#include "scrm.h"
#include "settings.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QWindow>
#include <QtTest/QTest>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

class BareMover : public QWidget
{
protected:
    void mousePressEvent(QMouseEvent *event) override { offset = event->globalPos() - pos(); }
    void mouseMoveEvent(QMouseEvent *event) override { move(event->globalPos() - offset); }

private:
    QPoint offset;
};

class BareResizer : public QWidget
{
protected:
    void mousePressEvent(QMouseEvent *event) override
    {
        pressWidth = width();
        pressX = event->pos().x();
    }
    void mouseMoveEvent(QMouseEvent *event) override
    {
        const int w = pressWidth + event->pos().x() - pressX;
        resize(w, w * 9 / 16 + 21);
    }

private:
    int pressWidth = 0;
    int pressX = 0;
};

// 0, 1, ... span, span - 1, ... 0, ...: a pointer going back and forth.
int triangle(int i, int span)
{
    const int phase = i % (2 * span);
    return phase < span ? phase : 2 * span - phase;
}

QPoint topLeft(QWidget *window)
{
    return window->windowHandle()->position();
}

// Microseconds per move event. pointer(i) is the pointer's global position
// at the i-th move; the press is at pointer(0).
double dragCost(QWidget *window, int events, const std::function<QPoint(int)> &pointer)
{
    QWindow *handle = window->windowHandle();
    QTest::mousePress(handle, Qt::LeftButton, Qt::NoModifier, pointer(0) - topLeft(window));
    QCoreApplication::processEvents();
    QElapsedTimer timer;
    timer.start();
    for (int i = 1; i <= events; ++i) {
        QTest::mouseMove(handle, pointer(i) - topLeft(window));
        QCoreApplication::processEvents();
    }
    const double micros = timer.nsecsElapsed() / 1000.0 / events;
    QTest::mouseRelease(handle, Qt::LeftButton, Qt::NoModifier, pointer(events) - topLeft(window));
    QCoreApplication::processEvents();
    return micros;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Pair
{
    double picker;
    double bare;
};

// Rounds alternate between the two, so that both see the same machine.
Pair compare(int rounds, const std::function<double()> &picker, const std::function<double()> &bare)
{
    std::vector<double> pickerCosts;
    std::vector<double> bareCosts;
    for (int round = 0; round < rounds; ++round) {
        pickerCosts.push_back(picker());
        bareCosts.push_back(bare());
    }
    return { median(pickerCosts), median(bareCosts) };
}

void place(QWidget *window, const QPoint &position, const QSize &size)
{
    window->move(position);
    window->resize(size);
    QCoreApplication::processEvents();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // The offscreen platform has no window masks and says so on every resize
    // of the picker; on X11 the mask is a real request. Printing that warning
    // is not part of a move.
    QLoggingCategory::setFilterRules(QStringLiteral("default.warning=false"));
    const int events = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 20000;
    const int rounds = argc > 2 ? std::max(1, QByteArray(argv[2]).toInt()) : 7;

    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("screen-capture-rvk"));
    qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit());
    // The frame shown, as while the user picks a region.
    writeSetting("show_capture", 1);
    writeSetting("capture_border", 2);

    SCRM picker;
    picker.show();
    BareMover mover;
    mover.setWindowFlags(Qt::FramelessWindowHint);
    mover.resize(600, 359);
    mover.show();
    BareResizer resizer;
    resizer.setWindowFlags(Qt::FramelessWindowHint);
    resizer.resize(600, 359);
    resizer.show();
    if (!QTest::qWaitForWindowExposed(&picker) || !QTest::qWaitForWindowExposed(&mover)
        || !QTest::qWaitForWindowExposed(&resizer)) {
        std::fprintf(stderr, "bench_drag: the windows were not exposed\n");
        return 1;
    }
    const QSize startSize = picker.size();

    // A drag by the title bar, 200 x 100 pixels back and forth.
    const auto dragPath = [](const QPoint &grab) {
        return [grab](int i) { return grab + QPoint(triangle(i, 200), triangle(i, 100)); };
    };
    place(&picker, QPoint(100, 100), startSize);
    dragCost(&picker, 1, dragPath(QPoint(100 + 400, 100 + 10)));
    if (picker.pos() != QPoint(101, 101)) {
        std::fprintf(stderr, "bench_drag: the drag did not move the picker\n");
        return 1;
    }
    const Pair drag = compare(
        rounds,
        [&] {
            place(&picker, QPoint(100, 100), startSize);
            return dragCost(&picker, events, dragPath(QPoint(100 + 400, 100 + 10)));
        },
        [&] {
            place(&mover, QPoint(100, 100), startSize);
            return dragCost(&mover, events, dragPath(QPoint(100 + 400, 100 + 10)));
        });

    // A corner resize from the grip, the width going 500 ... 700 and back.
    const auto resizePath = [](QWidget *window) {
        const QPoint grip = window->pos() + QPoint(window->width() - 1, window->height() - 1);
        return [grip](int i) { return grip + QPoint(triangle(i + 100, 200) - 100, 0); };
    };
    // The picker sets its own height from the width; the bare widget gets
    // the same sizes from its handler. A press that missed the grip would
    // measure a drag instead: check one move first.
    place(&picker, QPoint(50, 50), startSize);
    dragCost(&picker, 1, resizePath(&picker));
    if (picker.pos() != QPoint(50, 50) || picker.width() != startSize.width() + 1) {
        std::fprintf(stderr, "bench_drag: the corner resize did not resize the picker (%d,%d %dx%d)\n",
                     picker.x(), picker.y(), picker.width(), picker.height());
        return 1;
    }
    const Pair resize = compare(
        rounds,
        [&] {
            place(&picker, QPoint(50, 50), startSize);
            return dragCost(&picker, events, resizePath(&picker));
        },
        [&] {
            place(&resizer, QPoint(50, 50), startSize);
            return dragCost(&resizer, events, resizePath(&resizer));
        });

    std::printf("drag picker_us=%.3f bare_us=%.3f events=%d rounds=%d\n", drag.picker, drag.bare,
                events, rounds);
    std::printf("resize picker_us=%.3f bare_us=%.3f events=%d rounds=%d\n", resize.picker,
                resize.bare, events, rounds);
    return 0;
}
