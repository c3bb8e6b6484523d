// The region's arithmetic, without a window.
#include "presets.h"

#include <QtTest>

Q_DECLARE_METATYPE(QVector<QSize>)

class TestPresets : public QObject
{
    Q_OBJECT

private slots:
    void presetsForScreen_data();
    void presetsForScreen();
    void steps_data();
    void steps();
    void workedExample();
    void cornerResize_data();
    void cornerResize();
    void rounding_data();
    void rounding();
    void grip_data();
    void grip();
};

using Sizes = QVector<QSize>;

void TestPresets::presetsForScreen_data()
{
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<Sizes>("presets");
    QTest::newRow("600 wide: the screen alone") << QSize(600, 400) << Sizes{{600, 380}};
    QTest::newRow("601 wide") << QSize(601, 500) << Sizes{{480, 230}, {601, 480}};
    QTest::newRow("800 wide") << QSize(800, 600) << Sizes{{480, 230}, {800, 580}};
    QTest::newRow("801 wide: last narrower than second")
        << QSize(801, 600) << Sizes{{480, 250}, {960, 520}, {801, 580}};
    QTest::newRow("900 wide") << QSize(900, 700) << Sizes{{480, 250}, {960, 520}, {900, 680}};
    QTest::newRow("960 wide: last two equally wide")
        << QSize(960, 600) << Sizes{{480, 250}, {960, 520}, {960, 580}};
    QTest::newRow("1366 wide") << QSize(1366, 768) << Sizes{{480, 250}, {960, 520}, {1366, 748}};
    QTest::newRow("1920 wide") << QSize(1920, 1080) << Sizes{{480, 250}, {960, 520}, {1920, 1060}};
}

void TestPresets::presetsForScreen()
{
    QFETCH(QSize, screen);
    QFETCH(Sizes, presets);
    QCOMPARE(::presetsForScreen(screen), presets);
}

void TestPresets::steps_data()
{
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<int>("captureWidth");
    QTest::addColumn<int>("wider");
    QTest::addColumn<int>("narrower");
    QTest::newRow("1920: from the default") << QSize(1920, 1080) << 600 << 1 << 0;
    QTest::newRow("1920: equal to the first") << QSize(1920, 1080) << 480 << 1 << -1;
    QTest::newRow("1920: equal to the second") << QSize(1920, 1080) << 960 << 2 << 0;
    QTest::newRow("1920: equal to the last") << QSize(1920, 1080) << 1920 << -1 << 1;
    QTest::newRow("1920: wider than all") << QSize(1920, 1080) << 2000 << -1 << 2;
    QTest::newRow("900: from 600, wider than the screen") << QSize(900, 700) << 600 << 1 << 0;
    QTest::newRow("900: from 960, down to the screen") << QSize(900, 700) << 960 << -1 << 2;
    QTest::newRow("900: from 900") << QSize(900, 700) << 900 << 1 << 0;
    QTest::newRow("960: equal widths never chosen") << QSize(960, 600) << 960 << -1 << 0;
    QTest::newRow("600: narrower goes to the screen") << QSize(600, 400) << 300 << 0 << -1;
    QTest::newRow("600: wider than the screen") << QSize(600, 400) << 601 << -1 << 0;
    QTest::newRow("600: equal to the screen") << QSize(600, 400) << 600 << -1 << -1;
}

void TestPresets::steps()
{
    QFETCH(QSize, screen);
    QFETCH(int, captureWidth);
    const Sizes presets = ::presetsForScreen(screen);
    QTEST(widerPreset(presets, captureWidth), "wider");
    QTEST(narrowerPreset(presets, captureWidth), "narrower");
}

void TestPresets::workedExample()
{
    // Each step takes the capture width a step to the preset gives.
    const Sizes presets = ::presetsForScreen(QSize(1920, 1080));
    QVector<int> widths;
    for (int width = 600, i; (i = widerPreset(presets, width)) >= 0;)
        widths << (width = presets.at(i).width());
    QCOMPARE(widths, QVector<int>({960, 1920}));
    widths.clear();
    for (int width = 1920, i; (i = narrowerPreset(presets, width)) >= 0;)
        widths << (width = presets.at(i).width());
    QCOMPARE(widths, QVector<int>({960, 480}));
}

void TestPresets::cornerResize_data()
{
    QTest::addColumn<int>("newWidth");
    QTest::addColumn<QSize>("capture");
    QTest::newRow("600 - 100") << 500 << QSize(500, 281);
    QTest::newRow("just above the first") << 481 << QSize(481, 270);
    QTest::newRow("at the first") << 480 << QSize(480, 250);
    QTest::newRow("below the first") << 10 << QSize(480, 250);
    QTest::newRow("negative") << -100 << QSize(480, 250);
    QTest::newRow("16:9 exactly") << 1600 << QSize(1600, 900);
    QTest::newRow("just below the last") << 1919 << QSize(1919, 1079);
    QTest::newRow("at the last") << 1920 << QSize(1920, 1060);
    QTest::newRow("beyond the last") << 5000 << QSize(1920, 1060);
}

void TestPresets::cornerResize()
{
    QFETCH(int, newWidth);
    QTEST(cornerResizeSize(::presetsForScreen(QSize(1920, 1080)), newWidth), "capture");
}

void TestPresets::rounding_data()
{
    QTest::addColumn<qreal>("v");
    QTest::addColumn<int>("rounded");
    QTest::newRow("100.5") << 100.5 << 101;
    QTest::newRow("100.49") << 100.49 << 100;
    QTest::newRow("10.5") << 10.5 << 11;
    QTest::newRow("-0.5") << -0.5 << 0;
    QTest::newRow("-0.51") << -0.51 << -1;
    QTest::newRow("-10.5") << -10.5 << -10;
    QTest::newRow("-10.6") << -10.6 << -11;
}

void TestPresets::rounding()
{
    QFETCH(qreal, v);
    QTEST(roundHalfUp(v), "rounded");
    QCOMPARE(roundHalfUp(QPointF(v, -v)), QPoint(roundHalfUp(v), roundHalfUp(-v)));
}

void TestPresets::grip_data()
{
    QTest::addColumn<int>("border");
    QTest::addColumn<QRect>("grip");
    QTest::newRow("absent or 0: the drawn 2 pixels") << 0 << QRect(598, 357, 2, 2);
    QTest::newRow("1") << 1 << QRect(599, 358, 1, 1);
    QTest::newRow("10") << 10 << QRect(590, 349, 10, 10);
    QTest::newRow("11") << 11 << QRect(598, 357, 2, 2);
    QTest::newRow("negative") << -3 << QRect(598, 357, 2, 2);
}

void TestPresets::grip()
{
    QFETCH(int, border);
    QFETCH(QRect, grip);
    const QRect rect = gripRectFor(QSize(600, 359), frameThicknessFor(border));
    QCOMPARE(rect, grip);
    QVERIFY(rect.contains(QPoint(599, 358), false));
    QVERIFY(!rect.contains(rect.topLeft() - QPoint(1, 1), false));
}

QTEST_APPLESS_MAIN(TestPresets)
#include "tst_presets.moc"
