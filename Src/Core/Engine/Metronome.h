#pragma once
#include "Core/Engine/IMetronome.h"
#include "Core/Engine/MetronomeStrategy.h"

#include <string>

namespace Core {

/// The metronome controller: picks the beat strategy for each Start and passes the run's
/// operations to it. The program's root (Core::Program) owns one; tests make their own.
/// Window thread only.
class Metronome final : public IMetronome {
public:
    explicit Metronome(MetronomeServices services);
    ~Metronome() override;

    void PrepareSounds(const Configuration::ConfigurationData& settings) override;
    bool SoundsPrepared(const Configuration::ConfigurationData& settings) const override;
    std::uint32_t Start(IMetronomeEventHandler* handler, const Configuration::ConfigurationData& settings) override;
    void Stop() override;
    void TogglePause() override;
    void ChangeTempo(std::uint32_t bpm) override;
    void ChangeVolume(const std::int32_t (&volumes)[Configuration::VoiceCount], std::uint32_t globalVolume) override;
    Heard ChangeSounds(const Configuration::ConfigurationData& settings) override;
    Heard Preview(const Configuration::ConfigurationData& settings, int voice) override;
    void EndPreview() override;
    std::uint32_t StartSong(IMetronomeEventHandler* handler, const Configuration::ConfigurationData& settings,
                            const Song& song, const SongStart& start) override;
    void MoveInSong(SongMove move, bool atOnce) override;
    void ScaleSong(double scale) override;
    bool PlayingSong() const override;

    /// Attaches the beat lamp (null: none) for the runs started from now on.
    void SetBeatIndicator(IBeatIndicator* indicator);
    /// Sets the spoken count's voice (null: none) for the runs started from now on.
    void SetCountVoice(ICountVoice* voice);
    /// Runs started from now on follow grid's beats while it holds one (null: never). The grid
    /// must outlive those runs. Window thread, between runs.
    void FollowGrid(const BeatGrid* grid);
    /// Sets the speed trainer's gate (null: none) for the runs started from now on; a run
    /// waits at it only when its settings ask for it (TrainerGate) and the gate is armed.
    void SetTrainerGate(TrainerGate* gate);

    /// The strategy of the last Start; null before the first and after a Start with an
    /// unknown BeatType.
    MetronomeStrategy* ActiveStrategy() const { return active_; }

private:
    bool Playing() const { return active_ != nullptr && active_->InRun(); }

    MetronomeServices services_;
    MetronomeStrategy* active_ = nullptr;
    // The engine a preview opened, and the files it was opened with (an audio-file engine
    // plays the files of its Initialise).
    ISoundEngine* previewEngine_ = nullptr;
    std::u16string previewFiles_;
    bool previewPreparing_ = false; // a preparation for the next preview was asked for
};

} // namespace Core
