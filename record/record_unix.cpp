// record: takes of the region inside the frame while the capture flag is on.
// The frames are grabbed here, from wherever the region is at each tick, so
// that a moving frame is followed within one file; ffmpeg only encodes.
#include "commands.h"
#include "encoder.h"
#include "frame.h"
#include "key.h"
#include "portalgrabber.h"
#include "record.h"
#include "recording.h"
#include "settings.h"
#include "stopsignal.h"
#include "x11grabber.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

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

std::string environment(const char *name)
{
    const char *value = std::getenv(name);
    return value ? value : "";
}

bool onPath(const std::string &name)
{
    std::istringstream folders(environment("PATH"));
    for (std::string folder; std::getline(folders, folder, ':');) {
        const std::string path = (folder.empty() ? "." : folder) + '/' + name;
        struct stat st;
        if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0)
            return true;
    }
    return false;
}

// mkdir -p, leaving the modes to the umask.
bool makeFolders(const std::string &path, std::string *error)
{
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        struct stat st;
        if (!(stat(part.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) && mkdir(part.c_str(), 0777) != 0
            && errno != EEXIST) {
            *error = part + ": " + std::strerror(errno);
            return false;
        }
        if (slash == std::string::npos)
            return true;
    }
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

class Recorder
{
public:
    Recorder(const RecordOptions &options, const std::string &folder, Grabber *grabber)
        : options(options), folder(folder), grabber(grabber)
    { }
    ~Recorder() { end(); }

    // One tick of the clock; `late` ticks were missed since the last one.
    // True when a take began: its clock starts once ffmpeg has taken the
    // first frame, its start-up being no frame missed.
    bool tick(int64_t now, long late)
    {
        if (!captureOn()) {
            end();
            waitForOff = false;
            settle = false;
            return false;
        }
        if (waitForOff)
            return false;
        Region area;
        const bool has = currentArea(&area);
        if (take && has && area.width == take->area.width && area.height == take->area.height) {
            take->dropped += late;
            record(area);
            return false;
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
            return false;
        }
        waiting = false;
        if (settle) {
            if (area.width != lastSize.width || area.height != lastSize.height)
                stillSince = now;
            lastSize = area;
            if (now - stillSince < 500000000)
                return false;
        }
        begin(area);
        return true;
    }

    void end()
    {
        if (!take)
            return;
        const std::string problem = finishTake(&*take);
        grabber->release();
        if (problem.empty()) {
            char seconds[32];
            std::snprintf(seconds, sizeof seconds, "%.1f", double(take->frames) / options.fps);
            print(options.json ? "{\"event\":\"saved\",\"file\":" + jsonString(take->file)
                          + ",\"seconds\":" + seconds
                          + ",\"frames\":" + std::to_string(take->frames)
                          + ",\"dropped\":" + std::to_string(take->dropped) + "}"
                               : "saved " + take->file + ": " + seconds + " s, "
                          + std::to_string(take->frames) + " frames, "
                          + std::to_string(take->dropped) + " dropped");
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
            std::fprintf(stderr,
                         "%s: no take: %s; the next starts when capture is switched on again\n",
                         program, error.c_str());
            waitForOff = true;
            return;
        }
        take.emplace();
        const bool started
            = startTake({ area.x, area.y, grabber->frameWidth(), grabber->frameHeight() }, folder,
                        options.fps, &*take, &error);
        take->area = area; // the store's size, against which a resize is told
        if (!started) {
            take.reset();
            grabber->release();
            std::fprintf(stderr, "%s: cannot start a take: %s\n", program, error.c_str());
            waitForOff = true;
            return;
        }
        // Told once ffmpeg has taken the first frame: it is running then, and
        // ready to finish the file whatever happens to record.
        record(area);
        if (!take)
            return;
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

    void record(const Region &area)
    {
        std::string why;
        if (grabber->ended(&why)) {
            const std::string problem = finishTake(&*take);
            grabber->release();
            fail(problem.empty() ? why : problem);
            take.reset();
            return;
        }
        const uint8_t *pixels = grabber->grab(area.x, area.y);
        if (!pixels) {
            ++take->dropped;
            return;
        }
        if (!sendFrame(*take, pixels, grabber->frameBytes())) {
            // EPIPE mostly: ffmpeg is gone (a full disk, a crash); its own
            // message is on stderr already.
            why = std::strerror(errno);
            const std::string problem = finishTake(&*take);
            grabber->release();
            fail(problem.empty() ? "ffmpeg stopped reading (" + why + ")" : problem);
            take.reset();
            return;
        }
        ++take->frames;
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
    }

    void print(const std::string &line)
    {
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    }

    const RecordOptions &options;
    const std::string folder;
    Grabber *grabber;
    std::optional<Take> take;
    bool waitForOff = false; // after a failed take, until capture is switched off
    bool settle = false; // after a size change, until the size is still
    bool waiting = false; // told that the region has no inside
    Region lastSize;
    int64_t stillSince = 0;
};

} // namespace

int runRecord(const RecordOptions &options)
{
    if (!keyExists())
        return missingKey();
    if (!onPath("ffmpeg"))
        return failure("no ffmpeg on the PATH: record encodes with it (apt install ffmpeg)");
    // A dead ffmpeg shows as EPIPE from write(), not as a signal that ends us.
    std::signal(SIGPIPE, SIG_IGN);
    const Descriptor stop(stopSignalDescriptor());
    if (stop.get() < 0)
        return failure(std::string("cannot catch the stop signals: ") + std::strerror(errno));

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
            options.fps);
    else
        grabber = std::make_unique<X11Grabber>();
    std::string error;
    if (!grabber->open(&error))
        return failure(error);
    const std::string folder = options.folder ? *options.folder : videosFolder();
    if (folder.empty())
        return failure("no videos folder: HOME is not set (give --dir)");
    if (!makeFolders(folder, &error))
        return failure("cannot create the videos folder " + error);

    Recorder recorder(options, folder, grabber.get());
    const int64_t period = 1000000000 / options.fps;
    int64_t next = nowNs();
    for (;;) {
        const int64_t wait = std::max<int64_t>(next - nowNs(), 0);
        const timespec timeout = { time_t(wait / 1000000000), long(wait % 1000000000) };
        pollfd fds[1] = { { stop.get(), POLLIN, 0 } };
        if (ppoll(fds, 1, &timeout, nullptr) < 0 && errno != EINTR)
            return failure(std::string("poll: ") + std::strerror(errno));
        if (fds[0].revents) {
            recorder.end();
            return 0;
        }
        const int64_t now = nowNs();
        if (now < next)
            continue;
        // A tick missed is a frame missed: the clock does not wait for us.
        const long late = long((now - next) / period);
        next += (late + 1) * period;
        if (recorder.tick(now, late))
            next = nowNs() + period;
        if (grabber->broken()) {
            recorder.end();
            return failure("the X display went away");
        }
    }
}
