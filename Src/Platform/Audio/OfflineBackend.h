#pragma once
#include "Platform/Audio/IAudioBackend.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Platform::Audio {

/// A stream without a device that renders only when pulled, for tests: each Pull is one
/// callback, and everything rendered is captured in memory (and can be saved as a WAV file).
/// Its clock is simulated: frame n is rendered at StartTime() + n / rate seconds exactly,
/// so sound placement can be checked to the sample. Control and Pull on one thread, or
/// with the caller keeping them apart.
class OfflineBackend final : public IAudioBackend {
public:
    /// startTime is the clock time of frame 0; 0 takes the clock's time at each Open.
    explicit OfflineBackend(std::int64_t startTime = 0) : fixedStart_(startTime) {}

    Result Open(std::uint32_t sampleRate, std::uint32_t blockFrames, IRenderer& renderer) override;
    void Close() override;
    double DeviceLatencySeconds() const override { return 0; }
    bool RunsByItself() const override { return false; }
    const char* Name() const override { return "offline"; }

    /// Makes every following Open run at rate whatever it is asked for, as an output with a
    /// rate of its own (a JACK server); 0 runs at the asked rate.
    void RunAt(std::uint32_t rate) { ownRate_ = rate; }
    /// Makes every following Open fail with result (NoError opens again).
    void FailOpenWith(Result result) { openResult_ = result; }

    /// Renders frames more frames, in callbacks of at most blockFrames (and MaxBlockFrames)
    /// each, and captures them. False when the stream is not open.
    bool Pull(std::uint64_t frames, std::uint32_t blockFrames);

    bool IsOpen() const { return renderer_ != nullptr; }
    std::uint32_t SampleRate() const { return sampleRate_; }
    /// The clock time of frame 0 of the current (or last) stream.
    std::int64_t StartTime() const { return startTime_; }
    /// The simulated clock time at which frame is rendered, to the nearest nanosecond.
    std::int64_t TimeOfFrame(double frame) const;
    /// Frames rendered since Open.
    std::uint64_t Frames() const { return frames_; }

    /// Everything rendered since Open (or ClearCapture), interleaved stereo.
    const std::vector<float>& Captured() const { return captured_; }
    void ClearCapture() { captured_.clear(); }

private:
    std::int64_t fixedStart_;
    std::int64_t startTime_ = 0;
    Result openResult_ = NoError;
    IRenderer* renderer_ = nullptr;
    std::uint32_t sampleRate_ = 0;
    std::uint32_t ownRate_ = 0;
    std::uint64_t frames_ = 0;
    std::vector<float> captured_;
};

} // namespace Platform::Audio
