#pragma once
#include "Platform/SpscQueue.h"

#include <QObject>

#include <atomic>
#include <cstdint>
#include <functional>

class QSocketNotifier;

namespace GUI {

/// Hands values from the metronome's ticks to the GUI thread at the moment each tick is heard.
///
/// The timer thread posts a value inside a tick (a beat's voice for the lamp, a column for the
/// step sequencer's cursor); it is due at the tick's heard time, Platform::CurrentTickHeardTime():
/// the time the output's mixer says the tick's frame leaves the speaker (its clock map plus the
/// output latency). A value posted outside a tick is due at once. The GUI thread takes each
/// value when it is due from one timer of its own (a timerfd on CLOCK_MONOTONIC, absolute, under
/// a QSocketNotifier), so only the GUI thread wakes to show it, on its own processor's timer.
/// Between values a display can ask to be woken at a time of its choosing (an animation step);
/// the same timer serves both.
///
/// Post wakes the GUI thread through an eventfd so that it can set its timer for the new value;
/// a tick is handed over at least a lead (20 ms or more) before it is heard, so that wake comes
/// well ahead of the value's time.
///
/// Threads: Post from one thread at a time (the timer thread, or the GUI thread while no timer
/// thread runs), without locking, allocating or calling Qt. Everything else on the GUI thread,
/// where the callbacks run.
class HeardTimeline : public QObject {
public:
    struct Entry {
        std::int32_t value = 0;
        std::uint32_t generation = 0; // Clear's count when posted
        std::int64_t heardTime = 0;   // Platform::Clock nanoseconds
    };
    /// Values that fit before the GUI thread has taken them: far more than a lead holds.
    static constexpr std::size_t Capacity = 256;

    /// heard runs when one or more values have come due: with the latest of them (the earlier
    /// ones are already past). woken runs when the time asked for with WakeAt has come.
    HeardTimeline(std::function<void(const Entry&)> heard, std::function<void()> woken = {},
                  QObject* parent = nullptr);
    ~HeardTimeline() override;

    /// Queues value for the current tick's heard time (now, outside a tick) and wakes the GUI
    /// thread. False when the queue is full (the value is lost). Wait-free.
    bool Post(std::int32_t value) noexcept;
    /// Forgets every value posted so far, including any still on their way; the wake asked
    /// for with WakeAt is cancelled.
    void Clear();
    /// Asks for woken at time (Platform::Clock nanoseconds; a time past: at once). Replaces an
    /// earlier request; 0 cancels it.
    void WakeAt(std::int64_t time);
    /// Takes what is due now, as the timer would when it fires.
    void Service();

private:
    void Arm();

    std::function<void(const Entry&)> heard_;
    std::function<void()> woken_;
    Platform::SpscQueue<Entry> queue_{Capacity};
    std::atomic<std::uint32_t> generation_{0};
    std::int64_t wakeAt_ = 0;
    int wakeFd_ = -1;  // eventfd: Post asks the GUI thread to look at the queue
    int timerFd_ = -1; // timerfd: the next due time
    QSocketNotifier* wakeNotifier_ = nullptr;
    QSocketNotifier* timerNotifier_ = nullptr;
};

} // namespace GUI
