// Windows: the native display-change message and the topmost band.
#include "window/windowsystem.h"

#include <QRegion>
#include <QWidget>

#include <cstdlib>

#include <windows.h>

namespace {

class WinWindowSystem : public WindowSystem
{
public:
    explicit WinWindowSystem(QWidget *window) : WindowSystem(window) { }

    void prepare() override
    {
        // The interior is fully transparent, and Windows passes input
        // through such pixels of a translucent window.
        window->setAttribute(Qt::WA_TranslucentBackground);
    }

    void move(const QPoint &topLeft) override { window->move(topLeft); }
    void resize(const QSize &size) override { window->resize(size); }
    QScreen *screen() const override { return window->screen(); }

    void keepOnTop() override
    {
        // The window's own rectangle, not Qt's: a move by someone else (the
        // desktop's Win + arrow, another program) may not have reached Qt
        // yet, and Qt's old place would pull the window back from it.
        const HWND handle = reinterpret_cast<HWND>(window->winId());
        RECT at;
        if (!GetWindowRect(handle, &at))
            return;
        SetWindowPos(handle, HWND_TOPMOST, at.left, at.top, at.right - at.left, at.bottom - at.top,
                     SWP_SHOWWINDOW);
    }

    // Windows passes input through the transparent pixels of a translucent
    // window by itself.
    void setInputRegion(const QRegion &) override { }

    // WM_DISPLAYCHANGE, in nativeEvent, covers every change.
    void watchDisplayChanges() override { }

    bool nativeEvent(void *message) override
    {
        // Every native event on this platform is a MSG.
        if (static_cast<MSG *>(message)->message == WM_DISPLAYCHANGE)
            std::exit(0);
        return false;
    }
};

} // namespace

bool chooseWindowSystem(QString *)
{
    return true;
}

WindowSystem *createWindowSystem(QWidget *window)
{
    return new WinWindowSystem(window);
}
