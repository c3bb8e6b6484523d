#include "overlay/capturewgt.h"
#include "window/scrm.h"

#include <QBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QSpacerItem>

namespace {

// The vertical Expanding policy makes the title bar count as expanding; the
// overlay's stretch factor is what keeps the extra height below it.
QSpacerItem *spacer(int width)
{
    return new QSpacerItem(width, 20, QSizePolicy::Minimum, QSizePolicy::Expanding);
}

} // namespace

void SCRM::buildUi()
{
    titleBar = new QWidget;
    titleBar->resize(titleBarSize);
    QPalette palette = titleBar->palette();
    palette.setBrush(QPalette::All, QPalette::Window, QBrush(QColor(72, 164, 246, 255)));
    titleBar->setAutoFillBackground(true);
    titleBar->setPalette(palette);

    logoButton = new QPushButton;
    logoButton->setFixedSize(20, 20);
    logoButton->setStyleSheet(QStringLiteral("background:transparent"));
    logoButton->setIcon(QIcon(QStringLiteral(":/Image/LOGO.png")));
    logoButton->setIconSize(logoButton->size());

    titleLabel = new QLabel(QStringLiteral("Zorvi-V1.0"));
    titleLabel->setStyleSheet(QStringLiteral(
        "background:transparent;font-size:16px;font-family: 'Microsoft YaHei UI';border-width:0px"));
    // The buttons give the bar its 20 pixels, whatever font the title gets:
    // a taller substitute would move the frame off the published region.
    titleLabel->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Ignored);

    const QString buttonStyle =
        QStringLiteral("QPushButton{border-style:none;background:transparent;border-width:0px;}");

    borderButton = new QPushButton;
    borderButton->setIcon(QIcon(showCapture == 1 ? QStringLiteral(":/Image/show_capture_border.png")
                                                 : QStringLiteral(":/Image/hide_capture_border.png")));
    borderButton->setFixedSize(20, 20);
    borderButton->setIconSize(borderButton->size());
    borderButton->setStyleSheet(buttonStyle);
    borderButton->setToolTip(QStringLiteral("捕捉框"));

    captureButton = new QPushButton;
    captureButton->setIcon(QIcon(openCam == 1 ? QStringLiteral(":/Image/open_cam.png")
                                              : QStringLiteral(":/Image/close_cam.png")));
    captureButton->setFixedSize(20, 20);
    captureButton->setIconSize(borderButton->size());
    captureButton->setStyleSheet(buttonStyle);
    captureButton->setToolTip(QStringLiteral("启用捕捉"));

    biggerButton = new QPushButton;
    biggerButton->setIcon(QIcon(QStringLiteral(":/Image/big.png")));
    biggerButton->setFixedSize(20, 20);
    biggerButton->setIconSize(borderButton->size());
    biggerButton->setStyleSheet(buttonStyle);

    smallerButton = new QPushButton;
    smallerButton->setIcon(QIcon(QStringLiteral(":/Image/small.png")));
    smallerButton->setFixedSize(20, 20);
    smallerButton->setIconSize(borderButton->size());
    smallerButton->setStyleSheet(buttonStyle);

    // The arrow keys belong to the region: a focused button would take them.
    for (QPushButton *button : {logoButton, borderButton, captureButton, biggerButton, smallerButton})
        button->setFocusPolicy(Qt::NoFocus);

    const int overlayHeight = windowSize.height() - titleBarSize.height();
    captureWidget = new CaptureWgt;
    captureWidget->resize(windowSize.width(), overlayHeight);
    // A shown overlay needs no show() here: the layout below shows it with
    // the window, and showing it before it has a parent would map a stray
    // top-level window for a moment.
    if (showCapture != 1)
        captureWidget->hide();

    auto *titleLayout = new QHBoxLayout;
    titleLayout->addItem(spacer(5));
    titleLayout->addWidget(logoButton);
    titleLayout->addWidget(titleLabel);
    titleLayout->addItem(spacer(15));
    titleLayout->addWidget(borderButton);
    titleLayout->addItem(spacer(15));
    titleLayout->addWidget(captureButton);
    titleLayout->addItem(spacer(15));
    titleLayout->addWidget(biggerButton);
    titleLayout->addItem(spacer(15));
    titleLayout->addWidget(smallerButton);
    titleLayout->addItem(spacer(15));
    titleLayout->addStretch();
    titleLayout->addItem(spacer(15));
    titleLayout->setContentsMargins(0, 0, 0, 0);
    titleBar->setLayout(titleLayout);

    auto *windowLayout = new QVBoxLayout;
    windowLayout->addWidget(titleBar, 0);
    windowLayout->setSpacing(0);
    windowLayout->addWidget(captureWidget, overlayHeight);
    windowLayout->setContentsMargins(0, 0, 0, 0);
    setLayout(windowLayout);
}
