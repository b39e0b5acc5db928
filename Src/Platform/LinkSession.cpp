#include "Platform/LinkSession.h"

#include "Platform/Audio/CaptureBlocks.h"
#include "Platform/Clock.h"
#include "Platform/FrameClock.h"

#include <ableton/Link.hpp>

#include <pthread.h>
#include <time.h>

#include <chrono>
#include <cmath>

namespace Platform {

namespace {

// How often the session's beats are put onto the stream's frames again: a run asks for each
// tick every 5 ms, and the stream's clock drifts from the system's by a few parts a million.
constexpr auto LookEvery = std::chrono::milliseconds(2);

std::int64_t RawNanoseconds() noexcept
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC_RAW, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

} // namespace

TimelinePoint SessionPoint(bool playing, std::int64_t beat, std::int32_t beatsPerBar, double beatFrame,
                           double nextBeatFrame) noexcept
{
    const std::int64_t perBar = beatsPerBar > 0 ? beatsPerBar : 4;
    const std::int64_t bars = beat >= 0 ? beat / perBar : -((-beat + perBar - 1) / perBar);
    TimelinePoint point;
    point.rolling = playing;
    point.beatFrame = beatFrame;
    point.framesPerBeat = nextBeatFrame - beatFrame;
    point.beatsPerBar = static_cast<std::int32_t>(perBar);
    point.bar = static_cast<std::int32_t>(bars + 1);
    point.beat = static_cast<std::int32_t>(beat - bars * perBar);
    point.fromBeat = beat == 0; // the session's first bar line after its start: nothing before it
    return point;
}

struct LinkSession::Peer {
    explicit Peer(double bpm) : link(bpm) {}
    ableton::Link link;
};

LinkSession::LinkSession(ExternalTimeline& timeline, const IFrameClock& clock) : timeline_(timeline), clock_(clock) {}

LinkSession::~LinkSession()
{
    Enable(false, 0);
}

void LinkSession::Enable(bool on, double bpm)
{
    const std::lock_guard hold(lock_);
    if (on == (peer_ != nullptr))
        return;
    if (on) {
        peer_ = std::make_unique<Peer>(bpm > 0 ? bpm : 120);
        peer_->link.setNumPeersCallback(
            [this](std::size_t peers) { peers_.store(static_cast<std::int32_t>(peers), std::memory_order_release); });
        peer_->link.enableStartStopSync(true);
        peer_->link.enable(true);
        wasPlaying_ = false;
        {
            const std::lock_guard wake(wake_);
            stop_ = false;
        }
        Look();
        looker_ = std::thread([this] { Run(); });
        enabled_.store(true, std::memory_order_release);
        return;
    }
    enabled_.store(false, std::memory_order_release);
    {
        const std::lock_guard wake(wake_);
        stop_ = true;
    }
    woken_.notify_all();
    if (looker_.joinable())
        looker_.join();
    peer_->link.enable(false);
    peer_.reset();
    timeline_.Publish(TimelinePoint{});
    peers_.store(0, std::memory_order_release);
    playing_.store(false, std::memory_order_release);
    tempo_.store(0, std::memory_order_release);
}

void LinkSession::Run()
{
    pthread_setname_np(pthread_self(), "tolvane-link");
    std::unique_lock wake(wake_);
    while (!woken_.wait_for(wake, LookEvery, [this] { return stop_; })) {
        wake.unlock();
        Look();
        wake.lock();
    }
}

std::int64_t LinkSession::ToClock(std::int64_t linkMicros) const noexcept
{
    // Link's microseconds are the raw clock's nanoseconds cut down: on average 500 ns more.
    return linkMicros * 1000 + 500 + rawToClock_.load(std::memory_order_relaxed);
}

void LinkSession::Look()
{
    // The two clocks read side by side; the system's slews (NTP), the raw one does not.
    const std::int64_t before = Clock::Now();
    const std::int64_t raw = RawNanoseconds();
    const std::int64_t after = Clock::Now();
    rawToClock_.store(before + (after - before) / 2 - raw, std::memory_order_relaxed);

    ableton::Link& link = peer_->link;
    const double quantum = quantum_.load(std::memory_order_relaxed);
    auto state = link.captureAppSessionState();
    const bool playing = state.isPlaying();
    if (playing && !wasPlaying_) {
        // Whoever started it, the session's beat 0 is the first bar line from the start on, as
        // every peer that follows starts and stops does.
        state.requestBeatAtStartPlayingTime(0, quantum);
        link.commitAppSessionState(state);
        state = link.captureAppSessionState();
    }
    wasPlaying_ = playing;
    const std::chrono::microseconds now(raw / 1000);
    // The beat just heard (the session's beats are when they are heard), or, before the
    // start's bar line, that bar line.
    const auto beat = std::max<std::int64_t>(static_cast<std::int64_t>(std::floor(state.beatAtTime(now, quantum))),
                                             playing ? 0 : INT64_MIN / 2);
    const auto heardFrame = [&](std::int64_t b) {
        const std::int64_t time = ToClock(state.timeAtBeat(static_cast<double>(b), quantum).count());
        return Audio::HeardFrameAt(clock_, time);
    };
    timeline_.Publish(SessionPoint(playing, beat, static_cast<std::int32_t>(quantum), heardFrame(beat), heardFrame(beat + 1)));
    tempo_.store(state.tempo(), std::memory_order_release);
    playing_.store(playing, std::memory_order_release);
}

void LinkSession::SetTempo(double bpm)
{
    const std::lock_guard hold(lock_);
    if (!peer_ || bpm <= 0)
        return;
    auto state = peer_->link.captureAppSessionState();
    state.setTempo(bpm, peer_->link.clock().micros());
    peer_->link.commitAppSessionState(state);
    tempo_.store(bpm, std::memory_order_release);
}

void LinkSession::RequestPlaying(bool play, std::int64_t heardAt)
{
    const std::lock_guard hold(lock_);
    if (!peer_)
        return;
    ableton::Link& link = peer_->link;
    auto state = link.captureAppSessionState();
    if (play) {
        const std::int64_t micros = (heardAt - rawToClock_.load(std::memory_order_relaxed)) / 1000;
        state.setIsPlayingAndRequestBeatAtTime(true, std::chrono::microseconds(micros), 0,
                                               quantum_.load(std::memory_order_relaxed));
    } else {
        state.setIsPlaying(false, link.clock().micros());
    }
    link.commitAppSessionState(state);
}

} // namespace Platform
