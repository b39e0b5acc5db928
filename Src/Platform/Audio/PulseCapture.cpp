#include "Platform/Audio/PulseCapture.h"

#include "Platform/Audio/PulseConnection.h"

#include "Platform/Clock.h"
#include "Platform/RealTime.h"
#include "Platform/Thread.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/introspect.h>
#include <pulse/rtclock.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>
#include <pulse/timeval.h>

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>

namespace Platform::Audio {

namespace {
// What the server hands over at a time: short pieces keep the hits' feedback prompt.
constexpr double fragmentMs = 5.0;
} // namespace

PulseCapture::~PulseCapture()
{
    Close();
}

bool PulseCapture::Open(std::uint32_t rate, const IFrameClock& clock, CaptureQueue& blocks, std::string& failure,
                        int timeoutMs)
{
    Close();
    clock_ = &clock;
    blocks_ = &blocks;
    rate_ = rate;
    read_ = 0;
    startCount_ = 0;
    sourceName_.clear();
    signal_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (signal_ < 0) {
        failure = "no main loop";
        Close();
        return false;
    }
    if (!StartPulseLoop(loop_, context_, "Tolvane input", failure)) {
        Close();
        return false;
    }
    PulseDeadline deadline(loop_, expired_);
    deadline.Arm(context_, timeoutMs);
    pa_context_set_state_callback(context_, &OnContextState, this);
    bool ready = ConnectPulseContext(loop_, context_, expired_, failure);
    const pa_sample_spec spec{PA_SAMPLE_FLOAT32LE, rate, 1};
    if (ready) {
        stream_ = pa_stream_new(context_, "Tolvane input", &spec, nullptr);
        ready = stream_ != nullptr;
        if (!ready)
            failure = ContextError(context_, "no stream");
    }
    if (ready) {
        pa_stream_set_state_callback(stream_, &OnStreamState, this);
        pa_stream_set_read_callback(stream_, &OnRead, this);
        pa_buffer_attr attributes{};
        attributes.maxlength = static_cast<std::uint32_t>(-1);
        attributes.fragsize = static_cast<std::uint32_t>(pa_usec_to_bytes(static_cast<pa_usec_t>(fragmentMs * 1000), &spec));
        const bool connected = pa_stream_connect_record(stream_, nullptr, &attributes, PA_STREAM_ADJUST_LATENCY) >= 0;
        ready = WaitForPulseStream(loop_, context_, stream_, connected, expired_, failure);
    }
    if (ready) {
        // The source's name and latency; the fragment waits in the server too before it is sent.
        sourceAnswered_ = false;
        double fragmentNs = fragmentMs * 1e6;
        if (const pa_buffer_attr* held = pa_stream_get_buffer_attr(stream_))
            fragmentNs = static_cast<double>(pa_bytes_to_usec(held->fragsize, &spec)) * 1000.0;
        sourceLatencyNs_ = fragmentNs;
        if (pa_operation* asked = pa_context_get_source_info_by_index(context_, pa_stream_get_device_index(stream_),
                                                                      &OnSourceInfo, this)) {
            while (pa_operation_get_state(asked) == PA_OPERATION_RUNNING && !expired_)
                pa_threaded_mainloop_wait(loop_);
            if (pa_operation_get_state(asked) == PA_OPERATION_RUNNING)
                pa_operation_cancel(asked);
            pa_operation_unref(asked);
        }
        if (sourceName_.empty())
            sourceName_ = "pulse:default";
    }
    deadline.Disarm();
    pa_threaded_mainloop_unlock(loop_);
    if (!ready)
        Close();
    return ready;
}

void PulseCapture::Close()
{
    if (loop_ != nullptr) {
        pa_threaded_mainloop_lock(loop_);
        if (stream_ != nullptr) {
            pa_stream_set_read_callback(stream_, nullptr, nullptr);
            pa_stream_set_state_callback(stream_, nullptr, nullptr);
            pa_stream_disconnect(stream_);
            pa_stream_unref(stream_);
            stream_ = nullptr;
        }
        EndPulseLoop(loop_, context_);
    }
    if (signal_ >= 0) {
        close(signal_);
        signal_ = -1;
    }
    blocks_ = nullptr;
    clock_ = nullptr;
}

void PulseCapture::OnSourceInfo(pa_context*, const pa_source_info* info, int, void* self)
{
    auto& capture = *static_cast<PulseCapture*>(self);
    if (info != nullptr && !capture.sourceAnswered_) {
        capture.sourceAnswered_ = true;
        capture.sourceName_ = std::string("pulse:") + (info->name != nullptr ? info->name : "default");
        const pa_usec_t latency = info->configured_latency != 0 ? info->configured_latency : info->latency;
        capture.sourceLatencyNs_ += static_cast<double>(latency) * 1000.0;
    }
    pa_threaded_mainloop_signal(capture.loop_, 0);
}

void PulseCapture::OnContextState(pa_context*, void* self)
{
    pa_threaded_mainloop_signal(static_cast<PulseCapture*>(self)->loop_, 0);
}

void PulseCapture::OnStreamState(pa_stream*, void* self)
{
    pa_threaded_mainloop_signal(static_cast<PulseCapture*>(self)->loop_, 0);
}

void PulseCapture::OnRead(pa_stream* stream, std::size_t, void* self)
{
    auto& capture = *static_cast<PulseCapture*>(self);
    const std::int64_t readAt = Clock::Now();
    const void* data = nullptr;
    std::size_t bytes = 0;
    while (pa_stream_readable_size(stream) > 0 && pa_stream_peek(stream, &data, &bytes) >= 0 && bytes > 0) {
        capture.Queue(static_cast<const float*>(data), bytes / sizeof(float), readAt);
        pa_stream_drop(stream);
    }
}

void PulseCapture::Queue(const float* samples, std::size_t frames, std::int64_t readAt) noexcept
{
    if (blocks_ == nullptr || clock_ == nullptr)
        return;
    const RealTimeSection realTime; // (libpulse's own peek and drop are not ours to check)
    // The frames read by now arrived at readAt or before: the stream began at readAt less
    // their time at most. The earliest such beginning of the last two seconds is the one
    // least delayed; each frame arrived its own time after it, and was captured the source's
    // latency before that.
    const std::uint64_t first = read_;
    read_ += frames;
    const double period = 1e9 / rate_;
    starts_[startCount_ % starts_.size()] = static_cast<double>(readAt) - static_cast<double>(read_) * period;
    startReads_[startCount_ % starts_.size()] = readAt;
    ++startCount_;
    double began = starts_[(startCount_ - 1) % starts_.size()];
    for (std::size_t back = 1; back <= std::min(startCount_, starts_.size()); ++back) {
        const std::size_t at = (startCount_ - back) % starts_.size();
        if (readAt - startReads_[at] > 2'000'000'000)
            break;
        began = std::min(began, starts_[at]);
    }
    bool queued = false;
    const auto offset = static_cast<double>(clock_->HeardOffset());
    for (std::size_t done = 0; done < frames;) {
        CaptureBlock block;
        block.frames = static_cast<std::uint32_t>(std::min<std::size_t>(frames - done, CaptureBlock::MaxFrames));
        const double captured = began + static_cast<double>(first + done) * period - sourceLatencyNs_;
        // The frame leaving the output then: heard the output offset later.
        block.heardFrame = HeardFrameAt(*clock_, static_cast<std::int64_t>(captured + offset));
        for (std::uint32_t i = 0; i < block.frames; ++i)
            block.samples[i] = samples != nullptr ? samples[done + i] : 0.0f;
        if (blocks_->Push(block))
            queued = true;
        else
            dropped_.fetch_add(1, std::memory_order_relaxed);
        done += block.frames;
    }
    if (queued) {
        const std::uint64_t one = 1;
        if (write(signal_, &one, sizeof one) < 0) {
            // Already signalled often enough: the reader wakes anyway.
        }
    }
}

} // namespace Platform::Audio
