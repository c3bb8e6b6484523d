// The takes against a clock, a store, a grabber and an encoder of the
// test's own, at 10 frames a second: a tick every 100 ms.
#include "record/takerecorder.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

const int64_t ms = 1000000;

struct Fake : Clock, TakeSource, Grabber, TakeWriter, TakeReport
{
    int64_t t = 0;
    bool on = true;
    int64_t switched = 0;
    Region region { 100, 100, 64, 36 };
    bool has = true;
    std::string refusal; // what prepare or open says, from the next take on
    bool soundFails = false; // the first frame of a take with sound is refused
    bool soundRefused = false; // a take with sound is not opened at all
    bool still = false; // the picture never changes
    long pushesLeft = 1 << 30;
    std::function<void()> onOpen; // what happens while the encoder starts
    std::vector<std::string> events;
    int32_t grabbedX = 0; // where the last frame was grabbed
    std::vector<uint8_t> pixels = std::vector<uint8_t>(64 * 36 * 4);

    int64_t now() const override { return t; }
    double wall() const override { return 0; }
    bool captureOn() const override { return on; }
    int64_t switchedAt() const override { return switched; }
    bool area(Region *area) const override { return has && (*area = region, true); }

    bool open(std::string *) override { return true; }
    bool prepare(const Region &, std::string *error) override { return (*error = refusal).empty(); }
    int32_t frameWidth() const override { return region.width; }
    int32_t frameHeight() const override { return region.height; }
    std::size_t frameBytes() const override { return pixels.size(); }
    bool broken() const override { return false; }
    const uint8_t *grab(int32_t x, int32_t) override { return grabbedX = x, pixels.data(); }
    bool unchanged() const override { return still; }

    bool soundServer(std::string *) override { return true; }
    bool open(int32_t, int32_t, Sound sound, double, std::string *) override
    {
        withSound = sound != Sound::None;
        pushed.clear();
        if (onOpen)
            onOpen();
        events.push_back("open " + std::to_string(t / ms) + (withSound ? " sound" : ""));
        return !(withSound && soundRefused);
    }
    std::string file() const override { return "take.mkv"; }
    bool push(const uint8_t *, int64_t frame, std::string *error) override
    {
        EXPECT_GT(frame, pushed.empty() ? -1 : pushed.back()) << "ticks out of order";
        if ((withSound && soundFails) || pushesLeft-- <= 0)
            return *error = "gone", false;
        pushed.push_back(frame);
        return true;
    }
    std::string finish() override { return {}; }
    bool remove(bool) override { return false; }

    void recording(const std::string &, const Region &, int32_t, int32_t) override { }
    // clang-format off
    // The pictures pushed too: a tick missed is no picture more, and the
    // last tick has one, so that the file lasts the take's length.
    void saved(const std::string &, double, long frames, long dropped) override
    {
        events.push_back("saved " + std::to_string(frames) + " " + std::to_string(dropped) + " "
                         + std::to_string(pushed.size()));
        EXPECT_EQ(pushed.back(), frames - 1);
        pushed.clear();
    }
    void failed(const std::string &, bool, const std::string &reason, long frames) override
    { events.push_back("failed " + reason + " " + std::to_string(frames)); }
    void refused(const std::string &why, bool) override { events.push_back("refused " + why); }
    // clang-format on
    void note(const std::string &) override { }

    bool withSound = false;
    std::vector<int64_t> pushed; // the ticks of this take's pictures
};

using Action = std::function<void(Fake &)>;

struct Row
{
    const char *name;
    Sound sound;
    int64_t lateMs; // every tick comes this late
    Action setup;
    std::vector<std::pair<int64_t, Action>> changes; // the user's, at those instants (ms)
    int64_t untilMs;
    std::vector<std::string> events;
};

Action off(int64_t atMs)
{
    return [atMs](Fake &fake) { fake.on = false, fake.switched = atMs * ms; };
}

class Takes : public testing::TestWithParam<Row>
{
};

// The loop of record: a step at each tick asked for, and at each change.
TEST_P(Takes, AsLongAsCaptureWasOn)
{
    const Row &row = GetParam();
    Fake fake;
    if (row.setup)
        row.setup(fake);
    TakeRecorder recorder(10, row.sound, fake, fake, &fake, &fake, &fake);
    int64_t next = recorder.step(fake.t);
    for (std::size_t change = 0; fake.t < row.untilMs * ms;) {
        const int64_t due
            = change < row.changes.size() ? row.changes[change].first * ms : row.untilMs * ms;
        fake.t = next >= 0 && next + row.lateMs * ms < due ? next + row.lateMs * ms : due;
        if (fake.t == due && change < row.changes.size())
            row.changes[change++].second(fake);
        next = recorder.step(fake.t);
    }
    recorder.end();
    EXPECT_EQ(fake.events, row.events);
    EXPECT_EQ(fake.grabbedX, fake.region.x);
}

const auto startAt = [](int64_t t) { return [t](Fake &fake) { fake.t = t * ms; }; };
const auto resize
    = [](int32_t width) { return [width](Fake &fake) { fake.region.width = width; }; };

const Action on = [](Fake &fake) { fake.on = true, fake.switched = fake.t; };

// clang-format off
INSTANTIATE_TEST_SUITE_P(Recorder, Takes, testing::Values(
    Row { "on_time", Sound::None, 0, {}, { { 1000, off(1000) } }, 1100,
          { "open 0", "saved 10 0 10" } },
    Row { "ticks_late", Sound::None, 250, {}, { { 1000, off(1000) } }, 1100,
          { "open 0", "saved 10 6 4" } },
    // Pushed once a second, and at the last tick.
    Row { "still_picture", Sound::None, 0, [](Fake &fake) { fake.still = true; },
          { { 2500, off(2500) } }, 2600, { "open 0", "saved 25 0 4" } },
    Row { "woke_late", Sound::None, 0, startAt(400), { { 1000, off(1000) } }, 1100,
          { "open 400", "saved 10 0 6" } },
    // Found on long before: the take keeps a second of it.
    Row { "found_on", Sound::None, 0, startAt(2500), { { 3000, off(3000) } }, 3100,
          { "open 2500", "saved 15 0 5" } },
    Row { "off_while_the_encoder_starts", Sound::None, 0,
          [](Fake &fake) { fake.onOpen = [&fake] { fake.t = 700 * ms, off(300)(fake); }; },
          {}, 1000, { "open 700", "saved 4 0 2" } },
    // Followed within one file; a new file once the corner is let go.
    Row { "follow", Sound::None, 0, {},
          { { 250, [](Fake &fake) { fake.region.x = 300; } }, { 500, off(500) } }, 600,
          { "open 0", "saved 5 0 5" } },
    Row { "resize", Sound::None, 0, {}, { { 500, resize(60) }, { 650, resize(56) } }, 1300,
          { "open 0", "saved 5 0 5", "open 1150", "saved 2 0 2" } },
    Row { "refused_then_failed", Sound::None, 0,
          [](Fake &fake) { fake.refusal = "off every screen"; },
          { { 200, [](Fake &fake) { fake.refusal.clear(); } }, { 300, off(300) }, { 400, on },
            { 500, [](Fake &fake) { fake.pushesLeft = 2; } } },
          800, { "refused off every screen", "open 400", "failed gone 3" } },
    Row { "no_region_then_no_sound", Sound::Desktop, 0,
          [](Fake &fake) { fake.has = false, fake.soundFails = true; },
          { { 300, [](Fake &fake) { fake.has = true; } } }, 500,
          { "open 300 sound", "open 300", "saved 3 0 3" } },
    Row { "sound_sources_refused", Sound::Both, 0, [](Fake &fake) { fake.soundRefused = true; },
          { { 300, off(300) } }, 400, { "open 0 sound", "open 0", "saved 3 0 3" } }),
    [](const testing::TestParamInfo<Row> &info) { return std::string(info.param.name); });
// clang-format on

} // namespace
