#include "Platform/Audio/PulseConnection.h"

#include "Platform/Thread.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/rtclock.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>
#include <pulse/timeval.h>

namespace Platform::Audio {

std::string ContextError(pa_context* context, const char* what)
{
    return std::string(what) + ": " + pa_strerror(pa_context_errno(context));
}

bool StartPulseLoop(pa_threaded_mainloop*& loop, pa_context*& context, const char* name, std::string& failure)
{
    loop = pa_threaded_mainloop_new();
    if (loop == nullptr) {
        failure = "no main loop";
        return false;
    }
    context = pa_context_new(pa_threaded_mainloop_get_api(loop), name);
    if (context == nullptr || pa_threaded_mainloop_start(loop) < 0) {
        failure = "no context";
        return false;
    }
    // The streams are served on libpulse's main-loop thread, which starts at normal priority:
    // on a busy machine it would be kept from answering the server's requests, an output's
    // buffer would run dry and every later click would be heard late. It gets the real-time
    // priority of the program's other audio threads where the system allows it. Asked with the
    // loop's lock held: the running loop thread changes the same event lists.
    pa_threaded_mainloop_lock(loop);
    pa_threaded_mainloop_once_unlocked(
        loop, [](pa_threaded_mainloop*, void*) { SystemThreadScheduling().RaiseToRealTimePriority(); }, nullptr);
    return true;
}

void PulseDeadline::Arm(pa_context* context, int timeoutMs)
{
    expired_ = false;
    event_ = pa_context_rttime_new(
        context, pa_rtclock_now() + static_cast<pa_usec_t>(timeoutMs) * 1000,
        [](pa_mainloop_api*, pa_time_event*, const timeval*, void* self) {
            auto& deadline = *static_cast<PulseDeadline*>(self);
            deadline.expired_ = true;
            pa_threaded_mainloop_signal(deadline.loop_, 0);
        },
        this);
}

void EndPulseLoop(pa_threaded_mainloop*& loop, pa_context*& context)
{
    if (context != nullptr) {
        pa_context_set_state_callback(context, nullptr, nullptr);
        pa_context_disconnect(context);
        pa_context_unref(context);
        context = nullptr;
    }
    pa_threaded_mainloop_unlock(loop);
    pa_threaded_mainloop_stop(loop);
    pa_threaded_mainloop_free(loop);
    loop = nullptr;
}

void PulseDeadline::Disarm()
{
    if (event_ != nullptr)
        pa_threaded_mainloop_get_api(loop_)->time_free(event_);
    event_ = nullptr;
}

bool ConnectPulseContext(pa_threaded_mainloop* loop, pa_context* context, const bool& expired, std::string& failure)
{
    bool ready = pa_context_connect(context, nullptr, PA_CONTEXT_NOFLAGS, nullptr) >= 0;
    while (ready && !expired) {
        const pa_context_state_t state = pa_context_get_state(context);
        if (state == PA_CONTEXT_READY)
            break;
        ready = PA_CONTEXT_IS_GOOD(state);
        if (ready)
            pa_threaded_mainloop_wait(loop);
    }
    if (expired)
        ready = false;
    if (!ready)
        failure = expired ? "no answer from the server" : ContextError(context, "no server");
    return ready;
}

bool WaitForPulseStream(pa_threaded_mainloop* loop, pa_context* context, pa_stream* stream, bool connected,
                        const bool& expired, std::string& failure)
{
    bool ready = connected;
    while (ready && !expired) {
        const pa_stream_state_t state = pa_stream_get_state(stream);
        if (state == PA_STREAM_READY)
            break;
        ready = PA_STREAM_IS_GOOD(state);
        if (ready)
            pa_threaded_mainloop_wait(loop);
    }
    if (expired)
        ready = false;
    if (!ready)
        failure = expired ? "the stream did not start in time" : ContextError(context, "the stream did not start");
    return ready;
}

} // namespace Platform::Audio
