#pragma once
// Click analysis for the headless player: finds each click's onset in a capture and measures
// it against the tempo's exact grid.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Player {

struct ClickFigures {
    std::size_t clicks = 0;
    double periodFrames = 0.0;      ///< the grid's exact spacing
    double maxErrorFrames = 0.0;    ///< largest |onset - grid| over every click
    double p99ErrorFrames = 0.0;
    double driftPpm = 0.0;          ///< fitted spacing against the exact spacing
    double maxSpacingError = 0.0;   ///< largest |gap between neighbours - exact spacing|
    double firstErrorFrames = 0.0;  ///< the first click's distance from the grid
    double firstPeakRatio = 0.0;    ///< the first click's peak over the median click's peak
    /// The first click's waveform against the second's, each from its onset: the largest
    /// difference over the attack (the first 256 frames), as a fraction of the second click's peak.
    /// Near 0 for a whole first click; a cut one starts mid-attack and differs by much.
    double firstShapeDifference = 0.0;
};

/// Onsets in interleaved stereo samples: the first non-silent frame after each silence, the
/// next one searched from minSpacing frames after the previous. Needs clicks that die away
/// within a click's spacing (a closed hi-hat does at 133 bpm in sixteenths).
std::vector<std::size_t> FindOnsets(const std::vector<float>& stereo, std::size_t minSpacing);

/// Onsets of clicks that overlap (no silence between them): the first click is the first
/// non-silent frame, each further one the best match of the first click's attack within a
/// few dozen frames of one period after the previous one, until the recording falls silent
/// or only a click's decay is left.
std::vector<std::size_t> FindOverlappingOnsets(const std::vector<float>& stereo, double periodFrames);

/// Fits the grid of spacing periodFrames through the onsets (least squares, spacing fixed)
/// and measures every click against it.
ClickFigures MeasureClicks(const std::vector<float>& stereo, double periodFrames);

/// A run whose tempo changes once: every interval against the nearer of the two periods.
struct TempoChangeFigures {
    std::size_t clicks = 0;
    std::size_t changes = 0;          ///< switches between the periods (1 for a clean change)
    double maxOffFrames = 0.0;        ///< largest |interval - nearer period| over every interval
    double firstNewInterval = 0.0;    ///< the first interval at the new period, in frames
    double driftBeforePpm = 0.0;      ///< mean interval against the period, before the change
    double driftAfterPpm = 0.0;       ///< and after it
};
TempoChangeFigures MeasureTempoChange(const std::vector<float>& stereo, double periodBefore, double periodAfter);

/// Reads raw interleaved stereo signed 16-bit little-endian samples (what parec --raw
/// records). Empty when the file cannot be read.
std::vector<float> ReadRawS16Stereo(const std::string& path);

/// Reads raw interleaved stereo float32 samples (what jack_recorder records).
std::vector<float> ReadRawF32Stereo(const std::string& path);

/// Writes interleaved stereo float samples as a 16-bit WAV file.
bool WriteWav(const std::string& path, const std::vector<float>& stereo, std::uint32_t rate);

} // namespace Player
