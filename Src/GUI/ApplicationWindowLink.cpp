// The Ableton Link session as the window plays in it: a run starts and stops with the session
// and plays on its beats, and Tolvane's tempo, starts and stops reach the other peers.
#include "GUI/ApplicationWindow.h"

#include "Configuration/IConfiguration.h"
#include "GUI/ProgramFont.h"
#include "GUI/Statusbar.h"
#include "GUI/TempoControl.h"
#include "Platform/Audio/Mixer.h"
#include "Platform/Clock.h"
#include "Platform/LinkSession.h"
#include "System/CurrentLanguage.h"

#include <QLabel>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace GUI {

namespace {

// How often the window looks at the session's peers, tempo and start or stop (ms).
constexpr int LinkLookMs = 10;
// A start asked of the session is heard this long after the first frame a run can reach
// (ns): the window sees the session play at its next look, and the run then starts.
constexpr std::int64_t StartMargin = 60'000'000;

// The status line's texts (the block 380-393).
enum LinkText : int { NoPeersText = 382, OnePeerText, PeersText };

} // namespace

QString ApplicationWindow::LinkPeersText(std::int32_t peers)
{
    const auto language = System::CurrentLanguage();
    const QString text = FromTableText(language->GetText(peers == 0 ? NoPeersText : peers == 1 ? OnePeerText : PeersText));
    return peers > 1 ? text.arg(peers) : text;
}

void ApplicationWindow::SetLink(bool on)
{
    configuration_.GetControlSettings().Link = on ? 1 : 0;
    Platform::LinkSession* link = options_.link;
    if (link == nullptr)
        return;
    link->SetBeatsPerBar(Settings().BeatsPerBar);
    link->Enable(on, Settings().Bpm);
    linkToldBpm_ = Settings().Bpm;
    linkSessionBpm_ = Settings().Bpm;
    linkHeld_ = false;
    if (!linkWatch_) {
        linkWatch_ = new QTimer(this);
        connect(linkWatch_, &QTimer::timeout, this, [this] { WatchLink(); });
    }
    if (on)
        linkWatch_->start(LinkLookMs);
    else
        linkWatch_->stop();
    ShowLinkPeers();
}

bool ApplicationWindow::FollowingLink() const
{
    // A followed JACK transport or MIDI clock leads; the session then only shows its peers.
    return options_.link != nullptr && options_.link->Enabled() && !FollowingTransport()
           && configuration_.GetControlSettings().MidiClock != Configuration::MidiClockFollow;
}

void ApplicationWindow::ShowLinkPeers()
{
    const bool shown = options_.link != nullptr && options_.link->Enabled();
    if (!linkPeers_) {
        if (!shown)
            return;
        linkPeers_ = new QLabel(statusbar_);
        statusbar_->addPermanentWidget(linkPeers_);
    }
    const std::int32_t peers = shown ? options_.link->Peers() : 0;
    if (shown && (peers != linkPeersShown_ || linkPeers_->text() != LinkPeersText(peers))) {
        linkPeersShown_ = peers;
        // As wide as for many peers, so that the line does not move as they come and go.
        linkPeers_->setMinimumWidth(linkPeers_->fontMetrics().horizontalAdvance(LinkPeersText(99)));
        linkPeers_->setText(LinkPeersText(peers));
        linkPeers_->setAccessibleName(linkPeers_->text());
    }
    if (linkPeers_->isVisibleTo(this) != shown) {
        linkPeers_->setVisible(shown);
        FitToTexts();
    }
}

void ApplicationWindow::WatchLink()
{
    Platform::LinkSession& link = *options_.link;
    ShowLinkPeers();
    link.SetBeatsPerBar(Settings().BeatsPerBar);
    if (!FollowingLink())
        return;
    // Tempo both ways: a change of Tolvane's goes to the session, a change of the session's
    // (another peer's, or the session's when joining it) is shown and played from its next beat.
    const double session = link.Tempo();
    if (Settings().Bpm != linkToldBpm_) {
        link.SetTempo(Settings().Bpm);
        linkToldBpm_ = Settings().Bpm;
        linkSessionBpm_ = Settings().Bpm;
    } else if (session > 0 && std::abs(session - linkSessionBpm_) > 1e-6) {
        linkSessionBpm_ = session;
        const int bpm = std::clamp(static_cast<int>(std::lround(session)), KeyboardTempoMinimum, KeyboardTempoMaximum);
        if (bpm != Settings().Bpm)
            SetTempoRequest(bpm);
        linkToldBpm_ = Settings().Bpm;
    }
    // The run starts and stops with the session (a start that waits for its sounds counts as
    // started).
    const bool playing = link.Playing();
    linkHeld_ = linkHeld_ && playing;
    if (playing && !running_.load() && !startWaiting_ && !linkHeld_)
        ToggleStartStop();
    else if (!playing && running_.load())
        StopIfRunning();
}

bool ApplicationWindow::LinkStartWanted()
{
    // Start asks the session to play, on its next bar line when others play in it; the run
    // starts when the session plays.
    if (!FollowingLink() || options_.link->Playing())
        return false;
    const Platform::Audio::Mixer* output = options_.midiInput;
    const std::int64_t heardAt =
        (output != nullptr ? output->HeardTime(output->AnchorFrame()) : Platform::Clock::Now() + 200'000'000) + StartMargin;
    options_.link->RequestPlaying(true, heardAt);
    linkHeld_ = false;
    return true;
}

void ApplicationWindow::LinkStopped(bool byUser)
{
    if (!FollowingLink())
        return;
    if (byUser)
        options_.link->RequestPlaying(false, 0);
    // Not started again before the session has stopped (a run that ended by itself, a Stop
    // whose request takes a look or two).
    linkHeld_ = true;
}

} // namespace GUI
