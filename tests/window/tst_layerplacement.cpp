// Where a layer surface goes, without a compositor: its output and the
// margins that place it, which of the pointer's motions a drag of it
// follows, and the scale published for its output. Two outputs side by side
// in logical pixels: the first 1280 x 720 at scale 1, the second 1920 x 1200
// at scale 1.5, so 1280 x 800 logical, at (1280, 0).
#include "window/layerplacement.h"

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

    // Whether a relative motion, with its 64-bit microseconds, counts for a
    // drag between its press and a move, with their 32-bit milliseconds.
    void motionTimes_data()
    {
        QTest::addColumn<quint32>("high");
        QTest::addColumn<quint32>("low");
        QTest::addColumn<quint32>("press");
        QTest::addColumn<quint32>("move");
        QTest::addColumn<bool>("counted");
        QTest::newRow("between") << 0u << 5000500u << 4999u << 5000u << true;
        QTest::newRow("in the press's millisecond: before it")
            << 0u << 4999999u << 4999u << 5000u << false;
        QTest::newRow("after the move") << 0u << 5001000u << 4999u << 5000u << false;
        // 2026-12-08 in microseconds since the epoch, as KWin's fake input
        // times them: the events carry the milliseconds' low 32 bits.
        QTest::newRow("a clock from the epoch")
            << 418334u << 931863700u << 1435450939u << 1435450940u << true;
        QTest::newRow("across the wrap") << 1000u << 5250u << 0xfffffff0u << 10u << true;
        QTest::newRow("before the press, across the wrap")
            << 999u << 4294962000u << 5u << 10u << false;
    }

    void motionTimes()
    {
        QFETCH(quint32, high);
        QFETCH(quint32, low);
        QFETCH(quint32, press);
        QFETCH(quint32, move);
        const quint32 time = pointerTime(high, low);
        QTEST(pointerTimeAfter(time, press) && !pointerTimeAfter(time, move), "counted");
    }

    // An output's current mode and logical size, and the screen_scale the
    // store gets from them.
    void scale_data()
    {
        QTest::addColumn<QSize>("mode");
        QTest::addColumn<QSize>("logical");
        QTest::addColumn<int>("percent");
        QTest::newRow("unscaled") << QSize(1280, 720) << QSize(1280, 720) << 100;
        QTest::newRow("2") << QSize(2560, 1440) << QSize(1280, 720) << 200;
        QTest::newRow("1.5") << QSize(1920, 1080) << QSize(1280, 720) << 150;
        QTest::newRow("1.5, turned a quarter: the mode stays as the output has it")
            << QSize(1920, 1080) << QSize(720, 1280) << 150;
        QTest::newRow("1.15: just short of 115 as a binary fraction")
            << QSize(2208, 1242) << QSize(1920, 1080) << 115;
        QTest::newRow("1.75, the logical size rounded up: nearest, not truncated")
            << QSize(2560, 1440) << QSize(1463, 823) << 175;
        QTest::newRow("1.33, the logical size rounded down")
            << QSize(1920, 1080) << QSize(1443, 812) << 133;
        QTest::newRow("no logical size yet") << QSize(1920, 1080) << QSize() << 0;
        QTest::newRow("no mode yet") << QSize() << QSize(1280, 720) << 0;
    }

    void scale()
    {
        QFETCH(QSize, mode);
        QFETCH(QSize, logical);
        // As the store writes it.
        QTEST(int(outputScale(mode, logical) * 100.0), "percent");
    }
};

QTEST_APPLESS_MAIN(TestLayerPlacement)
#include "tst_layerplacement.moc"
