// The takes themselves, apart from any window system, encoder or store:
// when a take starts and ends, how many frames it holds however late the
// ticks come, the frame followed where it goes, a new file after a resize.
#ifndef TAKERECORDER_H
#define TAKERECORDER_H

#include "record/clock.h"
#include "record/grabber.h"
#include "record/sound.h"
#include "record/takewriter.h"
#include "settings/region.h"

#include <cstdint>
#include <string>
#include <vector>

// The capture flag and the region, as the store has them now.
class TakeSource
{
public:
    virtual ~TakeSource() = default;
    virtual bool captureOn() const = 0;
    // When the flag was last written, on the clock's monotonic time: a
    // recorder held up notices it late, but the take ends at the click.
    // Now, when that cannot be told.
    virtual int64_t switchedAt() const = 0;
    // What is recorded: inside the frame, even-sized. False when the region
    // has no inside.
    virtual bool area(Region *area) const = 0;
};

// Who hears of the takes: the user's terminal, a program reading --json,
// the desktop's notifications.
class TakeReport
{
public:
    virtual ~TakeReport() = default;
    // Frames of width × height, of the area where it was at the start.
    virtual void recording(const std::string &file, const Region &area, int32_t width,
                           int32_t height)
        = 0;
    virtual void saved(const std::string &file, double seconds, long frames, long dropped) = 0;
    // What was written is kept; `removed`: nothing was, and the file is gone.
    virtual void failed(const std::string &file, bool removed, const std::string &reason,
                        long frames)
        = 0;
    // A take that could not start; `captureOn` tells whether the user still
    // waits for it.
    virtual void refused(const std::string &reason, bool captureOn) = 0;
    // A line for whoever reads standard error.
    virtual void note(const std::string &line) = 0;
};

class TakeRecorder
{
public:
    TakeRecorder(int fps, Sound sound, const Clock &clock, const TakeSource &source,
                 Grabber *grabber, TakeWriter *writer, TakeReport *report);
    ~TakeRecorder();
    TakeRecorder(const TakeRecorder &) = delete;
    TakeRecorder &operator=(const TakeRecorder &) = delete;

    // Called at each tick asked for and whenever the key changed. Returns
    // when the next tick is due (the clock's monotonic time), or -1 when
    // nothing is to happen until the key changes: capture is off, or waits.
    int64_t step(int64_t now);
    // Ends the take as of `until` (now unless given): the ticks up to then
    // that it is behind by, a slow encoder's, show the last picture, so
    // that it lasts as long as capture was on.
    void end(int64_t until = -1);

private:
    void begin(const Region &area);
    bool startWith(const Region &area, Sound with, double start, std::string *why);
    bool soundServer();
    void record(const Region &area);
    bool send(long frame);
    std::string closeTake();
    void abandon(const std::string &why);
    void refuse(const std::string &why);
    void fail(const std::string &problem);

    const int fps;
    const Sound sound;
    const Clock &clock;
    const TakeSource &source;
    Grabber *grabber;
    TakeWriter *writer;
    TakeReport *report;
    const int64_t period;

    bool taking = false;
    Region takeArea; // the store's size, against which a resize is told
    long frames = 0; // the ticks the take covers so far
    long dropped = 0; // of those, the ones missed
    long shown = 0; // one past the tick of the last picture pushed
    int64_t switchedOn = -1; // when capture was switched on; -1 while off
    int64_t first = 0; // the take's first tick
    int64_t next = 0; // the take's next tick
    const uint8_t *last = nullptr; // the picture handed over last
    std::vector<uint8_t> black; // for a first picture the source refused
    bool waitForOff = false; // after a failed take, until capture is switched off
    bool settle = false; // after a size change, until the size is still
    bool waiting = false; // told that the region has no inside
    bool toldNoSound = false;
    Region lastSize;
    int64_t stillSince = 0;
};

#endif // TAKERECORDER_H
