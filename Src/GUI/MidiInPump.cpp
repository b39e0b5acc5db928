#include "GUI/MidiInPump.h"

#include "Platform/Audio/Mixer.h"
#include "System/Log.h"

#include <QTimer>

#include <algorithm>
#include <string>

namespace GUI {

MidiInPump::MidiInPump(Platform::Audio::Mixer* mixer, QObject* parent) : QObject(parent), mixer_(mixer)
{
    timer_ = new QTimer(this);
    timer_->setInterval(PollMs);
    connect(timer_, &QTimer::timeout, this, &MidiInPump::Poll);
    if (mixer_ == nullptr)
        return;
    std::string failure;
    alsaOpen_ = alsa_.Open(*mixer_, failure);
    if (!alsaOpen_)
        System::Log().Write(System::Information, "MIDI input through the ALSA sequencer is not available (%s)",
                            failure.c_str());
}

MidiInPump::~MidiInPump()
{
    alsa_.Close();
}

int MidiInPump::Listen(Listener listener)
{
    listeners_.emplace_back(nextId_, std::move(listener));
    if (mixer_ != nullptr)
        timer_->start();
    return nextId_++;
}

void MidiInPump::Forget(int id)
{
    std::erase_if(listeners_, [id](const auto& entry) { return entry.first == id; });
    if (listeners_.empty())
        timer_->stop();
}

bool MidiInPump::JackPortOpen() const
{
    return mixer_ != nullptr && mixer_->BackendName() == "jack";
}

void MidiInPump::Poll()
{
    if (mixer_ == nullptr)
        return;
    // A listener may add or forget listeners: each message goes to a copy of the list.
    Platform::Audio::StampedMidi message;
    const auto deliver = [this](const Platform::Audio::StampedMidi& m) {
        const auto listeners = listeners_;
        for (const auto& entry : listeners)
            entry.second(m);
    };
    while (mixer_->TakeMidiIn(message))
        deliver(message);
    // With JACK the client's midi_in is the input: a controller that also reaches the ALSA
    // port (through a bridge such as a2jmidid) would count each note and clock twice.
    // (The output is asked only when the ALSA port has something.)
    if (!alsa_.Take(message))
        return;
    const bool alsa = !JackPortOpen();
    do {
        if (alsa)
            deliver(message);
    } while (alsa_.Take(message));
}

} // namespace GUI
