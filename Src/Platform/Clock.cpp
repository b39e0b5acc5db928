#include "Platform/Clock.h"

#include <chrono>

namespace Platform {

namespace {
thread_local TickContext currentTick{};
}

std::int64_t Clock::Now() noexcept
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void SetCurrentTick(const TickContext* tick) noexcept
{
    currentTick = tick ? *tick : TickContext{};
}

std::int64_t CurrentTickTime() noexcept
{
    return currentTick.dueTime;
}

std::int64_t CurrentTickHeardTime() noexcept
{
    return currentTick.heardTime;
}

void SetCurrentTickTime(std::int64_t dueTime) noexcept
{
    currentTick = TickContext{dueTime, 0, dueTime, nullptr};
}

std::int64_t StampTime() noexcept
{
    return currentTick.dueTime != 0 ? currentTick.dueTime : Clock::Now();
}

SoundStamp CurrentSoundStamp() noexcept
{
    if (currentTick.dueTime == 0)
        return SoundStamp{Clock::Now(), 0, nullptr};
    return SoundStamp{currentTick.dueTime, currentTick.frame, currentTick.frameClock};
}

} // namespace Platform
