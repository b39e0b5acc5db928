#pragma once
#include "Platform/Audio/AlsaMidiInput.h"
#include "Platform/Audio/MidiInput.h"

#include <QObject>

#include <functional>
#include <vector>

class QTimer;

namespace Platform::Audio {
class Mixer;
}

namespace GUI {

/// The one reader of the program's MIDI input, on the GUI thread: the output stream's port
/// (Mixer::TakeMidiIn, "Tolvane:midi_in" on the JACK client) and, made here, the ALSA
/// sequencer port of that name (AlsaMidiInput, stamped by the mixer's frame clock). Both
/// queues have a single consumer, so whoever wants MIDI input (the MIDI map, the live scorer)
/// listens here instead of taking from them: each message goes to every listener, in the order
/// they started listening. While the output is JACK only its port is listened to (the ALSA
/// port's messages are dropped), so that a device that reaches both counts once. The queues
/// are read every PollMs while someone listens.
class MidiInPump : public QObject {
    Q_OBJECT
public:
    static constexpr int PollMs = 5;
    using Listener = std::function<void(const Platform::Audio::StampedMidi&)>;

    /// mixer: the stream whose input is read, outliving the pump; null: no input at all.
    MidiInPump(Platform::Audio::Mixer* mixer, QObject* parent);
    ~MidiInPump() override;

    /// Adds a listener; the number returned ends it (Forget).
    int Listen(Listener listener);
    void Forget(int id);
    /// True while the ALSA sequencer port is open (the machine has a sequencer).
    bool AlsaPortOpen() const { return alsaOpen_; }
    /// True while the output is JACK, whose client has the port "midi_in".
    bool JackPortOpen() const;
    /// Reads both queues empty now, handing every message on. Also run by the timer.
    void Poll();

private:
    Platform::Audio::Mixer* mixer_;
    Platform::Audio::AlsaMidiInput alsa_;
    bool alsaOpen_ = false;
    QTimer* timer_ = nullptr;
    std::vector<std::pair<int, Listener>> listeners_;
    int nextId_ = 1;
};

} // namespace GUI
