#pragma once
#include "Core/Engine/BeatStrategies.h"
#include "Core/Engine/MetronomeStrategy.h"
#include "Core/Engine/SpeedTrainerTimerStrategy.h"
#include "Core/Engine/StandardTimerStrategy.h"
#include "Core/Engine/StepSequencerTimerStrategy.h"
#include "Core/Engine/TrainerCurves.h"
#include "Core/Songs/SongStrategy.h"

namespace Core {

/// One of each beat strategy, timer strategy and speed-trainer curve a metronome chooses
/// from at each start, and the choice itself. Whoever builds a metronome (the program's root,
/// a test, the headless player) owns one and keeps it as long as the metronome.
struct StrategySet {
    /// The beat strategy for a BeatType; null for a value that names none.
    MetronomeStrategy* BeatStrategyFor(Configuration::BeatKind kind);
    /// The timer strategy for a SpeedTrainer value: plain playing, the step sequencer, or the
    /// speed trainer for any other value.
    ITimerStrategy* TimerStrategyFor(Configuration::TrainerMode mode);
    /// The curve a speed-trainer run of settings follows (ChooseTrainerCurveKind).
    ISpeedTrainerStrategy* TrainerCurveFor(const Configuration::ConfigurationData& settings);

    /// Services that choose among these strategies, tick on timer and play on the engine
    /// soundEngineFor gives; no beat lamp.
    MetronomeServices Services(IMetronomeTimer& timer,
                               std::function<ISoundEngine*(Configuration::SoundSource)> soundEngineFor);

    SimpleBeatMetronomeStrategy simple;
    BeatsPerBarMetronomeStrategy beatsPerBar;
    CustomPatternMetronomeStrategy customPattern;
    CustomRhythmMetronomeStrategy customRhythm;
    StandardTimerStrategy standard;
    StepSequencerTimerStrategy stepSequencer;
    SpeedTrainerTimerStrategy trainer;
    LinearTrainerStrategy linear;
    LogarithmicTrainerStrategy logarithmic;
    NoTempoChangeTrainerStrategy noChange;
    SongMetronomeStrategy song;
};

} // namespace Core
