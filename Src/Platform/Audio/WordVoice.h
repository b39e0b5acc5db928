#pragma once
#include "Platform/Audio/Mixer.h"
#include "Platform/Audio/SampleSound.h"
#include "Platform/SpscQueue.h"

#include <array>
#include <atomic>
#include <cstdint>

namespace Platform::Audio {

/// A voice of the mixer that speaks one word at a time from a set of short sounds (the
/// spoken count): each play starts its word on the frame its stamp gives, and a word still
/// sounding then is cut there, faded out over FadeFrames so that the cut does not click.
///
/// Open and Close on a control thread, never overlapping Play; Play on one thread at a time
/// (the timer thread); Mix on the audio thread.
class WordVoice final : public IVoice {
public:
    static constexpr std::int32_t MaximumWords = 32;
    static constexpr std::uint32_t FadeFrames = 32;

    WordVoice() = default;
    ~WordVoice() override;
    WordVoice(const WordVoice&) = delete;
    WordVoice& operator=(const WordVoice&) = delete;

    /// Speaks the count sounds of words (not owned; they must outlive Close and stay
    /// unchanged; an empty one is silence) on mixer. Acquires the mixer and becomes its voice.
    /// Allocated when open, NoDriver when no output opens or the stream is lost, NoMemory.
    Result Open(Mixer& mixer, const SampleSound* const* words, std::int32_t count);
    /// Speaks word (0 .. count - 1) at gain (1 = as held) where stamp places it. InvalidHandle
    /// when closed or for another word, NoDriver when the stream has been lost, NoMemory when
    /// the queue towards the audio thread is full. Never locks, allocates or logs.
    Result Play(std::int32_t word, float gain, const SoundStamp& stamp) noexcept;
    /// Stops at once, leaves the mixer and gives it up. Harmless when closed.
    void Close();

    /// Words that have begun sounding since the voice was made. Any thread.
    std::uint64_t StartedWords() const noexcept { return started_.load(std::memory_order_acquire); }

    void Mix(float* output, const BlockClock& clock) noexcept override;

private:
    struct Event {
        std::int32_t word;
        float gain;
        SoundStamp stamp;
    };
    struct Speaking {
        const SampleSound* sound = nullptr; // null: silent
        float gain = 0.0f;
        std::uint32_t position = 0;
        std::uint32_t fadeLeft = 0; // frames of the fade-out left; 0: not fading
    };

    void MixSpeaking(Speaking& speaking, float* output, std::uint32_t frames) noexcept;

    Mixer* mixer_ = nullptr;
    std::array<const SampleSound*, MaximumWords> words_{};
    std::int32_t count_ = 0;
    std::atomic<bool> open_{false};
    SpscQueue<Event> events_{256};
    Speaking current_; // audio thread
    Speaking fading_;  // audio thread: the word cut by the current one
    std::atomic<std::uint64_t> started_{0};
};

} // namespace Platform::Audio
