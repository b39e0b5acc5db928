#include "Core/Engine/StepSequencerTimerStrategy.h"

#include "Configuration/ConfigurationData.h"
#include "Core/Engine/BeatStrategies.h"
#include "Core/Engine/RunState.h"
#include "Core/Engine/TimerFlags.h"

namespace Core {

std::int32_t StepSequencerTimerStrategy::FramesPerStep(std::int32_t bpm, std::int32_t ticksPerBeat)
{
    const bool fine = ticksPerBeat <= 2;
    if (bpm < 50)
        return fine ? 20 : 16;
    if (bpm < 100)
        return fine ? 16 : 12;
    if (bpm < 200)
        return fine ? 12 : 8;
    return fine ? 8 : 4;
}

std::int32_t StepSequencerTimerStrategy::FramesPerColumn(const Configuration::ConfigurationData& rhythm)
{
    return FramesPerStep(rhythm.Bpm, RhythmStepsPerBeat(rhythm));
}

void StepSequencerTimerStrategy::Initialise(const Configuration::ConfigurationData& settings, const RunState& run)
{
    tempo_ = settings.Bpm;
    framesPerStep_ = FramesPerStep(settings.Bpm, run.TicksPerBeat);
    frameCounter_ = 0;
    framesPerBeat_ = static_cast<std::uint32_t>(run.TicksPerBeat != 0 ? run.TicksPerBeat * framesPerStep_ : framesPerStep_);
}

double StepSequencerTimerStrategy::GetInterval()
{
    return 60000.0 / (static_cast<double>(framesPerBeat_) * tempo_);
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
    const std::int32_t frame = frameCounter_;
    frameCounter_ = frame + 1 == framesPerStep_ ? 0 : frame + 1;
    return frame == 0 ? (TimerFlags::PlayEntry | TimerFlags::SequencerFrame) : TimerFlags::SequencerFrame;
}

} // namespace Core
