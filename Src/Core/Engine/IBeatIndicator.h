#pragma once
#include <cstdint>

namespace Configuration {
struct ConfigurationData;
}

namespace Core {

/// The visual beat lamp as the metronome drives it. The GUI implements it; without one the
/// metronome simply plays. StartDrawing and StopDrawing come on the thread that calls Start
/// and Stop (the window thread); ShowBeat and ClearBeat on the timer thread, inside the tick
/// (ClearBeat also on the window thread when a run is paused). ShowBeat and ClearBeat must
/// return at once without locking, allocating, logging or calling a toolkit (queue the beat
/// with Platform::CurrentTickHeardTime() and wake the thread that shows it).
/// How the lamp shows a beat: as usual, as a beat of the count-in, or as a beat of a muted bar
/// (which sounds nothing, so the player can check where it falls).
enum class BeatLook : std::uint8_t { Normal = 0, CountIn = 1, Muted = 2 };

class IBeatIndicator {
public:
    virtual ~IBeatIndicator() = default;
    /// Begins drawing a run with these marker settings (sizes and colours of the voices).
    virtual void StartDrawing(const Configuration::ConfigurationData& settings) = 0;
    /// Shows the marker of a voice (index 0..11) for the beat that has just sounded.
    virtual void ShowBeat(std::int32_t voiceIndex, BeatLook look) = 0;
    /// Turns the lamp dark.
    virtual void ClearBeat() = 0;
    /// Ends drawing; the lamp goes dark.
    virtual void StopDrawing() = 0;
    /// The run pauses (true; after its last tick) or goes on (false; before its next tick).
    /// Window thread.
    virtual void PauseDrawing(bool paused) { (void)paused; }
    /// The next beat shown (not a count-in's) is beat `beat` of the piece, counted from its
    /// first (0), which need not follow the last one shown: a song starts from a part or goes
    /// to another. Timer thread, inside the tick, before that beat's ShowBeat.
    virtual void MoveTo(std::int64_t beat) { (void)beat; }
};

} // namespace Core
