#pragma once
#include <cstdint>

namespace Configuration {
struct ConfigurationData;
}

namespace Core {

/// The visual beat lamp as the metronome drives it. The GUI implements it; without one the
/// metronome simply plays. StartDrawing comes on the window thread at Start; ShowBeat and
/// ClearBeat on the timer thread (ClearBeat also on the window thread when a run is
/// paused); StopDrawing on whichever thread ends the run. ShowBeat and ClearBeat must return
/// at once without locking, allocating or logging (set a value and wake the drawing thread).
class IBeatIndicator {
public:
    virtual ~IBeatIndicator() = default;
    /// Begins drawing a run with these marker settings (sizes and colours of the voices).
    virtual void StartDrawing(const Configuration::ConfigurationData& settings) = 0;
    /// Shows the marker of a voice (index 0..11) for the beat that has just sounded.
    virtual void ShowBeat(std::int32_t voiceIndex) = 0;
    /// Turns the lamp dark.
    virtual void ClearBeat() = 0;
    /// Ends drawing; the lamp goes dark.
    virtual void StopDrawing() = 0;
};

} // namespace Core
