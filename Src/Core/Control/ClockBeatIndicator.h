#pragma once
#include "Core/Engine/IBeatIndicator.h"

#include <cstdint>

namespace Core {

/// Stands between the metronome and its beat lamp (inner, null: none) and hands each beat's
/// frame on the output stream to the MIDI clock output (Platform::Audio::MidiClockOut), with
/// the first beat of bar 1 marked for Start. The beat's expected length is the distance from
/// the beat before (at a run's first beat: the tempo the run starts at). Threads as
/// IBeatIndicator; ShowBeat neither locks nor allocates.
class ClockBeatIndicator final : public IBeatIndicator {
public:
    explicit ClockBeatIndicator(IBeatIndicator* inner) : inner_(inner) {}

    void StartDrawing(const Configuration::ConfigurationData& settings) override;
    void ShowBeat(std::int32_t voiceIndex, BeatLook look) override;
    void ClearBeat() override;
    void StopDrawing() override;

private:
    IBeatIndicator* inner_;
    double bpm_ = 120;      // written by StartDrawing before the run's timer thread starts
    double lastFrame_ = -1; // timer thread
    bool barOneSeen_ = false;
};

} // namespace Core
