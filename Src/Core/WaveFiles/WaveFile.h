#pragma once
#include "Core/WaveFiles/WaveFileInput.h"
#include "Platform/Audio/SampleVoice.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace Core {

/// Result code of a play request to a voice without an open output.
constexpr std::uint32_t NoOpenOutput = 1000;
/// Result code of a streamer thread that could not be started.
constexpr std::uint32_t NoPlaybackThread = 1001;

/// One voice of the audio-file engine: the sound of its wave file, read and decoded once at
/// the mixer's rate, and the mixer voice that plays it (Platform::Audio::SampleVoice) with a
/// pool of players, each play going to the next player of the pool. Reading and loading on a
/// control thread (the window thread); Play on the timer thread; Close on whichever thread
/// ends a run, never overlapping Play.
class WaveFile {
public:
    static constexpr std::int32_t MaximumPlayers = Platform::Audio::SampleVoice::MaximumPlayers;
    /// One more player per this many bytes of file.
    static constexpr std::uint32_t BytesPerExtraPlayer = 102400;

    WaveFile() = default;
    ~WaveFile();
    WaveFile(const WaveFile&) = delete;
    WaveFile& operator=(const WaveFile&) = delete;

    /// Reads a RIFF/WAVE file: finds its format and data chunks with ReadWaveHeader, and
    /// reads the data chunk's bytes into the sample buffer, which only grows. A data size
    /// running past the end of the file is cut to what the file holds, so the reader never
    /// allocates or reads beyond the file (itself at most Platform::MaximumAudioFileBytes).
    /// Every failure is logged, except an empty file. Control thread.
    bool ReadWaveData(const char16_t* path, std::uint32_t& fileSize, WaveFormatRecord& format,
                      std::uint32_t& dataSize);

    /// The reading half of LoadSound, for a closed voice: takes the sound of sameFile, keeps
    /// its own when it was read from the same path, the file has not changed since (same
    /// file, size and modification time) and it was decoded at outputRate, or reads and
    /// decodes the file. The bytes of a sound held whole are given up once it is decoded; a
    /// long sound keeps them to stream from. False when the file cannot be read (logged) or
    /// decoded (LastResult() says why; LoadSound logs it). Control thread, or a background
    /// thread while the engine is closed.
    bool ReadSound(const char16_t* path, std::uint32_t outputRate, const WaveFile* sameFile = nullptr);

    /// Loads the voice's sound: an empty path changes nothing and succeeds (the voice stays
    /// closed). Otherwise ReadSound (sameFile: another voice that has just loaded the same
    /// path; it must outlive this voice's plays and be reloaded before it), then opens the
    /// mixer voice with PlayerCount(file size, extraPlayers) players; a long sound is
    /// streamed by streamer, started here if it does not run yet (code 1001 when it cannot
    /// be). Control thread.
    bool LoadSound(const char16_t* path, std::int32_t extraPlayers, Platform::Audio::Mixer& mixer,
                   Platform::Audio::SampleStreamer& streamer, const WaveFile* sameFile = nullptr);

    /// Plays the sound on the next player of the pool (round robin, starting at player 0
    /// after a load) at volume (0..127; more counts as 127) where stamp places it. False with
    /// code 1000 when the voice is not open, 6 when the output's stream has been lost. Timer
    /// thread; never locks, allocates or logs.
    bool Play(std::uint32_t volume, const Platform::SoundStamp& stamp) noexcept;

    /// Stops the voice's sounds and closes it; the sound stays for the next load.
    void Close();

    /// The code for the user's message: of the last failed load or play, 0 after a success.
    std::uint32_t LastResult() const noexcept { return lastResult_.load(std::memory_order_relaxed); }
    /// Records a play request that found no voice to play (code 1000).
    void RecordNoOutput() noexcept { lastResult_.store(NoOpenOutput, std::memory_order_relaxed); }

    /// min(fileSize / 100 KiB + extraPlayers, 20), and at least 1.
    static std::int32_t PlayerCount(std::uint32_t fileSize, std::int32_t extraPlayers) noexcept;

    /// Players of the pool the current sound uses (0 before a load).
    std::int32_t PlayersInUse() const noexcept { return playerCount_; }
    /// The player that played last; -1 after a load.
    std::int32_t NextPlayer() const noexcept { return nextPlayer_; }
    /// The sound the voice plays (its own or another voice's); null before a load.
    const Platform::Audio::SampleSound* Sound() const noexcept { return sound_; }
    /// Bytes the sample buffer can hold (0 once a sound held whole has been decoded).
    std::uint32_t SampleCapacity() const noexcept { return sampleCapacity_; }
    /// The mixer voice, for inspection.
    const Platform::Audio::SampleVoice& Output() const noexcept { return voice_; }

private:
    bool AllocateSampleData(std::uint32_t size);
    void ForgetRead() noexcept;

    // The file's bytes, while they are needed (reading, and streaming a long sound).
    std::unique_ptr<std::uint8_t[]> sampleData_;
    std::uint32_t sampleCapacity_ = 0;
    Platform::Audio::SampleSound ownSound_;
    // The sound the voice plays, and where it is held (ownSound_ or another voice's).
    const Platform::Audio::SampleSound* sound_ = nullptr;
    std::uint32_t fileSize_ = 0;
    // What ownSound_ holds: the file read last, as it was then.
    std::u16string readPath_;
    FileStamp readStamp_;
    std::int32_t playerCount_ = 0;
    std::int32_t nextPlayer_ = -1;
    std::atomic<std::uint32_t> lastResult_{0};
    Platform::Audio::SampleVoice voice_;
};

} // namespace Core
