#pragma once
#include "Platform/Timeline.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

namespace Platform {

class IFrameClock;

/// A whole beat of a Link session on the output stream as a timeline point: the session's
/// beat number beat (phase 0 of a quantum of beatsPerBar beats is the first beat of a bar,
/// beat 0 that of bar 1), heard at beatFrame, the next one at nextBeatFrame. Before the
/// session's beat 0 nothing is played (a start waits for the session's bar line). Pure.
TimelinePoint SessionPoint(bool playing, std::int64_t beat, std::int32_t beatsPerBar, double beatFrame,
                           double nextBeatFrame) noexcept;

/// Tolvane in an Ableton Link session: joins it while enabled, publishes the session's beats
/// on the output stream's frames (the ExternalTimeline a following run places its ticks on,
/// looked at every few milliseconds by a thread of its own, so that the mapping follows the
/// stream's clock), and tells the session Tolvane's tempo and its starts and stops. Link's
/// clock (CLOCK_MONOTONIC_RAW) is brought onto Platform::Clock by reading both side by side at
/// every look, and its times, being when a beat is heard, onto frames through the frame
/// clock's heard time. Nothing of it runs on the timer or the audio thread: they only read
/// the timeline. Control threads call Enable, SetTempo and RequestPlaying; any thread reads.
class LinkSession {
public:
    /// timeline and clock outlive the session.
    LinkSession(ExternalTimeline& timeline, const IFrameClock& clock);
    ~LinkSession();
    LinkSession(const LinkSession&) = delete;
    LinkSession& operator=(const LinkSession&) = delete;

    /// Joins (bpm: the tempo of a session begun alone) or leaves the session.
    void Enable(bool on, double bpm);
    bool Enabled() const noexcept { return enabled_.load(std::memory_order_acquire); }
    /// The session's beats on the output stream, for a run to follow.
    const ExternalTimeline& Timeline() const noexcept { return timeline_; }
    /// The bar's length in beats: the session's quantum from now on.
    void SetBeatsPerBar(std::int32_t beats) noexcept { quantum_.store(beats > 0 ? beats : 4, std::memory_order_relaxed); }

    /// As of the last look: the other peers in the session, its tempo (0 before the first
    /// look), and whether it plays.
    std::int32_t Peers() const noexcept { return peers_.load(std::memory_order_acquire); }
    double Tempo() const noexcept { return tempo_.load(std::memory_order_acquire); }
    bool Playing() const noexcept { return playing_.load(std::memory_order_acquire); }

    /// The session takes bpm from now on.
    void SetTempo(double bpm);
    /// The session starts playing (its beat 0 on the first bar line heard at or after heardAt,
    /// Platform::Clock nanoseconds; alone, at heardAt) or stops now.
    void RequestPlaying(bool play, std::int64_t heardAt);

private:
    struct Peer;
    void Run();
    /// One look at the session: its beats onto the stream's frames.
    void Look();
    /// Platform::Clock's time of a time on Link's clock (its microseconds).
    std::int64_t ToClock(std::int64_t linkMicros) const noexcept;

    ExternalTimeline& timeline_;
    const IFrameClock& clock_;
    std::mutex lock_; // Enable's; the publisher and Link's own threads never wait for it
    std::unique_ptr<Peer> peer_;
    std::thread looker_;
    std::mutex wake_;
    std::condition_variable woken_;
    bool stop_ = false; // under wake_
    std::atomic<bool> enabled_{false};
    std::atomic<std::int32_t> quantum_{4};
    std::atomic<std::int32_t> peers_{0};
    std::atomic<double> tempo_{0};
    std::atomic<bool> playing_{false};
    std::atomic<std::int64_t> rawToClock_{0}; // Platform::Clock less CLOCK_MONOTONIC_RAW, ns
    bool wasPlaying_ = false;                 // the looker's
};

} // namespace Platform
