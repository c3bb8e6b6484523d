// What one mouse move of a drag costs the picker, against a bare frameless
// widget that does only the geometry part of it:
//
//   drag    the window moves and writes the position pair; the bare widget
//           only moves;
//   resize  a corner resize: the window resizes, lays out, repaints and
//           writes the size pair; the bare widget only resizes, to the same
//           sizes.
//
// The bare widgets run twice, plain and translucent as the picker is on
// Windows (for context: the X server composites a translucent window
// itself, and the picker was translucent here too). The
// events go in through the window system's entry point (so the child under
// the pointer sees them first and passes them on, as on a desktop); a
// round ends when everything they caused, paints and the X server's work
// included, is done. One window is shown at a time. Each region width
// given gets a picker of its own and bare widgets of its size; a drag goes
// 200 x 100 pixels back and forth, a corner resize narrows the region by up
// to 200 pixels and widens it back (400 moves make the whole road: fewer
// measure narrowing alone). Run on a real X server (xcb): the
// offscreen platform paints and resizes nothing on a screen, and its
// figures mislead both ways. Prints figures, fails nothing.
//
//     QT_QPA_PLATFORM=xcb bench_drag DRAG_EVENTS RESIZE_EVENTS ROUNDS WIDTH...
#include "settings/settings.h"
#include "window/scrm.h"

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
    // Until the X server has done all that was asked and its answers are
    // handled: the moves' work does not end in the loop.
    QGuiApplication::sync();
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

// Microseconds per move of each, the median of the rounds. Rounds take
// turns, so that all see the same machine.
std::vector<double> compare(int rounds, const std::vector<std::function<double()>> &contestants)
{
    std::vector<std::vector<double>> costs(contestants.size());
    for (int round = 0; round < rounds; ++round) {
        for (size_t i = 0; i < contestants.size(); ++i)
            costs[i].push_back(contestants[i]());
    }
    std::vector<double> medians;
    for (const std::vector<double> &one : costs)
        medians.push_back(median(one));
    return medians;
}

// The window system answers every move later: those answers, stale by
// then, must all be in before a round starts, or they put the window back
// where it was in the middle of it.
void place(QWidget *window, const QPoint &position, const QSize &size)
{
    for (int attempt = 0; attempt < 20; ++attempt) {
        window->move(position);
        window->resize(size);
        QGuiApplication::sync();
        QTest::qWait(20);
        if (window->pos() == position && window->size() == size)
            return;
    }
}

// Both measures at one region width; false when the picker did not follow.
bool measure(int width, int dragEvents, int resizeEvents, int rounds)
{
    // As the corner resize makes it: 16:9, the title bar above.
    const int height = int(width * 9.0 * 0.0625);
    writeSize(width, height);
    SCRM picker;
    picker.show();
    BareMover mover;
    BareResizer resizer;
    BareMover translucentMover;
    BareResizer translucentResizer;
    const QSize startSize(width, height + 21);
    const std::initializer_list<QWidget *> bares
        = { &mover, &resizer, &translucentMover, &translucentResizer };
    for (QWidget *bare : bares) {
        bare->setWindowFlags(Qt::FramelessWindowHint);
        bare->setAttribute(Qt::WA_TranslucentBackground,
                           bare == &translucentMover || bare == &translucentResizer);
        bare->resize(startSize);
        bare->show();
        if (!QTest::qWaitForWindowExposed(bare))
            return false;
    }
    if (!QTest::qWaitForWindowExposed(&picker) || picker.size() != startSize) {
        std::fprintf(stderr, "bench_drag: the picker did not come up %dx%d\n", startSize.width(),
                     startSize.height());
        return false;
    }
    // At the screen's width the picker keeps itself in the screen's corner:
    // everything starts there.
    const QPoint origin(0, 0);
    // One window on the screen at a time: what one does must not make the
    // X server redraw another.
    for (QWidget *bare : bares)
        bare->hide();
    const auto round = [&](QWidget *window, int events, const std::function<QPoint(int)> &path) {
        return [=] {
            window->show();
            if (!QTest::qWaitForWindowExposed(window))
                std::fprintf(stderr, "bench_drag: a window was not exposed again\n");
            place(window, origin, startSize);
            const double cost = dragCost(window, events, path);
            window->hide();
            return cost;
        };
    };

    // A drag by the title bar.
    const auto dragPath = [origin](int i) {
        return origin + QPoint(400, 10) + QPoint(triangle(i, 200), triangle(i, 100));
    };
    picker.show();
    place(&picker, origin, startSize);
    dragCost(&picker, 1, dragPath);
    if (picker.pos() != origin + QPoint(1, 1)) {
        std::fprintf(stderr, "bench_drag: the drag did not move the picker\n");
        return false;
    }
    const std::vector<double> drag
        = compare(rounds, { round(&picker, dragEvents, dragPath), round(&mover, dragEvents, dragPath),
                            round(&translucentMover, dragEvents, dragPath) });

    // A corner resize from the grip. The picker sets its own height from the
    // width; the bare widgets get the same sizes from their handler. A press
    // that missed the grip would measure a drag instead: check one move.
    const auto resizePath = [origin, startSize](int i) {
        return origin + QPoint(startSize.width() - 1 - triangle(i, 200), startSize.height() - 1);
    };
    picker.show();
    place(&picker, origin, startSize);
    dragCost(&picker, 1, resizePath);
    if (picker.pos() != origin || picker.width() != width - 1) {
        std::fprintf(stderr, "bench_drag: the corner resize did not resize the picker (%d,%d %dx%d)\n",
                     picker.x(), picker.y(), picker.width(), picker.height());
        return false;
    }
    const std::vector<double> resize = compare(
        rounds, { round(&picker, resizeEvents, resizePath), round(&resizer, resizeEvents, resizePath),
                  round(&translucentResizer, resizeEvents, resizePath) });

    const char *format = "%s width=%d picker_us=%.3f bare_us=%.3f translucent_bare_us=%.3f "
                         "events=%d rounds=%d\n";
    std::printf(format, "drag", width, drag[0], drag[1], drag[2], dragEvents, rounds);
    std::printf(format, "resize", width, resize[0], resize[1], resize[2], resizeEvents, rounds);
    std::fflush(stdout);
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // The offscreen platform has no window masks and says so on every resize
    // of the picker; on X11 the mask is a real request. Printing that warning
    // is not part of a move.
    QLoggingCategory::setFilterRules(QStringLiteral("default.warning=false"));
    if (argc < 5) {
        std::fprintf(stderr, "usage: bench_drag DRAG_EVENTS RESIZE_EVENTS ROUNDS WIDTH...\n");
        return 2;
    }
    const int dragEvents = std::max(1, QByteArray(argv[1]).toInt());
    const int resizeEvents = std::max(1, QByteArray(argv[2]).toInt());
    const int rounds = std::max(1, QByteArray(argv[3]).toInt());

    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("screen-capture-rvk"));
    qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit());
    // The frame shown, as while the user picks a region.
    writeSetting("show_capture", 1);
    writeSetting("capture_border", 2);

    for (int i = 4; i < argc; ++i) {
        if (!measure(QByteArray(argv[i]).toInt(), dragEvents, resizeEvents, rounds))
            return 1;
    }
    return 0;
}
