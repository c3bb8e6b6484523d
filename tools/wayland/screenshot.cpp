// The eye of the KDE tests: an area of KWin's screen, through its
// screenshot interface, printed as a PPM image (8-bit RGB) on the standard
// output. KWin writes the raw image into a pipe we hand it, as 32-bit
// pixels in the byte order of QImage's 32-bit formats.
//
//     zorvi_screenshot X Y W H > area.ppm
#include <systemd/sd-bus.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

int fail(const char *what, const sd_bus_error *error = nullptr)
{
    std::fprintf(stderr, "zorvi_screenshot: %s: %s\n", what,
                 error && error->message ? error->message : "failed");
    return 1;
}

// The reply's "width", "height", "stride" and "format".
struct Image
{
    uint32_t width = 0, height = 0, stride = 0, format = 0;
};

int readResults(sd_bus_message *reply, Image *image)
{
    int status = sd_bus_message_enter_container(reply, 'a', "{sv}");
    while (status > 0 && (status = sd_bus_message_enter_container(reply, 'e', "sv")) > 0) {
        const char *key = nullptr;
        status = sd_bus_message_read(reply, "s", &key);
        uint32_t *field = nullptr;
        if (status >= 0) {
            const std::string name = key;
            field = name == "width" ? &image->width
                : name == "height"  ? &image->height
                : name == "stride"  ? &image->stride
                : name == "format"  ? &image->format
                                    : nullptr;
        }
        if (status >= 0)
            status = field ? sd_bus_message_read(reply, "v", "u", field)
                           : sd_bus_message_skip(reply, "v");
        if (status >= 0)
            status = sd_bus_message_exit_container(reply);
    }
    return status < 0 ? status : sd_bus_message_exit_container(reply);
}

} // namespace

int main(int argc, char **argv)
{
    int x = 0, y = 0;
    unsigned width = 0, height = 0;
    if (argc != 5 || std::sscanf(argv[1], "%d", &x) != 1 || std::sscanf(argv[2], "%d", &y) != 1
        || std::sscanf(argv[3], "%u", &width) != 1 || std::sscanf(argv[4], "%u", &height) != 1
        || !width || !height) {
        std::fprintf(stderr, "usage: zorvi_screenshot X Y W H > area.ppm\n");
        return 2;
    }
    sd_bus *bus = nullptr;
    if (sd_bus_open_user(&bus) < 0)
        return fail("no session bus");
    int pipe[2];
    if (::pipe(pipe) < 0)
        return fail("pipe");
    // KWin writes while it answers: the pipe is read beside the call, or a
    // large image would fill it and stall both.
    std::vector<unsigned char> data;
    std::thread reader([&data, fd = pipe[0]] {
        unsigned char chunk[65536];
        ssize_t got;
        while ((got = ::read(fd, chunk, sizeof chunk)) > 0)
            data.insert(data.end(), chunk, chunk + got);
    });
    sd_bus_message *reply = nullptr;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    int status = sd_bus_call_method(bus, "org.kde.KWin", "/org/kde/KWin/ScreenShot2",
                                    "org.kde.KWin.ScreenShot2", "CaptureArea", &error, &reply,
                                    "iiuua{sv}h", x, y, width, height, 0, pipe[1]);
    // Our end of the writing side: KWin holds its own copy until it is done.
    ::close(pipe[1]);
    Image image;
    if (status >= 0)
        status = readResults(reply, &image);
    if (status < 0) {
        ::close(pipe[0]);
        reader.join();
        return fail("CaptureArea", &error);
    }
    reader.join();
    ::close(pipe[0]);
    sd_bus_message_unref(reply);
    sd_bus_flush_close_unref(bus);
    // QImage::Format_RGB32, _ARGB32 and _ARGB32_Premultiplied: 0xAARRGGBB
    // in native order, opaque pixels alike in all three.
    if (image.format < 4 || image.format > 6)
        return fail("an image format of another layout");
    if (image.stride < image.width * 4 || data.size() < size_t(image.stride) * image.height)
        return fail("a short image");
    std::printf("P6\n%u %u\n255\n", image.width, image.height);
    for (uint32_t row = 0; row < image.height; ++row) {
        for (uint32_t column = 0; column < image.width; ++column) {
            uint32_t pixel;
            std::memcpy(&pixel, &data[row * image.stride + column * 4], 4);
            const unsigned char rgb[3]
                = { static_cast<unsigned char>(pixel >> 16), static_cast<unsigned char>(pixel >> 8),
                    static_cast<unsigned char>(pixel) };
            std::fwrite(rgb, 1, 3, stdout);
        }
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
