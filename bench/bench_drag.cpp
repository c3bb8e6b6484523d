// What one mouse move of a drag costs the picker (move + position pair
// written to the store), against a bare frameless widget that only moves
// itself. Run under the offscreen platform; prints figures, fails nothing.
//
//     QT_QPA_PLATFORM=offscreen bench_drag [events]
#include "scrm.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QTemporaryDir>

#include <cstdio>

namespace {

class BareWidget : public QWidget
{
protected:
    void mousePressEvent(QMouseEvent *event) override { offset = event->globalPos() - pos(); }
    void mouseMoveEvent(QMouseEvent *event) override { move(event->globalPos() - offset); }

private:
    QPoint offset;
};

// Microseconds per move event over a drag of the given length.
double dragCost(QWidget *window, int events)
{
    auto send = [window](QEvent::Type type, const QPointF &global, Qt::MouseButtons buttons) {
        const QPointF local = global - QPointF(window->pos());
        QMouseEvent event(type, local, local, global, type == QEvent::MouseMove ? Qt::NoButton
                                                                                : Qt::LeftButton,
                          buttons, Qt::NoModifier);
        QApplication::sendEvent(window, &event);
    };
    send(QEvent::MouseButtonPress, QPointF(400, 110), Qt::LeftButton);
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < events; ++i)
        send(QEvent::MouseMove, QPointF(400 + i % 200, 110 + i % 100), Qt::LeftButton);
    const double micros = timer.nsecsElapsed() / 1000.0 / events;
    send(QEvent::MouseButtonRelease, QPointF(400, 110), Qt::NoButton);
    return micros;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int events = argc > 1 ? QByteArray(argv[1]).toInt() : 20000;

    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("screen-capture-rvk"));
    qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit());

    SCRM picker;
    picker.show();
    BareWidget bare;
    bare.setWindowFlags(Qt::FramelessWindowHint);
    bare.resize(600, 359);
    bare.show();
    QCoreApplication::processEvents();

    // Alternate, so that both see the same machine.
    double pickerCost = 0;
    double bareCost = 0;
    const int rounds = 5;
    for (int round = 0; round < rounds; ++round) {
        pickerCost += dragCost(&picker, events) / rounds;
        bareCost += dragCost(&bare, events) / rounds;
    }
    std::printf("drag move: picker %.2f us/event, bare widget %.2f us/event, ratio %.1f, "
                "headroom at 1000 Hz %.0fx (%d events x %d rounds)\n",
                pickerCost, bareCost, pickerCost / bareCost, 1000.0 / pickerCost, events, rounds);
    return 0;
}
