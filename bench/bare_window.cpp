// The baseline window for start-up, memory and idling: frameless and
// translucent like the picker, painting one rectangle in the picker's
// title-bar blue at the picker's place, and nothing else. With
// --raise-every-50ms it also stays on top and raises itself on the same
// timer as the picker, the one piece of idle work the picker must do; with
// --tick-every-50ms the timer runs and does nothing, which is what waking up
// alone costs.
//
//     bare_window [--raise-every-50ms | --tick-every-50ms]
#include <QApplication>
#include <QPainter>
#include <QTimer>
#include <QWidget>
#include <QX11Info>

#include <xcb/xcb.h>

#include <cstring>

namespace {

class BareWindow : public QWidget
{
protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), QColor(72, 164, 246));
    }
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const bool raising = argc > 1 && std::strcmp(argv[1], "--raise-every-50ms") == 0;
    const bool ticking = argc > 1 && std::strcmp(argv[1], "--tick-every-50ms") == 0;

    BareWindow window;
    window.setWindowFlags(raising ? Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
                                  : Qt::FramelessWindowHint);
    window.setAttribute(Qt::WA_TranslucentBackground);
    window.resize(600, 359);
    window.move(100, 100);
    if (raising || ticking) {
        auto *timer = new QTimer(&window);
        QObject::connect(timer, &QTimer::timeout, &window, [&window, raising] {
            if (!raising)
                return;
            // As the picker does: the request goes out on this tick.
            window.raise();
            if (QX11Info::isPlatformX11())
                xcb_flush(QX11Info::connection());
        });
        timer->start(50);
    }
    window.show();
    return app.exec();
}
