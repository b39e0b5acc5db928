#include "Platform/Audio/JackTransport.h"
#include "Platform/Timeline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using Platform::Audio::BarBeatTick;
using Platform::Audio::TransportFollower;
using Platform::Audio::TransportLeader;

// A leader's beats (4/4 at 120 bpm, 90 bpm from bar 3) told cycle by cycle to a follower, as
// JACK carries them from master to follower: the follower's next beat must be the leader's,
// to the frame when the master gives exact ticks and within a tick when it rounds them down.
TEST(Transport, FollowerFindsTheLeadersBeats)
{
    constexpr double Rate = 48000;
    std::vector<double> beats{1000};
    for (int i = 1; i < 24; ++i)
        beats.push_back(beats.back() + (i <= 8 ? 24000.0 : 32000.0));
    for (const bool wholeTicks : {false, true}) {
        TransportLeader leader;
        TransportFollower follower;
        std::size_t told = 0, checked = 1;
        for (double cycle = 1000; cycle < beats.back(); cycle += 256) {
            // The leader knows each beat a lead (100 ms) before it sounds.
            for (; told < beats.size() && beats[told] - 4800 < cycle + 256; ++told)
                leader.Add({beats[told], 24000, static_cast<std::int32_t>(told / 4) + 1, static_cast<std::int32_t>(told % 4), 4});
            TransportFollower::Position at;
            at.rolling = at.hasBarBeat = true;
            ASSERT_TRUE(leader.At(cycle, Rate, at.bbt));
            if (wholeTicks)
                at.bbt.tick = std::floor(at.bbt.tick);
            const Platform::TimelinePoint point = follower.Next(at, cycle, Rate);
            // Where the follower puts the next beat once the beat before has begun, as a run
            // asks for it a lead ahead.
            if (checked < beats.size() && cycle > beats[checked - 1] && cycle + 4800 >= beats[checked]) {
                const Platform::GridTick tick = Platform::NextGridTick(point, 1, 0, 4, beats[checked - 1], cycle);
                EXPECT_NEAR(tick.frame, beats[checked], wholeTicks ? 24000 / BarBeatTick::TicksPerBeat + 1 : 1e-6)
                    << "beat " << checked << (wholeTicks ? " whole ticks" : " exact ticks");
                EXPECT_EQ(tick.beat, static_cast<std::int32_t>(checked % 4));
                EXPECT_EQ(tick.bar, static_cast<std::int32_t>(checked / 4) + 1);
                ++checked;
            }
        }
        EXPECT_EQ(checked, beats.size());
    }
}

TEST(Transport, GridTicks)
{
    const Platform::TimelinePoint point{true, 10000, 1000, 5, 2, 4}; // bar 5, third beat at 10000
    const struct {
        std::int32_t ticksPerBeat;
        double last, reachable;
        double frame;
        std::int32_t bar, beat, step;
    } cases[] = {
        {1, -1e18, 10000, 10000, 5, 2, 0},  // the first tick: the beat itself
        {1, 10000, 0, 11000, 5, 3, 0},      // after it
        {1, 10000, 11500, 12000, 6, 0, 0},  // one that can no longer sound is passed over
        {4, 10000, 0, 10250, 5, 2, 1},      // a subdivision
        {2, -1e18, 8100, 8500, 5, 0, 1},    // before the beat told (a relocation backwards)
        {1, 10999.6, 0, 12000, 6, 0, 0},    // a tick within half a tick of the last is the last
    };
    for (const auto& c : cases) {
        const Platform::GridTick tick = Platform::NextGridTick(point, c.ticksPerBeat, 0, 4, c.last, c.reachable);
        EXPECT_DOUBLE_EQ(tick.frame, c.frame) << c.last << " " << c.reachable;
        EXPECT_EQ(tick.bar, c.bar);
        EXPECT_EQ(tick.beat, c.beat);
        EXPECT_EQ(tick.step, c.step);
    }
}

} // namespace
