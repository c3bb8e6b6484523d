#include "recorderlaunch.h"
#include "scrm.h"
#include "singleinstance.h"
#include "windowsystem.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    // Before the application object: the window system it connects to.
    QString why;
    if (!chooseWindowSystem(&why)) {
        std::fprintf(stderr, "zorvi: %s\n", qPrintable(why));
        return 1;
    }

    QApplication app(argc, argv);
    if (!claimSingleInstance())
        return 1;

    SCRM window;
    window.show();
    startRecorder(&app);
    return app.exec();
}
