#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace Core::Timing {

/// A percussive onset found in a recording.
struct Onset {
    double frame = 0;    ///< the first frame of the attack
    double strength = 0; ///< the attack's peak level (RMS over 0.2 ms)
};

/// How to look for onsets.
struct OnsetOptions {
    double rate = 48000;
    /// Frames (of the recording) where the metronome's own clicks arrive, sorted: an onset at
    /// one of them (from maskBeforeMs before to maskAfterMs after) is the click leaking into
    /// the microphone unless it is clearly louder than the clicks there usually are; so is one
    /// later in the click's sound (up to clickSoundMs after it: a second attack of its own).
    std::vector<double> clickFrames;
    double maskBeforeMs = 1.0;
    double maskAfterMs = 2.5;
    double clickSoundMs = 50.0;
    /// The level a leaking click reaches (Onset::strength); 0 works it out from the recording.
    double leakLevel = 0;
};

/// Finds the percussive onsets in mono samples: spectral flux (log magnitudes, ~10 ms
/// windows a quarter apart) against a threshold that follows the flux's running median, then
/// each onset placed to the frame where its attack rises out of what came before it.
std::vector<Onset> DetectOnsets(std::span<const float> samples, const OnsetOptions& options);

/// Places one attack found near `around` (within the window before and after it, frames):
/// where a short-term level of the signal's first difference rises from what came before it
/// to a tenth of the attack's peak. Returns false when there is no attack there.
bool PlaceAttack(std::span<const float> samples, double rate, std::size_t from, std::size_t to, Onset& onset);

/// Finds percussive onsets in a live input as it comes, the way DetectOnsets finds them in a
/// recording: the same spectral flux and attack placement, the threshold following the
/// flux's median over the last second. A hop's onset is decided once 3 windows (~32 ms at
/// 48 kHz) have come after it. Frames are counted from the first sample fed.
///
/// The metronome's own clicks leaking into a microphone are told by where they lie: the caller
/// names each click's frame (Click) before its sound is fed. An onset there is the click unless
/// clearly louder than the clicks have been: while nearly every click shows an onset (the
/// microphone hears them) the leak's level is the quietest quarter of those; otherwise a
/// hit at a click counts when it is not far quieter than the hits away from the clicks, or,
/// before three such hits, always. Until the first four clicks have passed (a count-in) an
/// onset at a click is taken for it, and one beside it or later in its sound only when clearly
/// louder than the click's own attack.
/// A hit just beside a leaking click is looked for there. A later onset within the click's
/// sound (clickSoundMs after it; a click may have a second attack of its own, heard where no
/// hit covers it) is the click too unless it is as loud as a hit at the click would have to be.
///
/// Everything is allocated when it is made: Feed, Click and Take never allocate, lock or log.
/// One thread at a time.
class OnsetStream {
public:
    explicit OnsetStream(double rate, double maskBeforeMs = 2.0, double maskAfterMs = 4.0, double clickSoundMs = 50.0);
    ~OnsetStream();
    OnsetStream(const OnsetStream&) = delete;
    OnsetStream& operator=(const OnsetStream&) = delete;

    /// A click of the metronome sounds at frame (ascending; the last 64 are kept).
    void Click(double frame) noexcept;
    /// The next samples of the input (mono).
    void Feed(std::span<const float> samples) noexcept;
    /// The oldest onset found and not taken yet; false when none waits (at most 256 wait).
    bool Take(Onset& onset) noexcept;
    /// Samples fed so far.
    std::uint64_t Frames() const noexcept;

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace Core::Timing
