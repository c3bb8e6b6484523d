#include "console.h"
#include "scrm.h"
#include "singleinstance.h"

#include <QApplication>

#include <cstring>

int main(int argc, char *argv[])
{
    // Answered before the application object, which would want a display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0)
            return printLine("zorvi " ZORVI_VERSION) ? 0 : 1;
    }

    // A Wayland client cannot place its own window, and placing it is all
    // this tool does: go through XWayland unless the user chose otherwise.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")
        && (qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland")
            || qEnvironmentVariableIsSet("WAYLAND_DISPLAY"))) {
        qputenv("QT_QPA_PLATFORM", "xcb");
    }

    QApplication app(argc, argv);
    if (!claimSingleInstance())
        return 1;

    SCRM window;
    window.show();
    return app.exec();
}
