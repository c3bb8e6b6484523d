// The frame as painted: thickness from capture_border, a cleared interior.
#include "capturewgt.h"
#include "testkey.h"

#include <QtTest>

class TestCaptureWgt : public QObject
{
    Q_OBJECT

private slots:
    void frame_data();
    void frame();
};

void TestCaptureWgt::frame_data()
{
    QTest::addColumn<int>("border"); // INT_MIN: absent
    QTest::addColumn<int>("thickness");
    QTest::newRow("absent") << INT_MIN << 2;
    QTest::newRow("0") << 0 << 2;
    QTest::newRow("1") << 1 << 1;
    QTest::newRow("10") << 10 << 10;
    QTest::newRow("11") << 11 << 2;
    QTest::newRow("-3") << -3 << 2;
}

void TestCaptureWgt::frame()
{
    QFETCH(int, border);
    QFETCH(int, thickness);
    TestKey key;
    if (border != INT_MIN)
        QCOMPARE(writeSetting("capture_border", border), 0);

    CaptureWgt widget;
    widget.resize(120, 70);
    const QImage image = widget.grab().toImage();
    QCOMPARE(image.size(), QSize(120, 70));

    const QRgb frame = qRgba(212, 43, 16, 255);
    const int t = thickness;
    // Across the middle row and down the middle column: frame, then clear.
    for (int x = 0; x < 120; ++x) {
        const bool inFrame = x < t || x >= 120 - t;
        QCOMPARE(image.pixel(x, 35), inFrame ? frame : qRgba(0, 0, 0, 0));
    }
    for (int y = 0; y < 70; ++y) {
        const bool inFrame = y < t || y >= 70 - t;
        QCOMPARE(image.pixel(60, y), inFrame ? frame : qRgba(0, 0, 0, 0));
    }
    QCOMPARE(image.pixel(0, 0), frame);
    QCOMPARE(image.pixel(119, 69), frame);
    QCOMPARE(widget.frameThickness(), t);
}

QTEST_MAIN(TestCaptureWgt)
#include "tst_capturewgt.moc"
