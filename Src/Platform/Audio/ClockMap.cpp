#include "Platform/Audio/ClockMap.h"

#include <algorithm>
#include <cmath>

namespace Platform::Audio {

namespace {
// Errors above this are not jitter but a stall or a restart of the stream.
constexpr double reanchorThreshold = 200e6; // ns
// The loop starts wide, to settle within a few callbacks, and narrows geometrically over
// the first few hundred updates to its final bandwidth (Hz), where jitter of a millisecond
// moves the map by a few frames at most and jitter of tens of microseconds by a fraction
// of a frame, while a device clock that runs fast or slow is still followed exactly.
// Starting any wider lets the bursts in which some servers ask for blocks pull it around.
constexpr double callbackBandwidth = 0.1;
constexpr double serverBandwidth = 1.0;
constexpr double startBandwidth = 2.0;
constexpr std::uint64_t narrowingUpdates = 300;
// The bandwidth's factor from one update to the next while it narrows, worked out once rather
// than as a power in every callback (a cold libm power in a callback that wakes with empty
// caches took microseconds).
const double callbackNarrowing = std::pow(callbackBandwidth / startBandwidth, 1.0 / static_cast<double>(narrowingUpdates));
const double serverNarrowing = std::pow(serverBandwidth / startBandwidth, 1.0 / static_cast<double>(narrowingUpdates));
constexpr double pi = 3.14159265358979323846;
// A callback much later than the loop expects is nearly always a thread that was kept from
// running, not a change in the stream; its error counts only up to this many times the
// usual error (and at least minimumErrorLimit), so one stall cannot pull the map away.
constexpr double errorLimitFactor = 4.0;
constexpr double minimumErrorLimit = 250e3; // ns
} // namespace

void ClockMap::Reset(double sampleRate, Times times) noexcept
{
    finalBandwidth_ = times == Times::ServerEstimate ? serverBandwidth : callbackBandwidth;
    narrowingStep_ = times == Times::ServerEstimate ? serverNarrowing : callbackNarrowing;
    nominalPeriod_ = 1e9 / sampleRate;
    period_ = nominalPeriod_;
    anchorTime_ = 0;
    anchorFrame_ = 0;
    updates_ = 0;
    bandwidth_ = startBandwidth;
    reanchors_ = 0;
    usualError_ = 0;
}

void ClockMap::Update(std::int64_t time, std::uint64_t frame) noexcept
{
    const double now = static_cast<double>(time);
    if (updates_ < narrowingUpdates)
        bandwidth_ = updates_ + 1 == narrowingUpdates ? finalBandwidth_ : bandwidth_ * narrowingStep_;
    if (updates_++ == 0 || frame <= anchorFrame_) {
        anchorTime_ = now;
        anchorFrame_ = frame;
        return;
    }
    const double frames = static_cast<double>(frame - anchorFrame_);
    const double predicted = anchorTime_ + frames * period_;
    const double error = now - predicted;
    if (std::fabs(error) > reanchorThreshold) {
        ++reanchors_;
        anchorTime_ = now;
        anchorFrame_ = frame;
        period_ = nominalPeriod_;
        return;
    }
    const double limit = std::max(minimumErrorLimit, errorLimitFactor * usualError_);
    const double counted = std::clamp(error, -limit, limit);
    usualError_ += (std::fabs(counted) - usualError_) / 64.0;
    // Long callbacks would push the loop past its stable range; keep the per-update gain low.
    const double omega = std::min(0.25, 2.0 * pi * bandwidth_ * frames * period_ * 1e-9);
    const double b = std::min(1.0, std::sqrt(2.0) * omega);
    const double c = omega * omega;
    anchorTime_ = predicted + b * counted;
    anchorFrame_ = frame;
    period_ += c * counted / frames;
    // A device clock is never off by more than a few per cent; keep nonsense out.
    period_ = std::clamp(period_, nominalPeriod_ * 0.95, nominalPeriod_ * 1.05);
}

double ClockMap::FrameAt(std::int64_t time) const noexcept
{
    return static_cast<double>(anchorFrame_) + (static_cast<double>(time) - anchorTime_) / period_;
}

double ClockMap::TimeOf(double frame) const noexcept
{
    return anchorTime_ + (frame - static_cast<double>(anchorFrame_)) * period_;
}

} // namespace Platform::Audio
