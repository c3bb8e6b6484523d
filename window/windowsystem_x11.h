// X11 and Qt's other non-Wayland platforms of Unix (offscreen): the window
// is placed where it asks, kept on top by raises, and its interior cut out
// by the window's shape. XWayland builds on it.
#ifndef WINDOWSYSTEM_X11_H
#define WINDOWSYSTEM_X11_H

#include "window/windowsystem.h"

class StackingWatch;

class X11WindowSystem : public WindowSystem
{
public:
    explicit X11WindowSystem(QWidget *window) : WindowSystem(window) { }

    void prepare() override;
    void move(const QPoint &topLeft) override { window->move(topLeft); }
    void resize(const QSize &size) override { window->resize(size); }
    QScreen *screen() const override { return window->screen(); }
    void keepOnTop() override;
    void setInputRegion(const QRegion &region) override;

private:
    StackingWatch *stackingWatch = nullptr;
};

// XWayland names its outputs after itself (XWAYLAND0, ...); it has no
// extension of its own to ask for.
bool onXWayland();
WindowSystem *createXWaylandWindowSystem(QWidget *window);

#endif // WINDOWSYSTEM_X11_H
