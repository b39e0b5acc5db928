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
};

/// Onsets in interleaved stereo samples: the first non-silent frame after each silence, the
/// next one searched from minSpacing frames after the previous. Needs clicks that die away
/// within a click's spacing (a closed hi-hat does at 133 bpm in sixteenths).
std::vector<std::size_t> FindOnsets(const std::vector<float>& stereo, std::size_t minSpacing);

/// Fits the grid of spacing periodFrames through the onsets (least squares, spacing fixed)
/// and measures every click against it.
ClickFigures MeasureClicks(const std::vector<float>& stereo, double periodFrames);

/// Reads raw interleaved stereo signed 16-bit little-endian samples (what parec --raw
/// records). Empty when the file cannot be read.
std::vector<float> ReadRawS16Stereo(const std::string& path);

/// Writes interleaved stereo float samples as a 16-bit WAV file.
bool WriteWav(const std::string& path, const std::vector<float>& stereo, std::uint32_t rate);

} // namespace Player
