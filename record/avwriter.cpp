#include "record/avwriter.h"
#include "record/takefile.h"

#include <chrono>
#include <filesystem>
#include <system_error>
#include <thread>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

namespace {

std::string avError(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

} // namespace

AvWriter::AvWriter(const std::string &folder, int fps) : folder(folder), fps(fps)
{
    // Errors only, as record's own lines: no encoder's statistics after each take.
    av_log_set_level(AV_LOG_ERROR);
}

AvWriter::~AvWriter()
{
    close();
}

bool AvWriter::soundServer(std::string *where)
{
    return soundServerAnswers(where);
}

bool AvWriter::open(int32_t width, int32_t height, Sound with, double start, std::string *error)
{
    close();
    problem.clear();
    frames = soundAt = nextKey = 0;
    // The encoders first: a library built without one leaves no file behind.
    const AVCodec *h264 = avcodec_find_encoder_by_name("libx264");
    const AVCodec *opus = avcodec_find_encoder_by_name("libopus");
    if (!h264 || (with != Sound::None && !opus)) {
        *error = std::string("the FFmpeg libraries here have no ") + (h264 ? "libopus" : "libx264")
            + " encoder: takes cannot be encoded";
        return false;
    }
    if (!reserveTakeFile(folder, &path, error))
        return false;
    const int code = avformat_alloc_output_context2(&format, nullptr, "matroska", path.c_str());
    packet = av_packet_alloc();
    if (code >= 0 && !packet)
        *error = "out of memory for the encoder";
    bool opened = code >= 0 && packet && openPicture(width, height, error)
        && (with == Sound::None || openSound(error)) && openFile(error);
    if (opened && with != Sound::None)
        opened = sound.open(with, start, error);
    if (!opened) {
        if (code < 0)
            *error = "cannot write Matroska: " + avError(code);
        close();
        std::error_code ignored;
        std::filesystem::remove(std::filesystem::u8path(path), ignored);
    }
    return opened;
}

bool AvWriter::openPicture(int32_t width, int32_t height, std::string *error)
{
    video = avcodec_alloc_context3(avcodec_find_encoder_by_name("libx264"));
    videoStream = avformat_new_stream(format, nullptr);
    picture = av_frame_alloc();
    if (!video || !videoStream || !picture) {
        *error = "out of memory for the encoder";
        return false;
    }
    video->width = width;
    video->height = height;
    video->pix_fmt = AV_PIX_FMT_YUV420P;
    video->time_base = { 1, fps };
    video->framerate = { fps, 1 };
    video->gop_size = 2 * fps;
    if (format->oformat->flags & AVFMT_GLOBALHEADER)
        video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVDictionary *options = nullptr;
    av_dict_set(&options, "preset", "veryfast", 0);
    av_dict_set(&options, "crf", "23", 0);
    int code = avcodec_open2(video, video->codec, &options);
    av_dict_free(&options);
    if (code >= 0)
        code = avcodec_parameters_from_context(videoStream->codecpar, video);
    picture->format = AV_PIX_FMT_YUV420P;
    picture->width = width;
    picture->height = height;
    if (code >= 0)
        code = av_frame_get_buffer(picture, 0);
    if (code < 0) {
        *error = "cannot start the H.264 encoder for " + std::to_string(width) + 'x'
            + std::to_string(height) + ": " + avError(code);
        return false;
    }
    videoStream->time_base = video->time_base;
    // Straight from the grabbed buffer into the encoder's frame.
    converter = sws_getContext(width, height, AV_PIX_FMT_BGR0, width, height, AV_PIX_FMT_YUV420P,
                               SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (!converter) {
        *error = "cannot convert frames of " + std::to_string(width) + 'x' + std::to_string(height);
        return false;
    }
    return true;
}

bool AvWriter::openSound(std::string *error)
{
    audio = avcodec_alloc_context3(avcodec_find_encoder_by_name("libopus"));
    audioStream = avformat_new_stream(format, nullptr);
    samples = av_frame_alloc();
    if (!audio || !audioStream || !samples) {
        *error = "out of memory for the encoder";
        return false;
    }
    audio->sample_fmt = AV_SAMPLE_FMT_S16;
    audio->sample_rate = SoundCapture::rate;
    av_channel_layout_default(&audio->ch_layout, SoundCapture::channels);
    audio->bit_rate = 128000;
    audio->time_base = { 1, SoundCapture::rate };
    if (format->oformat->flags & AVFMT_GLOBALHEADER)
        audio->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int code = avcodec_open2(audio, audio->codec, nullptr);
    if (code >= 0)
        code = avcodec_parameters_from_context(audioStream->codecpar, audio);
    samples->format = AV_SAMPLE_FMT_S16;
    samples->sample_rate = SoundCapture::rate;
    samples->nb_samples = audio->frame_size;
    if (code >= 0)
        code = av_channel_layout_copy(&samples->ch_layout, &audio->ch_layout);
    if (code >= 0)
        code = av_frame_get_buffer(samples, 0);
    if (code < 0) {
        *error = "cannot start the Opus encoder: " + avError(code);
        return false;
    }
    audioStream->time_base = audio->time_base;
    return true;
}

bool AvWriter::openFile(std::string *error)
{
    // Every packet goes to the file as it comes, and a cluster closes at
    // least every second: a killed recorder leaves a file that plays up to
    // its last second or so.
    format->flags |= AVFMT_FLAG_FLUSH_PACKETS;
    AVDictionary *options = nullptr;
    av_dict_set(&options, "cluster_time_limit", "1000", 0);
    int code = avio_open(&format->pb, path.c_str(), AVIO_FLAG_WRITE);
    if (code >= 0)
        code = avformat_write_header(format, &options);
    av_dict_free(&options);
    if (code < 0) {
        *error = path + ": " + avError(code);
        return false;
    }
    return true;
}

std::string AvWriter::file() const
{
    return path;
}

bool AvWriter::push(const uint8_t *pixels, int64_t frame, std::string *error)
{
    if (problem.empty() && !format)
        problem = "no take is open";
    if (problem.empty()) {
        const int code = av_frame_make_writable(picture);
        if (code < 0)
            failed("the encoder's frame", code);
    }
    if (problem.empty()) {
        const uint8_t *const planes[1] = { pixels };
        const int strides[1] = { picture->width * 4 };
        sws_scale(converter, planes, strides, 0, picture->height, picture->data, picture->linesize);
        picture->pts = frame;
        // A key frame every two seconds of the take, however long its
        // pictures last: a player seeks in the file, and one cut short plays
        // up to its end.
        picture->pict_type = frame >= nextKey ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
        if (frame >= nextKey)
            nextKey = frame + 2 * fps;
        frames = frame + 1;
        // Sound the server no longer sends is silence, so that the muxer
        // need not hold the picture back for it.
        if (encode(video, videoStream, picture) && audio)
            encodeSound(sound.reading() ? sound.available() : frames * SoundCapture::rate / fps);
    }
    if (!problem.empty())
        *error = problem;
    return problem.empty();
}

// The sound up to sample `until`, in whole encoder frames.
bool AvWriter::encodeSound(int64_t until)
{
    while (problem.empty() && soundAt + samples->nb_samples <= until) {
        const int code = av_frame_make_writable(samples);
        if (code < 0)
            return failed("the sound's frame", code);
        sound.take(soundAt, samples->nb_samples, reinterpret_cast<int16_t *>(samples->data[0]));
        samples->pts = soundAt;
        soundAt += samples->nb_samples;
        encode(audio, audioStream, samples);
    }
    return problem.empty();
}

// Hands a frame (none: the end) to the encoder and writes what it gives.
bool AvWriter::encode(AVCodecContext *codec, AVStream *stream, AVFrame *frame)
{
    int code = avcodec_send_frame(codec, frame);
    if (code < 0)
        return failed("the encoder", code);
    while ((code = avcodec_receive_packet(codec, packet)) >= 0) {
        // A picture shows for a tick at least: the file lasts to the end of
        // its last one, which the take pushes at its last tick.
        if (codec == video)
            packet->duration = 1;
        av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
        packet->stream_index = stream->index;
        code = av_interleaved_write_frame(format, packet);
        if (code < 0)
            return failed("cannot write " + path, code);
    }
    if (code != AVERROR(EAGAIN) && code != AVERROR_EOF)
        return failed("the encoder", code);
    return true;
}

bool AvWriter::failed(const std::string &what, int code)
{
    if (problem.empty())
        problem = what + ": " + avError(code);
    return false;
}

std::string AvWriter::finish()
{
    if (!format)
        return problem;
    if (frames == 0 && problem.empty()) {
        // Matroska without a single cluster does not play: nothing is kept,
        // so that the empty file can go.
        close();
        std::error_code ignored;
        std::filesystem::resize_file(std::filesystem::u8path(path), 0, ignored);
        return "no frame was recorded";
    }
    if (audio && problem.empty()) {
        // The sound ends with the picture. A server hands it over late, half
        // a second behind on an idle null output: waited for up to a
        // second, then silence stands for what has not come.
        const int64_t end = frames * SoundCapture::rate / fps;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        while (sound.reading() && sound.available() < end
               && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        // Taken before the capture closes: what it holds goes with it.
        const bool taken = encodeSound(end + samples->nb_samples - 1);
        sound.close();
        if (taken)
            encode(audio, audioStream, nullptr);
    }
    if (problem.empty())
        encode(video, videoStream, nullptr);
    if (problem.empty()) {
        const int code = av_write_trailer(format);
        if (code < 0)
            failed("cannot write " + path, code);
    }
    if (format->pb) {
        const int code = avio_closep(&format->pb);
        if (code < 0)
            failed("cannot write " + path, code);
    }
    close();
    return problem;
}

bool AvWriter::remove(bool onlyEmpty)
{
    const std::filesystem::path file = std::filesystem::u8path(path);
    std::error_code code;
    if (onlyEmpty && std::filesystem::file_size(file, code) != 0)
        return false; // an error's size is -1
    return std::filesystem::remove(file, code);
}

void AvWriter::close()
{
    sound.close();
    if (format && format->pb)
        avio_closep(&format->pb);
    avformat_free_context(format);
    format = nullptr;
    videoStream = audioStream = nullptr;
    avcodec_free_context(&video);
    avcodec_free_context(&audio);
    av_frame_free(&picture);
    av_frame_free(&samples);
    av_packet_free(&packet);
    sws_freeContext(converter);
    converter = nullptr;
}
