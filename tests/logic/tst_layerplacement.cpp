// Where a layer surface goes, without a compositor: its output and the
// margins that place it. Two outputs side by side in logical pixels: the
// first 1280 x 720 at scale 1, the second 1920 x 1200 at scale 1.5, so
// 1280 x 800 logical, at (1280, 0).
#include "layerplacement.h"

#include <QtTest>

using Rects = QVector<QRect>;
Q_DECLARE_METATYPE(QMargins)

class TestLayerPlacement : public QObject
{
    Q_OBJECT

private slots:
    void placement_data()
    {
        QTest::addColumn<QRect>("global"); // the window, logical global
        QTest::addColumn<int>("current"); // the output it is on, -1 for none yet
        QTest::addColumn<int>("output");
        QTest::addColumn<QMargins>("margins"); // left, top, right, bottom
        QTest::newRow("on the first")
            << QRect(100, 100, 600, 359) << -1 << 0 << QMargins(100, 100, 580, 261);
        QTest::newRow("on the scaled one: logical pixels, from its own corner")
            << QRect(1380, 50, 600, 359) << 0 << 1 << QMargins(100, 50, 580, 391);
        QTest::newRow("straddling, centre on the first: past its right edge")
            << QRect(900, 100, 600, 359) << 1 << 0 << QMargins(900, 100, -220, 261);
        QTest::newRow("straddling, centre on the second: left of it")
            << QRect(1000, 100, 600, 359) << 0 << 1 << QMargins(-280, 100, 960, 341);
        QTest::newRow("odd width: the centre rounds down, onto the edge's pixel")
            << QRect(981, 0, 599, 359) << 0 << 1 << QMargins(-299, 0, 980, 441);
        QTest::newRow("odd width, a pixel to the left: the first")
            << QRect(980, 0, 599, 359) << 1 << 0 << QMargins(980, 0, -299, 361);
        QTest::newRow("centre below the first, beside the second: nowhere, stays")
            << QRect(100, 600, 600, 359) << 0 << 0 << QMargins(100, 600, 580, -239);
        QTest::newRow("nowhere and on none yet: the first")
            << QRect(-2000, -2000, 600, 359) << -1 << 0 << QMargins(-2000, -2000, 2680, 2361);
        QTest::newRow("nowhere: the one it is on")
            << QRect(-2000, -2000, 600, 359) << 1 << 1 << QMargins(-3280, -2000, 3960, 2441);
    }

    void placement()
    {
        QFETCH(QRect, global);
        QFETCH(int, current);
        QFETCH(QMargins, margins);
        const Rects outputs { { 0, 0, 1280, 720 }, { 1280, 0, 1280, 800 } };
        const int output = layerOutput(outputs, global, current);
        QTEST(output, "output");
        QCOMPARE(layerMargins(outputs.at(output), global), margins);
        // And back: the margins put the window where it was.
        QCOMPARE(layerGeometry(outputs.at(output), margins), global);
    }
};

QTEST_APPLESS_MAIN(TestLayerPlacement)
#include "tst_layerplacement.moc"
