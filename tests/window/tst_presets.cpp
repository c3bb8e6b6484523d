// The region's arithmetic, without a window.
#include "window/presets.h"

#include <QtTest>

using Sizes = QVector<QSize>;

class TestPresets : public QObject
{
    Q_OBJECT

private slots:
    void presetsAndSteps_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<Sizes>("presets");
        QTest::addColumn<int>("width"); // of the capture region
        QTest::addColumn<int>("wider"); // the entry a step goes to, -1 for none
        QTest::addColumn<int>("narrower");
        const QSize fhd(1920, 1080);
        const Sizes fhdPresets{{480, 250}, {960, 520}, {1920, 1060}};
        QTest::newRow("1920: between") << fhd << fhdPresets << 600 << 1 << 0;
        QTest::newRow("1920: at the first") << fhd << fhdPresets << 480 << 1 << -1;
        QTest::newRow("1920: at the last") << fhd << fhdPresets << 1920 << -1 << 1;
        QTest::newRow("1920: beyond all") << fhd << fhdPresets << 2000 << -1 << 2;
        QTest::newRow("960: equal widths never taken")
            << QSize(960, 600) << Sizes{{480, 250}, {960, 520}, {960, 580}} << 960 << -1 << 0;
        QTest::newRow("801: the last narrower than the second, taken by list order")
            << QSize(801, 600) << Sizes{{480, 250}, {960, 520}, {801, 580}} << 900 << 1 << 2;
        QTest::newRow("800") << QSize(800, 600) << Sizes{{480, 230}, {800, 580}} << 600 << 1 << 0;
        QTest::newRow("601") << QSize(601, 500) << Sizes{{480, 230}, {601, 480}} << 601 << -1 << 0;
        QTest::newRow("600: the screen alone") << QSize(600, 400) << Sizes{{600, 380}} << 300 << 0 << -1;
    }

    void presetsAndSteps()
    {
        QFETCH(QSize, screen);
        QFETCH(int, width);
        const Sizes presets = presetsForScreen(screen);
        QTEST(presets, "presets");
        QTEST(widerPreset(presets, width), "wider");
        QTEST(narrowerPreset(presets, width), "narrower");
    }

    void cornerResize_data()
    {
        QTest::addColumn<int>("newWidth");
        QTest::addColumn<QSize>("capture");
        QTest::newRow("between: 16:9, truncated") << 481 << QSize(481, 270);
        QTest::newRow("at the first") << 480 << QSize(480, 250);
        QTest::newRow("negative") << -100 << QSize(480, 250);
        QTest::newRow("just below the last") << 1919 << QSize(1919, 1079);
        QTest::newRow("at the last") << 1920 << QSize(1920, 1060);
        QTest::newRow("beyond the last") << 5000 << QSize(1920, 1060);
    }

    void cornerResize()
    {
        QFETCH(int, newWidth);
        QTEST(cornerResizeSize(presetsForScreen(QSize(1920, 1080)), newWidth), "capture");
    }

    void rounding_data()
    {
        QTest::addColumn<QPointF>("v");
        QTest::addColumn<QPoint>("rounded");
        QTest::newRow("halves up") << QPointF(100.5, -10.5) << QPoint(101, -10);
        QTest::newRow("-0.5 to 0") << QPointF(-0.5, -0.51) << QPoint(0, -1);
        QTest::newRow("below halves down") << QPointF(100.49, -10.6) << QPoint(100, -11);
    }

    void rounding()
    {
        QFETCH(QPointF, v);
        QTEST(roundHalfUp(v), "rounded");
        QTEST(QPoint(roundHalfUp(v.x()), roundHalfUp(v.y())), "rounded");
    }

    void grip_data()
    {
        QTest::addColumn<int>("border");
        QTest::addColumn<QRect>("grip"); // in a 600 x 359 window
        QTest::newRow("0: the drawn 2 pixels") << 0 << QRect(598, 357, 2, 2);
        QTest::newRow("1") << 1 << QRect(599, 358, 1, 1);
        QTest::newRow("10") << 10 << QRect(590, 349, 10, 10);
        QTest::newRow("11: the drawn 2 pixels") << 11 << QRect(598, 357, 2, 2);
    }

    void grip()
    {
        QFETCH(int, border);
        QTEST(gripRectFor(QSize(600, 359), frameThicknessFor(border)), "grip");
    }
};

QTEST_APPLESS_MAIN(TestPresets)
#include "tst_presets.moc"
