// The window under the offscreen platform: one 800 x 600 screen, at 95 DPI
// by the test's environment, so the presets are (480, 230) and (800, 580).
#include "overlay/capturewgt.h"
#include "settings/settings.h"
#include "tests/common/scratchkey.h"
#include "window/scrm.h"

#include <QtTest>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QScreen>

namespace {

using Names = std::vector<std::string>;
using Values = QMap<const char *, int>;
// The title bar's widgets by their place in its layout.
enum TitleItem { Logo = 1, Title = 2, Border = 4, Capture = 6, Bigger = 8, Smaller = 10 };

// What the outside program reads; INT_MIN when absent or not a DWORD.
int published(const char *name)
{
    int value = INT_MIN;
    readSetting(name, &value, INT_MIN);
    return value;
}

QRect publishedRegion()
{
    return QRect(published("start_x"), published("start_y"), published("capture_width"),
                 published("capture_height"));
}

// A window on a key holding these values, shown unless told otherwise.
struct Picker
{
    explicit Picker(const Values &values = {}, bool show = true)
    {
        for (auto it = values.begin(); it != values.end(); ++it)
            writeSetting(it.key(), it.value());
        window.reset(new SCRM);
        if (show) {
            window->show();
            QVERIFY(QTest::qWaitForWindowExposed(window.data()));
        }
    }

    QWidget *titleBar() const { return window->layout()->itemAt(0)->widget(); }
    QWidget *item(TitleItem item) const { return titleBar()->layout()->itemAt(item)->widget(); }
    QPushButton *button(TitleItem item) const { return qobject_cast<QPushButton *>(this->item(item)); }
    CaptureWgt *overlay() const { return window->findChild<CaptureWgt *>(); }
    QPoint centre(TitleItem item) const { return this->item(item)->mapTo(window.data(), QPoint(10, 10)); }
    void click(TitleItem item) const { QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, centre(item)); }
    bool shows(TitleItem item, const char *image) const
    {
        return button(item)->icon().pixmap(20, 20).toImage()
            == QIcon(QLatin1String(image)).pixmap(20, 20).toImage();
    }
    // Straight to the window's handlers, with fractional positions.
    void send(QEvent::Type type, const QPointF &local, Qt::MouseButton button = Qt::NoButton,
              Qt::MouseButtons buttons = Qt::LeftButton) const
    {
        QMouseEvent event(type, local, local, window->pos() + local, button, buttons, Qt::NoModifier);
        QApplication::sendEvent(window.data(), &event);
    }
    // The mask is the window with the overlay's interior cut out: the frame
    // and the title bar are the window's, what lies inside is below it.
    bool masksTheInteriorOnly() const
    {
        const int t = overlay()->frameThickness();
        const QRect frame = overlay()->geometry();
        const QRect interior = frame.adjusted(t, t, -t, -t);
        const QRegion mask = window->mask();
        return mask.boundingRect() == window->rect() && mask.contains(frame.bottomRight())
            && mask.contains(interior.bottomRight() + QPoint(1, 1)) && mask.contains(frame.topLeft())
            && !mask.contains(interior.bottomRight()) && !mask.contains(interior.topLeft());
    }

    ScratchKey key;
    QScopedPointer<SCRM> window;
};

} // namespace

Q_DECLARE_METATYPE(Values)

class TestScrm : public QObject
{
    Q_OBJECT

private slots:
    void startUp_data()
    {
        QTest::addColumn<Values>("stored");
        QTest::addColumn<QSize>("capture"); // as published after start-up
        QTest::addColumn<QSize>("window");
        QTest::addColumn<QPoint>("shownAt");
        QTest::addColumn<int>("thickness"); // 0: the frame hidden
        const QSize start(600, 338), window(600, 359);
        const QPoint at(100, 100);
        // The capture size stored, show_capture and open_cam both, capture_border.
        const auto stored = [](int width, int height, int flags, int border) {
            return Values{{"capture_width", width}, {"capture_height", height}, {"show_capture", flags},
                          {"open_cam", flags}, {"capture_border", border}};
        };
        QTest::newRow("nothing stored") << Values() << start << window << at << 0;
        QTest::newRow("a width of 0, border 10") << stored(0, 500, 1, 10) << start << window << at << 10;
        QTest::newRow("a negative width, border 11: 2") << stored(-5, 300, 1, 11) << start << window << at << 2;
        Values stale = stored(500, 281, 1, 1);
        stale.insert("start_x", 1500);
        stale.insert("start_y", 900);
        QTest::newRow("500 x 281, border 1, the place of another session")
            << stale << QSize(500, 281) << QSize(500, 302) << at << 1;
        QTest::newRow("the screen's width: at its corner; 5 looks off")
            << stored(800, 500, 5, 0) << QSize(800, 500) << QSize(800, 521) << QPoint(0, 0) << 0;
        Values limits = stored(INT_MAX, INT_MAX, 1, 0);
        limits.insert("start_x", INT_MAX);
        limits.insert("start_y", INT_MIN);
        QTest::newRow("int32 limits: no overflow")
            << limits << QSize(INT_MAX, INT_MAX) << QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX) << at << 2;
    }

    void startUp()
    {
        QFETCH(Values, stored);
        QFETCH(QPoint, shownAt);
        QFETCH(int, thickness);
        Picker picker(stored, false);
        SCRM &window = *picker.window;
        QCOMPARE(window.pos(), QPoint(100, 100));
        QTEST(window.size(), "window");
        QTEST(QSize(published("capture_width"), published("capture_height")), "capture");
        QCOMPARE(window.windowFlags() & ~Qt::WindowType_Mask,
                 Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
        QVERIFY(window.windowIcon().availableSizes().isEmpty());
        const QTimer *timer = window.findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly);
        QVERIFY(timer && timer->isActive() && timer->interval() == 50);
        QCOMPARE(window.screen()->logicalDotsPerInch(), 95.0);
        QCOMPARE(published("screen_scale"), 98); // 98.96 %, truncated
        if (window.width() > 800)
            return; // no backing store is that large

        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.pos(), shownAt);
        // Once shown, the store has the frame's place (below the title bar;
        // a hidden overlay was never laid out and sits at the corner).
        const QPoint frameAt = shownAt + QPoint(0, thickness > 0 ? 20 : 0);
        QCOMPARE(QPoint(published("start_x"), published("start_y")), frameAt);

        const bool on = thickness > 0;
        QVERIFY(picker.shows(Border, on ? ":/Image/show_capture_border.png" : ":/Image/hide_capture_border.png"));
        QVERIFY(picker.shows(Capture, on ? ":/Image/open_cam.png" : ":/Image/close_cam.png"));
        QVERIFY(picker.shows(Logo, ":/Image/LOGO.png"));
        QVERIFY(picker.shows(Bigger, ":/Image/big.png") && picker.shows(Smaller, ":/Image/small.png"));
        const QMap<TitleItem, QString> tips{{Border, QStringLiteral("捕捉框")}, {Capture, QStringLiteral("启用捕捉")}};
        for (TitleItem item : {Logo, Border, Capture, Bigger, Smaller}) {
            QCOMPARE(picker.button(item)->size(), QSize(20, 20));
            QCOMPARE(picker.button(item)->iconSize(), QSize(20, 20));
            QCOMPARE(picker.button(item)->toolTip(), tips.value(item));
        }
        QCOMPARE(qobject_cast<QLabel *>(picker.item(Title))->text(), QStringLiteral("Zorvi-V1.0"));
        QWidget *bar = picker.titleBar();
        QVERIFY(bar->autoFillBackground() && bar->palette().window() == QColor(72, 164, 246));
        // Below the title bar the frame, if shown; else the bar fills the window.
        QCOMPARE(picker.overlay()->isVisible(), on);
        if (!on) {
            QCOMPARE(bar->geometry(), window.rect());
            return;
        }
        QCOMPARE(picker.overlay()->frameThickness(), thickness);
        QCOMPARE(bar->height(), 20);
        QCOMPARE(picker.overlay()->geometry(),
                 QRect(0, bar->height(), window.width(), window.height() - bar->height()));
        QVERIFY(picker.masksTheInteriorOnly());
    }

    // A substitute font for the title can be taller than the buttons.
    void tallTitleFont()
    {
        const Picker picker({{"show_capture", 1}});
        QWidget *title = picker.item(Title);
        title->setStyleSheet(QStringLiteral("font-size:40px"));
        QTRY_VERIFY(title->width() >= title->sizeHint().width()); // laid out anew
        QCOMPARE(picker.titleBar()->height(), 20);
        QCOMPARE(picker.overlay()->geometry(), QRect(0, 20, 600, 339));
    }

    void drag_data()
    {
        QTest::addColumn<int>("showCapture");
        QTest::newRow("overlay shown") << 1;
        QTest::newRow("overlay hidden: never laid out, at the window's corner") << 0;
    }

    void drag()
    {
        QFETCH(int, showCapture);
        const Picker picker({{"show_capture", showCapture}});
        const QPoint overlayAt(0, showCapture ? picker.titleBar()->height() : 0);
        // Pressed at (50.5, 5.5): the global (150.5, 105.5) rounds up to (151, 106).
        picker.send(QEvent::MouseButtonPress, {50.5, 5.5}, Qt::LeftButton);
        const QPair<QPointF, QPoint> moves[] = {
            {{60.5, 5.5}, {110, 100}}, // 160.5, 105.5 -> 161, 106
            {{-40.4, 200.6}, {19, 295}}, // 69.6, 300.6 -> 70, 301
            {{51, 6}, {19, 295}}, // the same place is written again all the same
            {{-0.5, -10.5}, {-32, 279}}, // 18.5, 284.5 -> 19, 285
        };
        for (const auto &[local, pos] : moves) {
            writeSetting("start_x", 1);
            picker.send(QEvent::MouseMove, local);
            QCOMPARE(picker.window->pos(), pos);
            QCOMPARE(publishedRegion().topLeft(), pos + overlayAt);
        }
        // Another button's press changes nothing; its release ends the drag.
        picker.send(QEvent::MouseButtonPress, {0, 0}, Qt::RightButton, Qt::LeftButton | Qt::RightButton);
        picker.send(QEvent::MouseMove, {61, 6});
        picker.send(QEvent::MouseButtonRelease, {0, 0}, Qt::RightButton);
        picker.send(QEvent::MouseMove, {90, 5});
        QCOMPARE(picker.window->pos(), QPoint(-22, 279));
        // Whoever else moves the window, the store follows, once; a drag's
        // move writes once too, with the window system's confirmation.
        picker.key.changes();
        picker.window->windowHandle()->setPosition(300, 200);
        QTRY_COMPARE(publishedRegion().topLeft(), QPoint(300, 200) + overlayAt);
        picker.send(QEvent::MouseButtonPress, {50, 5}, Qt::LeftButton);
        picker.send(QEvent::MouseMove, {60, 5});
        // As X11 reports the move it was asked for.
        QMoveEvent confirmed(picker.window->pos(), picker.window->pos());
        QApplication::sendEvent(picker.window.data(), &confirmed);
        QCoreApplication::processEvents();
        QCOMPARE(publishedRegion().topLeft(), QPoint(310, 200) + overlayAt);
        QCOMPARE(picker.key.changes(), (Names{"start_x", "start_y", "start_x", "start_y"}));
    }

    void cornerResize()
    {
        Picker picker({{"show_capture", 1}}); // no capture_border: the drawn 2 pixels grip
        SCRM &window = *picker.window;
        picker.send(QEvent::MouseMove, {598, 357}, Qt::NoButton, Qt::NoButton);
        QCOMPARE(window.cursor().shape(), Qt::SizeFDiagCursor);
        picker.send(QEvent::MouseMove, {597, 357}, Qt::NoButton, Qt::NoButton);
        QCOMPARE(window.cursor().shape(), Qt::ArrowCursor);

        // 598.5 rounds to 599, 498.5 to 499: 100 pixels to the left.
        picker.send(QEvent::MouseButtonPress, {598.5, 357.5}, Qt::LeftButton);
        picker.send(QEvent::MouseMove, {498.5, 10});
        QCOMPARE(window.geometry(), QRect(100, 100, 500, 302));
        QCOMPARE(publishedRegion(), QRect(100, 120, 500, 281));
        QVERIFY(picker.masksTheInteriorOnly());
        picker.send(QEvent::MouseMove, {-300, 10});
        QCOMPARE(publishedRegion().size(), QSize(480, 230));

        picker.key.changes();
        picker.send(QEvent::MouseMove, {900, 10});
        QCOMPARE(window.geometry(), QRect(0, 0, 800, 601));
        QCOMPARE(publishedRegion(), QRect(picker.overlay()->pos(), QSize(800, 580)));
        QCOMPARE(picker.key.changes(), (Names{"start_x", "start_y", "capture_width", "capture_height"}));
        picker.send(QEvent::MouseButtonRelease, {900, 10}, Qt::LeftButton, Qt::NoButton);
        picker.send(QEvent::MouseMove, {100, 10});
        QCOMPARE(window.geometry(), QRect(0, 0, 800, 601));
    }

    void steps_data()
    {
        QTest::addColumn<int>("item");
        QTest::addColumn<QSize>("capture"); // a preset's height + 20
        QTest::addColumn<QPoint>("pos");
        QTest::newRow("bigger: the screen's width, at its corner") << int(Bigger) << QSize(800, 600) << QPoint(0, 0);
        QTest::newRow("smaller") << int(Smaller) << QSize(480, 250) << QPoint(100, 100);
    }

    void steps()
    {
        QFETCH(int, item);
        QFETCH(QSize, capture);
        QFETCH(QPoint, pos);
        Picker picker;
        QWindow *handle = picker.window->windowHandle();
        const bool bigger = item == Bigger;
        const QPoint at = picker.centre(TitleItem(item));
        picker.key.changes();
        QTest::mousePress(handle, Qt::LeftButton, {}, at);
        QVERIFY(picker.shows(TitleItem(item), bigger ? ":/Image/big_clicked.png" : ":/Image/small_clicked.png"));
        QCOMPARE(picker.window->size(), QSize(600, 359));
        // Leaving the held button releases it: the step comes at once.
        QTest::mouseMove(handle, at + QPoint(0, 40));
        QVERIFY(picker.shows(TitleItem(item), bigger ? ":/Image/big.png" : ":/Image/small.png"));
        QCOMPARE(publishedRegion().size(), capture);
        QCOMPARE(picker.window->geometry(), QRect(pos, capture + QSize(0, 20)));
        const Names size{"capture_width", "capture_height"}, placed{"start_x", "start_y", size[0], size[1]};
        QCOMPARE(picker.key.changes(), bigger ? placed : size);
        QTest::mouseRelease(handle, Qt::LeftButton, {}, at + QPoint(0, 40));
        picker.click(TitleItem(item));
        QCOMPARE(picker.window->geometry(), QRect(pos, capture + QSize(0, 20))); // nothing further
    }

    void keys_data()
    {
        QTest::addColumn<QSize>("stored"); // the capture size at start
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QPoint>("pos");
        QTest::addColumn<QSize>("capture");
        const QSize start(600, 338);
        const int ctrl = Qt::ControlModifier, shift = Qt::ShiftModifier;
        QTest::newRow("Right: a pixel") << start << int(Qt::Key_Right) << 0 << QPoint(101, 100) << start;
        QTest::newRow("Shift+Up: ten") << start << int(Qt::Key_Up) << shift << QPoint(100, 90) << start;
        QTest::newRow("Ctrl+Down: a pixel wider, at 16:9")
            << start << int(Qt::Key_Down) << ctrl << QPoint(100, 100) << QSize(601, 338);
        QTest::newRow("Ctrl+Shift+Left: ten narrower")
            << start << int(Qt::Key_Left) << ctrl + shift << QPoint(100, 100) << QSize(590, 331);
        QTest::newRow("Ctrl+Up at the first preset: held there")
            << QSize(480, 230) << int(Qt::Key_Up) << ctrl << QPoint(100, 100) << QSize(480, 230);
        QTest::newRow("Ctrl+Right to the screen's width: placed at its corner")
            << QSize(799, 449) << int(Qt::Key_Right) << ctrl << QPoint(0, 0) << QSize(800, 580);
        QTest::newRow("A: nothing") << start << int(Qt::Key_A) << 0 << QPoint(100, 100) << start;
    }

    void keys()
    {
        QFETCH(QSize, stored);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QPoint, pos);
        QFETCH(QSize, capture);
        const Picker picker({{"show_capture", 1}, {"capture_width", stored.width()},
                             {"capture_height", stored.height()}});
        picker.click(Logo); // a clicked button takes no keyboard focus: the arrows stay the region's
        QTest::keyClick(picker.window->windowHandle(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(picker.window->geometry(), QRect(pos, capture + QSize(0, 21)));
        const QPoint overlayAt = pos + QPoint(0, picker.titleBar()->height());
        QCOMPARE(publishedRegion(), QRect(overlayAt, capture));
    }

    void toggles_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<QVector<int>>("afterClicks");
        QTest::newRow("from 0") << 0 << QVector<int>{1, 0};
        QTest::newRow("from 1") << 1 << QVector<int>{0, 1};
        QTest::newRow("from 5: off look, then 0, then 1") << 5 << QVector<int>{0, 1};
    }

    void toggles()
    {
        QFETCH(int, stored);
        QFETCH(QVector<int>, afterClicks);
        const Picker picker({{"show_capture", stored}, {"open_cam", stored}});
        for (int on : afterClicks) {
            picker.click(Border);
            picker.click(Capture);
            QCOMPARE(published("show_capture") * 10 + published("open_cam"), on * 11);
            QVERIFY(picker.shows(Border, on ? ":/Image/show_capture_border.png" : ":/Image/hide_capture_border.png"));
            QVERIFY(picker.shows(Capture, on ? ":/Image/open_cam.png" : ":/Image/close_cam.png"));
            QCOMPARE(picker.button(Capture)->iconSize(), QSize(20, 20));
            QCOMPARE(picker.overlay()->isVisible(), on == 1);
            QCoreApplication::processEvents();
            QVERIFY(on ? picker.masksTheInteriorOnly() : picker.titleBar()->geometry() == picker.window->rect());
            QCOMPARE(picker.window->mask().isEmpty(), !on);
        }
    }
};

QTEST_MAIN(TestScrm)
#include "tst_scrm.moc"
