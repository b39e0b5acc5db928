#include "Platform/Clock.h"

#include <chrono>

namespace Platform {

namespace {
thread_local std::int64_t currentTickTime = 0;
}

std::int64_t Clock::Now() noexcept
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::int64_t CurrentTickTime() noexcept
{
    return currentTickTime;
}

void SetCurrentTickTime(std::int64_t dueTime) noexcept
{
    currentTickTime = dueTime;
}

std::int64_t StampTime() noexcept
{
    return currentTickTime != 0 ? currentTickTime : Clock::Now();
}

} // namespace Platform
