#include "Core/Engine/StandardTimerStrategy.h"

#include "Configuration/ConfigurationData.h"
#include "Core/Engine/RunState.h"
#include "Core/Engine/TimerFlags.h"

namespace Core {

void StandardTimerStrategy::Initialise(const Configuration::ConfigurationData& settings, const RunState& run)
{
    tempo_ = settings.Bpm;
    ticksPerBeat_ = static_cast<std::uint32_t>(run.TicksPerBeat);
    halfBeatTicks_ = settings.VisualIndicator == 1;
}

double StandardTimerStrategy::GetInterval()
{
    if (ticksPerBeat_ != 0)
        return 60000.0 / (static_cast<double>(tempo_) * ticksPerBeat_);
    // Without subdivisions a second tick in each beat turns the lamp off again.
    if (halfBeatTicks_)
        return 30000.0 / tempo_;
    return 60000.0 / tempo_;
}

std::uint32_t StandardTimerStrategy::GetBpm()
{
    return static_cast<std::uint32_t>(tempo_);
}

void StandardTimerStrategy::SetBpm(std::uint32_t bpm)
{
    tempo_ = static_cast<std::int32_t>(bpm);
}

bool StandardTimerStrategy::IsTempoLocked()
{
    return false;
}

std::uint32_t StandardTimerStrategy::OnTick(std::uint16_t)
{
    return TimerFlags::PlayEntry;
}

} // namespace Core

namespace Core {

std::int32_t StandardTimerStrategy::TicksPerBeat()
{
    if (ticksPerBeat_ != 0)
        return static_cast<std::int32_t>(ticksPerBeat_);
    return halfBeatTicks_ ? 2 : 1;
}

} // namespace Core
