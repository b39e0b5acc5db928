#include "Core/Engine/StrategySet.h"

namespace Core {

using Configuration::BeatKind;
using Configuration::TrainerMode;

MetronomeStrategy* StrategySet::BeatStrategyFor(BeatKind kind)
{
    switch (kind) {
    case BeatKind::Simple:
        return &simple;
    case BeatKind::BeatsPerBar:
        return &beatsPerBar;
    case BeatKind::CustomPattern:
        return &customPattern;
    case BeatKind::CustomRhythm:
        return &customRhythm;
    }
    return nullptr;
}

ITimerStrategy* StrategySet::TimerStrategyFor(TrainerMode mode)
{
    if (mode == TrainerMode::Off)
        return &standard;
    if (mode == TrainerMode::StepSequencer)
        return &stepSequencer;
    return &trainer;
}

ISpeedTrainerStrategy* StrategySet::TrainerCurveFor(const Configuration::ConfigurationData& settings)
{
    switch (ChooseTrainerCurveKind(settings)) {
    case TrainerCurveKind::Linear:
        return &linear;
    case TrainerCurveKind::Logarithmic:
        return &logarithmic;
    case TrainerCurveKind::NoTempoChange:
        break;
    }
    return &noChange;
}

MetronomeServices StrategySet::Services(IMetronomeTimer& timer,
                                        std::function<ISoundEngine*(Configuration::SoundSource)> soundEngineFor)
{
    MetronomeServices services;
    services.timer = &timer;
    services.song = &song;
    services.beatStrategyFor = [this](BeatKind kind) { return BeatStrategyFor(kind); };
    services.soundEngineFor = std::move(soundEngineFor);
    services.timerStrategyFor = [this](TrainerMode mode) { return TimerStrategyFor(mode); };
    services.trainerCurveFor = [this](const Configuration::ConfigurationData& settings) {
        return TrainerCurveFor(settings);
    };
    return services;
}

} // namespace Core
