#pragma once
// The opening of a libpulse connection that the output stream and the capture stream share:
// a threaded main loop whose thread runs at real-time priority, a context connected within a
// deadline, and a stream waited for until it is ready. Every wait ends at the deadline, so a
// server that is stopped or does not answer cannot hold the caller.
#include <string>

struct pa_context;
struct pa_stream;
struct pa_threaded_mainloop;
struct pa_time_event;

namespace Platform::Audio {

/// "what: " and the context's last error.
std::string ContextError(pa_context* context, const char* what);

/// Makes loop and a context named name on it and starts the loop's thread, which is raised to
/// real-time priority; returns true with the loop locked. False with why in failure (what was
/// made stays in loop and context for the caller's Close).
bool StartPulseLoop(pa_threaded_mainloop*& loop, pa_context*& context, const char* name, std::string& failure);

/// The end of what StartPulseLoop made, called with the loop locked (the caller has let go of
/// its stream): disconnects and frees context, then unlocks, stops and frees loop. Both are
/// null afterwards.
void EndPulseLoop(pa_threaded_mainloop*& loop, pa_context*& context);

/// A timer of the loop that, timeoutMs after Arm, marks expired and wakes every wait on the
/// loop. Arm and Disarm with the loop's lock held; the object stays put until Disarm.
class PulseDeadline {
public:
    PulseDeadline(pa_threaded_mainloop* loop, bool& expired) : loop_(loop), expired_(expired) {}
    void Arm(pa_context* context, int timeoutMs);
    void Disarm();

private:
    pa_threaded_mainloop* loop_;
    bool& expired_;
    pa_time_event* event_ = nullptr;
};

/// Connects context (its state callback, set by the caller, wakes the loop) and waits until it
/// is ready, has failed or expired is set. False with why in failure.
bool ConnectPulseContext(pa_threaded_mainloop* loop, pa_context* context, const bool& expired, std::string& failure);

/// Waits until stream, just connected (connected: its connect call succeeded), is ready, has
/// failed or expired is set. False with why in failure.
bool WaitForPulseStream(pa_threaded_mainloop* loop, pa_context* context, pa_stream* stream, bool connected,
                        const bool& expired, std::string& failure);

} // namespace Platform::Audio
