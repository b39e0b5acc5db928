#pragma once
#include "Platform/Audio/Mixer.h"
#include "Platform/Audio/SampleSound.h"
#include "Platform/SpscQueue.h"
#include "Platform/AutoResetEvent.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

namespace Platform::Audio {

class SampleStreamer;

/// One sound played as a voice of the mixer, as the built-in kit plays its rendered notes:
/// each play starts on the frame its stamp gives (a tick's own frame), scaled by its gain.
/// The voice has a pool of players; a play names the player it uses and cuts, on its first
/// frame, whatever that player was still playing, so sounds of one voice overlap as far as
/// different players play them. A streamed sound plays its held head and then each play's
/// ring, which the streamer thread keeps filled.
///
/// Open and Close on a control thread, never overlapping Play; Play on one thread at a time
/// (the timer thread); Mix on the audio thread; FillStreams on the streamer thread.
class SampleVoice final : public IVoice {
public:
    static constexpr std::int32_t MaximumPlayers = 20;

    SampleVoice() = default;
    ~SampleVoice() override;
    SampleVoice(const SampleVoice&) = delete;
    SampleVoice& operator=(const SampleVoice&) = delete;

    /// Plays sound (not owned; it must outlive Close) on mixer with players players
    /// (1..MaximumPlayers), reusing the pool when it is large enough. A streamed sound is
    /// attached to streamer, which must run (SampleStreamer::Start). Acquires the mixer and
    /// becomes its voice. Allocated when open, NoDriver when no output opens or the stream is
    /// lost, NoMemory (also when the streamer has no room), or a decoder's result.
    Result Open(Mixer& mixer, const SampleSound& sound, std::int32_t players, SampleStreamer& streamer);

    /// Plays the sound from its start on player (0..players - 1) at gain (1 = as held),
    /// where stamp places it (BlockClock::StartFrame). InvalidHandle when closed or for a
    /// player outside the pool, NoDriver when the stream has been lost, NoMemory when the
    /// queue towards the audio thread is full. Never locks, allocates or logs.
    Result Play(std::int32_t player, float gain, const SoundStamp& stamp) noexcept;

    /// Stops every sound at once, leaves the mixer and the streamer and gives up the mixer.
    /// Harmless when closed.
    void Close();

    /// Any thread.
    bool IsOpen() const noexcept { return open_.load(std::memory_order_acquire); }
    /// Times a streamed play had played its ring empty before the streamer refilled it.
    std::uint64_t Underruns() const noexcept { return underruns_.load(std::memory_order_relaxed); }
    /// Plays that have begun sounding since the voice was made. Any thread.
    std::uint64_t StartedPlays() const noexcept { return started_.load(std::memory_order_acquire); }
    /// True when every streamed play has its ring full or its end in it (for tests that pull
    /// an offline stream faster than real time). Any thread.
    bool StreamsFilled() const noexcept;

    void Mix(float* output, const BlockClock& clock) noexcept override;

    /// Streamer thread: tops up the rings of the plays that stream; true while one still does.
    bool FillStreams() noexcept;

private:
    struct Event {
        std::int32_t player;
        float gain;
        SoundStamp stamp;
    };
    struct Player {
        // Audio thread.
        bool playing = false;
        float gain = 1.0f;
        std::uint64_t position = 0; // frames of the sound played
        // A streamed sound's ring: the audio thread counts the plays it starts and reads; the
        // streamer writes for the play it serves, and marks the play whose last frame it wrote.
        std::atomic<std::uint32_t> generation{0};
        std::atomic<std::uint32_t> served{0};
        std::atomic<std::uint32_t> finished{0};
        std::atomic<std::uint64_t> written{0};
        std::atomic<std::uint64_t> read{0};
        std::unique_ptr<std::int16_t[]> ring;
        std::uint32_t ringSamples = 0;
        PcmDecoder decoder; // streamer thread
    };

    void Start(const Event& event) noexcept;
    void MixPlayers(float* output, std::uint32_t from, std::uint32_t to) noexcept;
    std::uint32_t MixRing(Player& player, float* output, std::uint32_t frames, float scale) noexcept;
    void Add(const std::int16_t* samples, float* output, std::uint32_t frames, float scale) const noexcept;
    bool Fill(Player& player) noexcept;

    Mixer* mixer_ = nullptr;
    SampleStreamer* streamer_ = nullptr;
    const SampleSound* sound_ = nullptr;
    std::unique_ptr<Player[]> players_;
    std::int32_t allocated_ = 0;
    std::int32_t count_ = 0;
    std::atomic<bool> open_{false};
    SpscQueue<Event> events_{1024};
    int sounding_ = 0; // audio thread
    std::atomic<std::uint64_t> underruns_{0};
    std::atomic<std::uint64_t> started_{0};
};

/// The one thread that decodes the streamed sounds of every attached voice into their
/// plays' rings, whatever the number of voices and players. It looks at the rings every
/// 20 ms while a voice is attached and sleeps while none is.
///
/// Start, Attach and Detach on control threads; Wake from any thread.
class SampleStreamer {
public:
    static constexpr std::size_t MaximumVoices = 64;

    SampleStreamer() = default;
    ~SampleStreamer();
    SampleStreamer(const SampleStreamer&) = delete;
    SampleStreamer& operator=(const SampleStreamer&) = delete;

    /// Starts the thread unless it runs; false when it cannot be started.
    bool Start();
    bool Running() const noexcept { return running_.load(std::memory_order_acquire); }
    /// Adds a voice whose rings the thread fills; false when MaximumVoices are attached.
    bool Attach(SampleVoice& voice);
    /// On return the thread no longer touches voice.
    void Detach(SampleVoice& voice);
    /// Has the thread look at the rings now. Never locks or allocates.
    void Wake() noexcept;

private:
    void Run();

    std::mutex lock_; // guards voices_; taken by control threads and the streamer thread only
    std::array<SampleVoice*, MaximumVoices> voices_{};
    AutoResetEvent wake_;
    std::atomic<bool> running_{false};
    std::thread thread_;
};

} // namespace Platform::Audio
