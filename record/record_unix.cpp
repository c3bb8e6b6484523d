// record: takes of the region inside the frame while the capture flag is on.
// The frames are grabbed here, from wherever the region is at each tick, so
// that a moving frame is followed within one file; ffmpeg only encodes.
#include "os/environment.h"
#include "os/singleinstance.h"
#include "os/stopsignal.h"
#include "record/encoder.h"
#include "record/notifier.h"
#include "record/portalgrabber.h"
#include "record/record.h"
#include "record/recording.h"
#include "record/sound.h"
#include "record/x11grabber.h"
#include "settings/frame.h"
#include "settings/key.h"
#include "settings/keywatch.h"
#include "settings/settings.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <poll.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace {

const char program[] = "zorvi-settings";

int failure(const std::string &message)
{
    std::fprintf(stderr, "%s: %s\n", program, message.c_str());
    return 1;
}

int64_t nowNs()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
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

// The recorded area as the store has it now: inside the frame, even-sized.
bool currentArea(Region *area)
{
    Region region;
    if (!readRegion(&region))
        return false;
    int32_t border = 0;
    readSetting("capture_border", &border, 0);
    return innerRegion(region, frameThicknessFor(border), &region) && evenArea(region, area);
}

bool captureOn()
{
    int32_t openCam = 0;
    readSetting("open_cam", &openCam, 0);
    return openCam == 1;
}

// When a value was last written, on the monotonic clock: a recorder held up
// by a slow encoder notices the flag late, but the take ends when the user
// clicked. Now, when the value cannot tell.
int64_t switchedAt(const char *name)
{
    const int64_t now = nowNs();
    const int64_t ago = valueWrittenAgo(name);
    return ago > 0 ? now - ago : now;
}

// The session's one recorder. A picker restarted while its old recorder
// still finishes a take asks to wait: the lock goes with that recorder.
bool claimRecorder(int waitSeconds)
{
    const int64_t deadline = nowNs() + int64_t(waitSeconds) * 1000000000;
    for (bool told = false; !claimSessionMarker("zorvi-record"); told = true) {
        if (nowNs() >= deadline)
            return false;
        if (!told)
            std::fprintf(stderr, "%s: waiting up to %d s for the other record of this session to "
                                 "end\n",
                         program, waitSeconds);
        const timespec pause = { 0, 100000000 };
        nanosleep(&pause, nullptr);
    }
    return true;
}

class Recorder
{
public:
    Recorder(const RecordOptions &options, Sound sound, const std::string &folder, Grabber *grabber,
             Notifier *notifier)
        : options(options)
        , sound(sound)
        , folder(folder)
        , grabber(grabber)
        , notifier(notifier)
        , period(1000000000 / options.fps)
    { }
    ~Recorder() { end(); }

    // Called at each tick asked for and whenever the key changed. Returns
    // when the next tick is due (the monotonic clock), or -1 when nothing
    // is to happen until the key changes: capture is off, or waits.
    int64_t step(int64_t now)
    {
        if (!captureOn()) {
            end(switchedAt("open_cam"));
            waitForOff = false;
            settle = false;
            switchedOn = -1;
            return -1;
        }
        if (switchedOn < 0 && !take)
            switchedOn = switchedAt("open_cam");
        if (waitForOff)
            return -1;
        Region area;
        const bool has = currentArea(&area);
        if (take && now < next)
            return next; // the key changed between two ticks
        if (take && has && area.width == take->area.width && area.height == take->area.height) {
            // A tick missed is a frame repeated: the take stays as long as
            // capture was on, however late we are.
            const long late = long((now - next) / period);
            next += (late + 1) * period;
            take->dropped += late;
            if (!repeat(late))
                return -1;
            record(area);
            return take ? next : -1;
        }
        if (take) {
            // A new size is a new file, once the user has let go of the corner.
            end();
            settle = true;
            stillSince = now;
        }
        if (!has) {
            if (!waiting)
                std::fprintf(stderr, "%s: waiting: no region with an inside to record\n", program);
            waiting = true;
            stillSince = now;
            switchedOn = std::numeric_limits<int64_t>::max();
            return -1;
        }
        waiting = false;
        if (settle) {
            if (area.width != lastSize.width || area.height != lastSize.height)
                stillSince = now;
            lastSize = area;
            if (now - stillSince < 500000000)
                return now + period;
        }
        begin(area);
        return take ? next : -1;
    }

    // Ends the take as of `until` (the monotonic clock; now unless given):
    // the ticks up to then that it is behind by, a slow encoder's, repeat the
    // last picture, so that it lasts as long as capture was on.
    void end(int64_t until = -1)
    {
        if (!take)
            return;
        // Rounded: the take's length within half a frame of the time.
        const int64_t length = (until < 0 ? nowNs() : until) - first;
        const long owed = long((length + period / 2) / period) - take->frames;
        if (owed > 0) {
            take->dropped += owed;
            if (!repeat(owed))
                return;
        }
        const std::string problem = closeTake();
        if (problem.empty()) {
            const double seconds = double(take->frames) / options.fps;
            char length[32];
            std::snprintf(length, sizeof length, "%.1f", seconds);
            print(options.json ? "{\"event\":\"saved\",\"file\":" + jsonString(take->file)
                          + ",\"seconds\":" + length + ",\"frames\":" + std::to_string(take->frames)
                          + ",\"dropped\":" + std::to_string(take->dropped) + "}"
                               : "saved " + take->file + ": " + length + " s, "
                          + std::to_string(take->frames) + " frames, "
                          + std::to_string(take->dropped) + " dropped");
            notifier->saved(take->file, seconds);
        } else {
            fail(problem);
        }
        take.reset();
    }

private:
    void begin(const Region &area)
    {
        settle = false;
        std::string error;
        // The source first: it may have to ask the user, and it tells the
        // size of the frames (a scaled monitor's pixels are recorded as they are).
        if (!grabber->prepare(area, &error)) {
            refuse(error);
            return;
        }
        black.assign(grabber->frameBytes(), 0);
        last = grabber->grab(area.x, area.y);
        // A take the click began starts at the click, however late we woke.
        first = nowNs();
        // Within a second: a flag found on at start, or switched on while
        // the region had no inside, starts now.
        if (switchedOn >= 0)
            first = std::min(first, std::max(switchedOn, first - 1000000000));
        switchedOn = std::numeric_limits<int64_t>::max(); // the next take, after a resize: now
        // The first frame's instant on the wall clock, which stamps the sound.
        timespec wall;
        clock_gettime(CLOCK_REALTIME, &wall);
        const double start = wall.tv_sec + wall.tv_nsec / 1e9 - (nowNs() - first) / 1e9;
        const bool withSound = sound != Sound::None && soundServer();
        if (!last)
            last = black.data();
        if (!startWith(area, withSound ? sound : Sound::None, start) && withSound) {
            std::fprintf(stderr,
                         "%s: the sound server's sources could not be opened: this take "
                         "is video only\n",
                         program);
            startWith(area, Sound::None, 0);
        }
        if (!take) {
            grabber->release();
            return;
        }
        // The ticks that pass while ffmpeg starts show the first picture: it
        // has started once it asks for the second, its encoder ready. Up to
        // the click that ended the take, if a slow start outlasted it.
        if (!repeat(1))
            return;
        const int64_t started = captureOn() ? nowNs() : switchedAt("open_cam");
        if (!repeat(long((started - first) / period) + 1 - take->frames))
            return;
        next = first + take->frames * period;
        const int32_t width = grabber->frameWidth(), height = grabber->frameHeight();
        const std::string size = std::to_string(width) + 'x' + std::to_string(height);
        const std::string scaled = width == area.width && height == area.height
            ? std::string()
            : " (the monitor's own pixels: the frame's inside is " + std::to_string(area.width)
                + 'x' + std::to_string(area.height) + ")";
        print(options.json ? "{\"event\":\"recording\",\"file\":" + jsonString(take->file)
                      + ",\"width\":" + std::to_string(width)
                      + ",\"height\":" + std::to_string(height) + ",\"x\":" + std::to_string(area.x)
                      + ",\"y\":" + std::to_string(area.y) + "}"
                           : "recording " + take->file + ": " + size + " at "
                      + std::to_string(area.x) + "," + std::to_string(area.y) + scaled);
    }

    // Starts ffmpeg and hands it the first picture: told once ffmpeg has
    // taken it, since then it runs and will finish the file whatever happens
    // to us. False, without a take, when ffmpeg is gone by then; a failure
    // with sound leaves nothing behind for a try without it.
    bool startWith(const Region &area, Sound with, double start)
    {
        take.emplace();
        std::string error;
        const SoundArguments arguments = soundArguments(with, start);
        const bool started
            = startTake({ area.x, area.y, grabber->frameWidth(), grabber->frameHeight() }, folder,
                        options.fps, arguments.inputs, arguments.output, &*take, &error);
        take->area = area; // the store's size, against which a resize is told
        if (!started) {
            take.reset();
            refuse(error);
            return true; // nothing to try again
        }
        if (sendFrame(*take, last, grabber->frameBytes())) {
            ++take->frames;
            return true;
        }
        const std::string why = std::strerror(errno);
        const std::string problem = finishTake(&*take);
        if (with != Sound::None) {
            unlink(take->file.c_str());
            take.reset();
            return false;
        }
        fail(problem.empty() ? "ffmpeg stopped reading (" + why + ")" : problem);
        take.reset();
        return true;
    }

    // Told once when the sound server comes or goes.
    bool soundServer()
    {
        std::string where;
        const bool answers = soundServerAnswers(&where);
        if (!answers && !toldNoSound)
            std::fprintf(stderr, "%s: no sound server at %s: takes are video only\n", program,
                         where.c_str());
        toldNoSound = !answers;
        return answers;
    }

    void record(const Region &area)
    {
        std::string why;
        if (grabber->ended(&why)) {
            abandon(why);
            return;
        }
        const uint8_t *pixels = grabber->grab(area.x, area.y);
        if (!pixels) {
            // Black: the picture before may have gone with the source's buffers.
            ++take->dropped;
            pixels = black.data();
        }
        last = pixels;
        send();
    }

    bool repeat(long count)
    {
        for (long i = 0; i < count && take; ++i)
            send();
        return bool(take);
    }

    void send()
    {
        if (sendFrame(*take, last, grabber->frameBytes())) {
            ++take->frames;
            return;
        }
        // EPIPE mostly: ffmpeg is gone (a full disk, a crash); its own
        // message is on stderr already.
        abandon(std::string("ffmpeg stopped reading (") + std::strerror(errno) + ")");
    }

    // Ends the take's file and lets go of the frame source (a portal's
    // sharing ends with the take).
    std::string closeTake()
    {
        const std::string problem = finishTake(&*take);
        grabber->release();
        return problem;
    }

    // A take that cannot go on: what was written is kept, and the failure
    // reported with ffmpeg's reason where it gave one, else with `why`.
    void abandon(const std::string &why)
    {
        const std::string problem = closeTake();
        fail(problem.empty() ? why : problem);
        take.reset();
    }

    // A take that could not start: no file, and the capture icon says on.
    void refuse(const std::string &why)
    {
        waitForOff = true;
        std::fprintf(stderr, "%s: no take: %s; the next starts when capture is switched on again\n",
                     program, why.c_str());
        if (options.json)
            print("{\"event\":\"failed\",\"file\":null,\"reason\":" + jsonString(why)
                  + ",\"frames\":0}");
        // Switched off by then, the user knows why there is none.
        if (captureOn())
            notifier->problem("No take",
                              why + ". The next starts when capture is switched on again.");
    }

    void fail(const std::string &problem)
    {
        waitForOff = true;
        // A take that never got a byte on disk leaves no empty file behind.
        struct stat st;
        const bool empty = stat(take->file.c_str(), &st) == 0 && st.st_size == 0
            && unlink(take->file.c_str()) == 0;
        std::fprintf(stderr,
                     "%s: the take %s ended%s: %s; the next starts when capture is switched on "
                     "again\n",
                     program, take->file.c_str(), empty ? " empty and was removed" : "",
                     problem.c_str());
        if (options.json)
            print("{\"event\":\"failed\",\"file\":" + jsonString(take->file) + ",\"reason\":"
                  + jsonString(problem) + ",\"frames\":" + std::to_string(take->frames) + "}");
        notifier->failed(take->file, problem);
    }

    void print(const std::string &line)
    {
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    }

    const RecordOptions &options;
    const Sound sound;
    const std::string folder;
    Grabber *grabber;
    Notifier *notifier;
    const int64_t period;
    std::optional<Take> take;
    int64_t switchedOn = -1; // when capture was switched on; -1 while off
    int64_t first = 0; // the take's first tick
    int64_t next = 0; // the take's next tick
    const uint8_t *last = nullptr; // the picture handed over last
    std::vector<uint8_t> black; // for a first picture the source refused
    bool waitForOff = false; // after a failed take, until capture is switched off
    bool settle = false; // after a size change, until the size is still
    bool waiting = false; // told that the region has no inside
    bool toldNoSound = false;
    Region lastSize;
    int64_t stillSince = 0;
};

} // namespace

int runRecord(const RecordOptions &options)
{
    Sound sound = Sound::Desktop;
    if (!parseSound(options.sound, &sound))
        return failure("--audio takes desktop, mic, both or none");
    // Started by the picker, nobody may read standard error: what keeps the
    // capture button from recording is a notification too.
    Notifier notifier;
    const auto cannotStart = [&notifier](const std::string &why) {
        notifier.problem("Recording is off", "The capture button records nothing: " + why);
        return failure(why);
    };
    if (!claimRecorder(options.waitSeconds))
        return cannotStart("another zorvi-settings record runs in this session (the picker "
                           "starts one beside itself): it records the capture button's takes "
                           "already");
    if (!onPath("ffmpeg"))
        return cannotStart("no ffmpeg on the PATH: record encodes with it (apt install ffmpeg)");

    // A dead ffmpeg shows as EPIPE from write(), not as a signal that ends us.
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
            [&stop] {
                pollfd stopping = { stop.get(), POLLIN, 0 };
                return captureOn() && poll(&stopping, 1, 0) == 0;
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
    Recorder recorder(options, sound, folder, grabber.get(), &notifier);
    int64_t next = recorder.step(nowNs());
    for (;;) {
        // Idle, only a change of the key wakes us (or a second, while the
        // key cannot be watched).
        int64_t wait = key.watching() ? -1 : 1000000000;
        if (next >= 0)
            wait = std::max<int64_t>(next - nowNs(), 0);
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
        const int64_t now = nowNs();
        if (!changed && next >= 0 && now < next)
            continue;
        next = recorder.step(now);
        if (grabber->broken()) {
            recorder.end();
            return cannotStart("the X display went away");
        }
    }
}
