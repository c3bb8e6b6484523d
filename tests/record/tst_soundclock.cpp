// The sound kept on the picture's clock: a sound card of the test's own,
// running fast or slow, its chunks handed over late or in bursts, through a
// resampler that stretches as asked, for ten minutes.
#include "record/soundclock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

namespace {

const int rate = 48000;
const int chunk = rate / 100;
const double frame = 1.0 / 30;

struct Card
{
    const char *name;
    double drift; // how much faster than the system clock it counts
    double jitter; // a read returns up to this many seconds after its chunk was heard
    double burst; // or chunks come together, at the end of each burst of this length
    double firstLate; // the first chunk's time is off by this much
    double lostAt; // at this second the card loses `lost` seconds of samples
    double lost;
};

class SoundClockTest : public testing::TestWithParam<Card>
{
};

TEST_P(SoundClockTest, StaysWithinAFrame)
{
    const Card card = GetParam();
    SoundClock clock(rate);
    uint32_t noise = 12345;
    const auto jitter = [&] {
        noise = noise * 1664525u + 1013904223u;
        return card.jitter * (noise / 4294967296.0);
    };
    double counted = 0; // samples the card has sent, lost ones included
    double stretched = 0; // the resampler's fraction of a sample
    double worst = 0, wobble = 0;
    bool lost = false;
    for (int k = 0; counted < 600.0 * rate * (1 + card.drift); ++k) {
        const double t = counted / (rate * (1 + card.drift));
        if (!lost && card.lost > 0 && t >= card.lostAt) {
            counted += card.lost * rate * (1 + card.drift);
            lost = true;
            continue;
        }
        double heard = t + (k == 0 ? card.firstLate : jitter());
        if (card.burst > 0)
            heard = std::ceil((t + double(chunk) / rate) / card.burst) * card.burst
                - double(chunk) / rate;
        const int add = clock.heard(heard, chunk);
        ASSERT_LE(std::abs(add), SoundClock::mostStretch * rate) << "at " << t << " s";
        const double off = t - double(clock.position()) / rate;
        const bool settled = t > 60 && !(lost && t < card.lostAt + 40);
        if (t > 30 && !(lost && t < card.lostAt + 2))
            worst = std::max(worst, std::abs(off));
        if (settled)
            wobble = std::max(wobble, std::abs(add + card.drift * rate));
        stretched += chunk * (1.0 + double(add) / rate);
        const int placed = int(stretched);
        stretched -= placed;
        clock.placed(placed);
        counted += chunk;
    }
    EXPECT_LT(worst, frame) << "the sound strayed from the picture by " << worst << " s";
    // What the card's drift asks for, and not the jitter of every read.
    EXPECT_LT(wobble, SoundClock::mostStretch * rate / 3)
        << "the stretch wandered " << wobble << " samples a second off the card's drift";
}

INSTANTIATE_TEST_SUITE_P(
    Cards, SoundClockTest,
    testing::Values(Card { "exact", 0, 0.005, 0, 0, 0, 0 },
                    Card { "fast", 227e-6, 0.005, 0, 0, 0, 0 },
                    Card { "slow", -500e-6, 0.005, 0, 0, 0, 0 },
                    Card { "near_the_limit", 1500e-6, 0.005, 0, 0, 0, 0 },
                    Card { "jittery", 100e-6, 0.050, 0, 0, 0, 0 },
                    Card { "in_bursts", 227e-6, 0, 0.080, 0, 0, 0 },
                    Card { "first_chunk_late", 0, 0.005, 0, 0.030, 0, 0 },
                    Card { "samples_lost", 227e-6, 0.005, 0, 0, 100, 0.3 }),
    [](const testing::TestParamInfo<Card> &info) { return std::string(info.param.name); });

} // namespace
