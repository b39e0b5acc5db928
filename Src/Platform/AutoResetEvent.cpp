#include "Platform/AutoResetEvent.h"

#include <chrono>

namespace Platform {

void AutoResetEvent::Set()
{
    {
        std::lock_guard lock(mutex_);
        signalled_ = true;
    }
    condition_.notify_one();
}

void AutoResetEvent::Reset()
{
    std::lock_guard lock(mutex_);
    signalled_ = false;
}

bool AutoResetEvent::Wait(std::uint32_t timeoutMs)
{
    std::unique_lock lock(mutex_);
    if (!condition_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return signalled_; }))
        return false;
    signalled_ = false;
    return true;
}

bool AutoResetEvent::WaitUntil(std::int64_t deadline)
{
    const std::chrono::steady_clock::time_point until{std::chrono::nanoseconds(deadline)};
    std::unique_lock lock(mutex_);
    if (!condition_.wait_until(lock, until, [this] { return signalled_; }))
        return false;
    signalled_ = false;
    return true;
}

void AutoResetEvent::Wait()
{
    std::unique_lock lock(mutex_);
    condition_.wait(lock, [this] { return signalled_; });
    signalled_ = false;
}

} // namespace Platform
