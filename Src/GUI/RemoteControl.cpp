#include "GUI/RemoteControl.h"

#include "GUI/MidiInPump.h"
#include "System/Log.h"

#include <QSocketNotifier>
#include <QTimer>

#include <arpa/inet.h>

namespace GUI {

bool LoopbackAddress(const std::string& address)
{
    in_addr v4{};
    if (inet_pton(AF_INET, address.c_str(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    return inet_pton(AF_INET6, address.c_str(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
}

RemoteControl::RemoteControl(Perform perform, QObject* parent) : QObject(parent), perform_(std::move(perform)) {}

RemoteControl::~RemoteControl()
{
    CloseOsc();
    if (pump_ != nullptr && listening_ != 0)
        pump_->Forget(listening_);
}

bool RemoteControl::ListenOsc(const std::string& address, int port, QString& problem)
{
    CloseOsc();
    if (port == 0)
        return true;
    std::string reason;
    if (!osc_.Open(address, port, reason)) {
        problem = QString::fromStdString(reason);
        System::Log().Write(System::Warn, "Unable to listen for OSC: %s", reason.c_str());
        return false;
    }
    if (!LoopbackAddress(address))
        System::Log().Write(System::Warn,
                            "Listening for OSC on %s port %d: anyone who reaches this address can control Tolvane",
                            address.c_str(), osc_.Port());
    notifier_ = new QSocketNotifier(osc_.WakeDescriptor(), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &RemoteControl::Drain);
    return true;
}

void RemoteControl::CloseOsc()
{
    delete notifier_;
    notifier_ = nullptr;
    osc_.Close();
}

void RemoteControl::Drain()
{
    drainQueued_ = false;
    // A command that shows a message box runs a nested event loop: the commands after it wait
    // for it rather than stack boxes.
    if (performing_)
        return;
    Core::RemoteCommand command;
    for (int taken = 0; taken < CommandsPerTurn; ++taken) {
        if (!midiCommands_.empty()) {
            command = midiCommands_.front();
            midiCommands_.pop_front();
        } else if (!osc_.IsOpen() || !osc_.Take(command)) {
            return;
        }
        performing_ = true;
        perform_(command);
        performing_ = false;
    }
    // More may wait while the wake-up was already read: they are taken a little later, so
    // that a flood leaves the window time to paint and answer (and the queues drop the rest).
    DrainSoon(PauseMs);
}

void RemoteControl::DrainSoon(int ms)
{
    if (!drainQueued_) {
        drainQueued_ = true;
        QTimer::singleShot(ms, this, &RemoteControl::Drain);
    }
}

void RemoteControl::ListenMidi(MidiInPump& pump, const Core::MidiMap& map)
{
    map_ = map;
    if (listening_ != 0)
        return;
    pump_ = &pump;
    listening_ = pump.Listen([this](const Platform::Audio::StampedMidi& message) { MidiMessage(message); });
}

void RemoteControl::Learn(std::optional<Core::MidiCommand> command)
{
    learning_ = command;
}

void RemoteControl::MidiMessage(const Platform::Audio::StampedMidi& message)
{
    if (midiSeen)
        midiSeen(message);
    if (learning_) {
        if (const auto trigger = Core::MidiTrigger::Of(message.bytes, message.size)) {
            const Core::MidiCommand command = *learning_;
            learning_.reset();
            map_.Set(command, *trigger);
            if (learnt)
                learnt(command, *trigger);
        }
        return;
    }
    if (const auto command = map_.Match(message.bytes, message.size)) {
        if (midiCommands_.size() < MidiQueued) {
            midiCommands_.push_back(*command);
            midiCommands_.back().frame = static_cast<double>(message.frame);
        }
        DrainSoon(0); // a pedal's press is carried out at once, after any flood's pause
    }
}

} // namespace GUI
