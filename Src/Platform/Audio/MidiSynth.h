#pragma once
#include "Platform/Audio/Mixer.h"
#include "Platform/Audio/PercussionKit.h"
#include "Platform/SpscQueue.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Platform::Audio {

/// The built-in General MIDI percussion as a mixer voice: a PercussionKit's renderings played
/// as plain samples, each Note On starting its note on its exact frame.
///
/// Percussion notes are one-shots, so rendering each note at each velocity once and adding the
/// kept samples costs far less than running a synthesizer in the audio callback, and nothing
/// at all when silent. What the synthesizer would do between notes is kept: a note of an
/// exclusive class cuts the sounding notes of that class (a closed hi-hat cuts the open one), a
/// key struck again lets its earlier note go,
/// a Note Off (or Note On with velocity 0) lets its key's notes die away quickly. Messages on
/// other channels and other messages are accepted and play nothing.
class MidiSynth final : public IVoice {
public:
    /// Notes that can sound at once; a further note takes the place of the one that has sounded
    /// longest.
    static constexpr int Voices = 64;

    /// Makes the kit of soundFont with notes rendered (PercussionKit::Create); on failure
    /// returns null with outcome saying why. Control thread.
    static std::unique_ptr<MidiSynth> Create(const std::string& soundFont, std::uint32_t sampleRate,
                                             const std::vector<PercussionKit::Note>& notes,
                                             PercussionKit::Outcome& outcome, const std::atomic<bool>& cancel);
    ~MidiSynth() override = default;
    MidiSynth(const MidiSynth&) = delete;
    MidiSynth& operator=(const MidiSynth&) = delete;

    /// Queues a packed short message (status | data1 << 8 | data2 << 16) to take effect where
    /// stamp places it (BlockClock::StartFrame). A Note On whose velocity the kit has not
    /// rendered yet plays the nearest rendered velocity, scaled, and asks the kit for the exact
    /// one. One producer thread; wait-free. False when the queue is full.
    bool Post(std::uint32_t message, const SoundStamp& stamp) noexcept;

    void Mix(float* output, const BlockClock& clock) noexcept override;

    /// Drops the queued messages and cuts every sounding note. Only while the synthesizer is
    /// no voice of a mixer, on the thread that posts.
    void Reset() noexcept;

    PercussionKit& Kit() noexcept { return *kit_; }

    /// Note Ons played from another velocity's rendering, or not at all because the kit had
    /// not rendered their note.
    std::uint64_t Substituted() const noexcept { return substituted_.load(std::memory_order_relaxed); }

private:
    struct Event {
        std::uint32_t message;
        SoundStamp stamp;
        PercussionKit::Choice sound;
    };
    struct Playing {
        const RenderedHit* hit = nullptr; // null: the slot is free
        float gain = 1.0f;
        std::uint32_t position = 0;       // frames played
        float fade = 1.0f;                // release: multiplied by fadeStep every frame
        float fadeStep = 1.0f;
        int key = 0;
    };

    MidiSynth() = default;
    void MixPlaying(float* output, std::uint32_t from, std::uint32_t to) noexcept;
    void Dispatch(const Event& event) noexcept;
    void ReleaseWhere(float fadeStep, int key, int exclusiveClass) noexcept;

    std::unique_ptr<PercussionKit> kit_;
    SpscQueue<Event> events_{1024};
    std::array<Playing, Voices> playing_{};
    int sounding_ = 0;
    float noteOffStep_ = 1.0f;
    float chokeStep_ = 1.0f;
    std::atomic<std::uint64_t> substituted_{0};
};

} // namespace Platform::Audio
