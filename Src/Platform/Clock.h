#pragma once
#include <cstdint>

namespace Platform {

/// Monotonic high-resolution clock. Times are nanoseconds on std::chrono::steady_clock,
/// comparable across threads. Any thread may call.
namespace Clock {

/// Counts per second of the values Now() returns.
constexpr double CountsPerSecond = 1e9;

/// The current time in nanoseconds.
std::int64_t Now() noexcept;

} // namespace Clock

/// The due time of the tick the calling thread is handling, or 0 outside a tick.
/// The timer thread sets it around each OnTimer call, so that a sound started during a
/// tick can be placed at the tick's exact time rather than at the moment the code runs.
std::int64_t CurrentTickTime() noexcept;

/// Sets (or, with 0, clears) the calling thread's current tick time. Timer thread only.
void SetCurrentTickTime(std::int64_t dueTime) noexcept;

/// The time a sound requested now belongs to: the current tick's due time inside a tick,
/// else the current time.
std::int64_t StampTime() noexcept;

} // namespace Platform
