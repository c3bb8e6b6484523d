#include "record/takerecorder.h"

#include <algorithm>
#include <limits>

namespace {

const int64_t second = 1000000000;
const int64_t never = std::numeric_limits<int64_t>::max();

} // namespace

TakeRecorder::TakeRecorder(int fps, Sound sound, const Clock &clock, const TakeSource &source,
                           Grabber *grabber, TakeWriter *writer, TakeReport *report)
    : fps(fps)
    , sound(sound)
    , clock(clock)
    , source(source)
    , grabber(grabber)
    , writer(writer)
    , report(report)
    , period(second / fps)
{ }

TakeRecorder::~TakeRecorder()
{
    end();
}

int64_t TakeRecorder::step(int64_t now)
{
    if (!source.captureOn()) {
        end(source.switchedAt());
        waitForOff = false;
        settle = false;
        switchedOn = -1;
        return -1;
    }
    if (switchedOn < 0 && !taking)
        switchedOn = source.switchedAt();
    if (waitForOff)
        return -1;
    Region area;
    const bool has = source.area(&area);
    if (taking && now < next)
        return next; // the key changed between two ticks
    if (taking && has && area.width == takeArea.width && area.height == takeArea.height) {
        // A tick missed makes the picture before last longer: the take
        // stays as long as capture was on, however late we are.
        const long late = long((now - next) / period);
        next += (late + 1) * period;
        dropped += late;
        frames += late;
        record(area);
        return taking ? next : -1;
    }
    if (taking) {
        // A new size is a new file, once the user has let go of the corner.
        end();
        settle = true;
        stillSince = now;
    }
    if (!has) {
        if (!waiting)
            report->note("waiting: no region with an inside to record");
        waiting = true;
        stillSince = now;
        switchedOn = never;
        return -1;
    }
    waiting = false;
    if (settle) {
        if (area.width != lastSize.width || area.height != lastSize.height)
            stillSince = now;
        lastSize = area;
        if (now - stillSince < second / 2)
            return now + period;
    }
    begin(area);
    return taking ? next : -1;
}

void TakeRecorder::end(int64_t until)
{
    if (!taking)
        return;
    // Rounded: the take's length within half a frame of the time.
    const int64_t length = (until < 0 ? clock.now() : until) - first;
    const long owed = long((length + period / 2) / period) - frames;
    if (owed > 0) {
        dropped += owed;
        frames += owed;
    }
    // The last picture once more at the last tick, which the file's length
    // is told by.
    if (shown < frames && !send(frames - 1))
        return;
    const std::string problem = closeTake();
    if (problem.empty())
        report->saved(writer->file(), double(frames) / fps, frames, dropped);
    else
        fail(problem);
    taking = false;
}

void TakeRecorder::begin(const Region &area)
{
    settle = false;
    std::string error;
    // The source first: it may have to ask the user, and it tells the size
    // of the frames (a scaled monitor's pixels are recorded as they are).
    if (!grabber->prepare(area, &error)) {
        refuse(error);
        return;
    }
    black.assign(grabber->frameBytes(), 0);
    last = grabber->grab(area.x, area.y);
    // A take the click began starts at the click, however late we woke.
    first = clock.now();
    // Within a second: a flag found on at start, or switched on while the
    // region had no inside, starts now.
    if (switchedOn >= 0)
        first = std::min(first, std::max(switchedOn, first - second));
    switchedOn = never; // the next take, after a resize: now
    // The first frame's instant on the wall clock, which stamps the sound.
    const double start = clock.wall() - double(clock.now() - first) / second;
    const bool withSound = sound != Sound::None && soundServer();
    if (!last)
        last = black.data();
    std::string why;
    if (!startWith(area, withSound ? sound : Sound::None, start, &why) && withSound) {
        report->note((why.empty() ? std::string("the sound cannot be read") : why)
                     + ": this take is video only");
        startWith(area, Sound::None, 0, &why);
    }
    if (!taking) {
        grabber->release();
        return;
    }
    // The ticks that pass while the encoder starts show the first picture,
    // up to the click that ended the take if a slow start outlasted it.
    const int64_t started = source.captureOn() ? clock.now() : source.switchedAt();
    frames = std::max(frames, long((started - first) / period) + 1);
    next = first + frames * period;
    report->recording(writer->file(), area, grabber->frameWidth(), grabber->frameHeight());
}

// Hands the encoder the first picture: once it has taken it, it runs and
// will finish the file whatever happens to us. False, without a take, when
// a take with sound cannot be opened or its encoder is gone by then; a
// failure with sound leaves nothing behind for a try without it.
bool TakeRecorder::startWith(const Region &area, Sound with, double start, std::string *why)
{
    std::string error;
    if (!writer->open(grabber->frameWidth(), grabber->frameHeight(), with, start, &error)) {
        // The sound's sources may be what failed: tried again without.
        if (with != Sound::None)
            return *why = error, false;
        refuse(error);
        return true; // nothing to try again
    }
    taking = true;
    takeArea = area;
    frames = dropped = shown = 0;
    if (writer->push(last, 0, &error)) {
        frames = shown = 1;
        return true;
    }
    const std::string problem = writer->finish();
    if (with != Sound::None) {
        writer->remove(false);
        taking = false;
        *why = problem.empty() ? error : problem;
        return false;
    }
    fail(problem.empty() ? error : problem);
    taking = false;
    return true;
}

// Told once when the sound server comes or goes.
bool TakeRecorder::soundServer()
{
    std::string where;
    const bool answers = writer->soundServer(&where);
    if (!answers && !toldNoSound)
        report->note("no sound server at " + where + ": takes are video only");
    toldNoSound = !answers;
    return answers;
}

void TakeRecorder::record(const Region &area)
{
    std::string why;
    if (grabber->ended(&why)) {
        abandon(why);
        return;
    }
    const uint8_t *pixels = grabber->grab(area.x, area.y);
    // A picture that has not changed lasts a tick longer, not encoded again;
    // still pushed once a second, so that a file cut short keeps its length.
    if (pixels && pixels == last && grabber->unchanged() && frames + 1 - shown < fps) {
        ++frames;
        return;
    }
    if (!pixels) {
        // Black: the picture before may have gone with the source's buffers.
        ++dropped;
        pixels = black.data();
    }
    last = pixels;
    send(frames);
}

// The last picture, at tick `frame`; false when the take had to end.
bool TakeRecorder::send(long frame)
{
    std::string error;
    if (!writer->push(last, frame, &error)) {
        abandon(error);
        return false;
    }
    frames = shown = frame + 1;
    return true;
}

// Ends the take's file and lets go of the frame source (a portal's sharing
// ends with the take).
std::string TakeRecorder::closeTake()
{
    const std::string problem = writer->finish();
    grabber->release();
    return problem;
}

// A take that cannot go on: what was written is kept, and the failure
// reported with the encoder's reason where it gave one, else with `why`.
void TakeRecorder::abandon(const std::string &why)
{
    const std::string problem = closeTake();
    fail(problem.empty() ? why : problem);
    taking = false;
}

// A take that could not start: no file, and the capture icon says on.
void TakeRecorder::refuse(const std::string &why)
{
    waitForOff = true;
    report->refused(why, source.captureOn());
}

void TakeRecorder::fail(const std::string &problem)
{
    waitForOff = true;
    // A take that never got a byte on disk leaves no empty file behind.
    report->failed(writer->file(), writer->remove(true), problem, frames);
}
