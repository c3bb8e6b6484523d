// The picker on two screens side by side: 1920 x 1080 at (0, 0) and
// 1366 x 768 at (1920, 0).
#include "xtools.h"

#include <QtTest>
#include <QScreen>

class TestTwoScreens : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void dragToTheOtherScreenRebuildsThePresets();
    void releaseOnAScreenOfAnotherScaleEndsIt_data();
    void releaseOnAScreenOfAnotherScaleEndsIt();
};

void TestTwoScreens::initTestCase()
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    QCOMPARE(screens.size(), 2);
    QCOMPARE(screens.at(1)->geometry(), QRect(1920, 0, 1366, 768));
}

void TestTwoScreens::dragToTheOtherScreenRebuildsThePresets()
{
    Picker picker;
    QVERIFY(picker.start({{"show_capture", 1}}));
    drag(QPoint(680, 108), QPoint(680 + 1900, 108));
    QTRY_COMPARE(picker.geometry().topLeft(), QPoint(2000, 100));
    // The window keeps its size until the next step.
    QCOMPARE(picker.geometry().size(), QSize(600, 359));

    const QPoint bigger = Picker::twinGeometry(8).center();
    const struct {
        QSize capture;
        QPoint at;
    } steps[] = {
        {{960, 540}, {2000, 100}},
        {{1366, 768}, {1920, 0}}, // the second screen's own preset, at its corner
    };
    for (const auto &step : steps) {
        const QPoint target = picker.geometry().topLeft() + bigger;
        xdotool(QStringLiteral("mousemove %1 %2 click 1").arg(target.x()).arg(target.y()));
        QTRY_COMPARE(picker.geometry(), QRect(step.at, step.capture + QSize(0, 20)));
        QCOMPARE(picker.value("capture_width"), step.capture.width());
        QCOMPARE(picker.value("capture_height"), step.capture.height());
    }
    QCOMPARE(picker.value("start_x"), 1920);
    QCOMPARE(picker.process.state(), QProcess::Running);
}

void TestTwoScreens::releaseOnAScreenOfAnotherScaleEndsIt_data()
{
    QTest::addColumn<QVector<QPoint>>("path");
    QTest::addColumn<bool>("ends");
    // Pointer positions in device pixels: on the scaled screen a logical
    // pixel is 1.5 of them, so the window lags behind the pointer there.
    const QPoint from(680, 108);
    QTest::newRow("ends on the scaled screen") << QVector<QPoint>{from, {2900, 300}} << true;
    QTest::newRow("passes over it and comes back")
        << QVector<QPoint>{from, {2900, 300}, {900, 300}} << false;
}

void TestTwoScreens::releaseOnAScreenOfAnotherScaleEndsIt()
{
    QFETCH(QVector<QPoint>, path);
    QFETCH(bool, ends);
    Picker picker;
    QVERIFY(picker.start({{"show_capture", 1}}, {QStringLiteral("QT_SCREEN_SCALE_FACTORS=;1.5")}));
    drag(path);
    if (ends) {
        QVERIFY(picker.process.waitForFinished(5000));
        QCOMPARE(picker.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(picker.process.exitCode(), 0);
        QVERIFY(picker.value("start_x") != INT_MIN);
    } else {
        QTest::qWait(500);
        QCOMPARE(picker.process.state(), QProcess::Running);
    }
}

QTEST_MAIN(TestTwoScreens)
#include "tst_twoscreens.moc"
