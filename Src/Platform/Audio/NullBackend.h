#pragma once
#include "Platform/Audio/IAudioBackend.h"

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

namespace Platform::Audio {

/// A stream without a device that consumes blocks in real time: its own thread asks for one
/// block every block length of the clock, as a sound card would, and reports each block's
/// due time as its callback time, so the stream's frame clock is the steady clock times the
/// rate. It can keep what it renders
/// and how long each render took, in storage reserved beforehand, for benchmarks.
/// Control calls from one thread; the captures may be read after Close.
class NullBackend final : public IAudioBackend {
public:
    /// captureFrames: how many frames of output to keep (0 keeps none); timingBlocks: how
    /// many per-block render durations to keep.
    explicit NullBackend(std::size_t captureFrames = 0, std::size_t timingBlocks = 0);
    ~NullBackend() override;

    Result Open(std::uint32_t sampleRate, std::uint32_t blockFrames, IRenderer& renderer) override;
    void Close() override;
    double DeviceLatencySeconds() const override { return 0; }
    bool RunsByItself() const override { return true; }
    const char* Name() const override { return "null"; }

    /// What was kept of the last stream: interleaved stereo frames from frame 0, and the
    /// nanoseconds each Render call took.
    const std::vector<float>& Captured() const { return captured_; }
    std::size_t CapturedFrames() const { return capturedFrames_; }
    const std::vector<std::int64_t>& RenderTimes() const { return renderTimes_; }
    std::size_t RenderTimeCount() const { return renderTimeCount_; }

private:
    void Run(std::uint32_t sampleRate, std::uint32_t blockFrames, IRenderer* renderer);

    std::vector<float> captured_;
    std::vector<std::int64_t> renderTimes_;
    std::size_t capturedFrames_ = 0;
    std::size_t renderTimeCount_ = 0;
    std::vector<float> block_;
    std::atomic<bool> running_{false};
    std::thread thread_;
};

} // namespace Platform::Audio
