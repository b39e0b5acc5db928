#pragma once
#include "Core/Engine/ITimerStrategy.h"

namespace Core {

/// Playing in the step sequencer: each rhythm step is divided into frames so that the
/// playback cursor moves smoothly; only the first frame of a step plays the entry.
class StepSequencerTimerStrategy final : public ITimerStrategy {
public:
    void Initialise(const Configuration::ConfigurationData& settings, const RunState& run) override;
    double GetInterval() override;
    std::uint32_t GetBpm() override;
    void SetBpm(std::uint32_t bpm) override;
    bool IsTempoLocked() override;
    std::uint32_t OnTick(std::uint16_t patternFlags) override;

    /// Frames per rhythm step for a tempo and a beat's ticks.
    static std::int32_t FramesPerStep(std::int32_t bpm, std::int32_t ticksPerBeat);
    /// Frames per step (one grid column) of a custom rhythm record before it plays: the value
    /// the strategy will use once the rhythm's ticks per beat are known. The step sequencer's
    /// cursor moves by it, so that the cursor and the sound can never disagree.
    static std::int32_t FramesPerColumn(const Configuration::ConfigurationData& rhythm);

private:
    std::int32_t tempo_ = 120;
    std::uint32_t framesPerBeat_ = 1;
    std::int32_t frameCounter_ = 0;
    std::int32_t framesPerStep_ = 1;
};

} // namespace Core
