// zorvi-settings.exe beside the picker, with no console window, in a job
// object that the system ends with the picker's last handle to it: however
// the picker ends, so does the recorder, and the take it was writing plays
// up to its last second or two. A picker that quits asks it to finish its
// take first.
#include "app/problemnotice.h"
#include "app/recorderlaunch.h"
#include "record/record.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <QWinEventNotifier>

#include <cstdio>
#include <string>

#include <windows.h>

namespace {

const char off[] = "Recording is off";

void cannotStart(const std::string &why)
{
    std::fprintf(stderr, "zorvi: %s: the capture button records nothing\n", why.c_str());
    noticeProblem(off, why + ": the capture button records nothing. Reinstall Zorvi, then start "
                             "it again.");
}

// Status 1 is a recorder that could not start and told the user itself.
// The process's handle stays open for finish().
void watchEnd(QObject *owner, HANDLE process)
{
    auto *notifier = new QWinEventNotifier(process, owner);
    QObject::connect(notifier, &QWinEventNotifier::activated, notifier, [notifier, process] {
        DWORD code = 0;
        if (GetExitCodeProcess(process, &code) && code > 1) {
            std::fprintf(stderr, "zorvi: the recorder ended (exit status %lu)\n", code);
            noticeProblem("Recording stopped",
                          "The recorder ended with exit status " + std::to_string(code)
                              + ": the capture button records nothing. Start Zorvi again.");
        }
        notifier->setEnabled(false);
        notifier->deleteLater();
    });
}

// The take in progress saved, within a few seconds, before the job ends it.
void finish(HANDLE process, DWORD id)
{
    if (WaitForSingleObject(process, 0) != WAIT_TIMEOUT)
        return;
    const HANDLE stop = OpenEventW(EVENT_MODIFY_STATE, FALSE, recordStopEventName(id).c_str());
    if (!stop)
        return;
    SetEvent(stop);
    CloseHandle(stop);
    WaitForSingleObject(process, 5000);
}

} // namespace

void startRecorder(QObject *owner)
{
    if (QCoreApplication::arguments().contains(QStringLiteral("--no-record"))
        || qEnvironmentVariable("ZORVI_NO_RECORD") == QLatin1String("1"))
        return;
    const QString program = QDir::toNativeSeparators(QCoreApplication::applicationDirPath()
                                                     + QStringLiteral("/zorvi-settings.exe"));
    if (!QFileInfo(program).isFile()) {
        cannotStart("no zorvi-settings.exe beside the picker");
        return;
    }
    // The job's handle stays open on purpose: the system closes it when the
    // picker ends, and ends the recorder with it.
    const HANDLE job = CreateJobObjectW(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!job
        || !SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits,
                                    sizeof limits)) {
        cannotStart("no job object for the recorder (error " + std::to_string(GetLastError())
                    + ")");
        return;
    }
    // A picker restarted lets the recorder before finish its take rather
    // than go without one.
    std::wstring command = L"\"" + program.toStdWString() + L"\" record --wait 10";
    STARTUPINFOW startup {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started {};
    // Suspended until it is in the job, so that not even its first
    // instant outlives the picker.
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE,
                        CREATE_NO_WINDOW | CREATE_SUSPENDED, nullptr, nullptr, &startup,
                        &started)) {
        cannotStart("zorvi-settings.exe could not be started (error "
                    + std::to_string(GetLastError()) + ")");
        return;
    }
    if (!AssignProcessToJobObject(job, started.hProcess)) {
        TerminateProcess(started.hProcess, 1);
        CloseHandle(started.hThread);
        CloseHandle(started.hProcess);
        cannotStart("the recorder could not join the picker's job (error "
                    + std::to_string(GetLastError()) + ")");
        return;
    }
    ResumeThread(started.hThread);
    CloseHandle(started.hThread);
    watchEnd(owner, started.hProcess);
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, owner,
                     [started] { finish(started.hProcess, started.dwProcessId); });
}
