#pragma once
#include <cstddef>
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
    /// the microphone unless it is clearly louder than the clicks there usually are.
    std::vector<double> clickFrames;
    double maskBeforeMs = 1.0;
    double maskAfterMs = 2.5;
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

} // namespace Core::Timing
