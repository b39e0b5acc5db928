#include "RealTimeChecker.h"

#include "Platform/RealTime.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <pthread.h>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TOLVANE_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define TOLVANE_SANITIZED 1
#endif
#endif

#ifdef TOLVANE_SANITIZED
#include <sanitizer/common_interface_defs.h>
// In the sanitizers' runtime (ASan, TSan) but in none of GCC 12's headers.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*, std::size_t),
                                                         void (*free_hook)(const volatile void*));
#else
extern "C" void* __libc_malloc(std::size_t);
extern "C" void* __libc_calloc(std::size_t, std::size_t);
extern "C" void* __libc_realloc(void*, std::size_t);
extern "C" void* __libc_memalign(std::size_t, std::size_t);
extern "C" void __libc_free(void*);
#endif

namespace RealTimeCheck {

namespace {

std::atomic<std::uint64_t> allocations{0};
std::atomic<std::uint64_t> frees{0};
std::atomic<std::uint64_t> locks{0};
std::atomic<std::uint64_t> logEntries{0};
std::atomic<int> traced{0};
std::atomic<bool> tracingOn{true};
thread_local bool tracing = false;

// Counts one violation when the calling thread is marked; the first few also print where they
// come from (under a sanitizer, which can print a stack without allocating through the hooks).
void Count(std::atomic<std::uint64_t>& counter, const char* what)
{
    if (tracing || !Platform::InRealTimeCode())
        return;
    counter.fetch_add(1, std::memory_order_relaxed);
#ifdef TOLVANE_SANITIZED
    if (tracingOn.load(std::memory_order_relaxed) && traced.fetch_add(1, std::memory_order_relaxed) < 5) {
        tracing = true;
        std::fprintf(stderr, "real-time code: %s\n", what);
        __sanitizer_print_stack_trace();
        tracing = false;
    }
#else
    static_cast<void>(what);
#endif
}

template <typename Function>
Function Next(const char* name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

#ifdef TOLVANE_SANITIZED
void OnMalloc(const volatile void*, std::size_t)
{
    Count(allocations, "allocation");
}

void OnFree(const volatile void* pointer)
{
    if (pointer != nullptr)
        Count(frees, "free");
}

const bool hooked = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree) != 0;
#endif

} // namespace

Counts Violations()
{
    return {allocations.load(), frees.load(), locks.load(), logEntries.load()};
}

void Reset()
{
    allocations = 0;
    frees = 0;
    locks = 0;
    logEntries = 0;
}

void SetTracing(bool on)
{
    tracingOn = on;
}

const char* AllocationMode()
{
#ifdef TOLVANE_SANITIZED
    return hooked ? "sanitizer allocator hooks" : "none (the sanitizer refused the hooks)";
#else
    return "replaced malloc";
#endif
}

void CountingLog::WriteWideV(int level, const char16_t* format, va_list arguments)
{
    Count(logEntries, "log entry");
    inner_.WriteWideV(level, format, arguments);
}

void CountingLog::WriteV(int level, const char* format, va_list arguments)
{
    Count(logEntries, "log entry");
    inner_.WriteV(level, format, arguments);
}

} // namespace RealTimeCheck

using RealTimeCheck::Count;

extern "C" {

// Each lock function is counted, then passed on to the definition it hides.
#define TOLVANE_COUNTED_LOCK(function, Lock)                                                                    \
    int function(Lock* lock)                                                                                    \
    {                                                                                                           \
        static const auto next = RealTimeCheck::Next<int (*)(Lock*)>(#function);                               \
        Count(RealTimeCheck::locks, #function);                                                                 \
        return next(lock);                                                                                      \
    }
TOLVANE_COUNTED_LOCK(pthread_mutex_lock, pthread_mutex_t)
TOLVANE_COUNTED_LOCK(pthread_mutex_trylock, pthread_mutex_t)
TOLVANE_COUNTED_LOCK(pthread_rwlock_rdlock, pthread_rwlock_t)
TOLVANE_COUNTED_LOCK(pthread_rwlock_wrlock, pthread_rwlock_t)

int pthread_mutex_timedlock(pthread_mutex_t* mutex, const timespec* until)
{
    static const auto next =
        RealTimeCheck::Next<int (*)(pthread_mutex_t*, const timespec*)>("pthread_mutex_timedlock");
    Count(RealTimeCheck::locks, "pthread_mutex_timedlock");
    return next(mutex, until);
}

#ifndef TOLVANE_SANITIZED
void* malloc(std::size_t size)
{
    Count(RealTimeCheck::allocations, "malloc");
    return __libc_malloc(size);
}

void* calloc(std::size_t count, std::size_t size)
{
    Count(RealTimeCheck::allocations, "calloc");
    return __libc_calloc(count, size);
}

void* realloc(void* pointer, std::size_t size)
{
    Count(RealTimeCheck::allocations, "realloc");
    return __libc_realloc(pointer, size);
}

void* aligned_alloc(std::size_t alignment, std::size_t size)
{
    Count(RealTimeCheck::allocations, "aligned_alloc");
    return __libc_memalign(alignment, size);
}

void* memalign(std::size_t alignment, std::size_t size)
{
    Count(RealTimeCheck::allocations, "memalign");
    return __libc_memalign(alignment, size);
}

int posix_memalign(void** result, std::size_t alignment, std::size_t size)
{
    Count(RealTimeCheck::allocations, "posix_memalign");
    if (alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0)
        return EINVAL;
    *result = __libc_memalign(alignment, size);
    return *result != nullptr || size == 0 ? 0 : ENOMEM;
}

void free(void* pointer)
{
    if (pointer != nullptr)
        Count(RealTimeCheck::frees, "free");
    __libc_free(pointer);
}
#endif

} // extern "C"
