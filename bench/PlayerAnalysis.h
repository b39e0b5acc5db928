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

/// A practice run in 4/4: a count-in of countInBeats clicks a beat apart, then bars of two
/// eighths to a beat, the second of each pair at swingRatio of the beat, played bars then
/// muted bars in turn. The grid is anchored on the first count-in click (count-in) and on the
/// first bar's first click (the rest), each click measured against the nearest expected one.
struct PracticeFigures {
    std::size_t countInClicks = 0;
    double countInMaxErrorFrames = 0.0; ///< largest |count-in onset - its grid|, against clicks as loud
    double countInToBarFrames = 0.0;    ///< last count-in click to the first bar's, minus a beat
    std::size_t expectedClicks = 0;     ///< in the sounding bars the recording covers
    std::size_t clicks = 0;             ///< onsets after the count-in
    std::size_t unexpectedClicks = 0;   ///< onsets more than 2 samples from every expected click
    std::size_t missingClicks = 0;      ///< expected clicks no onset was found for
    double maxErrorFrames = 0.0;        ///< of the expected ones
    std::size_t mutedBars = 0;
    double mutedPeakDbfs = -200.0;      ///< loudest sample inside any muted bar
};
PracticeFigures MeasurePractice(const std::vector<float>& stereo, double beatFrames, int countInBeats, int play, int mute,
                                double swingRatio);

/// A song: every click expected at its exact frame from the song's map (relative to the
/// first), with a group for each kind of sound (voice and volume: the onset, the first frame
/// above -40 dBFS interpolated to a fraction of a sample, lies a little into the attack, by as
/// much for every click of one sound). Each click is measured against its expected frame, with
/// the mean difference of its group's clicks taken off.
struct SongFigures {
    std::size_t expected = 0;
    std::size_t found = 0;            ///< expected clicks with an onset within a quarter of the least spacing
    std::size_t afterEnd = 0;         ///< onsets after the last expected click
    double maxErrorFrames = 0.0;      ///< largest |onset - expected| over the found clicks
    double maxPartStartError = 0.0;   ///< the same over the parts' first clicks
    double lengthErrorFrames = 0.0;   ///< last click's error minus the first's: the song's length
    std::vector<std::size_t> missing; ///< the expected clicks not found, by number
};
SongFigures MeasureSong(const std::vector<float>& stereo, const std::vector<double>& expectedFrames,
                        const std::vector<int>& groups, const std::vector<bool>& partStarts);

/// Sounds that are not clicks (spoken words: several syllables, no silence between them),
/// measured in two steps. In a reference rendering of the same run (the player on its null
/// backend) each tick's word is told and placed by normalised cross-correlation with the words'
/// own waves (as the player converts them), within 2 ms of the grid anchored on the first word:
/// this places every word against its tick. Then each word's stretch of the reference (from its
/// place, up to a tick's spacing, at most 4096 frames) is found in the recording within 10 ms
/// of the grid anchored on the recording's first word. Both to a fraction of a frame.
struct ReferenceFigures {
    std::size_t ticks = 0;            ///< ticks of the reference with sound (a word or a click) that the recording covers
    std::size_t found = 0;            ///< of these, found in the recording with a correlation of at least 0.9
    std::size_t told = 0;             ///< of these, whose word the reference matches with at least 0.9
    double maxErrorFrames = 0.0;      ///< recording: largest |found - grid| over the found ones
    double meanErrorFrames = 0.0;
    double leastCorrelation = 1.0;    ///< the weakest match among the found ones
    double maxReferenceErrorFrames = 0.0; ///< reference: largest |word's place - grid| over the told ones
    std::vector<double> errors;       ///< recording, per tick with sound, in order (NaN: not found)
};
/// words: each word's wave (mono, at the reference's rate); none leaves the reference unchecked.
ReferenceFigures MeasureAgainstReference(const std::vector<float>& recording, const std::vector<float>& reference,
                                         double periodFrames, const std::vector<std::vector<float>>& words);

/// Reads a 16-bit stereo WAV file as WriteWav writes it (a 44-byte header).
std::vector<float> ReadWav16Stereo(const std::string& path);

/// Reads raw interleaved stereo signed 16-bit little-endian samples (what parec --raw
/// records). Empty when the file cannot be read.
std::vector<float> ReadRawS16Stereo(const std::string& path);

/// Reads raw interleaved stereo float32 samples (what jack_recorder records).
std::vector<float> ReadRawF32Stereo(const std::string& path);

/// Writes interleaved stereo float samples as a 16-bit WAV file.
bool WriteWav(const std::string& path, const std::vector<float>& stereo, std::uint32_t rate);

} // namespace Player
