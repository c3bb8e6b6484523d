#include "app/console.h"
#include "app/problemnotice.h"
#include "app/recorderlaunch.h"
#include "app/startenvironment.h"
#include "os/singleinstance.h"
#include "window/scrm.h"
#include "window/windowsystem.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

int main(int argc, char *argv[])
{
    // Answered before the application object, which would want a display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0)
            return printLine("zorvi " ZORVI_VERSION "\n" ZORVI_LICENCE) ? 0 : 1;
    }
    // What the recorder gets: the user's, before the picker changes its own.
    keepStartEnvironment();

    // Before the application object: the window system it connects to.
    QString why;
    if (!chooseWindowSystem(&why)) {
        std::fprintf(stderr, "zorvi: %s\n", qPrintable(why));
        noticeProblem("Zorvi cannot start", why.toStdString());
        return 1;
    }
    keepWindowSystemPixels();
    onFrameNotPlaced(
        [](const QString &reason) { noticeProblem("Zorvi stopped", reason.toStdString()); });

    QApplication app(argc, argv);
    // A second start ends without a word: the picker it met is on screen.
    if (!claimSingleInstance())
        return 1;

    SCRM window;
    window.show();
    startRecorder(&app);
    return app.exec();
}
