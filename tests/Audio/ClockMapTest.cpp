// The clock-to-frame map must take the scheduler's jitter out of the callback times: clicks
// are placed from it, so its error is their error.
#include "Platform/Audio/ClockMap.h"
#include "Platform/Audio/JackOutput.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using Platform::Audio::ClockMap;

namespace {

struct Stream {
    double rate;              // the device's true frames per second of clock time
    double jitterNs;          // callbacks come up to this much late, uniformly spread
    std::uint32_t blockFrames = 256;
};

// Feeds the map callbacks of a simulated stream and returns the largest error, in frames,
// of the map for times between the callbacks, after the first settleSeconds.
double WorstError(const Stream& stream, double seconds, double settleSeconds, std::uint32_t seed = 1)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> jitter(0.0, stream.jitterNs);
    const double start = 5e12;
    ClockMap map;
    map.Reset(44100);
    double worst = 0;
    const auto blocks = static_cast<std::uint64_t>(seconds * stream.rate / stream.blockFrames);
    for (std::uint64_t k = 0; k < blocks; ++k) {
        const std::uint64_t frame = k * stream.blockFrames;
        const double due = start + static_cast<double>(frame) * 1e9 / stream.rate;
        map.Update(static_cast<std::int64_t>(due + jitter(random)), frame);
        if (static_cast<double>(frame) / stream.rate < settleSeconds)
            continue;
        // The average lateness is a constant offset and harmless; only the varying part
        // moves clicks against each other.
        const double probe = due + 0.37e9 / stream.rate * stream.blockFrames;
        const double truth = (probe - start) * stream.rate / 1e9 - stream.jitterNs / 2 * stream.rate / 1e9;
        worst = std::max(worst, std::fabs(map.FrameAt(static_cast<std::int64_t>(probe)) - truth));
    }
    return worst;
}

} // namespace

TEST(ClockMap, JitterAndADriftingDeviceClockStayOutOfTheMap)
{
    const struct {
        const char* name;
        Stream stream;
        double seconds, settle, bound;
    } cases[] = {
        {"exact callbacks", {44100.0, 0.0}, 60, 0, 0.01},
        {"exact callbacks, large blocks", {44100.0, 0.0, 4096}, 60, 0, 0.01},
        // A device clock 80 ppm fast, callbacks up to 1 ms (44 frames) late, as a loaded desktop gives.
        {"loaded desktop", {44100.0 * (1 + 80e-6), 1e6}, 120, 20, 4.0},
        // Small jitter (a real-time thread on an idle core) keeps it well inside a frame.
        {"real-time thread", {44100.0 * (1 - 30e-6), 50e3}, 60, 10, 0.25},
    };
    for (const auto& c : cases)
        for (std::uint32_t seed = 1; seed <= 3; ++seed)
            EXPECT_LT(WorstError(c.stream, c.seconds, c.settle, seed), c.bound) << c.name << ", seed " << seed;
}

TEST(ClockMap, AThreadKeptFromRunningForAWhileHardlyMovesTheMap)
{
    // The audio thread misses 50 ms once a minute and then catches up block after block, as
    // a real-time thread does when something of higher priority runs.
    ClockMap map;
    map.Reset(44100);
    const double start = 1e12;
    double lowest = 1e9;
    double highest = -1e9;
    double stalledUntil = 0;
    for (std::uint64_t k = 0; k < 44100 * 180 / 256; ++k) {
        const double due = start + static_cast<double>(k * 256) * 1e9 / 44100;
        if (k % 10000 == 5000)
            stalledUntil = due + 50e6;
        map.Update(static_cast<std::int64_t>(std::max(due + 10e3 * static_cast<double>(k % 7), stalledUntil)), k * 256);
        if (k > 2000) {
            const double error = map.FrameAt(static_cast<std::int64_t>(due)) - static_cast<double>(k * 256);
            lowest = std::min(lowest, error);
            highest = std::max(highest, error);
        }
    }
    // The constant part (the callbacks' average lateness) is harmless; what varies moves
    // clicks. Counted in full, each stall would move the map by some 50 frames.
    EXPECT_LT(highest - lowest, 3.0);
}

TEST(ClockMap, AStalledStreamIsPickedUpAgainAtOnce)
{
    ClockMap map;
    map.Reset(44100);
    const std::int64_t start = 1'000'000'000;
    for (std::uint64_t k = 0; k < 1000; ++k)
        map.Update(start + static_cast<std::int64_t>(k * 256 * 1e9 / 44100), k * 256);
    // The stream stops for two seconds and resumes where it left off.
    const std::int64_t resumed = start + static_cast<std::int64_t>(1000 * 256 * 1e9 / 44100) + 2'000'000'000;
    map.Update(resumed, 1000 * 256);
    EXPECT_NEAR(map.FrameAt(resumed), 1000 * 256, 0.5);
    EXPECT_EQ(map.Reanchors(), 1u);
}

TEST(ClockMap, AServerEstimateThatMovesIsFollowedWithinTwoSeconds)
{
    // JACK's own estimate of its cycles' starts moves by 3 ms (its driver fell behind and
    // did not make it up); every client of the server, a Link peer among them, goes with it.
    ClockMap map;
    map.Reset(48000, ClockMap::Times::ServerEstimate);
    const double start = 1e12;
    const std::uint64_t step = 48000 * 20 / 256;
    double worstAfter = 0;
    for (std::uint64_t k = 0; k < 48000 * 30 / 256; ++k) {
        const double due = start + static_cast<double>(k * 256) * 1e9 / 48000 + (k >= step ? 3e6 : 0.0);
        map.Update(static_cast<std::int64_t>(due), k * 256);
        if (k >= step + 2 * 48000 / 256)
            worstAfter = std::max(worstAfter, std::fabs(map.TimeOf(static_cast<double>(k * 256)) - due));
    }
    EXPECT_LT(worstAfter, 50e3); // ns
}

// Inside a JACK callback the server's frame counter is read as it is now: a late callback
// reads the next cycle's, so only a jump that the next callback sees as well is missed cycles.
TEST(FrameTimeFollower, CountsOnlyAJumpSeenByTwoCallbacksAsMissedCycles)
{
    struct Case {
        const char* name;
        std::vector<std::uint32_t> counters; // read in successive callbacks of 256 frames
        std::vector<std::uint32_t> missed;
    };
    const Case cases[] = {
        {"a late callback reads the next cycle's counter", {1000, 1512, 1512, 1768}, {0, 0, 0, 0}},
        {"three cycles without us", {1000, 2024, 2280, 2536}, {0, 0, 768, 0}},
        {"the counter wraps", {0xFFFFFF00u, 0, 256}, {0, 0, 0}},
    };
    for (const Case& test : cases) {
        Platform::Audio::FrameTimeFollower follower;
        for (std::size_t k = 0; k < test.counters.size(); ++k)
            EXPECT_EQ(follower.Next(test.counters[k], 256), test.missed[k]) << test.name << ", callback " << k;
    }
}

// The JACK callback's time per cycle: percentiles never below the true value and within a
// bucket (1/16 of an octave) of it, the maximum exact, a negative duration counted as 0.
TEST(DurationHistogram, GivesPercentilesWithinABucketAndTheExactMaximum)
{
    Platform::Audio::DurationHistogram times;
    EXPECT_EQ(times.Percentile(0.5), 0u);
    times.Record(-5);
    for (std::uint64_t us = 1; us <= 1000; ++us)
        times.Record(static_cast<std::int64_t>(us * 1000));
    EXPECT_EQ(times.Count(), 1001u);
    for (const auto& [fraction, value] : {std::pair{0.5, 500'000u}, std::pair{0.99, 990'000u}}) {
        EXPECT_GE(times.Percentile(fraction), value);
        EXPECT_LE(times.Percentile(fraction), value + value / 16);
    }
    EXPECT_EQ(times.Max(), 1'000'000u);
}
