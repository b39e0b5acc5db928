#pragma once
#include "Platform/Audio/Mixer.h"
#include "Platform/Audio/WaveOut.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

namespace Core {

/// The format of a wave file as its format chunk stores it (the first 16 bytes of the chunk,
/// in the file's order and widths); the extra size is always 0.
struct WaveFormatRecord {
    std::uint16_t formatTag = 0;
    std::uint16_t channels = 0;
    std::uint32_t samplesPerSecond = 0;
    std::uint32_t averageBytesPerSecond = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;
    std::uint16_t extraSize = 0;
};

/// Result code of a play request to a voice without an open output.
constexpr std::uint32_t NoOpenOutput = 1000;
/// Result code of a playback thread that could not be started.
constexpr std::uint32_t NoPlaybackThread = 1001;

/// One output voice of a wave file: its own wave output, twelve buffers of 8192 bytes and a
/// playback thread. It reads the samples of its sound where they are held (once per file,
/// shared by every player and voice that plays the file) and scales each buffer to the
/// volume of the play as it fills it, so no player keeps a scaled copy of the sound.
///
/// A play request (Play) only records the volume and the time the sound belongs to and wakes
/// the thread, without a lock: the thread cuts whatever the player was still playing (a
/// reset of its output) and queues the sound buffer by buffer; the first buffer starts
/// exactly at the request's time (plus the mixer's fixed latency), so the wake-up delay of
/// the thread never moves the sound. A new request
/// interrupts the queuing of the previous sound at once. The output's completion callback
/// only wakes the thread.
///
/// Initialise and Close on a control thread (the window thread, or whichever thread ends a
/// run), never overlapping each other or Play; Play on the timer thread.
class WavePlayer {
public:
    static constexpr std::size_t BufferCount = 12;
    static constexpr std::uint32_t BufferBytes = 8192;

    WavePlayer() = default;
    ~WavePlayer();
    WavePlayer(const WavePlayer&) = delete;
    WavePlayer& operator=(const WavePlayer&) = delete;

    /// Opens an output for format on mixer, keeps samples (not
    /// owned; dataSize bytes; must outlive the player's Close), prepares the buffers and
    /// starts the playback thread. On failure the reason is logged,
    /// LastResult() holds the device's code (1001 for the thread), and Close releases what
    /// was acquired.
    bool Initialise(const WaveFormatRecord& format, const std::uint8_t* samples, std::uint32_t dataSize,
                    Platform::Audio::Mixer& mixer);

    /// Asks the thread to play the sound from its start at volume (0..127; more counts as
    /// 127), starting where stamp places it (a tick's stamp: on the tick's frame). Never
    /// locks, allocates, logs or touches the device on success. False, with code 6 recorded
    /// and reported, when the output's stream has been lost. Timer thread.
    bool Play(std::uint32_t volume, const Platform::SoundStamp& stamp) noexcept;

    /// True from a successful Initialise until Close. Any thread.
    bool IsOpen() const noexcept { return ready_.load(std::memory_order_acquire); }

    /// The code of the last failed device call, or of the last play request without an
    /// open output. Any thread.
    std::uint32_t LastResult() const noexcept { return lastResult_.load(std::memory_order_relaxed); }
    /// Records a play request that found no open output (code 1000).
    void RecordNoOutput() noexcept { lastResult_.store(NoOpenOutput, std::memory_order_relaxed); }

    /// Ends the playback thread and waits for it, stops the sound and closes the output.
    /// Harmless on a player that was never initialised.
    void Close();

    /// Plays whose first buffer has been handed to the output since the player was made.
    std::uint64_t StartedPlays() const noexcept { return startedPlays_.load(std::memory_order_acquire); }

    /// Writes source scaled by volume / 127 into scaled (size bytes; may be source itself):
    /// 16-bit samples as signed little-endian values, 8-bit samples as unsigned values around
    /// 128, each truncated toward zero. Any thread.
    static void Rescale(const std::uint8_t* source, std::uint8_t* scaled, std::uint32_t size,
                        std::uint16_t bitsPerSample, std::uint32_t volume) noexcept;

    /// Copies the next piece of samples from position into buffer (BufferBytes long): at
    /// most BufferBytes bytes, a short last piece followed by zeros. Advances position and
    /// returns the bytes copied.
    static std::uint32_t FillBuffer(const std::uint8_t* samples, std::uint32_t dataSize, std::uint32_t& position,
                                    std::uint8_t* buffer) noexcept;

private:
    void Run(std::uint32_t handledRequests);
    bool QueueFreeBuffers(bool& firstOfPlay, const Platform::SoundStamp& stamp);
    void Wake() noexcept;
    static void OnBufferDone(void* instance, Platform::Audio::WaveHeader& header);

    std::unique_ptr<Platform::Audio::WaveOut> device_;
    // The two events, play and buffer done, share one futex word so that the thread, waiting
    // for a buffer, also wakes for a new play. playRequests_ counts the play events.
    std::atomic<std::uint32_t> wake_{0};
    std::atomic<std::uint32_t> playRequests_{0};
    std::atomic<std::int64_t> playStamp_{0};
    std::atomic<double> playFrame_{0};
    std::atomic<const Platform::IFrameClock*> playClock_{nullptr};
    std::atomic<std::uint32_t> playVolume_{0};
    std::atomic<std::uint32_t> lastResult_{0};
    const std::uint8_t* source_ = nullptr;
    std::uint32_t dataSize_ = 0;
    std::uint32_t position_ = 0;
    std::uint16_t bitsPerSample_ = 16;
    std::array<Platform::Audio::WaveHeader, BufferCount> headers_;
    std::uint8_t buffers_[BufferCount][BufferBytes];
    std::int32_t currentVolume_ = -1; // the volume of the play being queued; playback thread only
    std::atomic<bool> running_{false};
    std::atomic<bool> ready_{false};
    std::atomic<std::uint64_t> startedPlays_{0};
    std::thread thread_;
};

} // namespace Core
