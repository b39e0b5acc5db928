#include "Core/Engine/EngineObjects.h"

#include "Core/Engine/BeatStrategies.h"
#include "Core/Sound/SoundEngineFactory.h"
#include "Core/Engine/SpeedTrainerTimerStrategy.h"
#include "Core/Engine/StandardTimerStrategy.h"
#include "Core/Engine/StepSequencerTimerStrategy.h"
#include "Core/Engine/TrainerCurves.h"

namespace Core {

Timer& ProgramTimer()
{
    static Timer timer;
    return timer;
}

MetronomeStrategy* GetBeatStrategy(std::int32_t beatType)
{
    static SimpleBeatMetronomeStrategy simple;
    static BeatsPerBarMetronomeStrategy beatsPerBar;
    static CustomPatternMetronomeStrategy customPattern;
    static CustomRhythmMetronomeStrategy customRhythm;
    switch (beatType) {
    case 0:
        return &simple;
    case 1:
        return &beatsPerBar;
    case 2:
        return &customPattern;
    case 3:
        return &customRhythm;
    default:
        return nullptr;
    }
}

ITimerStrategy* GetTimerStrategy(std::int32_t speedTrainer)
{
    static StandardTimerStrategy standard;
    static StepSequencerTimerStrategy stepSequencer;
    static SpeedTrainerTimerStrategy speedTrainerStrategy;
    if (speedTrainer == 0)
        return &standard;
    if (speedTrainer == 5)
        return &stepSequencer;
    return &speedTrainerStrategy;
}

MetronomeServices ProgramMetronomeServices()
{
    static ThreadTimer timer(ProgramTimer());
    MetronomeServices services;
    services.timer = &timer;
    services.beatStrategyFor = &GetBeatStrategy;
    services.soundEngineFor = &GetSoundEngine;
    services.timerStrategyFor = &GetTimerStrategy;
    services.trainerCurveFor = [](const Configuration::ConfigurationData& settings) {
        return ChooseTrainerCurve(settings);
    };
    return services;
}

Metronome& GetMetronome()
{
    static Metronome metronome([] {
        // Everything the metronome uses is made before it, so that at exit it is destroyed
        // first and its last Stop still finds the timer, strategies and engines in place.
        GetBeatStrategy(0);
        GetTimerStrategy(0);
        GetTrainerCurve(TrainerCurveKind::Linear);
        GetSoundEngine(0);
        GetSoundEngine(1);
        return ProgramMetronomeServices();
    }());
    return metronome;
}

} // namespace Core
