#include "Platform/Audio/PulseOutput.h"

#include "Platform/Audio/PulseConnection.h"

#include "Platform/Clock.h"
#include "Platform/Thread.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/introspect.h>
#include <pulse/rtclock.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>
#include <pulse/timeval.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <ctime>

namespace Platform::Audio {

namespace {
constexpr std::size_t frameBytes = 2 * sizeof(float);
// The longest Close waits for the server to play out what it holds (within the mixer's close
// time-out).
constexpr std::int64_t drainLimitNs = 300'000'000;

// The default sink's rate (0 when the server does not say, or not before expired is set), with
// the loop's lock held. A stream at the sink's rate is not resampled by the server, which would
// soften every click's attack and smear its onset.
std::uint32_t DefaultSinkRate(pa_threaded_mainloop* loop, pa_context* context, const bool& expired)
{
    struct Answer {
        pa_threaded_mainloop* loop;
        std::uint32_t rate = 0;
    } answer{loop};
    pa_operation* asked = pa_context_get_sink_info_by_name(
        context, "@DEFAULT_SINK@",
        [](pa_context*, const pa_sink_info* info, int, void* data) {
            auto& told = *static_cast<Answer*>(data);
            if (info != nullptr)
                told.rate = info->sample_spec.rate;
            pa_threaded_mainloop_signal(told.loop, 0);
        },
        &answer);
    if (asked == nullptr)
        return 0;
    while (pa_operation_get_state(asked) == PA_OPERATION_RUNNING && !expired)
        pa_threaded_mainloop_wait(loop);
    if (pa_operation_get_state(asked) == PA_OPERATION_RUNNING)
        pa_operation_cancel(asked); // its callback is not called after this
    pa_operation_unref(asked);
    return answer.rate;
}
} // namespace

PulseOutput::~PulseOutput()
{
    Close();
}

bool PulseOutput::Open(std::uint32_t sampleRate, std::uint32_t blockFrames, double bufferMs, IRenderer& renderer,
                       std::string& failure, int timeoutMs)
{
    Close();
    renderer_ = &renderer;
    blockFrames_ = std::clamp<std::uint32_t>(blockFrames, 1, MaxBlockFrames);
    running_ = false;
    failed_ = false;
    if (const char* asked = std::getenv("PULSE_LATENCY_MSEC"); asked != nullptr && std::atof(asked) > 0)
        bufferMs = std::atof(asked); // libpulse takes the user's value over ours anyway
    bufferSeconds_ = bufferMs / 1000.0;

    if (!StartPulseLoop(loop_, context_, "Tolvane", failure)) {
        Close();
        return false;
    }
    // A server that is stopped or does not answer holds every wait below; the loop's timer
    // ends them at the deadline.
    PulseDeadline deadline(loop_, expired_);
    deadline.Arm(context_, timeoutMs);
    pa_context_set_state_callback(context_, &OnContextState, this);
    bool ready = ConnectPulseContext(loop_, context_, expired_, failure);

    if (ready) {
        if (const std::uint32_t sinkRate = DefaultSinkRate(loop_, context_, expired_);
            sinkRate >= MinimumRate && sinkRate <= MaximumRate)
            sampleRate = sinkRate;
        renderer.StreamRate(sampleRate);
    }
    sampleRate_ = sampleRate;
    const pa_sample_spec spec{PA_SAMPLE_FLOAT32LE, sampleRate, 2};
    if (ready) {
        stream_ = pa_stream_new(context_, "Tolvane", &spec, nullptr);
        ready = stream_ != nullptr;
        if (!ready)
            failure = ContextError(context_, "no stream");
    }
    if (ready) {
        pa_stream_set_state_callback(stream_, &OnStreamState, this);
        pa_stream_set_write_callback(stream_, &OnWrite, this);
        pa_stream_set_underflow_callback(stream_, &OnUnderflow, this);
        pa_stream_set_moved_callback(stream_, &OnMoved, this);
        pa_buffer_attr attributes{};
        attributes.maxlength = static_cast<std::uint32_t>(-1);
        attributes.tlength = static_cast<std::uint32_t>(pa_usec_to_bytes(static_cast<pa_usec_t>(bufferMs * 1000), &spec));
        attributes.prebuf = static_cast<std::uint32_t>(-1);
        attributes.minreq = static_cast<std::uint32_t>(-1);
        attributes.fragsize = static_cast<std::uint32_t>(-1);
        // The server sets its sink's latency so that the whole stays near the asked buffer;
        // no timing updates are asked for (the mixer keeps its own clock).
        const bool connected
            = pa_stream_connect_playback(stream_, nullptr, &attributes, PA_STREAM_ADJUST_LATENCY, nullptr, nullptr) >= 0;
        ready = WaitForPulseStream(loop_, context_, stream_, connected, expired_, failure);
    }
    if (ready) {
        OnMoved(stream_, this);
        MeasureLatency();
        ready = !expired_;
        if (!ready)
            failure = "no answer from the server";
    }
    if (ready) {
        if (const int signal = renderer.RewriteSignal(); signal >= 0) {
            pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop_);
            rewriteEvent_ = api->io_new(
                api, signal, PA_IO_EVENT_INPUT,
                [](pa_mainloop_api*, pa_io_event*, int fd, pa_io_event_flags_t, void* self) {
                    static_cast<PulseOutput*>(self)->OnRewriteSignal(fd);
                },
                this);
        }
    }
    deadline.Disarm();
    running_ = ready;
    pa_threaded_mainloop_unlock(loop_);
    if (!ready)
        Close();
    return ready;
}

void PulseOutput::Close()
{
    if (loop_ == nullptr)
        return;
    pa_threaded_mainloop_lock(loop_);
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop_);
    if (rewriteEvent_ != nullptr) {
        api->io_free(rewriteEvent_);
        rewriteEvent_ = nullptr;
    }
    if (rewriteTimer_ != nullptr) {
        api->time_free(rewriteTimer_);
        rewriteTimer_ = nullptr;
    }
    if (stream_ != nullptr) {
        pa_stream_set_write_callback(stream_, nullptr, nullptr);
        pa_stream_set_underflow_callback(stream_, nullptr, nullptr);
        if (running_ && !failed_) {
            // What the server holds plays out, as the last sounds of a run would through any
            // other output; a server that does not answer holds the close no longer than this.
            if (pa_operation* drain = pa_stream_drain(stream_, nullptr, nullptr)) {
                const std::int64_t deadline = Clock::Now() + drainLimitNs;
                while (pa_operation_get_state(drain) == PA_OPERATION_RUNNING && Clock::Now() < deadline) {
                    pa_threaded_mainloop_unlock(loop_);
                    const timespec pause{0, 5'000'000};
                    nanosleep(&pause, nullptr);
                    pa_threaded_mainloop_lock(loop_);
                }
                pa_operation_unref(drain);
            }
        }
        pa_stream_set_state_callback(stream_, nullptr, nullptr);
        running_ = false;
        pa_stream_disconnect(stream_);
        pa_stream_unref(stream_);
        stream_ = nullptr;
    }
    EndPulseLoop(loop_, context_);
    renderer_ = nullptr;
}

void PulseOutput::MeasureLatency()
{
    latencySeconds_ = bufferSeconds_;
    queueSeconds_ = 0;
    const pa_buffer_attr* held = pa_stream_get_buffer_attr(stream_);
    if (held == nullptr)
        return;
    queueSeconds_ = static_cast<double>(held->tlength) / frameBytes / sampleRate_;
    sinkLatencySeconds_ = -1;
    if (pa_operation* asked = pa_context_get_sink_info_by_index(context_, pa_stream_get_device_index(stream_),
                                                                &OnSinkInfo, this)) {
        while (pa_operation_get_state(asked) == PA_OPERATION_RUNNING && !expired_)
            pa_threaded_mainloop_wait(loop_);
        pa_operation_unref(asked);
    }
    if (sinkLatencySeconds_ >= 0)
        latencySeconds_ = queueSeconds_ + sinkLatencySeconds_;
}

void PulseOutput::OnSinkInfo(pa_context*, const pa_sink_info* info, int, void* self)
{
    auto& output = *static_cast<PulseOutput*>(self);
    if (info != nullptr) {
        const pa_usec_t latency = info->configured_latency != 0 ? info->configured_latency : info->latency;
        output.sinkLatencySeconds_ = static_cast<double>(latency) / 1e6;
    }
    pa_threaded_mainloop_signal(output.loop_, 0);
}

void PulseOutput::OnRewriteSignal(int fd) noexcept
{
    std::uint64_t count = 0;
    if (read(fd, &count, sizeof count) < 0) {
        // Already read empty: another wake-up of the same signal.
    }
    if (stream_ != nullptr && running_ && !failed_)
        Rewrite(stream_);
}

void PulseOutput::Rewrite(pa_stream* stream) noexcept
{
    std::int64_t due = 0;
    const std::uint32_t again = renderer_->FramesToRewrite(due, ServerReadFrames());
    if (again == 0) {
        if (due > 0) {
            // How far the server has read is asked now, so that its answer is fresh when the
            // stretch is due: it decides whether the stretch may still be written over.
            if (!timingAsked_) {
                timingAsked_ = true;
                timingAnswered_ = false;
                if (pa_operation* asked = pa_stream_update_timing_info(
                        stream,
                        [](pa_stream*, int success, void* self) {
                            static_cast<PulseOutput*>(self)->timingAnswered_ = success != 0;
                        },
                        this))
                    pa_operation_unref(asked);
            }
            const auto at = static_cast<pa_usec_t>(due / 1000 + 1);
            if (rewriteTimer_ == nullptr)
                rewriteTimer_ = pa_context_rttime_new(
                    context_, at,
                    [](pa_mainloop_api*, pa_time_event*, const timeval*, void* self) {
                        auto& output = *static_cast<PulseOutput*>(self);
                        if (output.stream_ != nullptr && output.running_ && !output.failed_)
                            output.Rewrite(output.stream_);
                    },
                    this);
            else
                pa_context_rttime_restart(context_, rewriteTimer_, at);
        } else {
            timingAsked_ = false; // nothing to rewrite (any more): the next run asks afresh
            timingAnswered_ = false;
        }
        return;
    }
    // Seeking back over what is replaced; a partial rewrite would leave the frame counter
    // behind what the server holds, so it ends the stream.
    timingAsked_ = false;
    timingAnswered_ = false;
    const std::size_t bytes = std::size_t{again} * frameBytes;
    if (!RenderAndWrite(stream, bytes, -static_cast<std::int64_t>(bytes), Clock::Now()) && !failed_)
        Fail();
}

bool PulseOutput::RenderAndWrite(pa_stream* stream, std::size_t bytes, std::int64_t offset, std::int64_t askedAt) noexcept
{
    const double nanosecondsPerFrame = 1e9 / sampleRate_;
    while (bytes >= frameBytes) {
        void* data = nullptr;
        std::size_t size = bytes;
        if (pa_stream_begin_write(stream, &data, &size) < 0 || data == nullptr) {
            Fail();
            return false;
        }
        size = std::min(size, bytes);
        size -= size % frameBytes;
        if (size == 0) {
            pa_stream_cancel_write(stream);
            return false;
        }
        // In the mixer's blocks, each stamped as a device asking block by block would have
        // asked for it, up to the request's end at askedAt (frames rendered again do not move
        // the renderer's clock map).
        const std::int64_t stamp = askedAt - static_cast<std::int64_t>(static_cast<double>((bytes - size) / frameBytes) * nanosecondsPerFrame);
        RenderRequest(*renderer_, static_cast<float*>(data), size / frameBytes, blockFrames_, nanosecondsPerFrame, stamp);
        // The first piece goes where offset puts it; each later one follows it.
        if (pa_stream_write(stream, data, size, nullptr, offset, PA_SEEK_RELATIVE) < 0) {
            Fail();
            return false;
        }
        offset = 0;
        bytes -= size;
    }
    return true;
}

std::uint64_t PulseOutput::ServerReadFrames() const noexcept
{
    // Only the answer to the question asked when the rewrite was scheduled: an older one may
    // come from before the stream played steadily, and moved on from there it would overshoot.
    const pa_timing_info* timing = stream_ != nullptr && timingAnswered_ ? pa_stream_get_timing_info(stream_) : nullptr;
    if (timing == nullptr || timing->read_index_corrupt || timing->read_index <= 0)
        return 0;
    // Where the server's read index was when it answered, moved on at the stream's rate since
    // (it reads in chunks, around that line); never past what was written.
    double frames = static_cast<double>(timing->read_index) / frameBytes;
    if (timing->playing)
        frames += static_cast<double>(pa_timeval_age(&timing->timestamp)) / 1e6 * sampleRate_;
    if (!timing->write_index_corrupt)
        frames = std::min(frames, static_cast<double>(timing->write_index) / frameBytes);
    return static_cast<std::uint64_t>(frames);
}

void PulseOutput::Fail() noexcept
{
    if (running_ && !failed_)
        renderer_->StreamFailed();
    failed_ = true;
    pa_threaded_mainloop_signal(loop_, 0);
}

void PulseOutput::OnContextState(pa_context* context, void* self)
{
    auto& output = *static_cast<PulseOutput*>(self);
    if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context)))
        output.Fail();
    else
        pa_threaded_mainloop_signal(output.loop_, 0);
}

void PulseOutput::OnStreamState(pa_stream* stream, void* self)
{
    auto& output = *static_cast<PulseOutput*>(self);
    if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream)))
        output.Fail();
    else
        pa_threaded_mainloop_signal(output.loop_, 0);
}

void PulseOutput::OnWrite(pa_stream* stream, std::size_t bytes, void* self)
{
    auto& output = *static_cast<PulseOutput*>(self);
    // The server asks for what its buffer lacks, in bursts (after a stall, all it played
    // meanwhile): the request's last frame is the one it asks for now.
    const std::int64_t askedAt = Clock::Now();
    output.Rewrite(stream);
    if (!output.failed_)
        output.RenderAndWrite(stream, bytes, 0, askedAt);
}

void PulseOutput::OnMoved(pa_stream* stream, void* self)
{
    const char* name = pa_stream_get_device_name(stream);
    auto& output = *static_cast<PulseOutput*>(self);
    const std::lock_guard lock(output.sinkNameLock_);
    output.sinkName_ = name != nullptr ? name : "";
}

std::string PulseOutput::SinkName() const
{
    const std::lock_guard lock(sinkNameLock_);
    return sinkName_;
}

void PulseOutput::OnUnderflow(pa_stream*, void* self)
{
    // Every request was answered, yet the server found nothing to play (its own thread was
    // kept from running, say): it played silence, and every later click comes that much late.
    auto& output = *static_cast<PulseOutput*>(self);
    if (output.running_ && !output.failed_)
        output.renderer_->ServerUnderran();
}

} // namespace Platform::Audio
