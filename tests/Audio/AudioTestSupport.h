#pragma once
// Offline rendering rig for the audio tests: a mixer on the offline backend with a fixed
// simulated clock, sounds stamped at chosen times, and onset search in the capture.
#include "Platform/Audio/Mixer.h"
#include "Platform/Audio/OfflineBackend.h"
#include "Platform/Clock.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <optional>
#include <thread>
#include <vector>

namespace AudioTest {

/// Clock time of frame 0 in every offline rig.
constexpr std::int64_t StreamStart = 1'000'000'000'000;

struct OfflineRig {
    OfflineRig() : backend(StreamStart), mixer(backend, {}) {} // the mixer's default lead of 20 ms
    /// The clock time at which the (fractional) frame is rendered.
    std::int64_t TimeOf(double frame) const { return StreamStart + std::llround(frame * 1e9 / 44100.0); }

    Platform::Audio::OfflineBackend backend;
    Platform::Audio::Mixer mixer;
};

/// Runs body with the calling thread's tick time set to stamp, as inside OnTimer.
template <typename Body>
auto AtTick(std::int64_t stamp, Body body)
{
    Platform::SetCurrentTickTime(stamp);
    auto result = body();
    Platform::SetCurrentTickTime(0);
    return result;
}

/// Pulls backend (opened by a run on the real clock) in real time, lag nanoseconds behind the
/// clock, until done() holds; false when it has not after a minute. Every sound of the run
/// reaches the mixer before its frame is rendered, however late the machine wakes its threads.
template <typename Done>
bool PullBehindTheClockUntil(Platform::Audio::OfflineBackend& backend, Done done, std::int64_t lag, double rate = 44100.0)
{
    for (const std::int64_t end = Platform::Clock::Now() + 60'000'000'000; !done();) {
        if (Platform::Clock::Now() > end)
            return false;
        const std::int64_t behind = Platform::Clock::Now() - backend.StartTime() - lag;
        const auto reachable = behind > 0 ? static_cast<std::uint64_t>(static_cast<double>(behind) * rate / 1e9) : 0u;
        if (reachable > backend.Frames())
            backend.Pull(reachable - backend.Frames(), 256);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

/// Peak absolute sample (either channel) of frames [from, to).
inline float Peak(const std::vector<float>& capture, std::size_t from, std::size_t to)
{
    float peak = 0;
    for (std::size_t i = 2 * from; i < 2 * to && i < capture.size(); ++i)
        peak = std::max(peak, std::fabs(capture[i]));
    return peak;
}

/// The first frame at or after from whose level exceeds threshold.
inline std::optional<std::size_t> Onset(const std::vector<float>& capture, std::size_t from = 0, float threshold = 1e-4f)
{
    for (std::size_t frame = from; 2 * frame + 1 < capture.size(); ++frame) {
        if (std::fabs(capture[2 * frame]) > threshold || std::fabs(capture[2 * frame + 1]) > threshold)
            return frame;
    }
    return std::nullopt;
}

/// Onsets separated by at least gap frames of silence-or-decay: each onset is the first
/// frame above threshold after the previous onset plus minSpacing.
inline std::vector<std::size_t> Onsets(const std::vector<float>& capture, std::size_t minSpacing, float threshold = 1e-4f)
{
    std::vector<std::size_t> onsets;
    std::size_t from = 0;
    while (auto onset = Onset(capture, from, threshold)) {
        onsets.push_back(*onset);
        from = *onset + minSpacing;
    }
    return onsets;
}

} // namespace AudioTest
