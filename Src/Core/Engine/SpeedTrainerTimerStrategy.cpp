#include "Core/Engine/SpeedTrainerTimerStrategy.h"

#include "Configuration/ConfigurationData.h"
#include "Core/Engine/BeatPatterns.h"
#include "Core/Engine/ISpeedTrainerStrategy.h"
#include "Core/Engine/RunState.h"
#include "Core/Engine/TimerFlags.h"
#include "Core/Engine/TrainerGate.h"
#include "Platform/Clock.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>

namespace Core {

namespace {

// Toward zero, kept within int32 (no number at all gives 0) instead of undefined behaviour.
std::int32_t Truncate(double value)
{
    if (!(value > -2147483648.0))
        return value < 0.0 ? std::numeric_limits<std::int32_t>::min() : 0;
    if (value >= 2147483647.0)
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(value);
}

// The tempo a level may tick at. A run from 0 % of the tempo would otherwise have an endless
// first beat; the fastest is the fastest tempo the program accepts. Anything that is not a
// number at all is taken as the slowest.
constexpr float SlowestTempo = 1.0f;
constexpr float FastestTempo = 1000.0f;

float Bounded(float tempo)
{
    if (!(tempo >= SlowestTempo))
        return SlowestTempo;
    return std::min(tempo, FastestTempo);
}

} // namespace

void SpeedTrainerTimerStrategy::Initialise(const Configuration::ConfigurationData& settings, const RunState& run)
{
    const float bpm = static_cast<float>(settings.Bpm);
    const float start = bpm * settings.From;
    const float end = bpm * settings.To;
    const std::int32_t range = Truncate(end) - Truncate(start);
    float step = static_cast<float>(range) * settings.Step;
    if (step > 0.0f && step < 1.0f)
        step = 1.0f;
    else if (step < 0.0f && step > -1.0f)
        step = -1.0f;

    tempo_ = start;
    curve_ = run.TrainerCurve;
    assert(curve_ != nullptr);
    gate_ = run.Gate;
    warmingDown_ = false;
    levelIndex_ = 0;
    dividerCount_ = 0;

    const std::int32_t k = std::max(run.TicksPerBeat, 0);
    if (k == 0) {
        ticksPerBeat_ = 8.0;
        divider_ = settings.VisualIndicator == 1 ? 4 : 8;
    } else if (k < 4) {
        ticksPerBeat_ = 4.0 * k;
        divider_ = 4;
    } else {
        ticksPerBeat_ = 2.0 * k;
        divider_ = 2;
    }
    interval_ = IntervalFor(start);

    levelCount_ = curve_->Initialise(TrainerRun{start, end, range, step});

    barMode_ = settings.DurationsInBars != 0;
    trainerBeatsPerBar_ = std::max(run.TrainerBeatsPerBar, 1);
    levelTicks_ = -1; // the first counted tick is the level's first
    if (barMode_) {
        // Counted ticks are the beat ticks; the controller gives how many of them make a bar.
        const float ticksPerBar = static_cast<float>(std::max(run.TrainerBeatsPerBar, 1));
        levelMilliseconds_ = 0;
        ticksPerLevel_ = std::max(Truncate(ticksPerBar * settings.Duration), 1); // at least a beat
        warmUpTicks_ = Truncate(ticksPerBar * settings.Warmup);
        warmDownLength_ = Truncate(ticksPerBar * settings.Warmdown);
    } else {
        levelMilliseconds_ = Truncate(settings.Duration * 60000.0f / static_cast<float>(levelCount_));
        ticksPerLevel_ = WholeBeats(levelMilliseconds_ / interval_);
        // Any warm-up lasts at least a beat, and whole beats.
        const double warmUp = std::ceil(static_cast<double>(Truncate(settings.Warmup * start * ticksPerBeat_)) / ticksPerBeat_);
        warmUpTicks_ = Truncate(std::min(warmUp * ticksPerBeat_, MostWholeBeats()));
        // The warm-down setting is the whole warm-down; each of its four levels gets a quarter.
        warmDownLength_ = Truncate(settings.Warmdown * 60000.0f * 0.25f);
    }
    warmUpPending_ = warmUpTicks_ > 0;
    if (gate_ != nullptr) {
        gate_->BeginRun();
        // Without a warm-up the first level is the run's start.
        if (!warmUpPending_)
            gate_->StartLevel(-std::numeric_limits<double>::infinity());
    }
}

double SpeedTrainerTimerStrategy::MostWholeBeats() const
{
    return std::floor(2147483647.0 / ticksPerBeat_) * ticksPerBeat_;
}

std::int32_t SpeedTrainerTimerStrategy::WholeBeats(double ticks) const
{
    // A level starts on a beat and lasts whole beats (at least one), so that the next level,
    // and its signal, starts on a beat too.
    const double beats = std::max(std::round(ticks / ticksPerBeat_), 1.0);
    return Truncate(std::min(beats * ticksPerBeat_, MostWholeBeats()));
}

double SpeedTrainerTimerStrategy::IntervalFor(float tempo) const
{
    return 60000.0 / (static_cast<double>(Bounded(tempo)) * ticksPerBeat_);
}

double SpeedTrainerTimerStrategy::GetInterval()
{
    return interval_;
}

std::uint32_t SpeedTrainerTimerStrategy::GetBpm()
{
    // What the display shows: a start from 0 % shows 0, never more than the fastest tempo.
    if (!(tempo_ > 0.0f))
        return 0u;
    return static_cast<std::uint32_t>(std::min(tempo_, FastestTempo));
}

void SpeedTrainerTimerStrategy::SetBpm(std::uint32_t)
{
}

bool SpeedTrainerTimerStrategy::IsTempoLocked()
{
    return true;
}

std::uint32_t SpeedTrainerTimerStrategy::OnTick(std::uint16_t patternFlags)
{
    const std::int32_t c = dividerCount_;
    dividerCount_ = c + 1 == divider_ ? 0 : c + 1;
    const std::uint32_t result = c == 0 ? TimerFlags::PlayEntry : 0u;

    const bool counted = !barMode_ || (c == 0 && (patternFlags & PatternFlags::PlayBeat) != 0);

    // The warm-up's end, a level's end and the warm-down's start all fall on a counted tick
    // that begins a beat: that tick is the first of what comes next, and the signal of the
    // change sounds with its beat. A run without a warm-up starts without a signal.
    if (!counted)
        return result;
    if (warmUpTicks_ != 0) {
        --warmUpTicks_;
        return result;
    }
    ++levelTicks_;
    if (warmUpPending_) {
        warmUpPending_ = false;
        if (gate_ != nullptr)
            gate_->StartLevel(Platform::CurrentSoundStamp().frame);
        return result | TimerFlags::WarmupEnded;
    }
    // ">=" rather than "=": a level too short to hold a single tick still ends.
    if (levelTicks_ >= ticksPerLevel_)
        return EndLevel(result);
    return result;
}

std::uint32_t SpeedTrainerTimerStrategy::EndLevel(std::uint32_t result)
{
    if (gate_ != nullptr && !warmingDown_) {
        const GateVerdict verdict = gate_->EndLevel(Platform::CurrentSoundStamp().frame);
        if (verdict == GateVerdict::Stop)
            return result | TimerFlags::RunComplete;
        if (verdict == GateVerdict::Repeat) {
            // The same level again, from this beat, with the change's signal.
            levelTicks_ = 0;
            return result | TimerFlags::TempoChanged;
        }
    }
    ++levelIndex_;
    if (levelIndex_ >= levelCount_) {
        if (warmDownLength_ != 0) {
            BeginWarmDown();
            return result | TimerFlags::TempoChanged | TimerFlags::WarmdownStarted;
        }
        return result | TimerFlags::RunComplete;
    }
    tempo_ = curve_->NextStep();
    levelTicks_ = 0;
    interval_ = IntervalFor(tempo_);
    // Every level lasts the same time whatever its tempo.
    if (!barMode_)
        ticksPerLevel_ = WholeBeats(levelMilliseconds_ / interval_);
    return result | TimerFlags::TempoChanged;
}

void SpeedTrainerTimerStrategy::BeginWarmDown()
{
    tempo_ = curve_->StartWarmDown(WarmDownLevels);
    // The first warm-down level's interval is taken in whole milliseconds.
    const std::int32_t ticksPerMinute = std::max(Truncate(static_cast<double>(Bounded(tempo_)) * ticksPerBeat_), 1);
    interval_ = static_cast<double>(60000 / ticksPerMinute);
    if (barMode_) {
        ticksPerLevel_ = warmDownLength_;
    } else {
        levelMilliseconds_ = warmDownLength_;
        ticksPerLevel_ = WholeBeats(warmDownLength_ / interval_);
    }
    levelCount_ = WarmDownLevels;
    warmingDown_ = true;
    levelIndex_ = 0;
    levelTicks_ = 0;
    warmDownLength_ = 0; // the end of the warm-down completes the run
}

} // namespace Core

namespace Core {

std::int32_t SpeedTrainerTimerStrategy::TicksPerBeat()
{
    return static_cast<std::int32_t>(ticksPerBeat_);
}

std::int32_t SpeedTrainerTimerStrategy::BarsLeftInLevel(std::int64_t timerTicksPerBar)
{
    if (warmUpTicks_ != 0 || warmUpPending_)
        return -1;
    // Counted ticks: the beat ticks in bar mode, every tick otherwise.
    const std::int64_t perBar = barMode_ ? trainerBeatsPerBar_ : timerTicksPerBar;
    const std::int64_t left = ticksPerLevel_ - std::max(levelTicks_, 0);
    if (perBar <= 0 || left <= 0)
        return -1;
    return static_cast<std::int32_t>((left + perBar - 1) / perBar);
}

} // namespace Core
