#pragma once
#include "Platform/SpscQueue.h"

#include <QObject>

#include <atomic>
#include <cstdint>

class QSocketNotifier;

namespace GUI {

/// One report of the metronome controller on its way to the GUI thread.
struct MetronomeEvent {
    enum Kind : std::uint8_t { TrainerStarted, Beat, Stopped, Error };
    Kind kind = Beat;
    std::uint8_t flags = 0;   ///< Beat: the timer flags
    std::uint32_t value = 0;  ///< tempo (bpm); Error: message index
};

/// Carries the controller's reports from the timer thread to the GUI thread without ever
/// blocking, locking or allocating on the timer thread: Post copies a small record into a
/// bounded single-producer queue and bumps an eventfd; a QSocketNotifier on the GUI thread
/// wakes on the eventfd and Drain hands every record to Delivered in order.
///
/// Post from one thread at a time (the timer thread, or the GUI thread while no timer thread
/// runs); everything else on the GUI thread.
class MetronomeEventQueue : public QObject {
    Q_OBJECT
public:
    /// Records that fit before the GUI thread has caught up; a run posts at most one record
    /// per speed-trainer step plus its end, so this is never reached in practice.
    static constexpr std::size_t Capacity = 1024;

    explicit MetronomeEventQueue(QObject* parent = nullptr);
    ~MetronomeEventQueue() override;

    /// Queues a record and wakes the GUI thread. False when the queue is full (the record is
    /// dropped and counted). Wait-free.
    bool Post(const MetronomeEvent& event) noexcept;
    /// Delivers every queued record now (GUI thread).
    void Drain();
    /// Records dropped because the queue was full.
    std::uint64_t Dropped() const { return dropped_.load(std::memory_order_relaxed); }

signals:
    void Delivered(const GUI::MetronomeEvent& event);

private:
    Platform::SpscQueue<MetronomeEvent> queue_{Capacity};
    std::atomic<std::uint64_t> dropped_{0};
    int wakeFd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace GUI
