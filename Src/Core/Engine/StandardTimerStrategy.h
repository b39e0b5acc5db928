#pragma once
#include "Core/Engine/ITimerStrategy.h"

namespace Core {

/// Ordinary playing: every tick plays the next pattern entry.
class StandardTimerStrategy final : public ITimerStrategy {
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
    std::uint32_t ticksPerBeat_ = 0;
    bool halfBeatTicks_ = false;
};

} // namespace Core
