// record: takes of the region inside the frame while the capture flag is on.
// The frames are grabbed here, from wherever the region is at each tick, so
// that a moving frame is followed within one file; ffmpeg only encodes.
#include "commands.h"
#include "frame.h"
#include "key.h"
#include "recording.h"
#include "settings.h"
#include "stopsignal.h"

#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/ipc.h>
#include <sys/prctl.h>
#include <sys/shm.h>
#include <sys/stat.h>
#include <sys/wait.h>
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

// The root window's pixels, through a shared-memory segment when the server
// offers one (the image lands in our memory with no copy through the socket),
// else through plain GetImage.
class Grabber
{
public:
    ~Grabber()
    {
        detach();
        if (connection)
            xcb_disconnect(connection);
    }

    bool open(std::string *error)
    {
        const std::string display = environment("DISPLAY");
        if (display.empty()) {
            *error = "no X display (DISPLAY is not set); record grabs an X11 screen";
            return false;
        }
        int number = 0;
        connection = xcb_connect(nullptr, &number);
        if (xcb_connection_has_error(connection)) {
            *error = "cannot open the X display " + display;
            return false;
        }
        const xcb_setup_t *setup = xcb_get_setup(connection);
        xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
        for (int i = 0; i < number && screens.rem; ++i)
            xcb_screen_next(&screens);
        const xcb_screen_t *screen = screens.data;
        root = screen->root;
        screenWidth = screen->width_in_pixels;
        screenHeight = screen->height_in_pixels;
        // The encoder is told bgr0: 32 bits a pixel, least significant byte first.
        bool wide = false;
        for (auto formats = xcb_setup_pixmap_formats_iterator(setup); formats.rem;
             xcb_format_next(&formats))
            wide |= formats.data->depth == screen->root_depth && formats.data->bits_per_pixel == 32;
        if (!wide || screen->root_depth < 24
            || setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST) {
            *error = "the X screen's pixels (depth " + std::to_string(screen->root_depth)
                + ") are not 32-bit BGR";
            return false;
        }
        const xcb_query_extension_reply_t *extension
            = xcb_get_extension_data(connection, &xcb_shm_id);
        shm = extension && extension->present;
        return true;
    }

    // Sizes the buffers for a take's area, on the screen as it is now.
    void prepare(int32_t width, int32_t height)
    {
        std::unique_ptr<xcb_get_geometry_reply_t, decltype(&std::free)> geometry(
            xcb_get_geometry_reply(connection, xcb_get_geometry(connection, root), nullptr),
            &std::free);
        if (geometry) {
            screenWidth = geometry->width;
            screenHeight = geometry->height;
        }
        areaWidth = width;
        areaHeight = height;
        frame.assign(std::size_t(width) * height * 4, 0);
        detach();
        if (shm && !attach(frame.size()))
            shm = false; // a remote server, or no segment to be had
    }

    std::size_t frameBytes() const { return frame.size(); }
    bool broken() const { return xcb_connection_has_error(connection) != 0; }

    // The area's pixels now, black where it leaves the screen; null when the
    // server refuses.
    const uint8_t *grab(int32_t x, int32_t y)
    {
        ScreenPart part;
        if (!screenPart({ x, y, areaWidth, areaHeight }, screenWidth, screenHeight, &part)) {
            std::memset(frame.data(), 0, frame.size());
            return frame.data();
        }
        const bool whole = part.width == areaWidth && part.height == areaHeight;
        const uint8_t *pixels = nullptr;
        xcb_generic_error_t *error = nullptr; // taken here, or it would queue up unread
        std::unique_ptr<xcb_get_image_reply_t, decltype(&std::free)> plain(nullptr, &std::free);
        if (segmentData) {
            auto *reply = xcb_shm_get_image_reply(
                connection,
                xcb_shm_get_image(connection, root, int16_t(part.screenX), int16_t(part.screenY),
                                  uint16_t(part.width), uint16_t(part.height), ~0u,
                                  XCB_IMAGE_FORMAT_Z_PIXMAP, segment, 0),
                &error);
            std::free(error);
            if (reply) {
                std::free(reply);
                if (whole)
                    return segmentData;
                pixels = segmentData;
            } else {
                detach(); // go on without it
            }
        }
        if (!pixels) {
            plain.reset(
                xcb_get_image_reply(connection,
                                    xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, root,
                                                  int16_t(part.screenX), int16_t(part.screenY),
                                                  uint16_t(part.width), uint16_t(part.height), ~0u),
                                    &error));
            std::free(error);
            if (!plain || xcb_get_image_data_length(plain.get()) < part.width * part.height * 4)
                return nullptr;
            pixels = xcb_get_image_data(plain.get());
            if (whole) {
                std::memcpy(frame.data(), pixels, frame.size());
                return frame.data();
            }
        }
        std::memset(frame.data(), 0, frame.size());
        const std::size_t row = std::size_t(part.width) * 4;
        for (int32_t line = 0; line < part.height; ++line)
            std::memcpy(frame.data()
                            + (std::size_t(part.areaY + line) * areaWidth + part.areaX) * 4,
                        pixels + line * row, row);
        return frame.data();
    }

private:
    bool attach(std::size_t size)
    {
        const int id = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
        if (id < 0)
            return false;
        void *data = shmat(id, nullptr, 0);
        segment = xcb_generate_id(connection);
        xcb_generic_error_t *error = data == reinterpret_cast<void *>(-1)
            ? nullptr
            : xcb_request_check(connection, xcb_shm_attach_checked(connection, segment, id, 0));
        // Marked for removal at once: it goes with the last of us and the server.
        shmctl(id, IPC_RMID, nullptr);
        if (data == reinterpret_cast<void *>(-1))
            return false;
        if (error) {
            std::free(error);
            shmdt(data);
            return false;
        }
        segmentData = static_cast<uint8_t *>(data);
        return true;
    }

    void detach()
    {
        if (!segmentData)
            return;
        xcb_shm_detach(connection, segment);
        xcb_flush(connection);
        shmdt(segmentData);
        segmentData = nullptr;
    }

    xcb_connection_t *connection = nullptr;
    xcb_window_t root = 0;
    int32_t screenWidth = 0;
    int32_t screenHeight = 0;
    bool shm = false;
    xcb_shm_seg_t segment = 0;
    uint8_t *segmentData = nullptr;
    int32_t areaWidth = 0;
    int32_t areaHeight = 0;
    std::vector<uint8_t> frame;
};

// One file: an ffmpeg encoding what is written into its standard input.
struct Take
{
    std::string file;
    Region area;
    pid_t encoder = -1;
    Descriptor input;
    long frames = 0;
    long dropped = 0;
};

// A name of this second that is not taken yet, created empty so that no
// other take can have it.
bool reserveFile(const std::string &folder, std::string *path, std::string *error)
{
    const std::time_t now = std::time(nullptr);
    std::tm local;
    localtime_r(&now, &local);
    for (int attempt = 1; attempt < 1000; ++attempt) {
        *path = folder + '/' + takeFileName(local, attempt);
        const int fd = open(path->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            close(fd);
            return true;
        }
        if (errno != EEXIST) {
            *error = *path + ": " + std::strerror(errno);
            return false;
        }
    }
    *error = "no free file name in " + folder;
    return false;
}

bool startTake(const Region &area, const std::string &folder, int fps, Take *take,
               std::string *error)
{
    if (!reserveFile(folder, &take->file, error))
        return false;
    take->area = area;
    const std::string size = std::to_string(area.width) + 'x' + std::to_string(area.height);
    const std::string rate = std::to_string(fps);
    const std::vector<const char *> arguments
        = { "ffmpeg",     "-hide_banner",     "-nostdin",   "-loglevel", "error",
            "-f",         "rawvideo",         "-pix_fmt",   "bgr0",      "-video_size",
            size.c_str(), "-framerate",       rate.c_str(), "-i",        "-",
            "-c:v",       "libx264",          "-preset",    "veryfast",  "-crf",
            "23",         "-pix_fmt",         "yuv420p",    "-f",        "matroska",
            "-y",         take->file.c_str(), nullptr };
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        *error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child == 0) {
        // If record dies, ffmpeg is told to finish the file: a Matroska file
        // then keeps all it was given.
        prctl(PR_SET_PDEATHSIG, SIGINT);
        if (getppid() != parent)
            _exit(1);
        // Its own group: a Ctrl-C in the terminal is record's to handle.
        setpgid(0, 0);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        signal(SIGPIPE, SIG_DFL);
        dup2(fds[0], 0);
        dup2(2, 1); // record's standard output is for its own lines
        execvp("ffmpeg", const_cast<char *const *>(arguments.data()));
        _exit(127);
    }
    close(fds[0]);
    if (child < 0) {
        close(fds[1]);
        *error = std::string("fork: ") + std::strerror(errno);
        return false;
    }
    take->encoder = child;
    take->input.reset(fds[1]);
    // Room for a frame or so, so that a brief stall of the encoder is not one of ours.
    fcntl(fds[1], F_SETPIPE_SZ, 1 << 20);
    return true;
}

// Closing its input lets ffmpeg finish the file; the empty string when it did.
std::string finishTake(Take *take)
{
    take->input.reset();
    int status = 0;
    while (waitpid(take->encoder, &status, 0) < 0 && errno == EINTR) { }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return {};
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127)
        return "ffmpeg could not be started";
    if (WIFEXITED(status))
        return "ffmpeg failed (exit status " + std::to_string(WEXITSTATUS(status)) + ")";
    return std::string("ffmpeg was killed (") + strsignal(WTERMSIG(status)) + ")";
}

bool writeAll(int fd, const uint8_t *data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = write(fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= std::size_t(written);
    }
    return true;
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
        take.emplace();
        std::string error;
        if (!startTake(area, folder, options.fps, &*take, &error)) {
            take.reset();
            std::fprintf(stderr, "%s: cannot start a take: %s\n", program, error.c_str());
            waitForOff = true;
            return;
        }
        grabber->prepare(area.width, area.height);
        const std::string size = std::to_string(area.width) + 'x' + std::to_string(area.height);
        print(options.json ? "{\"event\":\"recording\",\"file\":" + jsonString(take->file)
                      + ",\"width\":" + std::to_string(area.width) + ",\"height\":"
                      + std::to_string(area.height) + ",\"x\":" + std::to_string(area.x)
                      + ",\"y\":" + std::to_string(area.y) + "}"
                           : "recording " + take->file + ": " + size + " at "
                      + std::to_string(area.x) + "," + std::to_string(area.y));
        record(area);
    }

    void record(const Region &area)
    {
        const uint8_t *pixels = grabber->grab(area.x, area.y);
        if (!pixels) {
            ++take->dropped;
            return;
        }
        if (!writeAll(take->input.get(), pixels, grabber->frameBytes())) {
            // EPIPE mostly: ffmpeg is gone (a full disk, a crash); its own
            // message is on stderr already.
            const std::string why = std::strerror(errno);
            const std::string problem = finishTake(&*take);
            fail(problem.empty() ? "ffmpeg stopped reading (" + why + ")" : problem);
            take.reset();
            return;
        }
        ++take->frames;
    }

    void fail(const std::string &problem)
    {
        waitForOff = true;
        std::fprintf(stderr,
                     "%s: the take %s ended: %s; the next starts when capture is switched on "
                     "again\n",
                     program, take->file.c_str(), problem.c_str());
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
    if (!options.onWayland
        && (environment("XDG_SESSION_TYPE") == "wayland"
            || !environment("WAYLAND_DISPLAY").empty()))
        return failure("a Wayland session: an X grab sees only the X11 windows and records the "
                       "rest black (--on-wayland records anyway)");
    std::string error;
    Grabber grabber;
    if (!grabber.open(&error))
        return failure(error);
    const std::string folder = options.folder ? *options.folder : videosFolder();
    if (folder.empty())
        return failure("no videos folder: HOME is not set (give --dir)");
    if (!makeFolders(folder, &error))
        return failure("cannot create the videos folder " + error);

    // A dead ffmpeg shows as EPIPE from write(), not as a signal that ends us.
    std::signal(SIGPIPE, SIG_IGN);
    const Descriptor stop(stopSignalDescriptor());
    if (stop.get() < 0)
        return failure(std::string("cannot catch the stop signals: ") + std::strerror(errno));

    Recorder recorder(options, folder, &grabber);
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
        if (grabber.broken()) {
            recorder.end();
            return failure("the X display went away");
        }
    }
}
