#pragma once
#include "Core/Sound/ISoundEngine.h"
#include "Core/WaveFiles/WaveFile.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

namespace Core {

/// Plays the user's wave files, one per voice (File1..File12), as voices of the mixer.
/// Initialise checks, reads and decodes every file at the mixer's rate and opens each voice
/// with a pool of players; PlaySound queues the sound for the next player of its voice's pool,
/// and the mixer starts it on the tick's frame. Sounds of one voice overlap when different
/// players play them. Long sounds are decoded while they play by one streamer thread shared
/// by every voice.
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

    /// Holds the output open from now on (restoring a lost stream) and checks and reads the
    /// files settings name, on a background thread, so that the next Initialise reads
    /// nothing that is unchanged since. Returns at once; nothing while a run plays or a
    /// preparation is under way. Window thread.
    void Prepare(const Configuration::ConfigurationData& settings) override;
    /// True unless a preparation is under way.
    bool IsPrepared(const Configuration::ConfigurationData& settings) const override;

    /// Checks every File path that is set (any check result but 0 or 6 fails), then loads
    /// voice by voice with ExtraPlayers(settings): a file that several voices use is checked
    /// and read once and its samples shared, and a file read at an earlier Initialise and
    /// unchanged since is not read again. False when no path is set, a check fails
    /// or a load fails (the current voice is then the failing one). Closes first whatever an
    /// earlier Initialise left open. A file checked or read by a preparation and unchanged
    /// since is neither checked nor read again. After a preparation that could not open the
    /// output, fails at once with code 6 instead of waiting for the output here.
    bool Initialise(const Configuration::ConfigurationData& settings) override;

    /// Plays voice sound (0..11) at volume (0..127) on the tick's frame (see ISoundEngine). A voice index
    /// of 12 or more, a voice without a loaded sound, or a closed engine: false with code
    /// 1000. Never locks, allocates or logs: a failure is kept as its code, and the next
    /// Close writes its log entry.
    bool PlaySound(std::uint32_t volume, std::uint32_t sound) override;

    /// Writes the log entry of a play that failed since the last Close, stops every voice's
    /// sounds and closes the voices. The sounds stay for the next Initialise.
    void Close() override;

    /// The result of the current voice's last load or play; 1000 for an index past the
    /// voices.
    std::uint32_t GetLastErrorCode() override;

    /// The mixer the voices play into, while the engine is open.
    const Platform::IFrameClock* FrameClock() const override;

    /// Bpm / 200 + s / 4 + 2, where s is 3 for compound bars and custom patterns, the custom
    /// rhythm's subdivision for custom rhythms, otherwise Subdivision1.
    static std::int32_t ExtraPlayers(const Configuration::ConfigurationData& settings) noexcept;

    /// Voice index 0..11, for inspection.
    const WaveFile& Voice(std::size_t index) const { return voices_.at(index); }
    std::int32_t CurrentVoice() const noexcept { return currentVoice_; }

private:
    using Paths = std::array<std::u16string, Configuration::VoiceCount>;
    struct Check {
        std::u16string path;
        FileStamp stamp;
        std::int32_t result = 0;
    };

    /// For each voice, the earlier voice with the same path, or -1.
    static std::array<std::int32_t, Configuration::VoiceCount> SameAs(const Paths& paths);
    /// VerifyAudioFile, or the result kept for the voice when its file is unchanged.
    std::int32_t CheckFile(std::size_t voice, const std::u16string& path);
    void JoinPreparation();

    Platform::Audio::Mixer& mixer_;
    std::int32_t currentVoice_ = 0;
    Platform::Audio::SampleStreamer streamer_; // outlives the voices that stream on it
    std::array<WaveFile, Configuration::VoiceCount> voices_;
    std::atomic<bool> open_{false};
    std::atomic<std::int32_t> playsInFlight_{0};
    std::atomic<std::uint32_t> engineError_{0}; // 1000 after a play refused before any voice
    std::atomic<std::uint32_t> failedPlay_{0};  // the code of a failed play, logged by Close
    std::array<Check, Configuration::VoiceCount> checks_;
    bool holdsOutput_ = false;     // one Acquire of the output, kept until destruction
    bool prepared_ = false;        // a preparation has run
    std::atomic<bool> preparing_{false};
    std::thread preparation_;
};

} // namespace Core
