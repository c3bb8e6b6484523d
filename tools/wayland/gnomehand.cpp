// A hand and an eye on a headless GNOME compositor, for the end-to-end
// tests and the benchmarks: its own remote-desktop pointer, and the screen
// read back through its own screen cast (neither asks anyone). Reads commands
// on standard input, answers each with one line:
//
//     move X Y | down | up   the pointer there, the left button    done
//     wait MS                a pause, the screen still served       done
//     sync                   all before it taken by mutter           ok
//     find RRGGBB            the largest solid rectangle of that colour now,
//                            X Y W H, or none
//     shot X Y W H FILE      that part of the screen into FILE as a
//                            PPM image                               done
//
// The same commands as zorvi_vpointer's, which answers sync alone: mutter
// has taken a pointer call once it returns.
// Prints "ready" once both work; exits 1 with a line on standard error when
// they do not come up within 10 s.
#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
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
sd_bus *bus = nullptr;
std::string session; // the remote desktop's
std::string stream; // the screen cast's, which the pointer's positions refer to
uint32_t node = SPA_ID_INVALID;
pw_loop *loop = nullptr;
pw_stream *video = nullptr;
pw_buffer *newest = nullptr;
spa_source *input = nullptr;
int32_t width = 0, height = 0;
bool finished = false;

[[noreturn]] void die(const std::string &why)
{
    std::fprintf(stderr, "gnomehand: %s\n", why.c_str());
    std::exit(1);
}

// Calls a method; its answer's object path, if it has one.
std::string call(const char *service, const std::string &path, const char *interface,
                 const char *method, const char *types, ...)
{
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message *reply = nullptr;
    va_list arguments;
    va_start(arguments, types);
    const int r = sd_bus_call_methodv(bus, service, path.c_str(), interface, method, &error, &reply,
                                      types, arguments);
    va_end(arguments);
    if (r < 0)
        die(std::string(method) + ": " + (error.message ? error.message : std::strerror(-r)));
    const char *answer = nullptr;
    const std::string result = sd_bus_message_read_basic(reply, 'o', &answer) > 0 ? answer : "";
    sd_bus_message_unref(reply);
    return result;
}

int onStreamAdded(sd_bus_message *message, void *, sd_bus_error *)
{
    return sd_bus_message_read_basic(message, 'u', &node);
}

void onProcess(void *)
{
    while (pw_buffer *buffer = pw_stream_dequeue_buffer(video)) {
        const bool empty = !buffer->buffer->datas[0].data || !buffer->buffer->datas[0].chunk->size;
        if (!empty)
            std::swap(newest, buffer);
        if (buffer)
            pw_stream_queue_buffer(video, buffer);
    }
}

void onParamChanged(void *, uint32_t id, const spa_pod *param)
{
    spa_video_info_raw info {};
    if (param && id == SPA_PARAM_Format && spa_format_video_raw_parse(param, &info) >= 0)
        width = int32_t(info.size.width), height = int32_t(info.size.height);
}

void onRemoveBuffer(void *, pw_buffer *buffer)
{
    newest = newest == buffer ? nullptr : newest;
}

void watchScreen()
{
    static pw_stream_events events {};
    events.version = PW_VERSION_STREAM_EVENTS;
    events.param_changed = onParamChanged;
    events.remove_buffer = onRemoveBuffer;
    events.process = onProcess;
    static spa_hook listener {};
    pw_core *core = pw_context_connect(pw_context_new(loop, nullptr, 0), nullptr, 0);
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
    const spa_pod *params[] = { static_cast<spa_pod *>(spa_pod_builder_pop(&builder, &frame)) };
    if (pw_stream_connect(video, PW_DIRECTION_INPUT, node,
                          pw_stream_flags(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS),
                          params, 1)
        < 0)
        die("cannot connect to the screen's stream");
}

// The largest solid rectangle of the colour: a button, a bar, a window, not
// the lines of that colour elsewhere. Row by row, how many pixels of it end
// there in each column; the largest rectangle under those heights.
std::string find(const std::string &colour)
{
    const unsigned long rgb = std::strtoul(colour.c_str(), nullptr, 16);
    const uint8_t want[3] = { uint8_t(rgb), uint8_t(rgb >> 8), uint8_t(rgb >> 16) }; // B, G, R
    const spa_data *data = newest ? &newest->buffer->datas[0] : nullptr;
    const int32_t stride = data && data->chunk->stride > 0 ? data->chunk->stride : width * 4;
    if (!data || uint64_t(stride) * height + data->chunk->offset > data->maxsize)
        return "none";
    std::vector<int32_t> heights(std::size_t(width) + 1, 0), starts;
    int64_t best = 0;
    std::ostringstream bounds;
    for (int32_t y = 0; y < height; ++y) {
        const auto *row = static_cast<const uint8_t *>(data->data) + data->chunk->offset
            + std::size_t(y) * stride;
        for (int32_t x = 0; x < width; ++x)
            heights[x] = std::memcmp(row + x * 4, want, 3) == 0 ? heights[x] + 1 : 0;
        starts.clear();
        for (int32_t x = 0; x <= width; starts.push_back(x++)) {
            while (!starts.empty() && heights[starts.back()] >= heights[x]) {
                const int32_t tall = heights[starts.back()];
                starts.pop_back();
                const int32_t left = starts.empty() ? 0 : starts.back() + 1;
                if (int64_t(tall) * (x - left) > best) {
                    best = int64_t(tall) * (x - left);
                    bounds.str("");
                    bounds << left << ' ' << y - tall + 1 << ' ' << x - left << ' ' << tall;
                }
            }
        }
    }
    return best ? bounds.str() : "none";
}

std::string shot(int32_t x, int32_t y, int32_t w, int32_t h, const std::string &path)
{
    const spa_data *data = newest ? &newest->buffer->datas[0] : nullptr;
    const int32_t stride = data && data->chunk->stride > 0 ? data->chunk->stride : width * 4;
    if (!data || x < 0 || y < 0 || w <= 0 || h <= 0 || x + w > width || y + h > height
        || uint64_t(stride) * height + data->chunk->offset > data->maxsize)
        return "none";
    std::ofstream file(path, std::ios::binary);
    file << "P6\n" << w << ' ' << h << "\n255\n";
    for (int32_t row = y; row < y + h; ++row) {
        const auto *pixel = static_cast<const uint8_t *>(data->data) + data->chunk->offset
            + std::size_t(row) * stride + std::size_t(x) * 4;
        for (int32_t column = 0; column < w; ++column, pixel += 4) {
            const char rgb[3] = { char(pixel[2]), char(pixel[1]), char(pixel[0]) };
            file.write(rgb, 3);
        }
    }
    return file.flush() ? "done" : "none";
}

// A pause that keeps taking the stream's frames, with the commands after it
// left waiting in their pipe.
void pause(int milliseconds)
{
    pw_loop_update_io(loop, input, 0);
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (auto now = std::chrono::steady_clock::now(); now < end;
         now = std::chrono::steady_clock::now())
        pw_loop_iterate(
            loop,
            int(std::chrono::duration_cast<std::chrono::milliseconds>(end - now).count()) + 1);
    pw_loop_update_io(loop, input, SPA_IO_IN);
}

void onInput(void *, int fd, uint32_t)
{
    static std::string pending;
    char chunk[256];
    const ssize_t got = read(fd, chunk, sizeof chunk);
    finished = got <= 0;
    pending.append(chunk, std::size_t(std::max<ssize_t>(got, 0)));
    const std::string target = "org.gnome.Mutter.RemoteDesktop.Session";
    for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
        std::istringstream words(pending.substr(0, end));
        pending.erase(0, end + 1);
        std::string name, colour, path;
        double x = 0, y = 0;
        int32_t left = 0, top = 0, w = 0, h = 0, milliseconds = 0;
        std::string answer = "done";
        words >> name;
        if (name == "move" && words >> x >> y)
            call(remoteDesktop, session, target.c_str(), "NotifyPointerMotionAbsolute", "sdd",
                 stream.c_str(), x, y);
        else if (name == "down" || name == "up") // BTN_LEFT
            call(remoteDesktop, session, target.c_str(), "NotifyPointerButton", "ib", 272,
                 int(name == "down"));
        else if (name == "wait" && words >> milliseconds)
            pause(milliseconds);
        else if (name == "sync")
            answer = "ok";
        else if (name == "find" && words >> colour)
            answer = find(colour);
        else if (name == "shot" && words >> left >> top >> w >> h >> path)
            answer = shot(left, top, w, h, path);
        std::cout << answer << std::endl;
    }
}

} // namespace

int main()
{
    if (sd_bus_open_user(&bus) < 0)
        die("no session bus");
    session = call(remoteDesktop, "/org/gnome/Mutter/RemoteDesktop", remoteDesktop, "CreateSession",
                   "");
    char *id = nullptr;
    if (sd_bus_get_property_string(bus, remoteDesktop, session.c_str(),
                                   "org.gnome.Mutter.RemoteDesktop.Session", "SessionId", nullptr,
                                   &id)
        < 0)
        die("no remote-desktop session id");
    // A screen cast linked to the remote desktop: its stream is what the
    // pointer's positions refer to, and the screen the eye reads.
    const char screenCast[] = "org.gnome.Mutter.ScreenCast";
    const std::string cast
        = call(screenCast, "/org/gnome/Mutter/ScreenCast", screenCast, "CreateSession", "a{sv}", 1,
               "remote-desktop-session-id", "s", id);
    std::free(id);
    stream = call(screenCast, cast, "org.gnome.Mutter.ScreenCast.Session", "RecordMonitor",
                  "sa{sv}", "", 0);
    sd_bus_match_signal(bus, nullptr, nullptr, stream.c_str(), "org.gnome.Mutter.ScreenCast.Stream",
                        "PipeWireStreamAdded", onStreamAdded, nullptr);
    call(remoteDesktop, session, "org.gnome.Mutter.RemoteDesktop.Session", "Start", "");
    pw_init(nullptr, nullptr);
    loop = pw_loop_new(nullptr);
    pw_loop_enter(loop);
    for (int waited = 0; !newest; waited += 20) {
        if (waited > 10000)
            die("no screen in 10 s");
        if (node != SPA_ID_INVALID && !video)
            watchScreen();
        if (video)
            pw_loop_iterate(loop, 20);
        else if (sd_bus_process(bus, nullptr) == 0)
            sd_bus_wait(bus, 20000);
    }
    std::cout << "ready" << std::endl;
    // Commands come in between frames: the stream is served while the test
    // sleeps, or the compositor runs out of buffers and stops sending.
    input = pw_loop_add_io(loop, STDIN_FILENO, SPA_IO_IN, false, onInput, nullptr);
    while (!finished)
        pw_loop_iterate(loop, -1);
    return 0;
}
