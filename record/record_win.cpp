// record on Windows: the take loop of Linux, woken by the registry's change
// notification while capture is off, the frames from the desktop's
// duplication or from GDI.
#include "record/avwriter.h"
#include "record/dxgigrabber.h"
#include "record/notifier.h"
#include "record/record.h"
#include "record/recorderclaim.h"
#include "record/sound.h"
#include "record/storesource.h"
#include "record/takelines.h"
#include "record/takerecorder.h"
#include "record/widename.h"
#include "settings/keywatch.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>

#include <windows.h>

#include <knownfolders.h>
#include <mmsystem.h>
#include <shlobj.h>

namespace {

HANDLE stopEvent = nullptr;

// Ctrl+C, Ctrl+Break, the console closing and the picker quitting end the
// take as a stop signal does on Linux: saved, and announced.
BOOL WINAPI stopRequested(DWORD)
{
    SetEvent(stopEvent);
    return TRUE;
}

int failure(const std::string &message)
{
    std::fprintf(stderr, "zorvi-settings: %s\n", message.c_str());
    return 1;
}

std::string videosFolder()
{
    wchar_t *path = nullptr;
    std::string folder;
    if (SHGetKnownFolderPath(FOLDERID_Videos, KF_FLAG_CREATE, nullptr, &path) == S_OK)
        folder = narrowName(path);
    CoTaskMemFree(path);
    return folder;
}

// The picker that started us, through the handle it let us inherit; null
// when none did (or the variable was set by hand).
HANDLE pickerProcess()
{
    const char *value = std::getenv(pickerProcessVariable);
    if (!value)
        return nullptr;
    const auto picker = reinterpret_cast<HANDLE>(uintptr_t(std::strtoull(value, nullptr, 10)));
    return GetProcessId(picker) ? picker : nullptr;
}

// The picker has gone: the take is saved, but should saving hang, the
// recorder does not linger for it.
void endSoon()
{
    std::thread([] {
        Sleep(10000);
        TerminateProcess(GetCurrentProcess(), 3);
    }).detach();
}

} // namespace

int runRecord(const RecordOptions &options)
{
    Sound sound = Sound::Desktop;
    if (!parseSound(options.sound, &sound))
        return failure("--audio takes desktop, mic, both or none");
    Notifier notifier;
    const Clock clock;
    const StoreSource store(clock);
    const auto cannotStart = [&notifier](const std::string &why) {
        return cannotRecord(&notifier, why);
    };
    if (!claimRecorder(clock, options.waitSeconds, &notifier))
        return 1;
    stopEvent = CreateEventW(nullptr, TRUE, FALSE,
                             recordStopEventName(GetCurrentProcessId()).c_str());
    if (!stopEvent || !SetConsoleCtrlHandler(stopRequested, TRUE))
        return cannotStart("cannot catch Ctrl+C: " + systemMessage(GetLastError()));

    DxgiGrabber grabber(options.pointer);
    std::string error;
    if (!grabber.open(&error))
        return cannotStart(error);
    const std::string folder = options.folder ? *options.folder : videosFolder();
    if (folder.empty())
        return cannotStart("no videos folder (give --dir)");
    std::error_code made;
    std::filesystem::create_directories(std::filesystem::u8path(folder), made);
    if (made)
        return cannotStart("cannot create the videos folder " + folder + ": " + made.message());

    const HANDLE picker = pickerProcess();
    // The ticks are due to the millisecond, not to the system's 15.6 ms.
    timeBeginPeriod(1);
    KeyWatch key;
    AvWriter writer(folder, options.fps);
    TakeLines lines(options.json, &notifier);
    TakeRecorder recorder(options.fps, sound, clock, store, &grabber, &writer, &lines);
    int64_t next = recorder.step(clock.now());
    for (;;) {
        // Idle, only a change of the key wakes us (or a second, while the
        // key cannot be watched), or a message for the notification's icon.
        DWORD wait = key.watching() ? INFINITE : 1000;
        if (next >= 0)
            wait = DWORD((std::max<int64_t>(next - clock.now(), 0) + 999999) / 1000000);
        const HANDLE handles[3] = { stopEvent, static_cast<HANDLE>(key.event()), picker };
        const DWORD count = picker ? 3 : 2;
        const DWORD woke = MsgWaitForMultipleObjects(count, handles, FALSE, wait, QS_ALLINPUT);
        if (woke == WAIT_FAILED)
            return cannotStart("cannot wait: " + systemMessage(GetLastError()));
        if (woke == WAIT_OBJECT_0 || (picker && woke == WAIT_OBJECT_0 + 2)) {
            if (woke != WAIT_OBJECT_0)
                endSoon();
            recorder.end();
            return 0;
        }
        if (woke == WAIT_OBJECT_0 + count)
            notifier.process();
        const bool changed = woke == WAIT_OBJECT_0 + 1;
        if (changed)
            key.drain();
        const int64_t now = clock.now();
        if (!changed && next >= 0 && now < next)
            continue;
        next = recorder.step(now);
    }
}
