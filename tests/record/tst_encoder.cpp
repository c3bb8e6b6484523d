// What a take's file holds, decoded back as a player does: every frame
// pushed, of its size and colours, at its time, a key frame every two
// seconds; and what the writer refuses.
#include "record/avwriter.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace {

const int fps = 30;

// Four flat quadrants of 32-bit BGR, their colours turned in the last frame
// (a scene that changes at every frame would bring key frames of its own):
// a row, a half or a frame converted wrongly shows.
uint32_t colourAt(int x, int y, int width, int height, bool turned)
{
    const uint32_t colours[4] = { 0xc01020, 0x20d0f0, 0x30f040, 0xf0f0f0 };
    return colours[((x >= width / 2) + 2 * (y >= height / 2) + turned) % 4];
}

struct Decoded
{
    std::vector<double> seconds; // each frame's time
    std::vector<bool> keys;
    std::vector<uint32_t> last; // the last frame, 32-bit BGR
    double length = 0; // the file's, in seconds
};

// The file's picture, in the order a player shows it.
void decode(const std::string &file, int width, int height, Decoded *out)
{
    AVFormatContext *format = nullptr;
    ASSERT_EQ(avformat_open_input(&format, file.c_str(), nullptr, nullptr), 0) << file;
    ASSERT_GE(avformat_find_stream_info(format, nullptr), 0);
    out->length = double(format->duration) / AV_TIME_BASE;
    const AVStream *stream = format->streams[0];
    AVCodecContext *codec
        = avcodec_alloc_context3(avcodec_find_decoder(stream->codecpar->codec_id));
    avcodec_parameters_to_context(codec, stream->codecpar);
    ASSERT_EQ(avcodec_open2(codec, codec->codec, nullptr), 0);
    EXPECT_EQ(codec->width, width);
    EXPECT_EQ(codec->height, height);
    AVPacket *packet = av_packet_alloc();
    AVFrame *frame = av_frame_alloc();
    out->last.assign(std::size_t(width) * height, 0);
    for (bool more = true; more;) {
        more = av_read_frame(format, packet) >= 0;
        avcodec_send_packet(codec, more ? packet : nullptr);
        av_packet_unref(packet);
        while (avcodec_receive_frame(codec, frame) >= 0) {
            out->seconds.push_back(double(frame->best_effort_timestamp)
                                   * av_q2d(stream->time_base));
            out->keys.push_back(frame->key_frame);
            SwsContext *back = sws_getContext(
                width, height, AVPixelFormat(frame->format), width, height, AV_PIX_FMT_BGR0,
                SWS_BILINEAR | SWS_FULL_CHR_H_INT | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
            uint8_t *planes[1] = { reinterpret_cast<uint8_t *>(out->last.data()) };
            const int strides[1] = { width * 4 };
            sws_scale(back, frame->data, frame->linesize, 0, height, planes, strides);
            sws_freeContext(back);
        }
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&codec);
    avformat_close_input(&format);
}

class Encoder : public testing::Test
{
protected:
    void SetUp() override
    {
        char folder[] = "/tmp/tst_encoder.XXXXXX";
        ASSERT_TRUE(mkdtemp(folder));
        this->folder = folder;
    }
    void TearDown() override { EXPECT_EQ(std::system(("rm -r " + folder).c_str()), 0); }

    std::string folder;
};

struct TakeRow
{
    int width, height, frames;
    int step; // the ticks from one picture to the next: a late recorder's longer frames
};
class Take : public Encoder, public testing::WithParamInterface<TakeRow>
{
};

TEST_P(Take, DecodesAsPushed)
{
    const auto [width, height, frames, step] = GetParam();
    std::vector<uint32_t> picture(std::size_t(width) * height);
    AvWriter writer(folder, fps);
    std::string error;
    ASSERT_TRUE(writer.open(width, height, Sound::None, 0, &error)) << error;
    for (int i = 0; i < frames; ++i) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                picture[std::size_t(y) * width + x]
                    = colourAt(x, y, width, height, i == frames - 1);
        ASSERT_TRUE(writer.push(reinterpret_cast<const uint8_t *>(picture.data()), i * step, &error))
            << error;
    }
    ASSERT_EQ(writer.finish(), "");
    Decoded decoded;
    decode(writer.file(), width, height, &decoded);
    ASSERT_EQ(decoded.seconds.size(), std::size_t(frames));
    for (int i = 0; i < frames; ++i) {
        EXPECT_NEAR(decoded.seconds[i], double(i * step) / fps, 0.002) << "frame " << i;
        // Every two seconds; the last frame's new colours may start a scene
        // of their own.
        EXPECT_TRUE(decoded.keys[i] == (i * step % (2 * fps) == 0) || i == frames - 1)
            << "frame " << i;
    }
    // To the end of the last picture's tick.
    EXPECT_NEAR(decoded.length, double((frames - 1) * step + 1) / fps, 0.002);
    // Inside each quadrant and at the far corner, within what the encoder loses.
    for (const auto &[x, y] : { std::pair { width / 4, height / 4 },
                                { 3 * width / 4, height / 4 },
                                { width / 4, 3 * height / 4 },
                                { width - 1, height - 1 } }) {
        const uint32_t got = decoded.last[std::size_t(y) * width + x];
        const uint32_t want = colourAt(x, y, width, height, true);
        for (int shift = 0; shift < 24; shift += 8)
            EXPECT_NEAR(int(got >> shift & 0xff), int(want >> shift & 0xff), 12)
                << std::hex << got << " at " << std::dec << x << ',' << y;
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, Take,
                         testing::Values(TakeRow { 64, 36, 1, 1 }, TakeRow { 322, 182, 62, 1 },
                                         TakeRow { 160, 90, 62, 3 }));

TEST_F(Encoder, NothingPushedLeavesNothing)
{
    AvWriter writer(folder, fps);
    std::string error;
    ASSERT_TRUE(writer.open(64, 36, Sound::None, 0, &error)) << error;
    EXPECT_NE(writer.finish(), "");
    EXPECT_TRUE(writer.remove(true));
}

TEST_F(Encoder, RefusesWhatCannotBeWritten)
{
    // A file where the folder should be: open says why, and leaves nothing.
    const std::string notFolder = folder + "/file";
    ASSERT_EQ(std::system(("touch " + notFolder).c_str()), 0);
    AvWriter writer(notFolder, fps);
    std::string error;
    EXPECT_FALSE(writer.open(64, 36, Sound::None, 0, &error));
    EXPECT_NE(error.find("Not a directory"), std::string::npos) << error;
    // A file that cannot grow, as on a full disk: a push fails, saying so.
    AvWriter full(folder, fps);
    ASSERT_TRUE(full.open(320, 180, Sound::None, 0, &error)) << error;
    std::vector<uint8_t> noise(320 * 180 * 4);
    const rlimit was = [] {
        rlimit limit;
        getrlimit(RLIMIT_FSIZE, &limit);
        return limit;
    }();
    const rlimit small = { 64 * 1024, was.rlim_max };
    signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    bool pushed = true;
    for (int i = 0; i < 300 && pushed; ++i) {
        for (uint8_t &byte : noise)
            byte = uint8_t(std::rand());
        pushed = full.push(noise.data(), i, &error);
    }
    const std::string finished = full.finish();
    setrlimit(RLIMIT_FSIZE, &was);
    EXPECT_FALSE(pushed);
    EXPECT_NE(error.find("cannot write " + full.file() + ": File too large"), std::string::npos)
        << error;
    EXPECT_NE(finished, "");
}

} // namespace
