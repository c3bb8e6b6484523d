// The real picker on a real X server with a window manager, driven by
// xdotool and read back as the outside program and a person would: through
// the value files and the pixels on the screen.
#include "scrm.h"

#include <QtTest>
#include <QDir>
#include <QLayout>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>

namespace {

const QRgb titleColour = qRgb(0x48, 0xA4, 0xF6);
const QRgb frameColour = qRgb(0xD4, 0x2B, 0x10);
const QRgb rootColour = qRgb(0x33, 0x66, 0x99);

QString run(const QString &program, const QStringList &arguments, int *exitCode = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(10000);
    if (exitCode)
        *exitCode = process.exitCode();
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

void xdotool(const QString &arguments)
{
    run(QStringLiteral("xdotool"), arguments.split(QLatin1Char(' ')));
}

// A drag as a hand makes it: small steps, each given time to arrive.
void drag(const QPoint &from, const QPoint &to)
{
    QStringList arguments{QStringLiteral("mousemove"), QString::number(from.x()),
                          QString::number(from.y()), QStringLiteral("mousedown"),
                          QStringLiteral("1")};
    const int steps = 20;
    for (int i = 1; i <= steps; ++i) {
        const QPoint p = from + (to - from) * i / steps;
        arguments << QStringLiteral("sleep") << QStringLiteral("0.01") << QStringLiteral("mousemove")
                  << QString::number(p.x()) << QString::number(p.y());
    }
    arguments << QStringLiteral("sleep") << QStringLiteral("0.05") << QStringLiteral("mouseup")
              << QStringLiteral("1");
    run(QStringLiteral("xdotool"), arguments);
}

QRect geometryOf(const QString &windowId)
{
    const QString info = run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), windowId});
    auto field = [&](const char *name) {
        const QRegularExpression re(QString::fromLatin1(name) + QStringLiteral(":\\s+(-?\\d+)"));
        return re.match(info).captured(1).toInt();
    };
    return QRect(field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"),
                 field("Height"));
}

QImage screenshot()
{
    return QGuiApplication::primaryScreen()->grabWindow(0).toImage();
}

} // namespace

class TestPicker : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void showsItselfAtItsPlace();
    void interiorPassesClicksThrough();
    void secondStartExitsOne();
    void dragMovesTheRegion();
    void cornerDragResizes();
    void stepsThroughThePresets();
    void togglesFlipTheFlags();
    void staysOnTopWithoutTakingFocus();
    void displayChangeEndsIt();

private:
    void start(const QMap<QString, int> &values = {});
    int value(const char *name) const;
    // Where the picker's widgets sit, asked of a twin laid out off screen.
    QRect twinGeometry(int titleItem);

    QScopedPointer<QTemporaryDir> dir;
    QProcess picker;
    QString windowId;
    QProcessEnvironment environment;
};

void TestPicker::init()
{
    dir.reset(new QTemporaryDir);
    QDir(dir->path()).mkpath(QStringLiteral("config/screen-capture-rvk"));
    QDir(dir->path()).mkpath(QStringLiteral("run"));
    environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir->path() + QStringLiteral("/config"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir->path() + QStringLiteral("/run"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    run(QStringLiteral("xsetroot"), {QStringLiteral("-solid"), QStringLiteral("#336699")});
}

void TestPicker::cleanup()
{
    if (picker.state() != QProcess::NotRunning) {
        picker.kill();
        picker.waitForFinished();
    }
    windowId.clear();
}

void TestPicker::start(const QMap<QString, int> &values)
{
    for (auto it = values.begin(); it != values.end(); ++it) {
        QFile file(dir->path() + QStringLiteral("/config/screen-capture-rvk/") + it.key());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray::number(it.value()) + '\n');
    }
    picker.setProcessEnvironment(environment);
    picker.start(QStringLiteral(ZORVI), QStringList());
    QVERIFY(picker.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(!(windowId = run(QStringLiteral("xdotool"),
                                              {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                               QStringLiteral("--pid"),
                                               QString::number(picker.processId())}))
                                  .isEmpty(),
                             5000);
    QTRY_COMPARE(geometryOf(windowId).topLeft(), QPoint(100, 100));
}

int TestPicker::value(const char *name) const
{
    QFile file(dir->path() + QStringLiteral("/config/screen-capture-rvk/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        return INT_MIN;
    return file.readAll().trimmed().toInt();
}

QRect TestPicker::twinGeometry(int titleItem)
{
    QTemporaryDir twinDir;
    QDir(twinDir.path()).mkpath(QStringLiteral("screen-capture-rvk"));
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", twinDir.path().toLocal8Bit());
    QFile shown(twinDir.path() + QStringLiteral("/screen-capture-rvk/show_capture"));
    shown.open(QIODevice::WriteOnly);
    shown.write("1\n");
    shown.close();
    QRect geometry;
    {
        SCRM twin;
        twin.setAttribute(Qt::WA_DontShowOnScreen);
        twin.show();
        QWidget *titleBar = twin.layout()->itemAt(0)->widget();
        QWidget *widget = titleItem < 0 ? titleBar : titleBar->layout()->itemAt(titleItem)->widget();
        geometry = QRect(widget->mapTo(&twin, QPoint(0, 0)), widget->size());
    }
    qputenv("XDG_CONFIG_HOME", saved);
    return geometry;
}

void TestPicker::showsItselfAtItsPlace()
{
    start({{"show_capture", 1}, {"capture_border", 4}});
    QCOMPARE(geometryOf(windowId), QRect(100, 100, 600, 359));
    QCOMPARE(value("capture_width"), 600);
    QCOMPARE(value("capture_height"), 338);
    QCOMPARE(value("screen_scale"), 100);

    const int titleHeight = twinGeometry(-1).height();
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
    start({{"show_capture", 1}});
    QWidget below;
    below.setWindowFlags(Qt::FramelessWindowHint);
    below.setGeometry(250, 250, 100, 100);
    below.setAutoFillBackground(true);
    QPalette palette = below.palette();
    palette.setColor(QPalette::Window, Qt::yellow);
    below.setPalette(palette);
    below.show();
    QVERIFY(QTest::qWaitForWindowExposed(&below));
    QTRY_COMPARE(below.windowHandle()->position(), QPoint(250, 250));
    // Seen through the interior, with the frame on top of it.
    QTRY_VERIFY(screenshot().pixel(300, 300) == qRgb(255, 255, 0));

    int presses = 0;
    struct Counter : QObject {
        int *count;
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::MouseButtonPress)
                ++*count;
            return false;
        }
    } counter;
    counter.count = &presses;
    below.installEventFilter(&counter);
    xdotool(QStringLiteral("mousemove 300 300 click 1"));
    QTRY_COMPARE(presses, 1);
    // The frame itself is the picker's: a click there does not pass.
    xdotool(QStringLiteral("mousemove 100 300 click 1"));
    QTest::qWait(200);
    QCOMPARE(presses, 1);
}

void TestPicker::secondStartExitsOne()
{
    start();
    QProcess second;
    second.setProcessEnvironment(environment);
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
    QCOMPARE(picker.state(), QProcess::Running);
}

void TestPicker::dragMovesTheRegion()
{
    start({{"show_capture", 1}});
    const int titleHeight = twinGeometry(-1).height();
    // Grab the title bar in its empty stretch, near the right.
    drag(QPoint(680, 108), QPoint(680 + 237, 108 + 151));
    QTRY_COMPARE(geometryOf(windowId).topLeft(), QPoint(337, 251));
    QCOMPARE(value("start_x"), 337);
    QCOMPARE(value("start_y"), 251 + titleHeight);
    // Where the frame's top-left corner is seen on the screen.
    QImage shot;
    QTRY_VERIFY((shot = screenshot()).pixel(337, 251 + titleHeight) == frameColour);
    QCOMPARE(shot.pixel(337, 251 + titleHeight - 1), titleColour);
    QCOMPARE(shot.pixel(336, 251 + titleHeight), rootColour);
}

void TestPicker::cornerDragResizes()
{
    start({{"show_capture", 1}, {"capture_border", 4}});
    drag(QPoint(698, 457), QPoint(598, 400));
    QTRY_COMPARE(geometryOf(windowId), QRect(100, 100, 500, 302));
    QCOMPARE(value("capture_width"), 500);
    QCOMPARE(value("capture_height"), 281);
}

void TestPicker::stepsThroughThePresets()
{
    start({{"show_capture", 1}});
    const QPoint bigger = twinGeometry(8).center();
    const QPoint smaller = twinGeometry(10).center();
    const int titleHeight = twinGeometry(-1).height();
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
        const QPoint target = geometryOf(windowId).topLeft() + click.button;
        xdotool(QStringLiteral("mousemove %1 %2 click 1").arg(target.x()).arg(target.y()));
        QTRY_COMPARE(geometryOf(windowId), QRect(click.at, click.capture + QSize(0, 20)));
        QCOMPARE(value("capture_width"), click.capture.width());
        QCOMPARE(value("capture_height"), click.capture.height());
    }
    QCOMPARE(value("start_x"), 0);
    QCOMPARE(value("start_y"), titleHeight);
}

void TestPicker::togglesFlipTheFlags()
{
    start({{"show_capture", 0}, {"open_cam", 0}});
    const QRect titleBar = twinGeometry(-1);
    // Hidden, the title bar fills the window: its row sits in the middle.
    const int rowShift = (359 - titleBar.height()) / 2;
    const QPoint border = QPoint(100, 100 + rowShift) + twinGeometry(4).center();
    xdotool(QStringLiteral("mousemove %1 %2 click 1").arg(border.x()).arg(border.y()));
    QTRY_COMPARE(value("show_capture"), 1);
    QTRY_VERIFY(screenshot().pixel(400, 300) == rootColour);
    // Shown, the row is back at the top.
    const QPoint captureNow = QPoint(100, 100) + twinGeometry(6).center();
    xdotool(QStringLiteral("mousemove %1 %2 click 1").arg(captureNow.x()).arg(captureNow.y()));
    QTRY_COMPARE(value("open_cam"), 1);
    xdotool(QStringLiteral("mousemove %1 %2 click 1").arg(captureNow.x()).arg(captureNow.y()));
    QTRY_COMPARE(value("open_cam"), 0);
    const QPoint borderNow = QPoint(100, 100) + twinGeometry(4).center();
    xdotool(QStringLiteral("mousemove %1 %2 click 1").arg(borderNow.x()).arg(borderNow.y()));
    QTRY_COMPARE(value("show_capture"), 0);
    QTRY_VERIFY(screenshot().pixel(400, 300) == titleColour);
}

void TestPicker::staysOnTopWithoutTakingFocus()
{
    start({{"show_capture", 1}});
    QWidget above;
    above.setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    above.setGeometry(50, 200, 200, 200);
    above.setAutoFillBackground(true);
    QPalette palette = above.palette();
    palette.setColor(QPalette::Window, Qt::green);
    above.setPalette(palette);
    above.show();
    QVERIFY(QTest::qWaitForWindowExposed(&above));
    above.activateWindow();
    const QString aboveId = QString::number(above.winId());
    QTRY_COMPARE(run(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")}), aboveId);

    // The frame's left edge crosses the other window: whose pixel is on top?
    for (int round = 0; round < 5; ++round) {
        xdotool(QStringLiteral("windowraise ") + aboveId);
        QElapsedTimer timer;
        timer.start();
        QTRY_VERIFY_WITH_TIMEOUT(screenshot().pixel(100, 250) == frameColour, 1000);
        QVERIFY2(timer.elapsed() <= 150, qPrintable(QString::number(timer.elapsed())));
    }
    QCOMPARE(run(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")}), aboveId);
}

void TestPicker::displayChangeEndsIt()
{
    start();
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
    QVERIFY(picker.waitForFinished(5000));
    QCOMPARE(picker.exitStatus(), QProcess::NormalExit);
    QCOMPARE(picker.exitCode(), 0);
    run(QStringLiteral("xrandr"), {QStringLiteral("-s"), QStringLiteral("1920x1080")});
}

QTEST_MAIN(TestPicker)
#include "tst_picker.moc"
