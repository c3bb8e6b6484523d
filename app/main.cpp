#include "recorderlaunch.h"
#include "scrm.h"
#include "singleinstance.h"

#include <QApplication>

int main(int argc, char *argv[])
{
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
    startRecorder(&app);
    return app.exec();
}
