#pragma once
#include "Core/Control/MidiMap.h"
#include "Core/Control/OscReceiver.h"
#include "Core/Control/RemoteCommand.h"
#include "Platform/Audio/MidiInput.h"

#include <QObject>
#include <QString>

#include <deque>
#include <functional>
#include <optional>
#include <string>

class QSocketNotifier;

namespace GUI {

class MidiInPump;

/// Brings the commands that arrive from outside the window (OSC messages, MIDI notes and
/// controllers through the MIDI map) to the GUI thread and hands each to perform there. However many arrive, one turn of the event loop carries
/// out at most CommandsPerTurn of them, and the next are taken PauseMs later, so the window
/// keeps answering through a flood; the receiver's bounded queue drops the rest. GUI thread
/// only.
class RemoteControl : public QObject {
    Q_OBJECT
public:
    static constexpr int CommandsPerTurn = 8;
    static constexpr int PauseMs = 10;
    using Perform = std::function<void(const Core::RemoteCommand&)>;

    RemoteControl(Perform perform, QObject* parent);
    ~RemoteControl() override;

    /// Listens for OSC on address and port (0: closes). False, with the reason logged and in
    /// problem, when the port cannot be opened. An address other than the loopback one is
    /// logged as a warning: anyone who reaches it can then start and stop the metronome.
    bool ListenOsc(const std::string& address, int port, QString& problem);
    void CloseOsc();
    /// The port listened on; 0 when closed.
    int OscPort() const { return osc_.Port(); }
    Core::OscReceiver::Counts OscCounts() const { return osc_.Totals(); }

    /// Reads MIDI input through pump (the output's midi_in port and the ALSA sequencer port)
    /// and sets off the commands map gives, queued with the OSC ones (at most MidiQueued
    /// waiting; more are dropped).
    void ListenMidi(MidiInPump& pump, const Core::MidiMap& map);
    static constexpr std::size_t MidiQueued = 64;
    const Core::MidiMap& Map() const { return map_; }
    void SetMap(const Core::MidiMap& map) { map_ = map; }
    /// The next note or controller pressed goes to command (instead of setting anything off);
    /// learnt is called with it then. nullopt: stops learning.
    void Learn(std::optional<Core::MidiCommand> command);
    std::optional<Core::MidiCommand> Learning() const { return learning_; }
    std::function<void(Core::MidiCommand, const Core::MidiTrigger&)> learnt;
    /// Every MIDI message read, before the map sees it (the clock follower), GUI thread.
    std::function<void(const Platform::Audio::StampedMidi&)> midiSeen;

private:
    void Drain();
    void MidiMessage(const Platform::Audio::StampedMidi& message);
    void DrainSoon(int ms);

    Perform perform_;
    Core::OscReceiver osc_;
    QSocketNotifier* notifier_ = nullptr;
    Core::MidiMap map_;
    std::optional<Core::MidiCommand> learning_;
    MidiInPump* pump_ = nullptr;
    int listening_ = 0; // the pump's listener number; 0: not listening
    std::deque<Core::RemoteCommand> midiCommands_;
    bool drainQueued_ = false;
    bool performing_ = false;
};

/// True for 127.0.0.0/8 and ::1.
bool LoopbackAddress(const std::string& address);

} // namespace GUI
