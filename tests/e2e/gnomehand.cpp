// A hand and an eye on a headless GNOME compositor, for the end-to-end
// tests: its own remote-desktop pointer, and the screen read back through its
// own screen cast (neither asks anyone). Reads commands on standard input,
// answers each with one line:
//
//     move X Y       the pointer to (X, Y)           ok
//     down | up      the left button                 ok
//     find RRGGBB    the largest solid rectangle of that colour now
//                                                    X Y W H, or none
//
// Prints "ready" once both work; exits 1 with a line on standard error when
// they do not come up within 10 s.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include <pipewire/pipewire.h>
#include <spa/param/video/format-utils.h>
#include <spa/pod/builder.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

namespace {

const char remoteDesktop[] = "org.gnome.Mutter.RemoteDesktop";
const char screenCast[] = "org.gnome.Mutter.ScreenCast";

sd_bus *bus = nullptr;
std::string remoteSession;
std::string stream; // the screen cast's stream, which the pointer's positions refer to
uint32_t node = SPA_ID_INVALID;

pw_loop *loop = nullptr;
pw_stream *video = nullptr;
pw_buffer *newest = nullptr;
int32_t width = 0, height = 0;

[[noreturn]] void die(const std::string &why)
{
    std::fprintf(stderr, "gnomehand: %s\n", why.c_str());
    std::exit(1);
}

void check(int r, const char *method, const sd_bus_error &error)
{
    if (r < 0)
        die(std::string(method) + ": " + (error.message ? error.message : std::strerror(-r)));
}

// The object path a call answered with.
std::string pathOf(int r, const char *method, sd_bus_error *error, sd_bus_message *reply)
{
    check(r, method, *error);
    const char *path = nullptr;
    check(sd_bus_message_read_basic(reply, 'o', &path), method, *error);
    const std::string result = path;
    sd_bus_message_unref(reply);
    return result;
}

int onStreamAdded(sd_bus_message *message, void *, sd_bus_error *)
{
    sd_bus_message_read_basic(message, 'u', &node);
    return 1;
}

void onProcess(void *)
{
    while (pw_buffer *buffer = pw_stream_dequeue_buffer(video)) {
        if (!buffer->buffer->datas[0].data || buffer->buffer->datas[0].chunk->size == 0) {
            pw_stream_queue_buffer(video, buffer);
            continue;
        }
        if (newest)
            pw_stream_queue_buffer(video, newest);
        newest = buffer;
    }
}

void onParamChanged(void *, uint32_t id, const spa_pod *param)
{
    spa_video_info_raw info {};
    if (param && id == SPA_PARAM_Format && spa_format_video_raw_parse(param, &info) >= 0) {
        width = int32_t(info.size.width);
        height = int32_t(info.size.height);
    }
}

void onRemoveBuffer(void *, pw_buffer *buffer)
{
    if (newest == buffer)
        newest = nullptr;
}

void watchScreen()
{
    static pw_stream_events events {};
    events.version = PW_VERSION_STREAM_EVENTS;
    events.process = onProcess;
    events.param_changed = onParamChanged;
    events.remove_buffer = onRemoveBuffer;
    static spa_hook listener {};
    pw_context *context = pw_context_new(loop, nullptr, 0);
    pw_core *core = context ? pw_context_connect(context, nullptr, 0) : nullptr;
    if (!core)
        die("no PipeWire daemon");
    video
        = pw_stream_new(core, "gnomehand", pw_properties_new(PW_KEY_MEDIA_TYPE, "Video", nullptr));
    pw_stream_add_listener(video, &listener, &events, nullptr);
    uint8_t space[512];
    spa_pod_builder builder;
    spa_pod_builder_init(&builder, space, sizeof space);
    spa_pod_frame frame;
    spa_rectangle size { 1280, 720 }, smallest { 1, 1 }, largest { 8192, 8192 };
    spa_pod_builder_push_object(&builder, &frame, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat);
    spa_pod_builder_add(&builder, SPA_FORMAT_mediaType, "I", SPA_MEDIA_TYPE_video,
                        SPA_FORMAT_mediaSubtype, "I", SPA_MEDIA_SUBTYPE_raw,
                        SPA_FORMAT_VIDEO_format, "I", SPA_VIDEO_FORMAT_BGRx, SPA_FORMAT_VIDEO_size,
                        "?rR", 3, &size, &smallest, &largest, 0);
    const spa_pod *params[]
        = { static_cast<const spa_pod *>(spa_pod_builder_pop(&builder, &frame)) };
    if (pw_stream_connect(video, PW_DIRECTION_INPUT, node,
                          pw_stream_flags(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS),
                          params, 1)
        < 0)
        die("cannot connect to the screen's stream");
}

// The largest solid rectangle of the colour: a button, a bar, a window, and
// not the lines of that colour elsewhere. Column by column, how many pixels
// of it end at each row; the largest rectangle under those heights.
std::string find(const std::string &colour)
{
    while (pw_loop_iterate(loop, 0) > 0) { }
    const unsigned long rgb = std::strtoul(colour.c_str(), nullptr, 16);
    const uint8_t want[3] = { uint8_t(rgb), uint8_t(rgb >> 8), uint8_t(rgb >> 16) }; // B, G, R
    if (!newest)
        return "none";
    const spa_data &data = newest->buffer->datas[0];
    const int32_t stride = data.chunk->stride > 0 ? data.chunk->stride : width * 4;
    if (uint64_t(stride) * height + data.chunk->offset > data.maxsize)
        return "none";
    std::vector<int32_t> heights(std::size_t(width) + 1, 0), starts;
    int64_t best = 0;
    int32_t bestX = 0, bestY = 0, bestWidth = 0, bestHeight = 0;
    for (int32_t y = 0; y < height; ++y) {
        const auto *row = static_cast<const uint8_t *>(data.data) + data.chunk->offset
            + std::size_t(y) * stride;
        for (int32_t x = 0; x < width; ++x)
            heights[std::size_t(x)]
                = std::memcmp(row + x * 4, want, 3) == 0 ? heights[std::size_t(x)] + 1 : 0;
        starts.clear();
        for (int32_t x = 0; x <= width; ++x) {
            while (!starts.empty()
                   && heights[std::size_t(starts.back())] >= heights[std::size_t(x)]) {
                const int32_t tall = heights[std::size_t(starts.back())];
                starts.pop_back();
                const int32_t left = starts.empty() ? 0 : starts.back() + 1;
                if (int64_t(tall) * (x - left) > best) {
                    best = int64_t(tall) * (x - left);
                    bestX = left, bestY = y - tall + 1, bestWidth = x - left, bestHeight = tall;
                }
            }
            starts.push_back(x);
        }
    }
    if (best == 0)
        return "none";
    std::ostringstream bounds;
    bounds << bestX << ' ' << bestY << ' ' << bestWidth << ' ' << bestHeight;
    return bounds.str();
}

void move(double x, double y)
{
    sd_bus_error error = SD_BUS_ERROR_NULL;
    check(sd_bus_call_method(
              bus, remoteDesktop, remoteSession.c_str(), "org.gnome.Mutter.RemoteDesktop.Session",
              "NotifyPointerMotionAbsolute", &error, nullptr, "sdd", stream.c_str(), x, y),
          "NotifyPointerMotionAbsolute", error);
}

void button(bool down)
{
    sd_bus_error error = SD_BUS_ERROR_NULL;
    check(sd_bus_call_method(bus, remoteDesktop, remoteSession.c_str(),
                             "org.gnome.Mutter.RemoteDesktop.Session", "NotifyPointerButton",
                             &error, nullptr, "ib", 272, int(down)), // BTN_LEFT
          "NotifyPointerButton", error);
}

bool finished = false;
std::string pending;

void command(const std::string &line)
{
    std::istringstream words(line);
    std::string name, colour;
    double x = 0, y = 0;
    words >> name;
    if (name == "move" && words >> x >> y)
        move(x, y);
    else if (name == "down" || name == "up")
        button(name == "down");
    if (name == "find" && words >> colour)
        std::cout << find(colour) << std::endl;
    else
        std::cout << "ok" << std::endl;
}

void onInput(void *, int fd, uint32_t)
{
    char chunk[256];
    const ssize_t got = read(fd, chunk, sizeof chunk);
    if (got <= 0) {
        finished = true;
        return;
    }
    pending.append(chunk, std::size_t(got));
    for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
        command(pending.substr(0, end));
        pending.erase(0, end + 1);
    }
}

} // namespace

int main()
{
    if (sd_bus_open_user(&bus) < 0)
        die("no session bus");
    const char session[] = "org.gnome.Mutter.RemoteDesktop.Session";
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message *reply = nullptr;
    int r = sd_bus_call_method(bus, remoteDesktop, "/org/gnome/Mutter/RemoteDesktop", remoteDesktop,
                               "CreateSession", &error, &reply, "");
    remoteSession = pathOf(r, "CreateSession", &error, reply);
    char *id = nullptr;
    check(sd_bus_get_property_string(bus, remoteDesktop, remoteSession.c_str(), session,
                                     "SessionId", &error, &id),
          "SessionId", error);
    // A screen cast linked to the remote desktop: its stream is what the
    // pointer's positions refer to, and the screen the eye reads.
    r = sd_bus_call_method(bus, screenCast, "/org/gnome/Mutter/ScreenCast", screenCast,
                           "CreateSession", &error, &reply, "a{sv}", 1, "remote-desktop-session-id",
                           "s", id);
    std::free(id);
    const std::string castSession = pathOf(r, "CreateSession", &error, reply);
    r = sd_bus_call_method(bus, screenCast, castSession.c_str(),
                           "org.gnome.Mutter.ScreenCast.Session", "RecordMonitor", &error, &reply,
                           "sa{sv}", "", 0);
    stream = pathOf(r, "RecordMonitor", &error, reply);
    check(sd_bus_match_signal(bus, nullptr, nullptr, stream.c_str(),
                              "org.gnome.Mutter.ScreenCast.Stream", "PipeWireStreamAdded",
                              onStreamAdded, nullptr),
          "PipeWireStreamAdded", error);
    check(sd_bus_call_method(bus, remoteDesktop, remoteSession.c_str(), session, "Start", &error,
                             nullptr, ""),
          "Start", error);

    pw_init(nullptr, nullptr);
    loop = pw_loop_new(nullptr);
    pw_loop_enter(loop);
    for (int waited = 0; !newest; waited += 20) {
        if (waited > 10000)
            die("no screen in 10 s");
        if (node == SPA_ID_INVALID) {
            if (sd_bus_process(bus, nullptr) == 0)
                sd_bus_wait(bus, 20000);
            if (node != SPA_ID_INVALID)
                watchScreen();
        } else {
            pw_loop_iterate(loop, 20);
        }
    }
    std::cout << "ready" << std::endl;
    // Commands come in between frames: the stream must be served while the
    // test sleeps, or the compositor runs out of buffers and stops sending.
    spa_source *input = pw_loop_add_io(loop, STDIN_FILENO, SPA_IO_IN, false, onInput, nullptr);
    while (!finished)
        pw_loop_iterate(loop, -1);
    pw_loop_destroy_source(loop, input);
    return 0;
}
