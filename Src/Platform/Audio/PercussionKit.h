#pragma once
#include "Platform/Audio/ResultCodes.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <semaphore.h>
#include <string>
#include <thread>
#include <vector>

typedef struct _fluid_hashtable_t fluid_settings_t;
typedef struct _fluid_synth_t fluid_synth_t;
typedef struct _fluid_sfont_t fluid_sfont_t;

namespace Platform::Audio {

/// One percussion note at one velocity as the synthesizer plays it, rendered once.
struct RenderedHit {
    std::vector<float> samples; // interleaved stereo, from the note's first frame to its end
    std::uint32_t frames = 0;
    int exclusiveClass = 0;     // notes of one non-zero class cut each other (hi-hats)
};

/// The General MIDI percussion kit of one soundfont, rendered by FluidSynth off the audio and
/// timer threads: each note at each velocity is rendered once, when it is first asked for, and
/// kept for the kit's life. Playing a note then costs only adding its samples into the mix.
/// The soundfont itself is let go when no note has been rendered for two seconds (or at Unload)
/// and loaded again for the next note that is not rendered yet.
///
/// Render and Create block (control threads); Request asks the kit's own rendering thread for
/// a note and, like Find, is wait-free, for the timer thread.
class PercussionKit {
public:
    static constexpr int Keys = 128;

    /// Loads soundFont; on failure returns null with result set (NoDriver for a file that is
    /// not a usable soundfont, NoMemory).
    static std::unique_ptr<PercussionKit> Create(const std::string& soundFont, std::uint32_t sampleRate,
                                                 Result& result);
    ~PercussionKit();
    PercussionKit(const PercussionKit&) = delete;
    PercussionKit& operator=(const PercussionKit&) = delete;

    /// Renders note (0..127) at velocity (1..127) unless it is rendered already.
    void Render(int note, int velocity);
    /// Lets the soundfont go (most of the kit's memory); the next Render or Request that needs
    /// a note not rendered yet loads it again. What is rendered stays.
    void Unload();
    /// Is the soundfont in memory?
    bool Loaded() const
    {
        std::lock_guard lock(renderLock_);
        return synth_ != nullptr;
    }
    /// Has note been rendered at velocity?
    bool Has(int note, int velocity) const noexcept;
    /// Asks the rendering thread to render note at velocity.
    void Request(int note, int velocity) noexcept;

    struct Choice {
        const RenderedHit* hit = nullptr; // null: the note has not been rendered at all
        float gain = 1.0f;                // to apply to hit's samples
        bool exact = false;               // rendered at the asked velocity
    };
    /// The rendering of note at velocity; when that velocity is not rendered yet, the nearest
    /// rendered one, scaled as the synthesizer scales loudness with velocity.
    Choice Find(int note, int velocity) const noexcept;

private:
    struct SettingsDeleter {
        void operator()(fluid_settings_t* settings) const noexcept;
    };
    static std::size_t Slot(int note, int velocity) noexcept { return std::size_t(note) * Keys + std::size_t(velocity); }

    PercussionKit() = default;
    void RunRenderer();
    /// With renderLock_ held (or before the renderer runs): loads the soundfont unless loaded.
    Result Load();
    std::unique_ptr<RenderedHit> RenderHit(int note, int velocity);

    std::unique_ptr<fluid_settings_t, SettingsDeleter> settings_;
    std::string soundFont_;
    fluid_synth_t* synth_ = nullptr; // owns the loaded soundfont; null while it is let go
    fluid_sfont_t* font_ = nullptr;
    std::uint32_t sampleRate_ = 44100;
    mutable std::mutex renderLock_; // guards owned_, synth_ and font_; never taken by the audio or timer thread
    std::vector<std::unique_ptr<RenderedHit>> owned_;
    std::array<std::atomic<const RenderedHit*>, Keys * Keys> hits_{};
    std::array<std::atomic<bool>, Keys * Keys> wanted_{};
    std::atomic<bool> running_{true};
    std::atomic<std::int64_t> lastUse_{0}; // Platform::Clock time of the last rendering
    sem_t wake_;
    std::thread renderer_;
};

} // namespace Platform::Audio
