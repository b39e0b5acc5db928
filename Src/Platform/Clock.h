#pragma once
#include <cstdint>

namespace Platform {

class IFrameClock;

/// Monotonic high-resolution clock. Times are nanoseconds on std::chrono::steady_clock,
/// comparable across threads. Any thread may call.
namespace Clock {

/// Counts per second of the values Now() returns.
constexpr double CountsPerSecond = 1e9;

/// The current time in nanoseconds.
std::int64_t Now() noexcept;

} // namespace Clock

/// The tick the calling thread is handling. The timer thread sets it around each OnTimer
/// call, so that a sound started during a tick is placed on the tick's frame rather than at
/// the moment the code runs, and a lamp can show the beat when it is heard.
struct TickContext {
    std::int64_t dueTime = 0;              ///< clock time the tick was due to be handed over
    double frame = 0;                      ///< the tick's frame on frameClock
    std::int64_t heardTime = 0;            ///< clock time the tick's frame leaves the speaker
    const IFrameClock* frameClock = nullptr;
};

/// Where a sound requested now belongs: inside a tick, the tick's frame on its frame clock
/// (and its due time); outside one, the time of the request and no frame clock.
struct SoundStamp {
    std::int64_t time = 0;
    double frame = 0;
    const IFrameClock* frameClock = nullptr;
};

/// Sets (or, with null, clears) the calling thread's current tick. Timer thread only.
void SetCurrentTick(const TickContext* tick) noexcept;

/// The due time of the tick the calling thread is handling, or 0 outside a tick.
std::int64_t CurrentTickTime() noexcept;

/// The clock time at which the current tick is heard (see IFrameClock::HeardTime), or 0
/// outside a tick. A beat lamp or a playback cursor shows the tick's beat at this time.
std::int64_t CurrentTickHeardTime() noexcept;

/// Sets (or, with 0, clears) the calling thread's tick as a bare due time without a frame
/// clock, for code that places sounds by time alone.
void SetCurrentTickTime(std::int64_t dueTime) noexcept;

/// The time a sound requested now belongs to: the current tick's due time inside a tick,
/// else the current time.
std::int64_t StampTime() noexcept;

/// The stamp for a sound requested now (see SoundStamp).
SoundStamp CurrentSoundStamp() noexcept;

} // namespace Platform
