#include "Platform/Thread.h"

#include <cerrno>
#include <pthread.h>
#include <system_error>

namespace Platform {

namespace {

// Below the kernel's own threaded interrupt handlers (50) would starve audio interrupts on
// some systems; above them is what JACK and PipeWire use for their audio threads.
constexpr int RealTimePriority = 80;
// Lowest band of real-time priorities: such a thread still yields to every audio thread.
constexpr int PromptPriority = 10;

class SystemScheduling final : public IThreadScheduling {
public:
    int RaiseToRealTimePriority() override
    {
        sched_param parameters{};
        parameters.sched_priority = RealTimePriority;
        return pthread_setschedparam(pthread_self(), SCHED_FIFO, &parameters);
    }

    int PinToProcessor(int processor, cpu_set_t& previous) override
    {
        CPU_ZERO(&previous);
        if (const int result = pthread_getaffinity_np(pthread_self(), sizeof previous, &previous))
            return result;
        cpu_set_t only;
        CPU_ZERO(&only);
        CPU_SET(processor, &only);
        return pthread_setaffinity_np(pthread_self(), sizeof only, &only);
    }

    int RestoreAffinity(const cpu_set_t& previous) override
    {
        return pthread_setaffinity_np(pthread_self(), sizeof previous, &previous);
    }
};

} // namespace

IThreadScheduling& SystemThreadScheduling()
{
    static SystemScheduling scheduling;
    return scheduling;
}

bool StartThread(std::thread& thread, std::function<void()> body) noexcept
{
    try {
        thread = std::thread(std::move(body));
        return true;
    } catch (const std::system_error& error) {
        errno = error.code().value();
    } catch (...) {
        errno = ENOMEM;
    }
    return false;
}

int RaiseToPromptPriority() noexcept
{
    sched_param parameters{};
    parameters.sched_priority = PromptPriority;
    return pthread_setschedparam(pthread_self(), SCHED_FIFO, &parameters);
}

void PromptPriorityLoan::Raise() noexcept
{
    if (raised_)
        return;
    const pthread_t self = pthread_self();
    if (pthread_getschedparam(self, &policy_, &parameters_) != 0)
        return;
    // A thread that already runs at real-time priority is left as it is.
    if (policy_ == SCHED_FIFO || policy_ == SCHED_RR)
        return;
    if (RaiseToPromptPriority() == 0) {
        thread_ = self;
        raised_ = true;
    }
}

void PromptPriorityLoan::Restore() noexcept
{
    if (!raised_)
        return;
    pthread_setschedparam(thread_, policy_, &parameters_);
    raised_ = false;
}

bool IsCurrentThread(const std::thread& thread) noexcept
{
    return thread.get_id() == std::this_thread::get_id();
}

} // namespace Platform
