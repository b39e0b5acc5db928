#include "Core/Engine/Metronome.h"

namespace Core {

Metronome::Metronome(MetronomeServices services)
    : services_(std::move(services))
{
}

Metronome::~Metronome()
{
    Stop();
}

void Metronome::PrepareSounds(const Configuration::ConfigurationData& settings)
{
    if (!services_.soundEngineFor)
        return;
    if (ISoundEngine* engine = services_.soundEngineFor(settings.SoundEngineType))
        engine->Prepare(settings);
}

bool Metronome::SoundsPrepared(const Configuration::ConfigurationData& settings) const
{
    if (!services_.soundEngineFor)
        return true;
    const ISoundEngine* engine = services_.soundEngineFor(settings.SoundEngineType);
    return engine == nullptr || engine->IsPrepared(settings);
}

std::uint32_t Metronome::Start(IMetronomeEventHandler* handler, const Configuration::ConfigurationData& settings)
{
    // One run at a time: a run still going is ended (and reported) before the next begins,
    // and one that ended by itself has its engine closed.
    if (active_ != nullptr)
        active_->Stop();

    active_ = services_.beatStrategyFor(settings.BeatType);
    if (active_ == nullptr)
        return StartResult::UnknownBeatType;
    return active_->Start(handler, settings, services_);
}

void Metronome::Stop()
{
    if (active_ != nullptr)
        active_->Stop();
}

void Metronome::TogglePause()
{
    if (active_ != nullptr)
        active_->TogglePause();
}

void Metronome::ChangeTempo(std::uint32_t bpm)
{
    if (active_ != nullptr)
        active_->ChangeTempo(bpm);
}

void Metronome::ChangeVolume(const std::int32_t (&volumes)[Configuration::VoiceCount], std::uint32_t globalVolume)
{
    if (active_ != nullptr)
        active_->ChangeVolume(volumes, globalVolume);
}

void Metronome::SetBeatIndicator(IBeatIndicator* indicator)
{
    services_.indicator = indicator;
}

} // namespace Core
