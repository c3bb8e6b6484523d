#include "overlay/capturewgt.h"
#include "settings/settings.h"
#include "window/presets.h"
#include "window/scrm.h"
#include "window/windowsystem.h"

#include <QIcon>
#include <QPushButton>

void SCRM::clickShowCaptureWdgBtn()
{
    // Any non-zero value counts as shown, so a stored 5 turns into 0 first.
    if (showCapture == 0) {
        showCapture = 1;
        captureWidget->show();
        borderButton->setIcon(QIcon(QStringLiteral(":/Image/show_capture_border.png")));
    } else {
        showCapture = 0;
        captureWidget->hide();
        borderButton->setIcon(QIcon(QStringLiteral(":/Image/hide_capture_border.png")));
    }
    borderButton->setFixedSize(20, 20);
    borderButton->setIconSize(borderButton->size());
    updateInteriorMask();
    writeSetting("show_capture", showCapture);
}

void SCRM::clickDoCaptureBtn()
{
    if (openCam == 0) {
        openCam = 1;
        captureButton->setIcon(QIcon(QStringLiteral(":/Image/open_cam.png")));
    } else {
        openCam = 0;
        captureButton->setIcon(QIcon(QStringLiteral(":/Image/close_cam.png")));
    }
    captureButton->setFixedSize(20, 20);
    captureButton->setIconSize(borderButton->size());
    writeSetting("open_cam", openCam);
}

void SCRM::pressedBiggerBtn()
{
    setStepIcon(biggerButton, QStringLiteral(":/Image/big_clicked.png"));
}

void SCRM::releasedBiggerBtn()
{
    setStepIcon(biggerButton, QStringLiteral(":/Image/big.png"));
    stepTo(widerPreset(sizePresets, captureRect.width()));
}

void SCRM::pressedSmallerBtn()
{
    setStepIcon(smallerButton, QStringLiteral(":/Image/small_clicked.png"));
}

void SCRM::releasedSmallerBtn()
{
    setStepIcon(smallerButton, QStringLiteral(":/Image/small.png"));
    stepTo(narrowerPreset(sizePresets, captureRect.width()));
}

void SCRM::setStepIcon(QPushButton *button, const QString &image)
{
    button->setIcon(QIcon(image));
    button->setFixedSize(20, 20);
    button->setIconSize(borderButton->size());
}

void SCRM::stepTo(int presetIndex)
{
    if (presetIndex < 0)
        return;
    const QSize preset = sizePresets.at(presetIndex);
    captureRect.setRight(captureRect.left() + preset.width() - 1);
    captureRect.setBottom(captureRect.top() + preset.height() + 19);
    windowSize = QSize(preset.width(), preset.height() + 40);
    // Delivers the resize event before it returns, so a placement at the
    // screen's corner writes the position before the size below.
    windowSystem->resize(windowSize);
    writeSize(captureRect.width(), captureRect.height());
}
