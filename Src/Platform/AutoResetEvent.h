#pragma once
#include <atomic>
#include <cstdint>

namespace Platform {

/// Sleeps while word holds expected, until another thread changes it and wakes it
/// (word.notify_one/notify_all, or AutoResetEvent's own wake) or until the clock
/// (Platform::Clock) reaches deadline. May return early; callers re-check. Never locks.
void WaitWhileEqualUntil(std::atomic<std::uint32_t>& word, std::uint32_t expected, std::int64_t deadline) noexcept;

/// An event that lets one waiter through per Set and then closes again by itself.
/// Starts not signalled. Any thread may call any operation.
///
/// It is one atomic word with a futex wait and wake: Set, Reset and a signalled Wait never
/// lock, allocate or block, so a real-time thread may set it (and wait on it) freely.
class AutoResetEvent {
public:
    AutoResetEvent() = default;
    AutoResetEvent(const AutoResetEvent&) = delete;
    AutoResetEvent& operator=(const AutoResetEvent&) = delete;

    /// Signals the event; a waiting or the next waiting thread passes.
    void Set() noexcept;
    /// Clears the signal without waking anyone.
    void Reset() noexcept;
    /// Waits until the event is signalled or timeoutMs milliseconds have passed.
    /// Returns true when it was signalled (the signal is consumed), false on time-out.
    bool Wait(std::uint32_t timeoutMs) noexcept;
    /// Waits until the event is signalled or the clock (Platform::Clock) reaches deadline.
    bool WaitUntil(std::int64_t deadline) noexcept;
    /// Waits without a time-out.
    void Wait() noexcept;

private:
    bool WaitFor(const std::int64_t* deadline) noexcept;

    std::atomic<std::uint32_t> signalled_{0};
};

} // namespace Platform
