#pragma once
#include "Core/WaveFiles/WaveFileInput.h"
#include "Core/WaveFiles/WavePlayer.h"

#include <cstdint>
#include <memory>
#include <string>

namespace Core {

/// The sound of one voice: the samples of its wave file, read whole into memory, and the
/// pool of players that play them. Reading and loading on a control thread (the window
/// thread); Play on the timer thread; Close on whichever thread ends a run, never
/// overlapping Play.
class WaveFile {
public:
    static constexpr std::int32_t MaximumPlayers = 20;
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
    /// Every failure is logged, except an empty file. Never changes the players. Control
    /// thread.
    bool ReadWaveData(const char16_t* path, std::uint32_t& fileSize, WaveFormatRecord& format,
                      std::uint32_t& dataSize);

    /// The reading half of LoadSound, for a voice whose players are closed: takes the samples
    /// of sameFile, keeps its own when unchanged, or reads the file. False when the file
    /// cannot be read (logged). Control thread, or a background thread while the engine is
    /// closed.
    bool ReadSound(const char16_t* path, const WaveFile* sameFile = nullptr);

    /// Loads the voice's sound: an empty path changes nothing and succeeds. Otherwise takes
    /// the samples of sameFile when given (another voice that has just loaded the same path;
    /// it must outlive this voice's players and be reloaded before them), else keeps its own
    /// samples when they were read from the same path and the file has not changed since
    /// (same file, size and modification time), else reads the file. Then opens
    /// PlayerCount(file size, extraPlayers) players on mixer,
    /// reusing the player array when it is long enough. After a failure NextPlayer() names
    /// the player that failed. Control thread.
    bool LoadSound(const char16_t* path, std::int32_t extraPlayers, Platform::Audio::Mixer& mixer,
                   const WaveFile* sameFile = nullptr);

    /// Hands the sound to the next player of the pool (round robin, starting at player 0
    /// after a load) at volume and stamp. False, with code 1000 recorded and a warning
    /// logged, when that player has no open output or the voice has no players; false with
    /// code 6 when the output's stream has been lost (WavePlayer::Play). Timer thread;
    /// lock-free and allocation-free on success.
    bool Play(std::uint32_t volume, const Platform::SoundStamp& stamp) noexcept;

    /// Closes the players in use; the pool and the samples stay for the next load.
    void Close();

    /// The code for the user's message: the last result of the player that played (or
    /// failed) last; 1000 when the voice has no players.
    std::uint32_t LastResult() const noexcept;

    /// min(fileSize / 100 KiB + extraPlayers, 20), and at least 1.
    static std::int32_t PlayerCount(std::uint32_t fileSize, std::int32_t extraPlayers) noexcept;

    std::int32_t PlayersInUse() const noexcept { return playerCount_; }
    std::int32_t PlayersAllocated() const noexcept { return playersAllocated_; }
    std::int32_t NextPlayer() const noexcept { return nextPlayer_; }
    /// Player index of the pool, for inspection; null past the allocated players.
    const WavePlayer* Player(std::int32_t index) const noexcept;
    std::uint32_t SampleCapacity() const noexcept { return sampleCapacity_; }
    /// The samples the players play (this voice's own or another's); null before a load.
    const std::uint8_t* Samples() const noexcept { return samples_; }

private:
    bool AllocateSampleData(std::uint32_t size);
    bool AllocatePlayers(std::int32_t count);

    std::unique_ptr<WavePlayer[]> players_;
    std::unique_ptr<std::uint8_t[]> sampleData_;
    std::uint32_t sampleCapacity_ = 0;
    std::int32_t playerCount_ = 0;
    std::int32_t playersAllocated_ = 0;
    std::int32_t nextPlayer_ = 0;
    // The sound the players play, and where its samples are held.
    const std::uint8_t* samples_ = nullptr;
    WaveFormatRecord format_;
    std::uint32_t fileSize_ = 0;
    std::uint32_t dataSize_ = 0;
    // What the own sample buffer holds: the file read last, as it was then.
    std::u16string readPath_;
    FileStamp readStamp_;
};

} // namespace Core
