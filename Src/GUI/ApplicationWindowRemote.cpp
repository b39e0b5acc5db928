// The main window's part that carries out commands from outside: OSC and MIDI control.
#include "GUI/ApplicationWindow.h"

#include "Configuration/IConfiguration.h"
#include "GUI/ClockFollow.h"
#include "GUI/MidiInPump.h"
#include "GUI/ProgramFont.h"
#include "GUI/Statusbar.h"
#include "Platform/Audio/AlsaClockOut.h"
#include "Platform/Audio/MidiClock.h"
#include "Platform/Audio/Mixer.h"
#include "System/CurrentLanguage.h"
#include "GUI/RemoteControl.h"
#include "Platform/Text.h"

#include <algorithm>
#include <cmath>

namespace GUI {

void ApplicationWindow::CarryOutRemote(const Core::RemoteCommand& command)
{
    using Core::RemoteAction;
    if (!display_)
        return;
    const auto bpm = [&command] {
        // Far beyond any tempo and within int: refused below as out of range.
        return static_cast<int>(std::lround(std::clamp(command.value, -1.0e6, 1.0e6)));
    };
    const QString name = QString::fromStdU16String(
        std::u16string(command.name, Platform::Text::Length(command.name, std::size(command.name))));
    switch (command.action) {
    case RemoteAction::Start: StartRequest(); break;
    case RemoteAction::Stop: StopIfRunning(); break;
    case RemoteAction::StartStop: ToggleStartStop(); break;
    case RemoteAction::Tap:
        // A pedal's tap counts from when it was played (its stamp's time on the output's
        // clock map), not from when the window gets to it.
        tempoInput_.Tap(Qt::NoModifier, command.frame >= 0 && options_.midiInput != nullptr
                                            ? options_.midiInput->HeardTime(command.frame)
                                            : 0);
        break;
    case RemoteAction::Tempo: SetTempoRequest(bpm()); break;
    case RemoteAction::TempoStep:
        SetTempoRequest(std::clamp(Tempo() + bpm(), KeyboardTempoMinimum, KeyboardTempoMaximum));
        break;
    case RemoteAction::Preset: LoadPresetRequest(name); break;
    case RemoteAction::PresetNumber: {
        std::u16string found;
        int index = 0;
        configuration_.ForEachPreset([&](const Configuration::ConfigurationData& preset) {
            if (++index == bpm())
                found = preset.Name;
        });
        if (!found.empty())
            LoadPresetRequest(QString::fromStdU16String(found));
        break;
    }
    case RemoteAction::Practice: PracticeRequest(name); break;
    case RemoteAction::Part:
    case RemoteAction::Song:
        // As Alt+Right/Left (with Ctrl for songs): from the end of the bar.
        MoveInSong(command.value < 0 ? -1 : 1, command.action == RemoteAction::Song, false);
        break;
    case RemoteAction::Show: ActivateFromOtherCopy(); break;
    }
}

void ApplicationWindow::StartRemoteControl()
{
    if (remote_)
        return;
    remote_ = new RemoteControl([this](const Core::RemoteCommand& command) { CarryOutRemote(command); }, this);
    Configuration::ControlSettings& control = configuration_.GetControlSettings();
    remote_->learnt = [this](Core::MidiCommand, const Core::MidiTrigger&) {
        configuration_.GetControlSettings().MidiMap = remote_->Map().ToText();
    };
    midiIn_ = new MidiInPump(options_.midiInput, this);
    remote_->ListenMidi(*midiIn_, Core::MidiMap::FromText(control.MidiMap));
    if (options_.midiInput != nullptr && options_.clockGrid != nullptr) {
        ClockFollow::Actions actions;
        // The clock's Start begins the run from its bar 1, also when the run plays already.
        actions.start = [this] {
            StopIfRunning();
            StartRequest();
        };
        actions.stop = [this] { StopIfRunning(); };
        actions.tempo = [this](int bpm) {
            if (!TrainerOwnsTempo())
                SetTempoRequest(std::clamp(bpm, KeyboardTempoMinimum, KeyboardTempoMaximum));
        };
        actions.shownTempo = [this] { return Tempo(); };
        clockFollow_ = new ClockFollow(*midiIn_, *options_.midiInput, *options_.clockGrid, std::move(actions), this);
    }
    SetMidiClock(control.MidiClock, false);
    if (control.OscPort != 0)
        ListenForOsc(control.OscPort); // a port that cannot be opened is logged; the window runs on
    SetTransportMode(control.JackTransport);
    SetLink(control.Link != 0);
}

bool ApplicationWindow::ListenForOsc(int port)
{
    StartRemoteControl();
    Configuration::ControlSettings& control = configuration_.GetControlSettings();
    QString problem;
    if (!remote_->ListenOsc(control.OscAddress, port, problem))
        return false;
    control.OscPort = port;
    return true;
}

void ApplicationWindow::SetMidiClock(int mode, bool tell)
{
    StartRemoteControl();
    configuration_.GetControlSettings().MidiClock = mode;
    Platform::Audio::MidiClockOut::Instance().SetSending(mode == Configuration::MidiClockSend);
    // Without JACK the clock needs the ALSA sequencer; the sender logs its absence too.
    constexpr int NoClockOutText = 397;
    if (tell && mode == Configuration::MidiClockSend && options_.midiInput != nullptr && statusbar_) {
        const std::string output = options_.midiInput->BackendName();
        if (!output.empty() && output != "jack" && !Platform::Audio::SequencerPresent())
            statusbar_->SetText(FromTableText(System::CurrentLanguage()->GetText(NoClockOutText)));
    }
    if (clockFollow_)
        clockFollow_->Follow(mode == Configuration::MidiClockFollow);
}

} // namespace GUI
