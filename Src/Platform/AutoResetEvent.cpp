#include "Platform/AutoResetEvent.h"

#include "Platform/Clock.h"

#include <cerrno>
#include <ctime>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace Platform {

namespace {

static_assert(sizeof(std::atomic<std::uint32_t>) == sizeof(std::uint32_t), "a futex word is 32 bits");

// Sleeps while word holds expected, until woken or until the absolute steady-clock deadline
// (CLOCK_MONOTONIC, the clock behind Platform::Clock); no deadline waits without a limit.
void FutexWait(std::atomic<std::uint32_t>& word, std::uint32_t expected, const std::int64_t* deadline) noexcept
{
    timespec until{};
    if (deadline) {
        until.tv_sec = static_cast<time_t>(*deadline / 1'000'000'000);
        until.tv_nsec = static_cast<long>(*deadline % 1'000'000'000);
    }
    syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&word), FUTEX_WAIT_BITSET_PRIVATE, expected,
            deadline ? &until : nullptr, nullptr, FUTEX_BITSET_MATCH_ANY);
}

} // namespace

void WaitWhileEqualUntil(std::atomic<std::uint32_t>& word, std::uint32_t expected, std::int64_t deadline) noexcept
{
    FutexWait(word, expected, &deadline);
}

void AutoResetEvent::Set() noexcept
{
    signalled_.store(1, std::memory_order_release);
    syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&signalled_), FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0);
}

void AutoResetEvent::Reset() noexcept
{
    signalled_.store(0, std::memory_order_release);
}

bool AutoResetEvent::WaitFor(const std::int64_t* deadline) noexcept
{
    for (;;) {
        if (signalled_.exchange(0, std::memory_order_acq_rel) != 0)
            return true;
        if (deadline && Clock::Now() >= *deadline)
            return false;
        FutexWait(signalled_, 0, deadline);
    }
}

bool AutoResetEvent::Wait(std::uint32_t timeoutMs) noexcept
{
    const std::int64_t deadline = Clock::Now() + static_cast<std::int64_t>(timeoutMs) * 1'000'000;
    return WaitFor(&deadline);
}

bool AutoResetEvent::WaitUntil(std::int64_t deadline) noexcept
{
    return WaitFor(&deadline);
}

void AutoResetEvent::Wait() noexcept
{
    WaitFor(nullptr);
}

} // namespace Platform
