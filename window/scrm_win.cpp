// Windows for the window's platform duties: the native display-change
// message and the topmost band.
#include "scrm.h"

#include <cstdlib>

#include <windows.h>

bool SCRM::nativeEvent(const QByteArray &eventType, void *message, long *result)
{
    // Every native event on this platform is a MSG.
    if (static_cast<MSG *>(message)->message == WM_DISPLAYCHANGE)
        std::exit(0);
    return QWidget::nativeEvent(eventType, message, result);
}

void SCRM::setSurfaceAttributes()
{
    // The interior is fully transparent, and Windows passes input through
    // such pixels of a translucent window.
    setAttribute(Qt::WA_TranslucentBackground);
}

void SCRM::watchDisplayChanges()
{
    // WM_DISPLAYCHANGE, in nativeEvent, covers every change.
}

void SCRM::timeoutSlot()
{
    SetWindowPos(reinterpret_cast<HWND>(winId()), HWND_TOPMOST, x(), y(), width(), height(),
                 SWP_SHOWWINDOW);
}

void SCRM::updateInteriorMask()
{
    // Windows passes input through the transparent pixels of a translucent
    // window by itself.
}
