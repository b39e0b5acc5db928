#pragma once
#include "Core/Engine/ITimerStrategy.h"

namespace Core {

/// Playing in the step sequencer: one tick per step of the rhythm, each reported as StepPlayed
/// so that the window can show the step when it is heard.
class StepSequencerTimerStrategy final : public ITimerStrategy {
public:
    void Initialise(const Configuration::ConfigurationData& settings, const RunState& run) override;
    double GetInterval() override;
    std::uint32_t GetBpm() override;
    void SetBpm(std::uint32_t bpm) override;
    bool IsTempoLocked() override;
    std::uint32_t OnTick(std::uint16_t patternFlags) override;
    std::int32_t TicksPerBeat() override;

private:
    std::int32_t tempo_ = 120;
    std::uint32_t stepsPerBeat_ = 1;
};

} // namespace Core
