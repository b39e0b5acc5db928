#pragma once

namespace Platform {

/// Marks the calling thread as running real-time code while it lives: the timer thread's
/// whole life, and each call of the audio callback into the mixer. Such code never
/// allocates, frees, locks, logs or calls Qt; the mark lets a checker in the tests see any
/// that does (an allocation or a lock taken while InRealTimeCode() is true). Sections nest.
/// Costs one thread-local increment and decrement.
class RealTimeSection {
public:
    RealTimeSection() noexcept;
    ~RealTimeSection();
    RealTimeSection(const RealTimeSection&) = delete;
    RealTimeSection& operator=(const RealTimeSection&) = delete;
};

/// True while the calling thread is inside a RealTimeSection. Safe to call from a malloc hook:
/// it reads a thread-local and nothing else.
bool InRealTimeCode() noexcept;

} // namespace Platform
