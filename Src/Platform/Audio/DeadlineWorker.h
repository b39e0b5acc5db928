#pragma once
#include <functional>
#include <memory>

namespace Platform::Audio {

/// One thread that runs one job at a time for a caller who waits for it only up to a deadline:
/// for calls into a sound server's library that can block without bound (a JACK server that is
/// stopped, a stale lock) and cannot be interrupted. A job that misses its deadline runs on
/// alone; the worker stays busy until it returns, and every Run meanwhile is refused at once
/// (Busy) instead of starting another thread behind it. So however often a server does not
/// answer, the worker is one thread, reused, and never more.
///
/// Run from one caller at a time. A worker destroyed while its job runs leaves the job to end
/// on its thread, which then ends too.
class DeadlineWorker {
public:
    enum class Outcome { Done, TimedOut, Busy };

    /// name (at most 15 characters) is the thread's name, for diagnostics.
    explicit DeadlineWorker(const char* name);
    ~DeadlineWorker();
    DeadlineWorker(const DeadlineWorker&) = delete;
    DeadlineWorker& operator=(const DeadlineWorker&) = delete;

    /// Runs job on the worker's thread and waits at most timeoutMs for it. Done when it ended
    /// in time; TimedOut when not: then late runs on the worker's thread after the job (never
    /// when Done is returned). Busy, without running anything, when an earlier job is still
    /// running. The job and late must own everything they touch. When the thread cannot be
    /// started, runs job here and returns Done.
    Outcome Run(std::function<void()> job, std::function<void()> late, int timeoutMs);

private:
    struct State;
    std::shared_ptr<State> state_;
};

} // namespace Platform::Audio
