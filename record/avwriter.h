// The take loop's writer: each take encoded here, in this process, H.264
// and Opus into Matroska, the sound read from the sound server beside it.
#ifndef AVWRITER_H
#define AVWRITER_H

#include "record/soundcapture.h"
#include "record/takewriter.h"

#include <cstdint>
#include <string>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct AVStream;
struct SwsContext;

class AvWriter : public TakeWriter
{
public:
    AvWriter(const std::string &folder, int fps);
    ~AvWriter() override;

    bool soundServer(std::string *where) override;
    bool open(int32_t width, int32_t height, Sound sound, double start,
              std::string *error) override;
    std::string file() const override;
    bool push(const uint8_t *pixels, int64_t frame, std::string *error) override;
    std::string finish() override;
    bool remove(bool onlyEmpty) override;

private:
    bool openPicture(int32_t width, int32_t height, std::string *error);
    bool openSound(std::string *error);
    bool openFile(std::string *error);
    bool encode(AVCodecContext *codec, AVStream *stream, AVFrame *frame);
    bool encodeSound(int64_t until);
    bool failed(const std::string &what, int code);
    void close();

    const std::string folder;
    const int fps;
    std::string path;
    AVFormatContext *format = nullptr;
    AVCodecContext *video = nullptr;
    AVCodecContext *audio = nullptr;
    AVStream *videoStream = nullptr;
    AVStream *audioStream = nullptr;
    AVFrame *picture = nullptr;
    AVFrame *samples = nullptr;
    AVPacket *packet = nullptr;
    SwsContext *converter = nullptr;
    SoundCapture sound;
    int64_t frames = 0; // the ticks the picture covers so far
    int64_t nextKey = 0;
    int64_t soundAt = 0; // the next sample to encode, counted from the first frame
    std::string problem; // the first error, after which nothing more is written
};

#endif // AVWRITER_H
