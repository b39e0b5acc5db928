#pragma once
#include "Platform/Audio/KitCache.h"
#include "Platform/Audio/KitHelper.h"
#include "Platform/Audio/ResultCodes.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <semaphore.h>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace Platform::Audio {

/// One percussion note at one velocity as the synthesizer plays it, rendered once.
struct RenderedHit {
    std::vector<float> samples; // interleaved stereo, from the note's first frame to its end
    std::uint32_t frames = 0;
    int exclusiveClass = 0;     // notes of one non-zero class cut each other (hi-hats)
};

/// The General MIDI percussion kit of one soundfont: each note at each velocity is rendered
/// once, when it is first asked for, and kept for the kit's life. Playing a note then costs only
/// adding its samples into the mix. FluidSynth renders the notes in a short-lived helper process
/// (tolvane-kit, see KitRendering.h), so the soundfont (about 11 MB in FluidSynth) and the
/// synthesizer's libraries never enter this process: only the rendered samples do. Each
/// rendering is kept on disk as well (KitCache): a note rendered by an earlier run is read
/// from there, and a kit whose notes are all there starts no helper at all.
///
/// Render and Create block (control threads); Request asks the kit's own rendering thread for
/// a note and, like Find, is wait-free, for the timer thread.
///
/// A note whose rendering failed (the helper crashed, hung or is missing) is not asked of the
/// helper again until ForgetFailures: a broken helper runs at most once per Start, not once
/// per beat. The helper is bounded (see RunKitHelper); destroying the kit ends a run at once.
class PercussionKit {
public:
    static constexpr int Keys = 128;
    /// A percussion note and the velocity it is to be played at.
    using Note = std::pair<int, int>;

    /// How Create went.
    struct Outcome {
        Result result = NoError; // NoDriver (no usable soundfont, or the helper failed), NoMemory
        bool helperFailed = false; // the helper failed, whatever the soundfont: trying another will not help
        std::string why;           // for the log; empty after a success
    };
    /// Renders notes of soundFont (with none, only checks that it loads); on failure returns
    /// null with outcome saying why. A run of the helper ends early when cancel becomes true.
    static std::unique_ptr<PercussionKit> Create(const std::string& soundFont, std::uint32_t sampleRate,
                                                 const std::vector<Note>& notes, Outcome& outcome,
                                                 const std::atomic<bool>& cancel);
    ~PercussionKit();
    PercussionKit(const PercussionKit&) = delete;
    PercussionKit& operator=(const PercussionKit&) = delete;

    /// Renders each note (0..127) at its velocity (1..127) unless it is rendered already.
    void Render(const std::vector<Note>& notes);
    /// Has note been rendered at velocity?
    bool Has(int note, int velocity) const noexcept;
    /// Asks the rendering thread to render note at velocity (not one that failed).
    void Request(int note, int velocity) noexcept;
    /// True while the rendering thread has notes to render or renders them.
    bool Busy() const noexcept;
    /// Notes that failed may be asked of the helper again (once).
    void ForgetFailures() noexcept;

    struct Choice {
        const RenderedHit* hit = nullptr; // null: the note has not been rendered at all
        float gain = 1.0f;                // to apply to hit's samples
        bool exact = false;               // rendered at the asked velocity
    };
    /// The rendering of note at velocity; when that velocity is not rendered yet, the nearest
    /// rendered one, scaled as the synthesizer scales loudness with velocity.
    Choice Find(int note, int velocity) const noexcept;

private:
    static std::size_t Slot(int note, int velocity) noexcept { return std::size_t(note) * Keys + std::size_t(velocity); }

    PercussionKit() = default;
    void RunRenderer();
    /// The valid notes of notes not rendered yet, each once.
    std::vector<Note> Missing(const std::vector<Note>& notes) const;
    /// With renderLock_ held (or before the renderer runs): runs the helper for notes (valid,
    /// each once) and publishes each rendering as it arrives.
    HelperEnd RenderWithHelper(const std::vector<Note>& notes, const std::atomic<bool>& cancel, std::string& why);

    std::string helper_;
    std::string soundFont_;
    std::uint32_t sampleRate_ = 44100;
    std::unique_ptr<KitCache> cache_;
    mutable std::mutex renderLock_; // guards owned_; never taken by the audio or timer thread
    std::vector<std::unique_ptr<RenderedHit>> owned_;
    std::array<std::atomic<const RenderedHit*>, Keys * Keys> hits_{};
    std::array<std::atomic<bool>, Keys * Keys> wanted_{};
    std::array<std::atomic<bool>, Keys * Keys> failed_{};
    std::atomic<int> wantedCount_{0};   // notes wanted and not yet taken by the rendering thread
    std::atomic<bool> rendering_{false}; // the rendering thread runs the helper
    std::atomic<bool> running_{true};
    std::atomic<bool> ending_{false};    // the kit is being destroyed: a helper run ends at once
    sem_t wake_;
    std::thread renderer_;
};

} // namespace Platform::Audio
