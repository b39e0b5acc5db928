#pragma once
// Counts what real-time code must never do: while a thread is inside a
// Platform::RealTimeSection (the timer thread, the mixer's audio callback), every allocation,
// free, mutex or rwlock acquisition and log entry it makes is counted. Linked into its own test
// executable, because it replaces pthread_mutex_lock and friends for the whole process.
//
// Allocations are seen through the sanitizers' allocator hooks under AddressSanitizer (the
// debug build) and ThreadSanitizer (the tsan build), where replacing malloc would fight the
// sanitizer's own; in a build without sanitizers malloc, calloc, realloc, the aligned forms and
// free are replaced and passed on to glibc's. operator new and delete allocate through these
// and are seen with them. Locks are seen by replacing pthread_mutex_lock, _trylock,
// _timedlock, pthread_rwlock_rdlock and _wrlock, each passing the call on to the next
// definition (the sanitizer's interceptor or glibc's), so std::mutex, std::shared_mutex and
// every library that locks through these are counted. Log entries are counted by CountingLog.
#include "System/ILog.h"

#include <cstdint>

namespace RealTimeCheck {

struct Counts {
    std::uint64_t allocations = 0;
    std::uint64_t frees = 0;
    std::uint64_t locks = 0;
    std::uint64_t logEntries = 0;
    bool operator==(const Counts&) const = default;
};

/// Everything counted since the last Reset, on any marked thread.
Counts Violations();
void Reset();
/// How allocations are seen in this build ("sanitizer allocator hooks" or "replaced malloc").
const char* AllocationMode();
/// Whether the first few violations print their stack (under a sanitizer); on by default.
void SetTracing(bool on);

/// Passes every entry on to another log and counts those written on a marked thread.
class CountingLog final : public System::ILog {
public:
    explicit CountingLog(System::ILog& inner) : inner_(inner) {}
    void WriteWideV(int level, const char16_t* format, va_list arguments) override;
    void WriteV(int level, const char* format, va_list arguments) override;
    void SetLevel(int level) override { inner_.SetLevel(level); }

private:
    System::ILog& inner_;
};

} // namespace RealTimeCheck
