#pragma once
// What the percussion kit and its rendering helper (tolvane-kit) say to each other.
//
//   tolvane-kit SOUNDFONT SAMPLE-RATE [NOTE:VELOCITY ...]
//
// The helper loads the soundfont into FluidSynth, renders each note at its velocity and writes,
// for each in turn, a NoteHeader and then the note's frames as interleaved stereo floats, in
// the machine's own byte order, to its standard output. It ends with one of the statuses below.
// With no note it only loads the soundfont, which tells whether the file is a usable one.
#include <cstdint>

namespace Platform::Audio::KitRendering {

inline constexpr const char* HelperName = "tolvane-kit";

enum Status : int {
    Rendered = 0,      // every note written
    NotASoundFont = 1, // the file could not be loaded as a soundfont
    OutOfMemory = 2,
    BadArguments = 3,
};

struct NoteHeader {
    std::int32_t note;
    std::int32_t velocity;
    std::int32_t exclusiveClass; // notes of one non-zero class cut each other (hi-hats)
    std::uint32_t frames;
};

// A note that still sounds after the held time is let go and its release rendered, as a
// metronome never holds a note longer; nothing is rendered past the release time.
inline constexpr double LongestHeldSeconds = 2.0;
inline constexpr double LongestReleaseSeconds = 2.0;
inline constexpr std::uint32_t RenderChunk = 1024;

/// The most frames a rendering at sampleRate can have.
constexpr std::uint64_t MostFrames(std::uint32_t sampleRate)
{
    return static_cast<std::uint64_t>((LongestHeldSeconds + LongestReleaseSeconds) * sampleRate) + RenderChunk;
}

} // namespace Platform::Audio::KitRendering
