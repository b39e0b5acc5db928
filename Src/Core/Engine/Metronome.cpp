#include "Core/Engine/Metronome.h"

#include "Core/Songs/SongStrategy.h"

namespace Core {

Metronome::Metronome(MetronomeServices services)
    : services_(std::move(services))
{
}

Metronome::~Metronome()
{
    Stop();
    EndPreview();
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
    EndPreview();

    active_ = services_.beatStrategyFor(settings.BeatType);
    if (active_ == nullptr)
        return StartResult::UnknownBeatType;
    return active_->Start(handler, settings, services_);
}

std::uint32_t Metronome::StartSong(IMetronomeEventHandler* handler, const Configuration::ConfigurationData& settings,
                                   const Song& song, const SongStart& start)
{
    if (active_ != nullptr)
        active_->Stop();
    EndPreview();
    active_ = services_.song;
    if (active_ == nullptr)
        return StartResult::UnknownBeatType;
    return services_.song->StartSong(handler, settings, song, start, services_);
}

void Metronome::MoveInSong(SongMove move, bool atOnce)
{
    if (PlayingSong())
        services_.song->Move(move, atOnce);
}

void Metronome::ScaleSong(double scale)
{
    if (PlayingSong())
        services_.song->Rescale(scale);
}

bool Metronome::PlayingSong() const
{
    return active_ != nullptr && active_ == services_.song && active_->InRun();
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

IMetronome::Heard Metronome::ChangeSounds(const Configuration::ConfigurationData& settings)
{
    if (!Playing())
        return Heard::Refused;
    return active_->ChangeSounds(settings);
}

namespace {

std::u16string FilesOf(const Configuration::ConfigurationData& settings)
{
    std::u16string files;
    for (const std::u16string& file : settings.File)
        files += file + u'\n';
    return files;
}

} // namespace

IMetronome::Heard Metronome::Preview(const Configuration::ConfigurationData& settings, int voice)
{
    if (Playing() || voice < 0 || voice >= Configuration::VoiceCount || !services_.soundEngineFor)
        return Heard::Refused;
    ISoundEngine* engine = services_.soundEngineFor(settings.SoundEngineType);
    if (engine == nullptr)
        return Heard::Refused;
    const bool audioFiles = settings.SoundEngineType == Configuration::SoundSource::AudioFiles;
    if (previewEngine_ != nullptr && (previewEngine_ != engine || (audioFiles && previewFiles_ != FilesOf(settings))))
        EndPreview();
    // What the engine needs is prepared in the background, so that the window never waits
    // for a sound server or a file: once asked for while the engine is closed (the MIDI
    // engine's notes also while it is open, which only asks its kit for them).
    if (previewEngine_ == nullptr ? !previewPreparing_ : !audioFiles)
        engine->Prepare(settings);
    previewPreparing_ = previewEngine_ == nullptr;
    if (!engine->IsPrepared(settings))
        return Heard::Waiting;
    previewPreparing_ = false;
    if (previewEngine_ == nullptr) {
        if (!engine->Initialise(settings)) {
            engine->Close();
            return Heard::Refused;
        }
        previewEngine_ = engine;
        previewFiles_ = FilesOf(settings);
    }
    return MetronomeStrategy::PlayOnce(*engine, settings, voice) ? Heard::Done : Heard::Refused;
}

void Metronome::EndPreview()
{
    previewPreparing_ = false;
    if (previewEngine_ == nullptr)
        return;
    previewEngine_->Close();
    previewEngine_ = nullptr;
}

void Metronome::SetBeatIndicator(IBeatIndicator* indicator)
{
    services_.indicator = indicator;
}

void Metronome::SetCountVoice(ICountVoice* voice)
{
    services_.countVoice = voice;
}

void Metronome::FollowGrid(const BeatGrid* grid)
{
    services_.grid = grid;
}

void Metronome::SetTrainerGate(TrainerGate* gate)
{
    services_.trainerGate = gate;
}

} // namespace Core
