#pragma once
#include "Platform/Audio/Mixer.h"
#include "Platform/Audio/SpscQueue.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

typedef struct _fluid_hashtable_t fluid_settings_t;
typedef struct _fluid_synth_t fluid_synth_t;
typedef struct _fluid_sfont_t fluid_sfont_t;

namespace Platform::Audio {

/// The built-in General MIDI synthesizer as a mixer voice: FluidSynth with one soundfont,
/// rendering at the mixer's rate.
///
/// FluidSynth starts notes only at the edges of its 64-frame processing blocks. To start
/// every Note On on its exact frame, the synthesizer runs as several lanes (FluidSynth
/// instances sharing one loaded soundfont). A lane that is silent can shift its block grid
/// freely, so a Note On goes to a lane whose grid already meets the note's frame or to a
/// silent lane whose grid is moved to it; only when every lane is busy and none fits does
/// the note wait for the nearest block edge (counted as displaced). Other messages go to
/// every lane, so that all lanes share one channel state.
class MidiSynth final : public IVoice {
public:
    static constexpr int Lanes = 16;

    /// Loads soundFont; on failure returns null with result set (NoDriver for a file that
    /// is not a usable soundfont, NoMemory). Control thread.
    static std::unique_ptr<MidiSynth> Create(const std::string& soundFont, std::uint32_t sampleRate, Result& result);
    ~MidiSynth() override = default;
    MidiSynth(const MidiSynth&) = delete;
    MidiSynth& operator=(const MidiSynth&) = delete;

    /// Queues a packed short message (status | data1 << 8 | data2 << 16) to take effect where
    /// stamp places it (BlockClock::StartFrame). One producer thread; wait-free. False when
    /// the queue is full.
    bool Post(std::uint32_t message, const SoundStamp& stamp) noexcept;

    void Mix(float* output, const BlockClock& clock) noexcept override;

    /// Note Ons that could not start on their exact frame because no lane fitted.
    std::uint64_t Displaced() const noexcept { return displaced_.load(std::memory_order_relaxed); }

private:
    struct Event {
        std::uint32_t message;
        SoundStamp stamp;
    };
    struct SettingsDeleter {
        void operator()(fluid_settings_t* settings) const noexcept;
    };
    /// One FluidSynth instance. Every lane but the first borrows the first lane's soundfont
    /// and gives it back before it goes.
    struct Lane {
        Lane() = default;
        Lane(const Lane&) = delete;
        Lane& operator=(const Lane&) = delete;
        ~Lane();

        fluid_synth_t* synth = nullptr;
        fluid_sfont_t* borrowedFont = nullptr;
        std::uint64_t pulled = 0;   // frames taken from the synth since it was made
        bool noteStarted = false;   // a Note On is waiting for the lane's next render
    };

    MidiSynth() = default;
    void RenderLanes(float* output, std::uint32_t from, std::uint32_t to) noexcept;
    void Dispatch(std::uint32_t message) noexcept;
    Lane& LaneForNote() noexcept;
    bool IsSilent(const Lane& lane) const noexcept;

    // Declared in creation order: the lanes go before their settings, and the array's
    // elements in reverse, so the first lane, which owns the soundfont, goes last.
    std::unique_ptr<fluid_settings_t, SettingsDeleter> settings_;
    std::array<Lane, Lanes> lanes_{};
    SpscQueue<Event> events_{1024};
    std::vector<float> scratch_;
    std::atomic<std::uint64_t> displaced_{0};
};

} // namespace Platform::Audio
