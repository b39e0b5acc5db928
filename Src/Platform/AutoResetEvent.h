#pragma once
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace Platform {

/// An event that lets one waiter through per Set and then closes again by itself.
/// Starts not signalled. Any thread may call any operation.
class AutoResetEvent {
public:
    AutoResetEvent() = default;
    AutoResetEvent(const AutoResetEvent&) = delete;
    AutoResetEvent& operator=(const AutoResetEvent&) = delete;

    /// Signals the event; a waiting or the next waiting thread passes.
    void Set();
    /// Clears the signal without waking anyone.
    void Reset();
    /// Waits until the event is signalled or timeoutMs milliseconds have passed.
    /// Returns true when it was signalled (the signal is consumed), false on time-out.
    bool Wait(std::uint32_t timeoutMs);
    /// Waits until the event is signalled or the clock (Platform::Clock) reaches deadline.
    bool WaitUntil(std::int64_t deadline);
    /// Waits without a time-out.
    void Wait();

private:
    std::mutex mutex_;
    std::condition_variable condition_;
    bool signalled_ = false;
};

} // namespace Platform
