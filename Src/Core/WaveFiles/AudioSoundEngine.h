#pragma once
#include "Core/Sound/ISoundEngine.h"
#include "Core/WaveFiles/WaveFile.h"

#include <array>
#include <atomic>
#include <cstdint>

namespace Core {

/// Plays the user's wave files, one per voice (File1..File12). Initialise checks and reads
/// every file and gives each voice a pool of players; PlaySound hands the voice's sound to
/// the next player of its pool and wakes that player's thread, which starts the sound at the
/// tick's time. Sounds of one voice overlap when different players play them.
///
/// Threads as ISoundEngine says. On top of that the engine keeps Close apart from a
/// PlaySound still running on the timer thread: Close marks the engine closed and waits
/// for such a call to return before it closes a player; PlaySound after that fails with
/// code 1000. Both sides use only atomics.
class AudioSoundEngine final : public ISoundEngine {
public:
    /// mixer: where the players play; it must outlive the engine.
    explicit AudioSoundEngine(Platform::Audio::Mixer& mixer) : mixer_(mixer) {}
    ~AudioSoundEngine() override;
    AudioSoundEngine(const AudioSoundEngine&) = delete;
    AudioSoundEngine& operator=(const AudioSoundEngine&) = delete;

    /// Checks every File path that is set (any check result but 0 or 6 fails), then loads
    /// voice by voice with ExtraPlayers(settings): a file that several voices use is checked
    /// and read once and its samples shared, and a file read at an earlier Initialise and
    /// unchanged since is not read again. False when no path is set, a check fails
    /// or a load fails (the current voice is then the failing one). Closes first whatever an
    /// earlier Initialise left open.
    bool Initialise(const Configuration::ConfigurationData& settings) override;

    /// Plays voice sound (0..11) at volume (0..127) on the tick's frame (see ISoundEngine). A voice index
    /// of 12 or more, a voice without a loaded sound, or a closed engine: false with code
    /// 1000 and a warning in the log.
    bool PlaySound(std::uint32_t volume, std::uint32_t sound) override;

    /// Closes every voice's players (their threads have ended on return). The pools and the
    /// samples stay for the next Initialise.
    void Close() override;

    /// The result of the current voice's player that played or failed last; 1000 for a voice
    /// without players or an index past the voices.
    std::uint32_t GetLastErrorCode() override;

    /// The mixer the players play into, while the engine is open.
    const Platform::IFrameClock* FrameClock() const override;

    /// Bpm / 200 + s / 4 + 2, where s is 3 for compound bars and custom patterns, the custom
    /// rhythm's subdivision for custom rhythms, otherwise Subdivision1.
    static std::int32_t ExtraPlayers(const Configuration::ConfigurationData& settings) noexcept;

    /// Voice index 0..11, for inspection.
    const WaveFile& Voice(std::size_t index) const { return voices_.at(index); }
    std::int32_t CurrentVoice() const noexcept { return currentVoice_; }

private:
    Platform::Audio::Mixer& mixer_;
    std::int32_t currentVoice_ = 0;
    std::array<WaveFile, Configuration::VoiceCount> voices_;
    std::atomic<bool> open_{false};
    std::atomic<std::int32_t> playsInFlight_{0};
    std::atomic<std::uint32_t> engineError_{0}; // 1000 after a play refused before any voice
};

} // namespace Core
