// record: takes of the region inside the frame while the capture flag is on.
// The frames are grabbed here, from wherever the region is at each tick, so
// that a moving frame is followed within one file, and encoded here too.
#include "os/environment.h"
#include "os/stopsignal.h"
#include "record/avwriter.h"
#include "record/notifier.h"
#include "record/portalgrabber.h"
#include "record/recorderclaim.h"
#include "record/record.h"
#include "record/recording.h"
#include "record/sound.h"
#include "record/storesource.h"
#include "record/takelines.h"
#include "record/takerecorder.h"
#include "record/x11grabber.h"
#include "settings/keywatch.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include <poll.h>
#include <time.h>
#include <unistd.h>

namespace {

const char program[] = "zorvi-settings";

int failure(const std::string &message)
{
    std::fprintf(stderr, "%s: %s\n", program, message.c_str());
    return 1;
}

std::string videosFolder()
{
    const std::string home = environment("HOME");
    std::string config = environment("XDG_CONFIG_HOME");
    if (config.empty() || config[0] != '/')
        config = home.empty() ? std::string() : home + "/.config";
    if (!config.empty()) {
        std::ifstream file(config + "/user-dirs.dirs");
        std::stringstream text;
        text << file.rdbuf();
        const std::string folder = videosFolderFrom(text.str(), home);
        if (!folder.empty())
            return folder;
    }
    return home.empty() ? std::string() : home + "/Videos";
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
    // A sound server that goes away shows as an error of its socket, not as
    // a signal that ends us.
    std::signal(SIGPIPE, SIG_IGN);
    const Descriptor stop(stopSignalDescriptor());
    if (stop.get() < 0)
        return cannotStart(std::string("cannot catch the stop signals: ") + std::strerror(errno));

    // In a Wayland session an X grab sees only the X11 windows: the frames
    // come from the desktop's screen-cast portal, which may ask the user
    // first, for as long as the take is still wanted.
    std::unique_ptr<Grabber> grabber;
    if (!options.onWayland
        && (environment("XDG_SESSION_TYPE") == "wayland"
            || !environment("WAYLAND_DISPLAY").empty()))
        grabber = std::make_unique<PortalGrabber>(
            [&stop, &store] {
                pollfd stopping = { stop.get(), POLLIN, 0 };
                return store.captureOn() && poll(&stopping, 1, 0) == 0;
            },
            options.fps, options.pointer);
    else
        grabber = std::make_unique<X11Grabber>(options.pointer);
    std::string error;
    if (!grabber->open(&error))
        return cannotStart(error);
    const std::string folder = options.folder ? *options.folder : videosFolder();
    if (folder.empty())
        return cannotStart("no videos folder: HOME is not set (give --dir)");
    if (!makeFolders(folder, 0777, &error))
        return cannotStart("cannot create the videos folder " + error);

    KeyWatch key;
    AvWriter writer(folder, options.fps);
    TakeLines lines(options.json, &notifier);
    TakeRecorder recorder(options.fps, sound, clock, store, grabber.get(), &writer, &lines);
    int64_t next = recorder.step(clock.now());
    for (;;) {
        // Idle, only a change of the key wakes us (or a second, while the
        // key cannot be watched).
        int64_t wait = key.watching() ? -1 : 1000000000;
        if (next >= 0)
            wait = std::max<int64_t>(next - clock.now(), 0);
        const timespec timeout = { time_t(wait / 1000000000), long(wait % 1000000000) };
        pollfd fds[3] = { { stop.get(), POLLIN, 0 },
                          { key.descriptor(), POLLIN, 0 },
                          { notifier.descriptor(), notifier.events(), 0 } };
        if (ppoll(fds, 3, wait >= 0 ? &timeout : nullptr, nullptr) < 0 && errno != EINTR)
            return cannotStart(std::string("poll: ") + std::strerror(errno));
        if (fds[0].revents) {
            recorder.end();
            return 0;
        }
        if (fds[2].revents)
            notifier.process();
        const bool changed = fds[1].revents != 0;
        if (changed)
            key.drain();
        const int64_t now = clock.now();
        if (!changed && next >= 0 && now < next)
            continue;
        next = recorder.step(now);
        if (grabber->broken()) {
            recorder.end();
            return cannotStart("the X display went away");
        }
    }
}
