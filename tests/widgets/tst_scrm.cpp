// The window under the offscreen platform (one 800 x 600 screen at 100 DPI,
// so the presets are (480, 230) and (800, 580)).
#include "capturewgt.h"
#include "scrm.h"
#include "testkey.h"

#include <QtTest>
#include <QBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include <sys/inotify.h>
#include <unistd.h>

namespace {

// The title bar's widgets by their place in its layout.
enum TitleItem { Logo = 1, Title = 2, Border = 4, Capture = 6, Bigger = 8, Smaller = 10 };

QWidget *titleBarOf(SCRM &window)
{
    return window.layout()->itemAt(0)->widget();
}

QPushButton *button(SCRM &window, TitleItem item)
{
    return qobject_cast<QPushButton *>(titleBarOf(window)->layout()->itemAt(item)->widget());
}

CaptureWgt *overlayOf(SCRM &window)
{
    return window.findChild<CaptureWgt *>();
}

QImage pixels(const QIcon &icon)
{
    return icon.pixmap(20, 20).toImage();
}

bool showsImage(QPushButton *button, const char *image)
{
    return pixels(button->icon()) == pixels(QIcon(QString::fromLatin1(image)));
}

// Straight to the window's handlers, with the positions the event carries.
void send(QWidget *window, QEvent::Type type, const QPointF &local, Qt::MouseButton button,
          Qt::MouseButtons buttons)
{
    QMouseEvent event(type, local, local, window->mapToGlobal(QPoint(0, 0)) + local, button,
                      buttons, Qt::NoModifier);
    QApplication::sendEvent(window, &event);
}

QPoint centreIn(QWidget *window, QWidget *child)
{
    return child->mapTo(window, child->rect().center());
}

// The order in which values change in the key folder.
class ChangeOrder
{
public:
    explicit ChangeOrder(const QString &key)
        : fd(inotify_init1(IN_NONBLOCK))
    {
        inotify_add_watch(fd, key.toLocal8Bit().constData(), IN_MODIFY | IN_MOVED_TO);
    }
    ~ChangeOrder() { close(fd); }

    QStringList names()
    {
        QStringList result;
        alignas(inotify_event) char buffer[8192];
        ssize_t length;
        while ((length = read(fd, buffer, sizeof buffer)) > 0) {
            for (ssize_t offset = 0; offset < length;) {
                const auto *event = reinterpret_cast<const inotify_event *>(buffer + offset);
                const QString name = QString::fromLatin1(event->name);
                if (!name.startsWith(QLatin1Char('.')) && (result.isEmpty() || result.last() != name))
                    result << name;
                offset += ssize_t(sizeof(inotify_event) + event->len);
            }
        }
        return result;
    }

private:
    int fd;
};

} // namespace

class TestScrm : public QObject
{
    Q_OBJECT

private slots:
    void startSize_data();
    void startSize();
    void startAtTheScreensWidth();
    void startAtTheInt32Limits();
    void screenScale();
    void initialLook_data();
    void initialLook();
    void buttons();
    void connections_data();
    void connections();
    void pressOnButtonStartsNothing();
    void drag_data();
    void drag();
    void rightReleaseStopsADrag();
    void cornerResize();
    void steps_data();
    void steps();
    void stepWhenLeavingTheHeldButton();
    void toggles_data();
    void toggles();
};

void TestScrm::startSize_data()
{
    QTest::addColumn<int>("storedWidth"); // INT_MIN: absent
    QTest::addColumn<int>("storedHeight");
    QTest::addColumn<QSize>("capture");
    QTest::newRow("absent") << INT_MIN << INT_MIN << QSize(600, 338);
    QTest::newRow("0 x 500") << 0 << 500 << QSize(600, 338);
    QTest::newRow("500 x 0") << 500 << 0 << QSize(600, 338);
    QTest::newRow("negative width") << -5 << 300 << QSize(600, 338);
    QTest::newRow("negative height") << 700 << -1 << QSize(600, 338);
    QTest::newRow("800 x 450") << 800 << 450 << QSize(800, 450);
    QTest::newRow("500 x 281") << 500 << 281 << QSize(500, 281);
}

void TestScrm::startSize()
{
    QFETCH(int, storedWidth);
    QFETCH(int, storedHeight);
    QFETCH(QSize, capture);
    TestKey key;
    if (storedWidth != INT_MIN)
        writeSize(storedWidth, storedHeight);

    SCRM window;
    QCOMPARE(window.pos(), QPoint(100, 100));
    QCOMPARE(window.size(), capture + QSize(0, 21));
    QCOMPARE(TestKey::value("capture_width"), capture.width());
    QCOMPARE(TestKey::value("capture_height"), capture.height());
    // The position is only read.
    QCOMPARE(TestKey::value("start_x"), INT_MIN);
    QCOMPARE(window.windowFlags() & ~Qt::WindowType_Mask,
             Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    QVERIFY(window.testAttribute(Qt::WA_TranslucentBackground));
    QVERIFY(window.windowIcon().availableSizes().isEmpty());
}

void TestScrm::startAtTheInt32Limits()
{
    // The sums the window is laid out from would overflow here; the
    // sanitizer build also reports any that does.
    TestKey key;
    writePosition(INT_MAX, INT_MIN);
    writeSize(INT_MAX, INT_MAX);
    SCRM window;
    QCOMPARE(window.size(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
    QCOMPARE(TestKey::value("start_x"), INT_MAX);
}

void TestScrm::startAtTheScreensWidth()
{
    // Stored as wide as the last preset: the first showing places the window
    // in the screen's corner and publishes that position.
    TestKey key;
    writeSize(800, 500);
    writePosition(300, 200);
    SCRM window;
    QCOMPARE(window.pos(), QPoint(100, 100));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.pos(), QPoint(0, 0));
    QCOMPARE(TestKey::value("start_x"), 0);
    QCOMPARE(TestKey::value("start_y"), 0);
    QCOMPARE(window.size(), QSize(800, 521));
}

void TestScrm::screenScale()
{
    TestKey key;
    SCRM window;
    // The offscreen screen's logical DPI is 100: 104.16 % truncated.
    QCOMPARE(window.screen()->logicalDotsPerInch(), 100.0);
    QCOMPARE(TestKey::value("screen_scale"), 104);
}

void TestScrm::initialLook_data()
{
    QTest::addColumn<int>("flag");
    QTest::addColumn<bool>("on");
    QTest::newRow("1") << 1 << true;
    QTest::newRow("0") << 0 << false;
    QTest::newRow("2") << 2 << false;
    QTest::newRow("-1") << -1 << false;
}

void TestScrm::initialLook()
{
    QFETCH(int, flag);
    QFETCH(bool, on);
    TestKey key;
    writeSetting("show_capture", flag);
    writeSetting("open_cam", flag);
    SCRM window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QVERIFY(showsImage(button(window, Border),
                       on ? ":/Image/show_capture_border.png" : ":/Image/hide_capture_border.png"));
    QVERIFY(showsImage(button(window, Capture), on ? ":/Image/open_cam.png" : ":/Image/close_cam.png"));
    QCOMPARE(overlayOf(window)->isVisible(), on);
    QWidget *titleBar = titleBarOf(window);
    if (on) {
        QCOMPARE(titleBar->height(), titleBar->sizeHint().height());
        QCOMPARE(overlayOf(window)->geometry(),
                 QRect(0, titleBar->height(), 600, 359 - titleBar->height()));
    } else {
        QCOMPARE(titleBar->geometry(), window.rect());
    }
    // Logo, title and buttons keep to one row across the middle of the bar.
    QVERIFY(qAbs(button(window, Bigger)->geometry().center().y() - titleBar->rect().center().y()) <= 1);
}

void TestScrm::buttons()
{
    TestKey key;
    SCRM window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    for (TitleItem item : {Logo, Border, Capture, Bigger, Smaller}) {
        QPushButton *b = button(window, item);
        QVERIFY(b);
        QCOMPARE(b->size(), QSize(20, 20));
        QCOMPARE(b->iconSize(), QSize(20, 20));
        QVERIFY(b->text().isEmpty());
    }
    QCOMPARE(button(window, Border)->toolTip(), QStringLiteral("捕捉框"));
    QCOMPARE(button(window, Capture)->toolTip(), QStringLiteral("启用捕捉"));
    for (TitleItem item : {Logo, Bigger, Smaller})
        QVERIFY(button(window, item)->toolTip().isEmpty());
    auto *title = qobject_cast<QLabel *>(titleBarOf(window)->layout()->itemAt(Title)->widget());
    QCOMPARE(title->text(), QStringLiteral("Zorvi-V1.0"));
    QCOMPARE(titleBarOf(window)->palette().color(QPalette::Window), QColor(0x48, 0xA4, 0xF6));
    QVERIFY(showsImage(button(window, Logo), ":/Image/LOGO.png"));
    QVERIFY(showsImage(button(window, Bigger), ":/Image/big.png"));
    QVERIFY(showsImage(button(window, Smaller), ":/Image/small.png"));
}

static QStringList messages;

static void collect(QtMsgType, const QMessageLogContext &, const QString &text)
{
    messages << text;
}

// What an object says of its connections, as one line.
static QString connectionsOf(QObject *object)
{
    messages.clear();
    object->dumpObjectInfo();
    return messages.join(QLatin1Char(' ')).simplified();
}

void TestScrm::connections_data()
{
    QTest::addColumn<int>("sender"); // a title item, or -1 for the timer
    QTest::addColumn<QString>("connection");
    QTest::newRow("border") << int(Border) << "clicked(bool) --> SCRM::unnamed clickShowCaptureWdgBtn()";
    QTest::newRow("capture") << int(Capture) << "clicked(bool) --> SCRM::unnamed clickDoCaptureBtn()";
    QTest::newRow("bigger pressed") << int(Bigger) << "pressed() --> SCRM::unnamed pressedBiggerBtn()";
    QTest::newRow("bigger released")
        << int(Bigger) << "released() --> SCRM::unnamed releasedBiggerBtn()";
    QTest::newRow("smaller pressed")
        << int(Smaller) << "pressed() --> SCRM::unnamed pressedSmallerBtn()";
    QTest::newRow("smaller released")
        << int(Smaller) << "released() --> SCRM::unnamed releasedSmallerBtn()";
    QTest::newRow("timer") << -1 << "timeout() --> SCRM::unnamed timeoutSlot()";
}

void TestScrm::connections()
{
    // A misspelt signature only warns at run time: nothing may warn while
    // the window is built, and each connection is read back from its sender.
    QFETCH(int, sender);
    QFETCH(QString, connection);
    TestKey key;
    messages.clear();
    const QtMessageHandler previous = qInstallMessageHandler(collect);
    SCRM window;
    const QStringList built = messages;
    auto *timer = window.findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly);
    QObject *object = sender < 0 ? static_cast<QObject *>(timer)
                                 : button(window, TitleItem(sender));
    const QString dump = object ? connectionsOf(object) : QString();
    qInstallMessageHandler(previous);

    QVERIFY2(built.isEmpty(), qPrintable(built.join(QLatin1Char('\n'))));
    QVERIFY(object);
    QVERIFY2(dump.contains(connection), qPrintable(dump));
    QCOMPARE(timer->interval(), 50);
    QVERIFY(timer->isActive());
}

void TestScrm::pressOnButtonStartsNothing()
{
    TestKey key;
    SCRM window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QWindow *handle = window.windowHandle();
    const QPoint logo = centreIn(&window, button(window, Logo));
    QTest::mousePress(handle, Qt::LeftButton, {}, logo);
    QTest::mouseMove(handle, logo + QPoint(3, 2));
    QTest::mouseRelease(handle, Qt::LeftButton, {}, logo + QPoint(3, 2));
    // Had the press reached the window it would still be dragging now.
    send(&window, QEvent::MouseMove, QPointF(300, 10), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(window.pos(), QPoint(100, 100));
    QCOMPARE(TestKey::value("start_x"), INT_MIN);
}

void TestScrm::drag_data()
{
    QTest::addColumn<int>("showCapture");
    QTest::newRow("overlay shown") << 1;
    QTest::newRow("overlay hidden") << 0;
}

void TestScrm::drag()
{
    QFETCH(int, showCapture);
    TestKey key;
    writeSetting("show_capture", showCapture);
    SCRM window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    CaptureWgt *overlay = overlayOf(window);
    // A hidden overlay that was never laid out sits at the window's corner.
    const int overlayY = showCapture ? titleBarOf(window)->height() : 0;
    QCOMPARE(overlay->y(), overlayY);

    // Pressed at local (50.5, 5.5): the global point (150.5, 105.5) rounds
    // up to (151, 106), so the grab sits at (51, 6) in the window.
    send(&window, QEvent::MouseButtonPress, QPointF(50.5, 5.5), Qt::LeftButton, Qt::LeftButton);
    const struct {
        QPointF local;
        QPoint pos;
    } moves[] = {
        {{60.5, 5.5}, {110, 100}}, // 160.5, 105.5 -> 161, 106
        {{-40.4, 200.6}, {19, 295}}, // 69.6, 300.6 -> 70, 301
        {{51, 6}, {19, 295}}, // the same place is written again all the same
        {{-0.5, -10.5}, {-32, 279}}, // 18.5, 284.5 -> 19, 285
    };
    for (const auto &move : moves) {
        writeSetting("start_x", INT_MIN + 1);
        QMouseEvent event(QEvent::MouseMove, move.local, move.local,
                          QPointF(window.pos()) + move.local, Qt::NoButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(&window, &event);
        QCOMPARE(window.pos(), move.pos);
        QCOMPARE(TestKey::value("start_x"), move.pos.x());
        QCOMPARE(TestKey::value("start_y"), move.pos.y() + overlayY);
    }
    send(&window, QEvent::MouseButtonRelease, QPointF(0, -99.5), Qt::LeftButton, Qt::NoButton);
    const QPoint after = window.pos();
    send(&window, QEvent::MouseMove, QPointF(10, 10), Qt::NoButton, Qt::NoButton);
    QCOMPARE(window.pos(), after);
}

void TestScrm::rightReleaseStopsADrag()
{
    TestKey key;
    SCRM window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    send(&window, QEvent::MouseButtonPress, QPointF(50, 5), Qt::LeftButton, Qt::LeftButton);
    send(&window, QEvent::MouseMove, QPointF(60, 5), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(window.pos(), QPoint(110, 100));
    send(&window, QEvent::MouseButtonPress, QPointF(50, 5), Qt::RightButton,
         Qt::LeftButton | Qt::RightButton);
    send(&window, QEvent::MouseMove, QPointF(60, 5), Qt::NoButton, Qt::LeftButton | Qt::RightButton);
    // A right press changes nothing.
    QCOMPARE(window.pos(), QPoint(120, 100));
    send(&window, QEvent::MouseButtonRelease, QPointF(60, 5), Qt::RightButton, Qt::LeftButton);
    send(&window, QEvent::MouseMove, QPointF(90, 5), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(window.pos(), QPoint(120, 100));
    QCOMPARE(TestKey::value("start_x"), 120);
}

void TestScrm::cornerResize()
{
    TestKey key;
    writeSetting("show_capture", 1);
    writeSetting("capture_border", 10);
    SCRM window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.size(), QSize(600, 359));

    send(&window, QEvent::MouseMove, QPointF(595, 354), Qt::NoButton, Qt::NoButton);
    QCOMPARE(window.cursor().shape(), Qt::SizeFDiagCursor);
    send(&window, QEvent::MouseMove, QPointF(589, 354), Qt::NoButton, Qt::NoButton);
    QCOMPARE(window.cursor().shape(), Qt::ArrowCursor);

    // 595.5 rounds to 596, 495.5 to 496: 100 pixels to the left.
    send(&window, QEvent::MouseButtonPress, QPointF(595.5, 354), Qt::LeftButton, Qt::LeftButton);
    send(&window, QEvent::MouseMove, QPointF(495.5, 10), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(window.size(), QSize(500, 302));
    QCOMPARE(window.pos(), QPoint(100, 100));
    QCOMPARE(TestKey::value("capture_width"), 500);
    QCOMPARE(TestKey::value("capture_height"), 281);
    // A resize between the bounds does not move the window.
    QCOMPARE(TestKey::value("start_x"), INT_MIN);

    send(&window, QEvent::MouseMove, QPointF(-300, 10), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(window.size(), QSize(480, 251));
    QCOMPARE(TestKey::value("capture_height"), 230);

    ChangeOrder order(key.path());
    send(&window, QEvent::MouseMove, QPointF(900, 10), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(window.size(), QSize(800, 601));
    QCOMPARE(window.pos(), QPoint(0, 0));
    QCOMPARE(TestKey::value("capture_width"), 800);
    QCOMPARE(TestKey::value("capture_height"), 580);
    QCOMPARE(TestKey::value("start_x"), 0);
    QCOMPARE(TestKey::value("start_y"), overlayOf(window)->y());
    QCOMPARE(order.names(), QStringList({"start_x", "start_y", "capture_width", "capture_height"}));

    send(&window, QEvent::MouseButtonRelease, QPointF(900, 10), Qt::LeftButton, Qt::NoButton);
    send(&window, QEvent::MouseMove, QPointF(100, 10), Qt::NoButton, Qt::NoButton);
    QCOMPARE(window.size(), QSize(800, 601));
}

void TestScrm::steps_data()
{
    QTest::addColumn<bool>("bigger");
    QTest::addColumn<QSize>("capture"); // a preset's height + 20
    QTest::addColumn<QPoint>("pos");
    QTest::newRow("bigger: to the screen's width, at its corner") << true << QSize(800, 600)
                                                                  << QPoint(0, 0);
    QTest::newRow("smaller") << false << QSize(480, 250) << QPoint(100, 100);
}

void TestScrm::steps()
{
    QFETCH(bool, bigger);
    QFETCH(QSize, capture);
    QFETCH(QPoint, pos);
    TestKey key;
    SCRM window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QPushButton *b = button(window, bigger ? Bigger : Smaller);
    const QPoint centre = centreIn(&window, b);

    QTest::mousePress(window.windowHandle(), Qt::LeftButton, {}, centre);
    QVERIFY(showsImage(b, bigger ? ":/Image/big_clicked.png" : ":/Image/small_clicked.png"));
    QCOMPARE(window.size(), QSize(600, 359));
    QCOMPARE(TestKey::value("capture_width"), 600);

    QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, {}, centre);
    QVERIFY(showsImage(b, bigger ? ":/Image/big.png" : ":/Image/small.png"));
    QCOMPARE(TestKey::value("capture_width"), capture.width());
    QCOMPARE(TestKey::value("capture_height"), capture.height());
    QCOMPARE(window.size(), capture + QSize(0, 20));
    QCOMPARE(window.pos(), pos);

    // Once more: nothing wider or narrower is left.
    const QPoint again = centreIn(&window, b);
    QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, again);
    QCOMPARE(window.size(), capture + QSize(0, 20));
}

void TestScrm::stepWhenLeavingTheHeldButton()
{
    TestKey key;
    SCRM window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QPushButton *b = button(window, Smaller);
    const QPoint centre = centreIn(&window, b);
    QTest::mousePress(window.windowHandle(), Qt::LeftButton, {}, centre);
    QTest::mouseMove(window.windowHandle(), centre + QPoint(0, 40));
    QVERIFY(showsImage(b, ":/Image/small.png"));
    QCOMPARE(TestKey::value("capture_width"), 480);
    QCOMPARE(TestKey::value("capture_height"), 250);
    QCOMPARE(window.size(), QSize(480, 270));
    // The release outside is the window's: the drag state ends with it.
    QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, {}, centre + QPoint(0, 40));
    QCOMPARE(window.size(), QSize(480, 270));
    QCOMPARE(window.pos(), QPoint(100, 100));
}

void TestScrm::toggles_data()
{
    QTest::addColumn<int>("stored");
    QTest::addColumn<QVector<int>>("afterClicks");
    QTest::newRow("from 0") << 0 << QVector<int>{1, 0};
    QTest::newRow("from 1") << 1 << QVector<int>{0, 1};
    QTest::newRow("from 5: off look, then 0, then 1") << 5 << QVector<int>{0, 1};
}

void TestScrm::toggles()
{
    QFETCH(int, stored);
    QFETCH(QVector<int>, afterClicks);
    TestKey key;
    writeSetting("show_capture", stored);
    writeSetting("open_cam", stored);
    SCRM window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    for (int expected : afterClicks) {
        QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {},
                          centreIn(&window, button(window, Border)));
        QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {},
                          centreIn(&window, button(window, Capture)));
        QCOMPARE(TestKey::value("show_capture"), expected);
        QCOMPARE(TestKey::value("open_cam"), expected);
        QCOMPARE(overlayOf(window)->isVisible(), expected == 1);
        QVERIFY(showsImage(button(window, Border), expected ? ":/Image/show_capture_border.png"
                                                            : ":/Image/hide_capture_border.png"));
        QVERIFY(showsImage(button(window, Capture),
                           expected ? ":/Image/open_cam.png" : ":/Image/close_cam.png"));
        QCOMPARE(button(window, Border)->size(), QSize(20, 20));
        QCOMPARE(button(window, Capture)->iconSize(), QSize(20, 20));
        // Hidden, the title bar fills the window; shown, the overlay is
        // cut out of the window's mask.
        QCOMPARE(window.mask().isEmpty(), expected != 1);
        QCoreApplication::processEvents();
        if (expected != 1)
            QCOMPARE(titleBarOf(window)->geometry(), window.rect());
    }
}

QTEST_MAIN(TestScrm)
#include "tst_scrm.moc"
