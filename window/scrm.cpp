#include "window/scrm.h"
#include "overlay/capturewgt.h"
#include "settings/settings.h"
#include "window/presets.h"
#include "window/windowsystem.h"

#include <QIcon>
#include <QMoveEvent>
#include <QLayout>
#include <QPushButton>
#include <QRegion>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>

#include <limits>

namespace {

// Stored values come from outside; a sum of two of them must not overflow.
int clampedSum(qint64 a, qint64 b)
{
    return int(qBound<qint64>(std::numeric_limits<int>::min(), a + b,
                              std::numeric_limits<int>::max()));
}

} // namespace

SCRM::SCRM(QWidget *parent)
    : QWidget(parent),
      dragOffset(0, 0),
      dragging(false),
      titleBar(nullptr),
      logoButton(nullptr),
      titleLabel(nullptr),
      borderButton(nullptr),
      showCapture(0),
      captureButton(nullptr),
      openCam(0),
      biggerButton(nullptr),
      smallerButton(nullptr),
      captureWidget(nullptr),
      dpiScale(1.0),
      currentScreen(nullptr),
      resizing(false),
      pressWidth(0),
      pressPoint(0, 0),
      borderThickness(0),
      topmostTimer(nullptr),
      windowSystem(createWindowSystem(this))
{
    int startX;
    int startY;
    int width;
    int height;
    readPosition(&startX, &startY);
    readSize(&width, &height);
    // A size of 0 or less cannot be shown: start from the default instead.
    if (width <= 0 || height <= 0) {
        width = 600;
        height = 338;
        writeSize(width, height);
    }
    readSetting("open_cam", &openCam, 0);
    readSetting("show_capture", &showCapture, 0);

    // Until the window is shown its screen is the one under its geometry, so
    // the presets and the scale below are those of the stored position.
    windowSystem->move(QPoint(startX, clampedSum(startY, -21)));
    rebuildPresets();

    titleBarSize = QSize(width, 20);
    captureRect = QRect(QPoint(startX, startY),
                        QPoint(clampedSum(startX, width - 1), clampedSum(startY, height - 1)));
    windowSize = QSize(width, clampedSum(height, 21));

    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    windowSystem->prepare();
    setWindowIcon(QIcon(QStringLiteral(":/Image/LOGO.ico")));
    windowSystem->resize(windowSize);
    currentScreen = windowSystem->screen();

    buildUi();

    writeSetting("screen_scale", int(windowSystem->scale(currentScreen) * 100.0));

    connect(borderButton, SIGNAL(clicked()), this, SLOT(clickShowCaptureWdgBtn()));
    connect(captureButton, SIGNAL(clicked()), this, SLOT(clickDoCaptureBtn()));
    connect(biggerButton, SIGNAL(pressed()), this, SLOT(pressedBiggerBtn()));
    connect(biggerButton, SIGNAL(released()), this, SLOT(releasedBiggerBtn()));
    connect(smallerButton, SIGNAL(pressed()), this, SLOT(pressedSmallerBtn()));
    connect(smallerButton, SIGNAL(released()), this, SLOT(releasedSmallerBtn()));

    dpiScale = windowSystem->scale(windowSystem->screen());
    readSetting("capture_border", &borderThickness, 0);
    setAttribute(Qt::WA_MouseTracking);
    resizing = false;
    dragging = false;

    topmostTimer = new QTimer(this);
    connect(topmostTimer, SIGNAL(timeout()), this, SLOT(timeoutSlot()));
    topmostTimer->start(50);
    windowSystem->watchDisplayChanges();

    windowSystem->move(QPoint(100, 100));
}

SCRM::~SCRM() = default;

void SCRM::rebuildPresets()
{
    sizePresets = presetsForScreen(windowSystem->screen()->geometry().size());
}

void SCRM::showEvent(QShowEvent *event)
{
    // The store says where the frame is from the first instant: until the
    // first drag it would hold the last session's place, or none, while the
    // window sits at (100, 100), and every reader would capture elsewhere.
    if (!event->spontaneous())
        writeOverlayPosition();
    QWidget::showEvent(event);
}

void SCRM::moveEvent(QMoveEvent *event)
{
    // Whoever moved the window (the window manager, the desktop's own move
    // gesture, another program), the store must not name a place the frame
    // has left. Our own moves write it themselves, and the window system
    // confirming one of them changes nothing.
    if (isVisible() && !movingItself
        && windowSystem->mapToGlobal(captureWidget, QPoint(0, 0)) != publishedCorner)
        writeOverlayPosition();
    QWidget::moveEvent(event);
}

void SCRM::moveWindow(const QPoint &topLeft)
{
    movingItself = true;
    windowSystem->move(topLeft);
    movingItself = false;
}

void SCRM::writeOverlayPosition()
{
    const QPoint corner = windowSystem->mapToGlobal(captureWidget, QPoint(0, 0));
    writePosition(corner.x(), corner.y());
    publishedCorner = corner;
}

bool SCRM::nativeEvent(const QByteArray &eventType, void *message, long *result)
{
    return windowSystem->nativeEvent(message) || QWidget::nativeEvent(eventType, message, result);
}

void SCRM::timeoutSlot()
{
    windowSystem->keepOnTop();
}

void SCRM::updateInteriorMask()
{
    // The frame and the title bar take the clicks; the interior passes them
    // to what lies below.
    if (captureWidget->isHidden()) {
        windowSystem->setInputRegion(QRegion());
        return;
    }
    layout()->activate();
    const int t = captureWidget->frameThickness();
    const QRect interior = captureWidget->geometry().adjusted(t, t, -t, -t);
    windowSystem->setInputRegion(QRegion(rect()).subtracted(QRegion(interior)));
}
