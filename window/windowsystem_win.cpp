// Windows: the native display-change message and the topmost band.
#include "windowsystem.h"

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
        SetWindowPos(reinterpret_cast<HWND>(window->winId()), HWND_TOPMOST, window->x(),
                     window->y(), window->width(), window->height(), SWP_SHOWWINDOW);
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
