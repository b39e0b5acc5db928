#pragma once
#include "Platform/FrameClock.h"
#include "Platform/SpscQueue.h"

#include <array>
#include <cstdint>

namespace Platform::Audio {

/// A piece of what an audio input captured (mono), stamped on the output stream's frames: the
/// frame that was leaving the output when its first sample was captured, as far as the
/// servers' reported latencies tell (what they leave out is the round trip a calibration
/// measures; the output offset is not in it).
struct CaptureBlock {
    static constexpr std::uint32_t MaxFrames = 256;
    double heardFrame = 0;
    std::uint32_t frames = 0;
    std::array<float, MaxFrames> samples{};
};

/// From a capture thread (the input's audio thread) to the one that looks for hits in it.
using CaptureQueue = SpscQueue<CaptureBlock>;

/// The output frame heard at time (Platform::Clock nanoseconds) on clock, from its frame
/// heard one lead from now at the clock's rate. Any thread; wait-free.
inline double HeardFrameAt(const IFrameClock& clock, std::int64_t time) noexcept
{
    const double reference = clock.AnchorFrame();
    return reference + static_cast<double>(time - clock.HeardTime(reference)) * clock.FrameRate() / 1e9;
}

} // namespace Platform::Audio
