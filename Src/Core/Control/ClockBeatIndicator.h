#pragma once
#include "Core/Engine/IBeatIndicator.h"
#include "Platform/Audio/MidiClock.h"

#include <cstdint>

namespace Core {

/// Stands between the metronome and its beat lamp (inner, null: none) and hands each beat's
/// frame on the output stream to the MIDI clock output (out: the process's one), with
/// the first beat of bar 1 marked for Start. A pause stops the clock; the first beat after it
/// carries Continue, with the Song Position of the beats played since bar 1 (a quarter note
/// each); so does a beat that a song moved to (MoveTo) elsewhere than after the last, its Song
/// Position the song's, and the first beat of a song started from a later part (instead of
/// Start). The beat's expected length is the distance from the beat before (at a run's first
/// beat: the tempo the run starts at; after a pause: the last beat's). Threads as
/// IBeatIndicator; ShowBeat neither locks nor allocates.
class ClockBeatIndicator final : public IBeatIndicator {
public:
    explicit ClockBeatIndicator(IBeatIndicator* inner,
                                Platform::Audio::MidiClockOut& out = Platform::Audio::MidiClockOut::Instance())
        : inner_(inner), out_(out)
    {
    }

    void StartDrawing(const Configuration::ConfigurationData& settings) override;
    void ShowBeat(std::int32_t voiceIndex, BeatLook look) override;
    void ClearBeat() override;
    void StopDrawing() override;
    void PauseDrawing(bool paused) override;
    void MoveTo(std::int64_t beat) override;

private:
    IBeatIndicator* inner_;
    Platform::Audio::MidiClockOut& out_;
    double bpm_ = 120;      // written by StartDrawing before the run's timer thread starts
    double lastFrame_ = -1; // timer thread
    bool barOneSeen_ = false;
    double lastLength_ = 0;         // the last beat's length, frames
    std::int64_t beatsPlayed_ = 0;  // since bar 1
    bool resuming_ = false;         // set on the window thread while the timer thread is gone
    std::int64_t movedTo_ = -1;     // timer thread: the place of the next beat, -1: the one after the last
};

} // namespace Core
