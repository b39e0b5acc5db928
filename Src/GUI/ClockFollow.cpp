#include "GUI/ClockFollow.h"

#include "GUI/MidiInPump.h"
#include "Platform/Audio/Mixer.h"

#include <QTimer>

#include <cmath>

namespace GUI {

namespace {

// The shown tempo moves when the clock's is this far from it, so that a clock between two
// whole tempos does not make the read-out flicker.
constexpr double ShownTempoSlack = 0.6;
constexpr auto Silence = std::chrono::milliseconds(500);

} // namespace

ClockFollow::ClockFollow(MidiInPump& pump, const Platform::Audio::Mixer& mixer, Core::BeatGrid& grid, Actions actions,
                         QObject* parent)
    : QObject(parent), pump_(&pump), mixer_(mixer), grid_(grid), actions_(std::move(actions))
{
    silence_ = new QTimer(this);
    silence_->setInterval(250);
    connect(silence_, &QTimer::timeout, this, [this] {
        if (follower_ && std::chrono::steady_clock::now() - lastClock_ > Silence)
            Forget();
    });
}

ClockFollow::~ClockFollow()
{
    Follow(false);
}

void ClockFollow::Follow(bool on)
{
    if (on == Following())
        return;
    if (on) {
        if (pump_ == nullptr)
            return;
        listening_ = pump_->Listen([this](const Platform::Audio::StampedMidi& message) { Message(message); });
        silence_->start();
    } else {
        if (pump_ != nullptr)
            pump_->Forget(listening_);
        listening_ = 0;
        silence_->stop();
        Forget();
    }
}

void ClockFollow::Forget()
{
    follower_.reset();
    startWaiting_ = false;
    grid_.Clear();
}

void ClockFollow::Message(const Platform::Audio::StampedMidi& message)
{
    if (message.size == 0 || message.bytes[0] < 0xF2)
        return; // notes, controllers and the rest are the MIDI map's
    const double rate = mixer_.FrameRate();
    if (!follower_ || rate != rate_) {
        follower_.emplace(rate);
        rate_ = rate;
    }
    using Transport = Core::MidiClockFollower::Transport;
    switch (follower_->Take(static_cast<double>(message.frame), message.bytes, message.size)) {
    case Transport::Start:
    case Transport::Continue: startWaiting_ = true; break;
    case Transport::Stop:
        startWaiting_ = false;
        if (actions_.stop)
            actions_.stop();
        break;
    case Transport::None: break;
    }
    if (message.bytes[0] == 0xF8)
        lastClock_ = std::chrono::steady_clock::now();
    if (!follower_->HasTempo())
        return; // the grid of the last tempo stays until the new one is known
    grid_.Publish(follower_->Grid());
    const double bpm = follower_->Bpm();
    if (actions_.tempo && actions_.shownTempo && std::fabs(bpm - actions_.shownTempo()) > ShownTempoSlack)
        actions_.tempo(static_cast<int>(std::lround(bpm)));
    if (startWaiting_ && follower_->Playing()) {
        startWaiting_ = false;
        if (actions_.start)
            actions_.start();
    }
}

} // namespace GUI
