#pragma once
#include "Core/Control/MidiClockFollower.h"
#include "Platform/Audio/MidiInput.h"

#include <QObject>
#include <QPointer>

#include <chrono>
#include <functional>
#include <optional>

class QTimer;

namespace Platform::Audio {
class Mixer;
}

namespace GUI {

class MidiInPump;

/// Follows a MIDI clock that comes in (the output's midi_in port, the ALSA sequencer port):
/// publishes its beat grid for the metronome's runs (Core::BeatGrid, which the runs place their
/// ticks on), shows its tempo (rounded, through tempo) and starts and stops the run with its
/// Start, Continue and Stop. A Start waits for a beat of clocks, which gives the tempo; the run
/// then starts on the next beat it can reach, at its place in the bar. A clock silent for half
/// a second takes its grid back, so a run started then plays its own tempo. GUI thread only.
class ClockFollow : public QObject {
    Q_OBJECT
public:
    struct Actions {
        std::function<void()> start;       ///< starts the run (when it is not running)
        std::function<void()> stop;        ///< stops it (when it runs)
        std::function<void(int)> tempo;    ///< shows the tempo (whole beats a minute)
        std::function<int()> shownTempo;   ///< the tempo shown now
    };

    ClockFollow(MidiInPump& pump, const Platform::Audio::Mixer& mixer, Core::BeatGrid& grid, Actions actions,
                QObject* parent);
    ~ClockFollow() override;

    /// On: reads the clock from now on; off: forgets it and takes its grid back.
    void Follow(bool on);
    bool Following() const { return listening_ != 0; }
    /// The clock's tempo; 0 while there is none.
    double Bpm() const { return follower_ && follower_->HasTempo() ? follower_->Bpm() : 0.0; }

    /// One message that came in (the pump's listener; also for tests).
    void Message(const Platform::Audio::StampedMidi& message);

private:
    void Forget();

    QPointer<MidiInPump> pump_; // null once the pump is gone (the window's children go in turn)
    const Platform::Audio::Mixer& mixer_;
    Core::BeatGrid& grid_;
    Actions actions_;
    int listening_ = 0;
    std::optional<Core::MidiClockFollower> follower_;
    double rate_ = 0;
    bool startWaiting_ = false;
    QTimer* silence_ = nullptr;
    std::chrono::steady_clock::time_point lastClock_{};
};

} // namespace GUI
