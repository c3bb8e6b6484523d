// The real picker on a real X server with a window manager, driven by
// xdotool and read back as the outside program and a person would: through
// the value files and the pixels on the screen.
#include "xtools.h"

#include <QtTest>
#include <QScreen>

namespace {

const QRgb titleColour = qRgb(0x48, 0xA4, 0xF6);
const QRgb frameColour = qRgb(0xD4, 0x2B, 0x10);
const QRgb rootColour = qRgb(0x33, 0x66, 0x99);

QImage screenshot()
{
    return QGuiApplication::primaryScreen()->grabWindow(0).toImage();
}

// Another application's window, in one colour, to put under or over the picker.
void showPlainWindow(QWidget *window, Qt::WindowFlags flags, const QRect &geometry,
                     const QColor &colour)
{
    window->setWindowFlags(flags);
    window->setGeometry(geometry);
    window->setAutoFillBackground(true);
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, colour);
    window->setPalette(palette);
    window->show();
}

// Counts the events of one type that reach an object.
class EventCounter : public QObject
{
public:
    EventCounter(QObject *watched, QEvent::Type type)
        : type(type)
    {
        watched->installEventFilter(this);
    }
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == type)
            ++count;
        return false;
    }

private:
    QEvent::Type type;
};

} // namespace

class TestPicker : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void showsItselfAtItsPlace();
    void interiorPassesClicksThrough();
    void secondStartExitsOne();
    void dragMovesTheRegion();
    void cornerDragResizes();
    void stepsThroughThePresets();
    void togglesFlipTheFlags();
    void staysOnTopWithoutTakingFocus();
    void displayChangeEndsIt();

};

void TestPicker::init()
{
    run(QStringLiteral("xsetroot"), {QStringLiteral("-solid"), QStringLiteral("#336699")});
}

void TestPicker::showsItselfAtItsPlace()
{
    Picker picker;
    QVERIFY(picker.start({{"show_capture", 1}, {"capture_border", 4}}));
    QCOMPARE(picker.geometry(), QRect(100, 100, 600, 359));
    QCOMPARE(picker.value("capture_width"), 600);
    QCOMPARE(picker.value("capture_height"), 338);
    QCOMPARE(picker.value("screen_scale"), 100);

    const int titleHeight = Picker::twinGeometry(-1).height();
    QImage shot;
    QTRY_VERIFY((shot = screenshot()).pixel(690, 105) == titleColour);
    const int top = 100 + titleHeight;
    for (int x : {100, 103, 696, 699})
        QCOMPARE(shot.pixel(x, 300), frameColour);
    for (int y : {top, top + 3, 455, 458})
        QCOMPARE(shot.pixel(400, y), frameColour);
    QCOMPARE(shot.pixel(104, 300), rootColour);
    QCOMPARE(shot.pixel(400, top + 4), rootColour);
    QCOMPARE(shot.pixel(400, 300), rootColour);
    QCOMPARE(shot.pixel(700, 300), rootColour);
}

void TestPicker::interiorPassesClicksThrough()
{
    Picker picker;
    QVERIFY(picker.start({{"show_capture", 1}}));
    QWidget below;
    showPlainWindow(&below, Qt::FramelessWindowHint, QRect(250, 250, 100, 100), Qt::yellow);
    QVERIFY(QTest::qWaitForWindowExposed(&below));
    QTRY_COMPARE(below.windowHandle()->position(), QPoint(250, 250));
    // Seen through the interior, with the frame on top of it.
    QTRY_VERIFY(screenshot().pixel(300, 300) == qRgb(255, 255, 0));

    const EventCounter presses(&below, QEvent::MouseButtonPress);
    xdotool(QStringLiteral("mousemove 300 300 click 1"));
    QTRY_COMPARE(presses.count, 1);
    // The frame itself is the picker's: a click there does not pass.
    xdotool(QStringLiteral("mousemove 100 300 click 1"));
    QTest::qWait(200);
    QCOMPARE(presses.count, 1);
}

void TestPicker::secondStartExitsOne()
{
    Picker picker;
    QVERIFY(picker.start());
    QProcess second;
    second.setProcessEnvironment(picker.environment);
    QElapsedTimer timer;
    timer.start();
    second.start(QStringLiteral(ZORVI), QStringList());
    QVERIFY(second.waitForFinished(5000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 1);
    qInfo("second start ended in %lld ms", timer.elapsed());
    QCOMPARE(run(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--pid"),
                                             QString::number(second.processId())}),
             QString());
    QCOMPARE(picker.process.state(), QProcess::Running);
}

void TestPicker::dragMovesTheRegion()
{
    Picker picker;
    QVERIFY(picker.start({{"show_capture", 1}}));
    const int titleHeight = Picker::twinGeometry(-1).height();
    // Grab the title bar in its empty stretch, near the right.
    drag(QPoint(680, 108), QPoint(680 + 237, 108 + 151));
    QTRY_COMPARE(picker.geometry().topLeft(), QPoint(337, 251));
    QCOMPARE(picker.value("start_x"), 337);
    QCOMPARE(picker.value("start_y"), 251 + titleHeight);
    // Where the frame's top-left corner is seen on the screen.
    QImage shot;
    QTRY_VERIFY((shot = screenshot()).pixel(337, 251 + titleHeight) == frameColour);
    QCOMPARE(shot.pixel(337, 251 + titleHeight - 1), titleColour);
    QCOMPARE(shot.pixel(336, 251 + titleHeight), rootColour);
}

void TestPicker::cornerDragResizes()
{
    Picker picker;
    QVERIFY(picker.start({{"show_capture", 1}, {"capture_border", 4}}));
    drag(QPoint(698, 457), QPoint(598, 400));
    QTRY_COMPARE(picker.geometry(), QRect(100, 100, 500, 302));
    QCOMPARE(picker.value("capture_width"), 500);
    QCOMPARE(picker.value("capture_height"), 281);
}

void TestPicker::stepsThroughThePresets()
{
    Picker picker;
    QVERIFY(picker.start({{"show_capture", 1}}));
    const QPoint bigger = Picker::twinGeometry(8).center();
    const QPoint smaller = Picker::twinGeometry(10).center();
    const int titleHeight = Picker::twinGeometry(-1).height();
    const struct {
        QPoint button;
        QSize capture;
        QPoint at;
    } clicks[] = {
        {bigger, {960, 540}, {100, 100}},
        {bigger, {1920, 1080}, {0, 0}},
        {bigger, {1920, 1080}, {0, 0}},
        {smaller, {960, 540}, {0, 0}},
        {smaller, {480, 270}, {0, 0}},
        {smaller, {480, 270}, {0, 0}},
    };
    for (const auto &click : clicks) {
        const QPoint target = picker.geometry().topLeft() + click.button;
        xdotool(QStringLiteral("mousemove %1 %2 click 1").arg(target.x()).arg(target.y()));
        QTRY_COMPARE(picker.geometry(), QRect(click.at, click.capture + QSize(0, 20)));
        QCOMPARE(picker.value("capture_width"), click.capture.width());
        QCOMPARE(picker.value("capture_height"), click.capture.height());
    }
    QCOMPARE(picker.value("start_x"), 0);
    QCOMPARE(picker.value("start_y"), titleHeight);
}

void TestPicker::togglesFlipTheFlags()
{
    Picker picker;
    QVERIFY(picker.start({{"show_capture", 0}, {"open_cam", 0}}));
    const QRect titleBar = Picker::twinGeometry(-1);
    // Hidden, the title bar fills the window: its row sits in the middle.
    const int rowShift = (359 - titleBar.height()) / 2;
    const QPoint border = QPoint(100, 100 + rowShift) + Picker::twinGeometry(4).center();
    xdotool(QStringLiteral("mousemove %1 %2 click 1").arg(border.x()).arg(border.y()));
    QTRY_COMPARE(picker.value("show_capture"), 1);
    QTRY_VERIFY(screenshot().pixel(400, 300) == rootColour);
    // Shown, the row is back at the top.
    const QPoint captureNow = QPoint(100, 100) + Picker::twinGeometry(6).center();
    xdotool(QStringLiteral("mousemove %1 %2 click 1").arg(captureNow.x()).arg(captureNow.y()));
    QTRY_COMPARE(picker.value("open_cam"), 1);
    xdotool(QStringLiteral("mousemove %1 %2 click 1").arg(captureNow.x()).arg(captureNow.y()));
    QTRY_COMPARE(picker.value("open_cam"), 0);
    const QPoint borderNow = QPoint(100, 100) + Picker::twinGeometry(4).center();
    xdotool(QStringLiteral("mousemove %1 %2 click 1").arg(borderNow.x()).arg(borderNow.y()));
    QTRY_COMPARE(picker.value("show_capture"), 0);
    QTRY_VERIFY(screenshot().pixel(400, 300) == titleColour);
}

void TestPicker::staysOnTopWithoutTakingFocus()
{
    Picker picker;
    QVERIFY(picker.start({{"show_capture", 1}}));
    // Without a window manager only the picker's own raises bring it back, and
    // then there is no active window to keep.
    const bool managed = run(QStringLiteral("xprop"),
                             {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")})
                             .contains(QStringLiteral("window id"));
    QWidget above;
    showPlainWindow(&above, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint,
                    QRect(50, 200, 200, 200), Qt::green);
    QVERIFY(QTest::qWaitForWindowExposed(&above));
    const QString aboveId = QString::number(above.winId());
    if (managed) {
        above.activateWindow();
        QTRY_COMPARE(run(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")}), aboveId);
    }
    // The frame's left edge crosses the other window: whose pixel is on top?
    QTRY_VERIFY_WITH_TIMEOUT(screenshot().pixel(100, 250) == frameColour, 1000);

    // Until the other window repaints, the screen still shows the picker's
    // pixels there: each round waits for that repaint first.
    const EventCounter exposes(above.windowHandle(), QEvent::Expose);
    for (int round = 0; round < 5; ++round) {
        const int before = exposes.count;
        xdotool(QStringLiteral("windowraise ") + aboveId);
        QTRY_VERIFY(exposes.count > before);
        QElapsedTimer timer;
        timer.start();
        QTRY_VERIFY_WITH_TIMEOUT(screenshot().pixel(100, 250) == frameColour, 1000);
        QVERIFY2(timer.elapsed() <= 150 * ZORVI_SLOWDOWN, qPrintable(QString::number(timer.elapsed())));
    }
    if (managed)
        QCOMPARE(run(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")}), aboveId);
}

void TestPicker::displayChangeEndsIt()
{
    Picker picker;
    QVERIFY(picker.start());
    int code = 0;
    run(QStringLiteral("xrandr"), {QStringLiteral("--newmode"), QStringLiteral("1366x768"),
                                   QStringLiteral("85.25"), QStringLiteral("1366"),
                                   QStringLiteral("1440"), QStringLiteral("1576"),
                                   QStringLiteral("1784"), QStringLiteral("768"),
                                   QStringLiteral("771"), QStringLiteral("781"),
                                   QStringLiteral("798"), QStringLiteral("-hsync"),
                                   QStringLiteral("+vsync")});
    run(QStringLiteral("xrandr"), {QStringLiteral("--addmode"), QStringLiteral("screen"),
                                   QStringLiteral("1366x768")});
    run(QStringLiteral("xrandr"), {QStringLiteral("-s"), QStringLiteral("1366x768")}, &code);
    QCOMPARE(code, 0);
    QVERIFY(picker.process.waitForFinished(5000));
    QCOMPARE(picker.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(picker.process.exitCode(), 0);
    run(QStringLiteral("xrandr"), {QStringLiteral("-s"), QStringLiteral("1920x1080")});
}

QTEST_MAIN(TestPicker)
#include "tst_picker.moc"
