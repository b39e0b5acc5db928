#include "Platform/Clock.h"
#include "Platform/FrameClock.h"
#include "Platform/LinkSession.h"
#include "Platform/Timeline.h"

#include <ableton/Link.hpp>
#include <gtest/gtest.h>

#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

namespace {

// A session's beat as a run on it finds its next tick: bar 1 on the session's phase 0, the
// bar's beats as the quantum, and nothing before the bar line a start waits for.
TEST(Link, SessionBeatsGiveTheRunsTicks)
{
    const struct {
        std::int64_t beat;
        std::int32_t perBar, ticksPerBeat;
        double beatFrame, nextBeatFrame, reachable;
        double frame;
        std::int32_t bar, beat0, step;
    } cases[] = {
        {0, 4, 1, 100000, 124000, 50000, 100000, 1, 0, 0}, // a start waits for its bar line
        {0, 4, 2, 100000, 124000, 0, 100000, 1, 0, 0},     // also with subdivisions
        {5, 4, 1, 10000, 34000, 20000, 34000, 2, 2, 0},    // joining a session that plays
        {7, 3, 1, 0, 24000, 1, 24000, 3, 2, 0},            // three beats to the bar
        {3, 4, 2, 0, 28800, 1, 14400, 1, 3, 1},            // the tempo from the next beat (100 bpm)
        {-1, 4, 1, 0, 24000, -10, 0, 0, 3, 0},             // before the session's beat 0
    };
    for (const auto& c : cases) {
        const Platform::TimelinePoint point = Platform::SessionPoint(true, c.beat, c.perBar, c.beatFrame, c.nextBeatFrame);
        const Platform::GridTick tick = Platform::NextGridTick(point, c.ticksPerBeat, 0, 4, -1e18, c.reachable);
        EXPECT_DOUBLE_EQ(tick.frame, c.frame) << "beat " << c.beat;
        EXPECT_EQ(tick.bar, c.bar) << "beat " << c.beat;
        EXPECT_EQ(tick.beat, c.beat0) << "beat " << c.beat;
        EXPECT_EQ(tick.step, c.step) << "beat " << c.beat;
    }
}

bool LoopbackMulticast()
{
    const int probe = socket(AF_INET, SOCK_DGRAM, 0);
    ifreq request{};
    std::snprintf(request.ifr_name, sizeof request.ifr_name, "lo");
    const bool on = probe >= 0 && ioctl(probe, SIOCGIFFLAGS, &request) == 0 && (request.ifr_flags & IFF_MULTICAST) != 0;
    if (probe >= 0)
        close(probe);
    return on;
}

// Another peer on this machine starts playing at 97 bpm: the session's beats, as published,
// fall on that peer's beat times from its first bar line on (its raw clock brought onto the steady one) and bars.
TEST(Link, FollowsAnotherPeersBeats)
{
    if (!LoopbackMulticast())
        GTEST_SKIP() << "Link finds peers by multicast; the loopback device has none (ip link set lo multicast on)";
    Platform::ExternalTimeline timeline;
    Platform::LinkSession session(timeline, Platform::SteadyFrames()); // a frame is a nanosecond
    ableton::Link other(97);
    other.enableStartStopSync(true);
    other.enable(true);
    session.SetBeatsPerBar(3);
    session.Enable(true, 120);
    const auto until = [](auto condition) {
        for (int i = 0; i < 2000 && !condition(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return condition();
    };
    if (!until([&] { return session.Peers() > 0; }))
        GTEST_SKIP() << "no Link peer found within 10 s";
    if (session.Peers() > 1)
        GTEST_SKIP() << "another Link session plays on this network";
    auto state = other.captureAppSessionState();
    state.setTempo(97, other.clock().micros());
    state.setIsPlayingAndRequestBeatAtTime(true, other.clock().micros(), 0, 3);
    other.commitAppSessionState(state);
    ASSERT_TRUE(until([&] { return session.Playing() && std::abs(session.Tempo() - 97) < 1e-3; }))
        << session.Playing() << " " << session.Tempo();
    timespec raw{};
    clock_gettime(CLOCK_MONOTONIC_RAW, &raw);
    const double rawToSteady = static_cast<double>(Platform::Clock::Now()) - (raw.tv_sec * 1e9 + raw.tv_nsec);
    const double now = static_cast<double>(Platform::Clock::Now());
    const Platform::GridTick tick = Platform::NextGridTick(timeline.Read(), 1, 0, 4, -1e18, now);
    state = other.captureAppSessionState();
    const auto micros = [](double ns) { return std::chrono::microseconds(std::llround(ns / 1000)); };
    // Nothing before the start's bar line, the session's beat 0.
    const double beat = std::max(std::ceil(state.beatAtTime(micros(now - rawToSteady), 3)), 0.0);
    const double expected = static_cast<double>(state.timeAtBeat(beat, 3).count()) * 1000 + rawToSteady;
    EXPECT_NEAR(tick.frame, expected, 100'000); // 0.1 ms
    EXPECT_EQ(tick.beat, static_cast<std::int32_t>(std::fmod(beat, 3)));
}

} // namespace
