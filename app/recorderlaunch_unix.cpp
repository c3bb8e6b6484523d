#include "app/problemnotice.h"
#include "app/recorderlaunch.h"
#include "app/startenvironment.h"
#include "os/stopsignal.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QStringList>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const char off[] = "Recording is off";
const char stopped[] = "Recording stopped";

QString recorderProgram()
{
    const QString beside
        = QCoreApplication::applicationDirPath() + QStringLiteral("/zorvi-settings");
    const QFileInfo file(beside);
    if (file.isFile() && file.isExecutable())
        return beside;
    return QStandardPaths::findExecutable(QStringLiteral("zorvi-settings"));
}

// Status 1 is a recorder that could not start and told the user itself.
void noticeEnd(int status)
{
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127)
        noticeProblem(off,
                      "zorvi-settings could not be started: the capture button records "
                      "nothing. Reinstall Zorvi, then start it again.");
    else if (WIFEXITED(status) && WEXITSTATUS(status) > 1)
        noticeProblem(stopped,
                      "The recorder ended with exit status " + std::to_string(WEXITSTATUS(status))
                          + ": the capture button records nothing. Start Zorvi again (from a "
                            "terminal, to read why).");
    else if (WIFSIGNALED(status))
        noticeProblem(stopped,
                      std::string("The recorder was killed (") + strsignal(WTERMSIG(status))
                          + "): the capture button records nothing. Start Zorvi again.");
}

// Reaps the recorder when it ends, and says so if it failed; without this it
// would stay a zombie as long as the picker runs.
void watchEnd(QObject *owner, pid_t child)
{
    const int fd = int(syscall(SYS_pidfd_open, child, 0));
    if (fd < 0)
        return;
    auto *notifier = new QSocketNotifier(fd, QSocketNotifier::Read, owner);
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [notifier, child, fd] {
        int status = 0;
        if (waitpid(child, &status, WNOHANG) == child
            && !(WIFEXITED(status) && WEXITSTATUS(status) == 0)) {
            std::fprintf(stderr, "zorvi: the recorder ended (%s %d)\n",
                         WIFEXITED(status) ? "exit status" : "signal",
                         WIFEXITED(status) ? WEXITSTATUS(status) : WTERMSIG(status));
            noticeEnd(status);
        }
        notifier->setEnabled(false);
        notifier->deleteLater();
        close(fd);
    });
}

} // namespace

void startRecorder(QObject *owner)
{
    if (QCoreApplication::arguments().contains(QStringLiteral("--no-record"))
        || qEnvironmentVariable("ZORVI_NO_RECORD") == QLatin1String("1"))
        return;
    const QString program = recorderProgram();
    if (program.isEmpty()) {
        std::fputs("zorvi: no zorvi-settings beside the picker or on the PATH: the capture "
                   "button records nothing (zorvi --no-record says it is meant)\n",
                   stderr);
        noticeProblem(off,
                      "No zorvi-settings beside the picker or on the PATH: the capture "
                      "button records nothing. Reinstall Zorvi, then start it again.");
        return;
    }
    // Everything the child needs is made before the fork: after it, in a
    // process with threads, only plain system calls are safe.
    const QByteArray path = QFile::encodeName(program);
    // A picker restarted (a display change ends it) lets the recorder before
    // finish its take rather than go without one.
    const char *const arguments[] = { "zorvi-settings", "record", "--wait", "10", nullptr };
    char *const *environment = startEnvironment();
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child == 0) {
        // Told to stop when the picker's thread ends, however it ends: it
        // finishes the take in progress and exits.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(0);
        // As the user started the picker: none of the signals, scaling or
        // window system the picker set for itself.
        restoreDefaultSignals();
        execve(path.constData(), const_cast<char *const *>(arguments), environment);
        _exit(127);
    }
    if (child < 0) {
        const int error = errno;
        std::perror("zorvi: cannot start the recorder");
        noticeProblem(off,
                      std::string("The recorder could not be started (") + std::strerror(error)
                          + "): the capture button records nothing. Start Zorvi again.");
        return;
    }
    watchEnd(owner, child);
}
