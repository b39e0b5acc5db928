#include "Core/Control/MidiClockFollower.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

using Core::MidiClockFollower;
constexpr double Rate = 48000;

/// Clocks at bpm from frame start on, each moved by up to jitterMs either way; after each,
/// check(follower, clock number, the clock's frame without jitter).
template <typename Check>
double Send(MidiClockFollower& follower, double start, double bpm, int clocks, double jitterMs, std::mt19937& random,
            Check&& check)
{
    const double step = Rate * 60.0 / bpm / 24;
    std::uniform_real_distribution<double> jitter(-jitterMs * Rate / 1000, jitterMs * Rate / 1000);
    const std::uint8_t clock = 0xF8;
    for (int n = 0; n < clocks; ++n) {
        follower.Take(start + n * step + jitter(random), &clock, 1);
        check(follower, n, start + n * step);
    }
    return start + clocks * step;
}

TEST(MidiClockFollower, TempoAndBeatsFromAJitteryClock)
{
    const struct {
        double bpm;
        double jitterMs;
        double bpmWithin;   // from the second bar on
        double beatsWithin; // frames, the grid's beat against the true one
    } cases[] = {{133, 2, 0.1, 48}, {133, 0, 1e-6, 1e-3}, {60, 2, 0.05, 48}, {240, 1, 0.1, 24}, {97.5, 2, 0.1, 48}};
    for (const auto& test : cases) {
        SCOPED_TRACE(test.bpm);
        std::mt19937 random(7);
        MidiClockFollower follower(Rate);
        const std::uint8_t start = 0xFA;
        follower.Take(0, &start, 1);
        double worstBpm = 0;
        double worstBeat = 0;
        Send(follower, 1000, test.bpm, 24 * 16, test.jitterMs, random, [&](const MidiClockFollower& f, int n, double) {
            EXPECT_EQ(f.HasTempo(), n >= 23);
            if (n < 24 * 4)
                return;
            worstBpm = std::max(worstBpm, std::fabs(f.Bpm() - test.bpm));
            const Core::BeatGrid::Line grid = f.Grid();
            const double beat = Rate * 60.0 / test.bpm;
            EXPECT_EQ(grid.originBeat, n / 24);
            worstBeat = std::max(worstBeat, std::fabs(grid.origin - (1000 + grid.originBeat * beat)));
        });
        EXPECT_LE(worstBpm, test.bpmWithin);
        EXPECT_LE(worstBeat, test.beatsWithin);
    }
}

TEST(MidiClockFollower, LateClocksLeaveTheLineANewTempoIsTakenWithinTwoBeatsAndASilenceStartsAfresh)
{
    std::mt19937 random(3);
    MidiClockFollower follower(Rate);
    const auto none = [](const MidiClockFollower&, int, double) {};
    double at = Send(follower, 0, 120, 24 * 8, 2, random, none);
    // Ten clocks 30 ms late (the sender fell behind), then on time again.
    const std::uint8_t clock = 0xF8;
    for (int n = 0; n < 10; ++n, at += Rate / 48)
        follower.Take(at + 0.03 * Rate, &clock, 1);
    at = Send(follower, at, 120, 24, 0, random, none);
    EXPECT_NEAR(follower.Bpm(), 120, 0.05);
    int taken = -1;
    Send(follower, at, 150, 24 * 4, 2, random, [&](const MidiClockFollower& f, int n, double) {
        if (taken < 0 && std::fabs(f.Bpm() - 150) < 0.5)
            taken = n;
    });
    EXPECT_GE(taken, 0);
    EXPECT_LE(taken, 48);
    at += 24 * 8 * Rate * 60 / 150 + Rate; // a second of silence
    Send(follower, at, 90, 23, 0, random, none);
    EXPECT_FALSE(follower.HasTempo());
}

TEST(MidiClockFollower, StartStopContinueAndSongPosition)
{
    MidiClockFollower follower(Rate);
    using T = MidiClockFollower::Transport;
    std::mt19937 random(1);
    const auto none = [](const MidiClockFollower&, int, double) {};
    const std::uint8_t start = 0xFA, stop = 0xFC, resume = 0xFB, position[] = {0xF2, 0x05, 0x01}; // step 133
    double at = Send(follower, 0, 120, 30, 0, random, none); // a clock running while stopped
    EXPECT_EQ(follower.Take(at, &start, 1), T::Start);
    at = Send(follower, at, 120, 50, 0, random, none);
    EXPECT_EQ(follower.Position(), 50);
    EXPECT_EQ(follower.Grid().originBeat, 2);
    EXPECT_EQ(follower.Take(at, &stop, 1), T::Stop);
    EXPECT_EQ(follower.Take(at, &stop, 1), T::None);
    at = Send(follower, at, 120, 10, 0, random, none);
    EXPECT_EQ(follower.Position(), 50);
    EXPECT_EQ(follower.Take(at, position, 3), T::None);
    EXPECT_EQ(follower.Position(), 6 * 133);
    EXPECT_EQ(follower.Take(at, &resume, 1), T::Continue);
    const double next = at;
    Send(follower, next, 120, 1, 0, random, none);
    // Step 133 is clock 798, six clocks past beat 33: the beat lies six clocks before.
    EXPECT_EQ(follower.Grid().originBeat, 33);
    EXPECT_NEAR(follower.Grid().origin, next - 6 * Rate / 2 / 24, 1e-6);
}

} // namespace
