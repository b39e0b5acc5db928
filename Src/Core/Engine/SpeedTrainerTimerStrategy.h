#pragma once
#include "Core/Engine/ITimerStrategy.h"

namespace Core {

class ISpeedTrainerStrategy;

/// The timer strategy of a speed-trainer run: a warm-up at the starting tempo, then the
/// levels of the curve (the first at the starting tempo), then an optional warm-down of four
/// levels, after which it reports the run complete. It owns the tempo (ChangeTempo is
/// ignored) and re-times the ticks itself.
///
/// The timer ticks finer than the pattern (several timer ticks per pattern tick). Durations
/// count minutes, or bars when DurationsInBars is set: then only ticks on which the beat
/// strategy plays a beat count. In minutes, the warm-up and every level last whole beats (the
/// nearest to their time), so each change of phase, and its signal, falls on a beat.
///
/// With a gate (RunState::Gate, the trainer that waits) each level of the curve is judged at
/// its end (TrainerGate::EndLevel): played again at the same tempo (with the change signal),
/// or the run ends (RunComplete) when the gate says so; the warm-down is never judged.
///
/// Reads from the record at Initialise: Bpm, From, To, Step, Duration, Warmup, Warmdown,
/// DurationsInBars, VisualIndicator; from the run: TicksPerBeat, TrainerCurve (which must be
/// set) and (bar mode) TrainerBeatsPerBar, the number of counted ticks in one bar.
/// Initialise, GetInterval and GetBpm run on the control thread while the timer is not
/// ticking; OnTick, GetInterval and GetBpm on the timer thread while it is.
class SpeedTrainerTimerStrategy final : public ITimerStrategy {
public:
    static constexpr std::int32_t WarmDownLevels = 4;

    void Initialise(const Configuration::ConfigurationData& settings, const RunState& run) override;
    double GetInterval() override;
    /// The current tempo, truncated.
    std::uint32_t GetBpm() override;
    /// Does nothing: the run owns its tempo.
    void SetBpm(std::uint32_t bpm) override;
    bool IsTempoLocked() override;
    std::uint32_t OnTick(std::uint16_t patternFlags) override;
    std::int32_t TicksPerBeat() override;
    std::int32_t BarsLeftInLevel(std::int64_t timerTicksPerBar) override;

    /// Levels of the current phase and how many of them are complete (for tests and display).
    std::int32_t LevelCount() const { return levelCount_; }
    std::int32_t LevelIndex() const { return levelIndex_; }
    std::int32_t TicksPerLevel() const { return ticksPerLevel_; }

private:
    std::uint32_t EndLevel(std::uint32_t result);
    void BeginWarmDown();
    double IntervalFor(float tempo) const;
    /// Timer ticks of the whole beats nearest to ticks, at least one beat (minutes mode).
    std::int32_t WholeBeats(double ticks) const;
    /// The most timer ticks of whole beats an int32 holds.
    double MostWholeBeats() const;

    ISpeedTrainerStrategy* curve_ = nullptr;
    TrainerGate* gate_ = nullptr;
    bool warmingDown_ = false;
    double interval_ = 0.0;
    std::int32_t levelCount_ = 0;
    std::int32_t levelIndex_ = 0;
    std::int32_t warmUpTicks_ = 0;
    std::int32_t warmDownLength_ = 0;
    double ticksPerBeat_ = 8.0;
    std::int32_t divider_ = 1;
    std::int32_t dividerCount_ = 0;
    float tempo_ = 0.0f;
    std::int32_t levelMilliseconds_ = 0;
    std::int32_t ticksPerLevel_ = 0;
    std::int32_t levelTicks_ = 0;
    bool warmUpPending_ = false;
    bool barMode_ = false;
    std::int32_t trainerBeatsPerBar_ = 1;
};

} // namespace Core
