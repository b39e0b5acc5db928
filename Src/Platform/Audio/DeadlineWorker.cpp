#include "Platform/Audio/DeadlineWorker.h"

#include "Platform/Thread.h"

#include <pthread.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace Platform::Audio {

struct DeadlineWorker::State {
    std::string name;
    std::mutex lock;
    std::condition_variable changed;
    std::function<void()> job;  // the job waiting to run
    std::function<void()> late;
    bool started = false;       // the thread runs
    bool busy = false;          // a job was handed over and has not ended (late included)
    bool done = false;          // the current job has ended
    bool gaveUp = false;        // its caller stopped waiting
    bool ending = false;        // the worker is destroyed: the thread ends when idle

    void Loop()
    {
        pthread_setname_np(pthread_self(), name.c_str());
        std::unique_lock guard(lock);
        for (;;) {
            changed.wait(guard, [this] { return job || ending; });
            if (!job)
                return;
            std::function<void()> current = std::move(job);
            std::function<void()> after = std::move(late);
            job = nullptr;
            late = nullptr;
            guard.unlock();
            current();
            current = nullptr;
            guard.lock();
            done = true;
            const bool tooLate = gaveUp;
            changed.notify_all();
            guard.unlock();
            if (tooLate && after)
                after();
            after = nullptr; // what it holds goes here, not under the lock
            guard.lock();
            busy = false;
            changed.notify_all();
        }
    }
};

DeadlineWorker::DeadlineWorker(const char* name) : state_(std::make_shared<State>())
{
    state_->name = std::string(name).substr(0, 15);
}

DeadlineWorker::~DeadlineWorker()
{
    std::lock_guard guard(state_->lock);
    state_->ending = true;
    state_->changed.notify_all();
    // The thread holds the state; it ends on its own once its job (if any) has returned.
}

DeadlineWorker::Outcome DeadlineWorker::Run(std::function<void()> job, std::function<void()> late, int timeoutMs)
{
    State& state = *state_;
    std::unique_lock guard(state.lock);
    // A job that ended in time is only letting go of what it held.
    if (state.busy && state.done && !state.gaveUp)
        state.changed.wait(guard, [&state] { return !state.busy; });
    if (state.busy)
        return Outcome::Busy;
    if (!state.started) {
        std::thread thread;
        if (!StartThread(thread, [shared = state_] { shared->Loop(); })) {
            guard.unlock();
            job();
            return Outcome::Done;
        }
        thread.detach(); // it ends by itself once the worker is gone and it is idle
        state.started = true;
    }
    state.job = std::move(job);
    state.late = std::move(late);
    state.busy = true;
    state.done = false;
    state.gaveUp = false;
    state.changed.notify_all();
    if (state.changed.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&state] { return state.done; }))
        return Outcome::Done;
    state.gaveUp = true;
    return Outcome::TimedOut;
}

} // namespace Platform::Audio
