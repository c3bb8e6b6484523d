// The real picker on a real X server, driven by xdotool and read back as the
// outside program and a person would: through the value files and the pixels
// on the screen. xsession.sh gives it one 1920 x 1080 screen at 96 DPI, with
// or without a window manager, or two screens side by side.
#include "scratchkey.h"

#include <QtTest>
#include <QPushButton>
#include <QScreen>

namespace {

const QRgb titleColour = qRgb(72, 164, 246);
const QRgb frameColour = qRgb(212, 43, 16);
const QRgb rootColour = qRgb(0x33, 0x66, 0x99);

QString run(const QString &program, const QString &arguments, int *exitCode = nullptr)
{
    QProcess process;
    process.start(program, arguments.split(QLatin1Char(' ')));
    process.waitForFinished(10000);
    if (exitCode)
        *exitCode = process.exitCode();
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

QString xdotool(const QString &arguments)
{
    return run(QStringLiteral("xdotool"), arguments);
}

QRgb pixelAt(const QPoint &p)
{
    return QGuiApplication::primaryScreen()->grabWindow(0, p.x(), p.y(), 1, 1).toImage().pixel(0, 0);
}

// A drag as a hand makes it: small steps, each given time to arrive.
void drag(const QVector<QPoint> &path)
{
    QString steps = QStringLiteral("mousemove %1 %2 mousedown 1").arg(path[0].x()).arg(path[0].y());
    for (int leg = 1; leg < path.size(); ++leg) {
        for (int i = 1; i <= 20; ++i) {
            const QPoint p = path[leg - 1] + (path[leg] - path[leg - 1]) * i / 20;
            steps += QStringLiteral(" sleep 0.01 mousemove %1 %2").arg(p.x()).arg(p.y());
        }
    }
    xdotool(steps + QStringLiteral(" sleep 0.05 mouseup 1"));
}

// Another application's window in one colour, to put under or over the picker.
void showPlain(QWidget *window, Qt::WindowFlags flags, const QRect &geometry, const char *colour)
{
    window->setWindowFlags(flags);
    window->setGeometry(geometry);
    window->setStyleSheet(QStringLiteral("background: %1; border: none").arg(QLatin1String(colour)));
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
}

// The picker as a process of its own, on a key of its own.
struct Picker
{
    ~Picker()
    {
        process.kill();
        process.waitForFinished();
    }

    // False unless its window came up at (100, 100).
    bool start(const QMap<const char *, int> &values, const QString &scaleFactors = QString())
    {
        for (auto it = values.begin(); it != values.end(); ++it)
            key.put(it.key(), std::to_string(it.value()) + '\n');
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        if (!scaleFactors.isEmpty())
            environment.insert(QStringLiteral("QT_SCREEN_SCALE_FACTORS"), scaleFactors);
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(ZORVI), QStringList());
        const QString search = QStringLiteral("search --onlyvisible --pid %1");
        for (QDeadlineTimer deadline(5000); !deadline.hasExpired(); QTest::qWait(20)) {
            id = xdotool(search.arg(process.processId()));
            if (!id.isEmpty() && geometry().topLeft() == QPoint(100, 100))
                return true;
        }
        return false;
    }

    QRect geometry() const
    {
        const QString info = run(QStringLiteral("xwininfo"), QStringLiteral("-id ") + id);
        const auto field = [&](const char *name) {
            const QRegularExpression number(QLatin1String(name) + QStringLiteral(":\\s+(-?\\d+)"));
            return number.match(info).captured(1).toInt();
        };
        return QRect(field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"),
                     field("Height"));
    }

    // What the outside program reads.
    QRect region() const
    {
        return QRect(int(key.dword("start_x").value_or(-1)), int(key.dword("start_y").value_or(-1)),
                     int(key.dword("capture_width").value_or(0)), int(key.dword("capture_height").value_or(0)));
    }

    bool endedWithZero()
    {
        return (process.state() == QProcess::NotRunning || process.waitForFinished(5000))
            && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }

    ScratchKey key;
    QProcess process;
    QString id;
};

} // namespace

class TestPicker : public QObject
{
    Q_OBJECT

private slots:
    void init() { run(QStringLiteral("xsetroot"), QStringLiteral("-solid #336699")); }

    void showsItsFrameAroundWhatLiesBelowAndStaysSingle()
    {
        Picker picker;
        QVERIFY(picker.start({{"show_capture", 1}, {"capture_border", 4}}));
        QCOMPARE(picker.geometry(), QRect(100, 100, 600, 359));
        QCOMPARE(picker.key.dword("screen_scale"), 100u);
        QTRY_COMPARE(pixelAt({690, 105}), titleColour);
        int top = 105;
        while (pixelAt({400, top}) == titleColour)
            ++top;
        // The frame, four pixels wide on each side, around what lies below.
        for (const QPoint p : {QPoint(100, 300), QPoint(103, 300), QPoint(696, 300), QPoint(699, 300),
                               QPoint(400, top), QPoint(400, top + 3), QPoint(400, 455), QPoint(400, 458)})
            QCOMPARE(pixelAt(p), frameColour);
        for (const QPoint p : {QPoint(104, 300), QPoint(400, top + 4), QPoint(695, 454), QPoint(700, 300)})
            QCOMPARE(pixelAt(p), rootColour);

        // Another window below is seen, and clicked, through the interior; the frame is the picker's.
        QPushButton below;
        int presses = 0;
        connect(&below, &QPushButton::pressed, [&] { ++presses; });
        showPlain(&below, Qt::FramelessWindowHint, QRect(250, 250, 100, 100), "yellow");
        QTRY_COMPARE(pixelAt({300, 300}), qRgb(255, 255, 0));
        xdotool(QStringLiteral("mousemove 300 300 click 1"));
        QTRY_COMPARE(presses, 1);
        xdotool(QStringLiteral("mousemove 101 300 click 1"));
        QTest::qWait(200);
        QCOMPARE(presses, 1);

        QProcess second;
        second.start(QStringLiteral(ZORVI), QStringList());
        QVERIFY(second.waitForFinished(5000));
        QCOMPARE(second.exitCode(), 1);
        QCOMPARE(xdotool(QStringLiteral("search --pid %1").arg(second.processId())), QString());
        QCOMPARE(picker.process.state(), QProcess::Running);
    }

    void dragsAndCornerDrags()
    {
        Picker picker;
        QVERIFY(picker.start({{"show_capture", 1}}));
        drag({{680, 108}, {680 + 237, 108 + 151}}); // by the title bar's empty end
        QTRY_COMPARE(picker.geometry().topLeft(), QPoint(337, 251));
        // What a capture program takes: the frame's outer corner, below the title.
        const QPoint corner = picker.region().topLeft();
        QCOMPARE(corner.x(), 337);
        QTRY_COMPARE(pixelAt(corner), frameColour);
        QCOMPARE(pixelAt(corner - QPoint(0, 1)), titleColour);
        QCOMPARE(pixelAt(corner - QPoint(1, 0)), rootColour);

        const QPoint grip = picker.geometry().bottomRight();
        drag({grip, grip - QPoint(100, 40)});
        QTRY_COMPARE(picker.geometry(), QRect(337, 251, 500, 302));
        QCOMPARE(picker.region().size(), QSize(500, 281));
    }

    void staysOnTopWithoutTakingFocus()
    {
        Picker picker;
        QVERIFY(picker.start({{"show_capture", 1}}));
        const bool managed = run(QStringLiteral("xprop"), QStringLiteral("-root _NET_SUPPORTING_WM_CHECK"))
                                 .contains(QStringLiteral("window id"));
        QWidget above;
        showPlain(&above, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint, QRect(50, 200, 200, 200), "green");
        const QString aboveId = QString::number(above.winId());
        if (managed) {
            above.activateWindow();
            QTRY_COMPARE(xdotool(QStringLiteral("getactivewindow")), aboveId);
        }
        // The frame's left edge crosses the other window: whose pixel is on top
        // after that window is raised, or the picker lowered?
        QScopedPointer<QWindow> pickerWindow(QWindow::fromWinId(picker.id.toULongLong()));
        for (int round = 0; round < 6; ++round) {
            if (round % 2)
                pickerWindow->lower();
            else
                xdotool(QStringLiteral("windowraise ") + aboveId);
            QTest::qWait(100);
            QTRY_COMPARE_WITH_TIMEOUT(pixelAt({100, 250}), frameColour, 5000);
        }
        if (managed)
            QCOMPARE(xdotool(QStringLiteral("getactivewindow")), aboveId);
    }

    void aDisplayChangeEndsIt()
    {
        Picker picker;
        QVERIFY(picker.start({}));
        const QString mode = QStringLiteral("1366x768 85.25 1366 1440 1576 1784 768 771 781 798 -hsync +vsync");
        run(QStringLiteral("xrandr"), QStringLiteral("--newmode ") + mode);
        run(QStringLiteral("xrandr"), QStringLiteral("--addmode screen 1366x768"));
        int code = -1;
        run(QStringLiteral("xrandr"), QStringLiteral("-s 1366x768"), &code);
        QCOMPARE(code, 0);
        QVERIFY(picker.endedWithZero());
        run(QStringLiteral("xrandr"), QStringLiteral("-s 1920x1080"));
    }

    // Two screens: 1920 x 1080 at (0, 0) and 1366 x 768 at (1920, 0).
    void rebuildsThePresetsOnAnotherScreen()
    {
        if (QGuiApplication::screens().size() != 2)
            QSKIP("needs two screens");
        Picker picker;
        QVERIFY(picker.start({{"show_capture", 1}}));
        drag({{680, 108}, {680 + 1820, 108}});
        QTRY_COMPARE(picker.geometry(), QRect(1920, 100, 600, 359));
        // Pulled to the screen's right edge, the corner reaches that
        // screen's own last preset, and the window its corner. (The window
        // manager keeps the growing window on screen meanwhile.)
        const QPoint grip = picker.geometry().bottomRight();
        drag({grip, grip + QPoint(1000, 0), grip + QPoint(1000, 40)});
        QTRY_COMPARE(picker.geometry(), QRect(1920, 0, 1366, 769));
        QCOMPARE(picker.region().size(), QSize(1366, 748));
    }

    void endsOnAReleaseOnAScreenOfAnotherScale_data()
    {
        QTest::addColumn<QVector<QPoint>>("path");
        QTest::addColumn<bool>("ends");
        // In device pixels: on the scaled screen a logical pixel is 1.5 of them.
        QTest::newRow("ends there") << QVector<QPoint>{{680, 108}, {2900, 300}} << true;
        QTest::newRow("passes over it") << QVector<QPoint>{{680, 108}, {2900, 300}, {900, 300}} << false;
    }

    void endsOnAReleaseOnAScreenOfAnotherScale()
    {
        QFETCH(QVector<QPoint>, path);
        QFETCH(bool, ends);
        if (QGuiApplication::screens().size() != 2)
            QSKIP("needs two screens");
        Picker picker;
        QVERIFY(picker.start({{"show_capture", 1}}, QStringLiteral(";1.5")));
        drag(path);
        QVERIFY(ends ? picker.endedWithZero() : !picker.process.waitForFinished(500));
    }
};

QTEST_MAIN(TestPicker)
#include "tst_picker.moc"
