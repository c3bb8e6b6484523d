#include "window/windowsystem.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

namespace {

void (*tellNotPlaced)(const QString &why) = nullptr;

} // namespace

void keepWindowSystemPixels()
{
    // The store counts the window system's own pixels and the window keeps
    // its size in them: with Qt's scaling on, every position and size would
    // be Qt's scaled units instead, and a capture program would record the
    // wrong part of the screen.
    static const char *const scaling[] = {
        "QT_SCALE_FACTOR",           "QT_SCREEN_SCALE_FACTORS", "QT_AUTO_SCREEN_SCALE_FACTOR",
        "QT_ENABLE_HIGHDPI_SCALING", "QT_DEVICE_PIXEL_RATIO",   "QT_SCALE_FACTOR_ROUNDING_POLICY"
    };
    for (const char *name : scaling)
        qunsetenv(name);
    QCoreApplication::setAttribute(Qt::AA_DisableHighDpiScaling);
}

void onFrameNotPlaced(void (*tell)(const QString &why))
{
    tellNotPlaced = tell;
}

void frameNotPlaced(const QString &why)
{
    std::fprintf(stderr, "zorvi: %s\n", qPrintable(why));
    if (tellNotPlaced)
        tellNotPlaced(why);
    std::exit(1);
}
