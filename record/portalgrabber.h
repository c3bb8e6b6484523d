// Frames of a screen area from the desktop's screen-cast portal, for record
// in a Wayland session: PipeWire streams of the monitors the user shares.
#ifndef PORTALGRABBER_H
#define PORTALGRABBER_H

#include "record/grabber.h"
#include "record/screencastportal.h"
#include "record/streamcrop.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct pw_context;
struct pw_core;
struct pw_loop;

// A portal session a take: the desktop shows that the screen is shared only
// while a take runs. Each stream's newest buffer is held, mapped, until a
// newer one comes; a grab crops the area out of it straight into the frame
// that goes to the encoder.
class PortalGrabber : public Grabber
{
public:
    // `wanted` says whether the take is still wanted while the desktop asks
    // the user; `fps` caps the rate the streams are asked for; `pointer`
    // asks for the pointer drawn in.
    PortalGrabber(std::function<bool()> wanted, int fps, bool pointer);
    ~PortalGrabber() override;

    bool open(std::string *error) override;
    bool prepare(const Region &area, std::string *error) override;
    int32_t frameWidth() const override { return width; }
    int32_t frameHeight() const override { return height; }
    std::size_t frameBytes() const override { return frames[0].size(); }
    bool broken() const override { return false; }
    const uint8_t *grab(int32_t x, int32_t y) override;
    bool unchanged() const override { return same; }
    bool ended(std::string *why) const override;
    void release() override;

    struct Stream;

private:
    bool waitForFirstFrames(std::string *error);

    std::function<bool()> wanted;
    int fps;
    ScreenCastPortal portal;
    pw_loop *loop = nullptr;
    pw_context *context = nullptr;
    pw_core *core = nullptr;
    std::vector<std::unique_ptr<Stream>> streams;
    std::vector<StreamMonitor> monitors;
    int current = -1; // the monitor the take records from
    Region area; // the take's, in the logical layout
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> frames[2];
    int turn = 0;
    struct
    {
        uint64_t pictures;
        int32_t x, y;
    } grabbed { 0, 0, 0 }; // the last grab's
    bool same = false;
    std::string lost; // why the take's source stopped
};

#endif // PORTALGRABBER_H
