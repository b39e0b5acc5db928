#pragma once
#include <functional>
#include <pthread.h>
#include <sched.h>
#include <thread>

namespace Platform {

/// Scheduling of the calling thread, behind an interface so that tests can make each call
/// fail. Every call returns 0 on success or an errno value, and affects the calling thread.
class IThreadScheduling {
public:
    virtual ~IThreadScheduling() = default;
    /// Raises the calling thread to the highest real-time priority the program uses.
    virtual int RaiseToRealTimePriority() = 0;
    /// Pins the calling thread to one processor, storing its previous mask in previous.
    virtual int PinToProcessor(int processor, cpu_set_t& previous) = 0;
    /// Restores a mask saved by PinToProcessor.
    virtual int RestoreAffinity(const cpu_set_t& previous) = 0;
};

/// The real scheduling calls (SCHED_FIFO, pthread affinity).
IThreadScheduling& SystemThreadScheduling();

/// Starts a thread running body. On failure returns false with errno set to the reason and
/// leaves thread untouched; nothing is thrown.
bool StartThread(std::thread& thread, std::function<void()> body) noexcept;

/// The prompt priority: a low real-time priority, above every normal thread and below the
/// timer and the audio threads. For threads that do a few microseconds of work per beat but
/// must run when the beat is heard, however busy the machine is (the GUI thread while it
/// paints the beat lamp or the step sequencer's cursor).
///
/// Raises the calling thread to it. Returns 0 or an errno value; a thread that may not raise
/// itself keeps its normal priority and works as before, only less promptly on a busy machine.
int RaiseToPromptPriority() noexcept;

/// Raises one thread to the prompt priority for a while and then gives it back its own
/// scheduling. Calls must be serialised by the owner.
class PromptPriorityLoan {
public:
    /// Raises the calling thread, remembering its scheduling. Harmless while raised.
    void Raise() noexcept;
    /// Gives the raised thread back its scheduling. Any thread; harmless when not raised.
    void Restore() noexcept;

private:
    bool raised_ = false;
    pthread_t thread_{};
    int policy_ = SCHED_OTHER;
    sched_param parameters_{};
};

/// True when called on the thread that thread runs.
bool IsCurrentThread(const std::thread& thread) noexcept;

} // namespace Platform
