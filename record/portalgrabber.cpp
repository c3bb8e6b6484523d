#include "record/portalgrabber.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include <unistd.h>

#include <pipewire/pipewire.h>
#include <spa/param/video/format-utils.h>
#include <spa/pod/builder.h>

// One monitor's stream, and the newest frame it gave.
struct PortalGrabber::Stream
{
    pw_stream *stream = nullptr;
    spa_hook listener {};
    uint32_t format = SPA_VIDEO_FORMAT_UNKNOWN;
    pw_buffer *held = nullptr;
    uint64_t pictures = 0; // how many it has delivered: a compositor sends one when something changed
    StreamMonitor monitor; // the pixels' size once the format is known
    bool started = false;
    bool gone = false; // the compositor took it away
};

namespace {

const std::size_t pixelBytes = 4;

bool framed(const pw_buffer *buffer)
{
    const spa_buffer *b = buffer->buffer;
    return b->n_datas > 0 && b->datas[0].data && b->datas[0].chunk->size > 0
        && !(b->datas[0].chunk->flags & SPA_CHUNK_FLAG_CORRUPTED);
}

void onProcess(void *data)
{
    auto *stream = static_cast<PortalGrabber::Stream *>(data);
    // Only the newest counts: the rest go back at once.
    while (pw_buffer *buffer = pw_stream_dequeue_buffer(stream->stream)) {
        if (!framed(buffer)) {
            pw_stream_queue_buffer(stream->stream, buffer);
            continue;
        }
        if (stream->held)
            pw_stream_queue_buffer(stream->stream, stream->held);
        stream->held = buffer;
        ++stream->pictures;
    }
}

void onRemoveBuffer(void *data, pw_buffer *buffer)
{
    auto *stream = static_cast<PortalGrabber::Stream *>(data);
    if (stream->held == buffer)
        stream->held = nullptr;
}

const spa_pod *buffersParam(spa_pod_builder *builder)
{
    // Memory we can map; a DMA-BUF would need a GPU context to read.
    spa_pod_frame frame;
    spa_pod_builder_push_object(builder, &frame, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers);
    spa_pod_builder_add(builder, SPA_PARAM_BUFFERS_dataType, "?fi", 1,
                        (1 << SPA_DATA_MemFd) | (1 << SPA_DATA_MemPtr), 0);
    return static_cast<const spa_pod *>(spa_pod_builder_pop(builder, &frame));
}

void onParamChanged(void *data, uint32_t id, const spa_pod *param);

void onStateChanged(void *data, pw_stream_state, pw_stream_state state, const char *)
{
    auto *stream = static_cast<PortalGrabber::Stream *>(data);
    stream->started |= state == PW_STREAM_STATE_STREAMING;
    stream->gone |= state == PW_STREAM_STATE_ERROR
        || (stream->started && state == PW_STREAM_STATE_UNCONNECTED);
}

pw_stream_events streamEvents()
{
    pw_stream_events events {};
    events.version = PW_VERSION_STREAM_EVENTS;
    events.state_changed = onStateChanged;
    events.param_changed = onParamChanged;
    events.remove_buffer = onRemoveBuffer;
    events.process = onProcess;
    return events;
}
const pw_stream_events events = streamEvents();

const spa_pod *formatParam(spa_pod_builder *builder, int fps)
{
    // The four orders of 32-bit pixels a compositor gives; x or A is
    // ignored, R and B are swapped for the encoder's bgr0 when need be.
    spa_rectangle size { 1280, 720 }, smallest { 1, 1 }, largest { 16384, 16384 };
    spa_fraction any { 0, 1 }, none { 0, 1 }, most { 1000, 1 };
    spa_fraction wantedRate { uint32_t(fps), 1 }, lowest { 0, 1 }, cap { uint32_t(fps), 1 };
    spa_pod_frame frame;
    spa_pod_builder_push_object(builder, &frame, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat);
    spa_pod_builder_add(builder, SPA_FORMAT_mediaType, "I", SPA_MEDIA_TYPE_video,
                        SPA_FORMAT_mediaSubtype, "I", SPA_MEDIA_SUBTYPE_raw,
                        SPA_FORMAT_VIDEO_format, "?eI", 5, SPA_VIDEO_FORMAT_BGRx,
                        SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRA, SPA_VIDEO_FORMAT_RGBx,
                        SPA_VIDEO_FORMAT_RGBA, SPA_FORMAT_VIDEO_size, "?rR", 3, &size, &smallest,
                        &largest, SPA_FORMAT_VIDEO_framerate, "?rF", 3, &any, &none, &most,
                        // No more frames than the take uses: the compositor
                        // renders each one it sends.
                        SPA_FORMAT_VIDEO_maxFramerate, "?rF", 3, &wantedRate, &lowest, &cap, 0);
    return static_cast<const spa_pod *>(spa_pod_builder_pop(builder, &frame));
}

void onParamChanged(void *data, uint32_t id, const spa_pod *param)
{
    auto *stream = static_cast<PortalGrabber::Stream *>(data);
    if (!param || id != SPA_PARAM_Format)
        return;
    uint32_t mediaType = 0, mediaSubtype = 0;
    spa_video_info_raw info {};
    if (spa_format_parse(param, &mediaType, &mediaSubtype) < 0 || mediaType != SPA_MEDIA_TYPE_video
        || mediaSubtype != SPA_MEDIA_SUBTYPE_raw || spa_format_video_raw_parse(param, &info) < 0)
        return;
    stream->format = info.format;
    stream->monitor.pixelWidth = int32_t(info.size.width);
    stream->monitor.pixelHeight = int32_t(info.size.height);
    // A backend that tells no logical size shares its monitors unscaled.
    if (stream->monitor.logical.width <= 0 || stream->monitor.logical.height <= 0) {
        stream->monitor.logical.width = stream->monitor.pixelWidth;
        stream->monitor.logical.height = stream->monitor.pixelHeight;
    }
    uint8_t space[256];
    spa_pod_builder builder;
    spa_pod_builder_init(&builder, space, sizeof space);
    const spa_pod *params[] = { buffersParam(&builder) };
    pw_stream_update_params(stream->stream, params, 1);
}

// Copies a row of pixels into bgr0.
void copyRow(uint8_t *to, const uint8_t *from, int32_t pixels, bool swapRedBlue)
{
    if (!swapRedBlue) {
        std::memcpy(to, from, std::size_t(pixels) * pixelBytes);
        return;
    }
    for (int32_t i = 0; i < pixels; ++i, to += 4, from += 4) {
        to[0] = from[2];
        to[1] = from[1];
        to[2] = from[0];
        to[3] = 0;
    }
}

} // namespace

PortalGrabber::PortalGrabber(std::function<bool()> wanted, int fps, bool pointer)
    : wanted(std::move(wanted)), fps(fps), portal(pointer)
{ }

PortalGrabber::~PortalGrabber()
{
    release();
    if (loop) {
        pw_loop_leave(loop);
        pw_loop_destroy(loop);
        pw_deinit();
    }
}

bool PortalGrabber::open(std::string *error)
{
    if (!portal.connect(error))
        return false;
    pw_init(nullptr, nullptr);
    loop = pw_loop_new(nullptr);
    if (!loop) {
        pw_deinit();
        *error = "cannot start PipeWire's loop";
        return false;
    }
    // One thread: ours, which runs the loop a little at each grab.
    pw_loop_enter(loop);
    return true;
}

bool PortalGrabber::prepare(const Region &takeArea, std::string *error)
{
    release();
    std::vector<PortalStream> shared;
    const ScreenCastPortal::Answer answer = portal.start(wanted, &shared, error);
    if (answer != ScreenCastPortal::Answer::Started)
        return false;
    const int fd = portal.openPipeWire(error);
    if (fd < 0) {
        release();
        return false;
    }
    context = pw_context_new(loop, nullptr, 0);
    core = context ? pw_context_connect_fd(context, fd, nullptr, 0) : nullptr;
    if (!core) {
        if (!context)
            ::close(fd);
        *error = "cannot connect to PipeWire through the portal";
        release();
        return false;
    }
    uint8_t space[1024];
    for (const PortalStream &source : shared) {
        auto stream = std::make_unique<Stream>();
        stream->monitor.logical = source.logical;
        stream->stream
            = pw_stream_new(core, "zorvi record",
                            pw_properties_new(PW_KEY_MEDIA_TYPE, "Video", PW_KEY_MEDIA_CATEGORY,
                                              "Capture", PW_KEY_MEDIA_ROLE, "Screen", nullptr));
        if (!stream->stream) {
            *error = "cannot make a PipeWire stream";
            release();
            return false;
        }
        pw_stream_add_listener(stream->stream, &stream->listener, &events, stream.get());
        spa_pod_builder builder;
        spa_pod_builder_init(&builder, space, sizeof space);
        const spa_pod *params[] = { formatParam(&builder, fps) };
        if (pw_stream_connect(
                stream->stream, PW_DIRECTION_INPUT, source.node,
                pw_stream_flags(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS), params, 1)
            < 0) {
            *error = "cannot connect to the monitor's PipeWire stream";
            release();
            return false;
        }
        streams.push_back(std::move(stream));
    }
    if (!waitForFirstFrames(error)) {
        release();
        return false;
    }
    monitors.resize(streams.size());
    for (std::size_t i = 0; i < streams.size(); ++i)
        monitors[i] = streams[i]->held ? streams[i]->monitor : StreamMonitor();
    current = startMonitor(monitors, takeArea);
    if (current < 0) {
        // Asking again is the way to share another monitor.
        portal.forget();
        *error = "the frame is on no monitor shared with record; the next take asks again which "
                 "to share";
        release();
        return false;
    }
    if (!streamFrameSize(monitors[std::size_t(current)], takeArea.width, takeArea.height, &width,
                         &height)) {
        *error = "the monitor's stream has no size";
        release();
        return false;
    }
    area = takeArea;
    for (std::vector<uint8_t> &frame : frames)
        frame.assign(std::size_t(width) * height * pixelBytes, 0);
    return true;
}

bool PortalGrabber::waitForFirstFrames(std::string *error)
{
    // A compositor sends each monitor as it is at once; 5 s is for a machine
    // that is very busy. A stream still without a frame then is left out.
    for (int waited = 0; waited < 5000; waited += 50) {
        if (std::all_of(streams.begin(), streams.end(), [](const std::unique_ptr<Stream> &s) {
                return s->held && s->monitor.pixelWidth > 0;
            }))
            return true;
        if (!wanted()) {
            *error = "capture was switched off (or record stopped) before the first frame came";
            return false;
        }
        pw_loop_iterate(loop, 50);
    }
    if (std::any_of(streams.begin(), streams.end(),
                    [](const std::unique_ptr<Stream> &s) { return s->held != nullptr; }))
        return true;
    *error = "the desktop's stream gave no frame in 5 s";
    return false;
}

const uint8_t *PortalGrabber::grab(int32_t x, int32_t y)
{
    while (pw_loop_iterate(loop, 0) > 0) { }
    area.x = x;
    area.y = y;
    for (std::size_t i = 0; i < streams.size(); ++i)
        if (streams[i]->held)
            monitors[i] = streams[i]->monitor; // a new size, after a mode change
    const int before = current;
    current = followMonitor(monitors, current, area);
    const Stream &stream = *streams[std::size_t(current)];
    // No new picture from the same monitor, and the area where it was: the
    // one before stands.
    same = stream.held && current == before && stream.pictures == grabbed.pictures
        && x == grabbed.x && y == grabbed.y;
    grabbed = { stream.pictures, x, y };
    if (same)
        return frames[turn].data();
    turn ^= 1;
    std::vector<uint8_t> &frame = frames[turn];
    ScreenPart part;
    const spa_buffer *buffer = stream.held ? stream.held->buffer : nullptr;
    if (!buffer || !streamPart(monitors[std::size_t(current)], x, y, width, height, &part)) {
        std::memset(frame.data(), 0, frame.size());
        return frame.data();
    }
    const spa_data &data = buffer->datas[0];
    const std::size_t stride = data.chunk->stride > 0
        ? std::size_t(data.chunk->stride)
        : std::size_t(monitors[std::size_t(current)].pixelWidth) * pixelBytes;
    const std::size_t offset = data.chunk->offset % std::max<uint32_t>(data.maxsize, 1);
    // Never past what is mapped, whatever the chunk claims.
    const std::size_t last = offset + std::size_t(part.screenY + part.height - 1) * stride
        + std::size_t(part.screenX + part.width) * pixelBytes;
    if (last > data.maxsize)
        return nullptr;
    if (part.width != width || part.height != height)
        std::memset(frame.data(), 0, frame.size());
    const bool swap
        = stream.format == SPA_VIDEO_FORMAT_RGBx || stream.format == SPA_VIDEO_FORMAT_RGBA;
    const auto *pixels = static_cast<const uint8_t *>(data.data) + offset;
    for (int32_t line = 0; line < part.height; ++line)
        copyRow(frame.data() + (std::size_t(part.areaY + line) * width + part.areaX) * pixelBytes,
                pixels + std::size_t(part.screenY + line) * stride
                    + std::size_t(part.screenX) * pixelBytes,
                part.width, swap);
    return frame.data();
}

bool PortalGrabber::ended(std::string *why) const
{
    if (current < 0 || std::size_t(current) >= streams.size())
        return false;
    if (!streams[std::size_t(current)]->gone)
        return false;
    *why = "the desktop stopped sharing the screen";
    return true;
}

void PortalGrabber::release()
{
    for (std::unique_ptr<Stream> &stream : streams) {
        if (stream->held)
            pw_stream_queue_buffer(stream->stream, stream->held);
        spa_hook_remove(&stream->listener);
        pw_stream_destroy(stream->stream);
    }
    streams.clear();
    monitors.clear();
    current = -1;
    if (core)
        pw_core_disconnect(core);
    core = nullptr;
    if (context)
        pw_context_destroy(context);
    context = nullptr;
    portal.close();
}
