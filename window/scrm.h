// The picker's only window: a title bar of 20-pixel buttons above the
// capture overlay. Every change to the region or a flag is written to the
// settings store at once, on every event.
#ifndef SCRM_H
#define SCRM_H

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QVector>
#include <QWidget>

#include <optional>

QT_BEGIN_NAMESPACE
class QLabel;
class QPushButton;
class QScreen;
class QTimer;
QT_END_NAMESPACE

class CaptureWgt;
class WindowSystem;

class SCRM : public QWidget
{
    Q_OBJECT

public:
    explicit SCRM(QWidget *parent = nullptr);
    ~SCRM() override;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    bool nativeEvent(const QByteArray &eventType, void *message, long *result) override;

public slots:
    void clickShowCaptureWdgBtn();
    void clickDoCaptureBtn();
    void pressedBiggerBtn();
    void releasedBiggerBtn();
    void pressedSmallerBtn();
    void releasedSmallerBtn();
    void timeoutSlot();

private:
    void buildUi();
    void rebuildPresets();
    void stepTo(int presetIndex);
    void setStepIcon(QPushButton *button, const QString &image);
    void moveWindow(const QPoint &topLeft);
    void writeOverlayPosition();
    void resizeCapture(int newWidth);
    void finishMove(bool moved);
    void updateInteriorMask();

    QPoint dragOffset;
    bool dragging;
    QWidget *titleBar;
    QPushButton *logoButton;
    QLabel *titleLabel;
    QPushButton *borderButton;
    int showCapture;
    QPushButton *captureButton;
    int openCam;
    QPushButton *biggerButton;
    QPushButton *smallerButton;
    CaptureWgt *captureWidget;
    QSize windowSize;
    QSize titleBarSize;
    double dpiScale;
    QScreen *currentScreen;
    QVector<QSize> sizePresets;
    QRect captureRect;
    QRect gripRect;
    bool resizing;
    int pressWidth;
    QPoint pressPoint;
    int borderThickness;
    QTimer *topmostTimer;
    // Placing, keeping on top, the input region, display changes.
    WindowSystem *windowSystem;
    // What the store says of the overlay's corner, and whether the window
    // is being moved by us, which writes the position itself.
    std::optional<QPoint> publishedCorner;
    bool movingItself = false;
};

#endif // SCRM_H
