#pragma once
#include <functional>
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

/// True when called on the thread that thread runs.
bool IsCurrentThread(const std::thread& thread) noexcept;

} // namespace Platform
