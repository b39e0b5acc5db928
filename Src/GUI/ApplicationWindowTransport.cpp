// The JACK transport as the window plays with it: following (a run starts and stops with the
// transport and plays on its beats) or leading (the runs start and stop the transport and
// tell it their bars and beats).
#include "GUI/ApplicationWindow.h"

#include "Configuration/IConfiguration.h"

#include "Platform/Audio/JackTransport.h"
#include "Platform/LinkSession.h"

#include <QTimer>

#include <algorithm>

namespace GUI {

namespace {

using Platform::Audio::JackTransport;
using Platform::Audio::TransportMode;

// How often the window looks whether a followed transport started or stopped (ms).
constexpr int TransportLookMs = 10;

} // namespace

void ApplicationWindow::SetTransportMode(int mode)
{
    mode = std::clamp(mode, 0, 2);
    configuration_.GetControlSettings().JackTransport = mode;
    JackTransport::Instance().SetMode(static_cast<TransportMode>(mode));
    if (!transportWatch_) {
        transportWatch_ = new QTimer(this);
        connect(transportWatch_, &QTimer::timeout, this, [this] { WatchTransport(); });
    }
    if (mode == 0)
        transportWatch_->stop();
    else
        transportWatch_->start(TransportLookMs);
}

bool ApplicationWindow::FollowingTransport() const
{
    const JackTransport& transport = JackTransport::Instance();
    return transport.Mode() == TransportMode::Follow && transport.Connected();
}

void ApplicationWindow::WatchTransport()
{
    JackTransport& transport = JackTransport::Instance();
    transport.SetIdleTempo(Settings().Bpm, Settings().BeatsPerBar);
    if (!FollowingTransport())
        return;
    // The run starts and stops with the transport (a start that waits for its sounds counts
    // as started).
    const bool rolling = transport.Rolling();
    transportHeld_ = transportHeld_ && rolling; // a Stop's request takes a cycle or two
    if (rolling && !running_.load() && !startWaiting_ && !transportHeld_)
        ToggleStartStop();
    else if (!rolling && running_.load())
        StopIfRunning();
}

bool ApplicationWindow::TransportStartWanted()
{
    // Following, Start asks the transport to roll, and the run starts when it does.
    if (!FollowingTransport() || JackTransport::Instance().Rolling())
        return false;
    JackTransport::Instance().RequestRolling(true);
    return true;
}

void ApplicationWindow::TransportStopped(bool byUser)
{
    JackTransport& transport = JackTransport::Instance();
    if (transport.Mode() == TransportMode::Lead)
        transport.RunStopped();
    else if (byUser && FollowingTransport()) {
        transport.RequestRolling(false);
        transportHeld_ = true; // not started again before the transport has stopped
    }
}

void ApplicationWindow::PrepareTransportRun(Configuration::ConfigurationData& run, double firstTempo)
{
    JackTransport& transport = JackTransport::Instance();
    if (transport.Mode() == TransportMode::Lead && transport.Connected()) {
        transport.SetIdleTempo(run.Bpm, run.BeatsPerBar);
        transport.RunStarting(firstTempo > 0 ? firstTempo : run.Bpm);
        return;
    }
    if (!FollowingTransport()) {
        if (FollowingLink())
            run.CountIn = 0; // the session's bar lines lead
        return;
    }
    // A following run joins at the transport's bar lines, in its metre where it tells one.
    run.CountIn = 0;
    if (const std::int32_t beats = transport.BeatsPerBar(); beats >= 1 && beats <= 16)
        run.BeatsPerBar = beats;
}

void ApplicationWindow::LeadBeat(const Core::BarPosition& position)
{
    JackTransport::Instance().LeadPosition(position.countIn, position.beat, position.beatsPerBar);
}

const Platform::ExternalTimeline* ApplicationWindow::FollowedTimeline()
{
    if (FollowingTransport())
        return &JackTransport::Instance().Following();
    return FollowingLink() ? &options_.link->Timeline() : nullptr;
}

} // namespace GUI
