#include "Core/Engine/StepSequencerTimerStrategy.h"

#include "Configuration/ConfigurationData.h"
#include "Core/Engine/RunState.h"
#include "Core/Engine/TimerFlags.h"

namespace Core {

void StepSequencerTimerStrategy::Initialise(const Configuration::ConfigurationData& settings, const RunState& run)
{
    tempo_ = settings.Bpm;
    stepsPerBeat_ = static_cast<std::uint32_t>(run.TicksPerBeat > 0 ? run.TicksPerBeat : 1);
}

double StepSequencerTimerStrategy::GetInterval()
{
    return 60000.0 / (static_cast<double>(stepsPerBeat_) * tempo_);
}

std::uint32_t StepSequencerTimerStrategy::GetBpm()
{
    return static_cast<std::uint32_t>(tempo_);
}

void StepSequencerTimerStrategy::SetBpm(std::uint32_t bpm)
{
    tempo_ = static_cast<std::int32_t>(bpm);
}

bool StepSequencerTimerStrategy::IsTempoLocked()
{
    return false;
}

std::uint32_t StepSequencerTimerStrategy::OnTick(std::uint16_t)
{
    return TimerFlags::PlayEntry | TimerFlags::StepPlayed;
}

} // namespace Core

namespace Core {

std::int32_t StepSequencerTimerStrategy::TicksPerBeat()
{
    return static_cast<std::int32_t>(stepsPerBeat_);
}

} // namespace Core
