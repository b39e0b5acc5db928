#pragma once
#include "Platform/Audio/IAudioBackend.h"

#include <cstdint>
#include <mutex>
#include <string>

struct pa_threaded_mainloop;
struct pa_context;
struct pa_stream;
struct pa_io_event;
struct pa_time_event;
struct pa_sink_info;

namespace Platform::Audio {

/// A playback stream on the PulseAudio server (or PipeWire's), rendered inside libpulse's own
/// main-loop thread: when the server asks for data, that thread renders exactly what it asks
/// for and writes it. A client that renders on a thread of its own and hands each block over
/// (RtAudio's) wakes two threads per block and fights the main loop for its lock; here one
/// thread wakes once per request of the server, a few tens of times a second.
///
/// The server holds what was written until it plays it. When the renderer wants its last
/// frames rendered again (IRenderer::FramesToRewrite: a run's first sounds, placed in the
/// silence the server holds so that they are heard one lead after Start rather than a whole
/// buffer later), the main-loop thread renders them at the time the renderer names (woken by
/// the renderer's RewriteSignal and a timer of the loop), or before the next request, and
/// writes them over the old ones: a write that seeks back from the end of what was written,
/// which leaves the server's request accounting as it was. Whether the server has already
/// read into the stretch is checked first, from its timing answer (asked for when the
/// rewrite is scheduled): the renderer then moves the run instead.
///
/// The client buffer is PULSE_LATENCY_MSEC when set, else bufferMs. Open and Close from one
/// control thread at a time; Render and StreamFailed reach the renderer on the main-loop
/// thread, StreamFailed once, when the server goes away or the stream fails.
class PulseOutput {
public:
    PulseOutput() = default;
    ~PulseOutput();
    PulseOutput(const PulseOutput&) = delete;
    PulseOutput& operator=(const PulseOutput&) = delete;

    /// Connects to the default server and starts a stereo float stream on its default sink.
    /// False, with the reason in failure, when there is no server, the stream fails, or the
    /// server has not answered within timeoutMs (a server that is stopped).
    bool Open(std::uint32_t sampleRate, std::uint32_t blockFrames, double bufferMs, IRenderer& renderer,
              std::string& failure, int timeoutMs = 1500);
    /// Ends the stream; after it returns Render is no longer called. Harmless when not open.
    void Close();
    /// What the server keeps queued of the stream after each request (its target length), in
    /// seconds, as it answered at Open: how far back rendered frames can still be replaced.
    double QueueSeconds() const { return queueSeconds_; }
    /// From a frame being written to it leaving the sink: the queue plus the sink's configured
    /// latency at Open (the asked buffer when the server does not say).
    double LatencySeconds() const { return latencySeconds_; }
    /// The name of the sink the stream plays into now (it follows the stream when the server
    /// or the user moves it to another sink); empty before the stream started. Any thread.
    std::string SinkName() const;

private:
    static void OnContextState(pa_context* context, void* self);
    static void OnStreamState(pa_stream* stream, void* self);
    static void OnWrite(pa_stream* stream, std::size_t bytes, void* self);
    static void OnUnderflow(pa_stream* stream, void* self);
    static void OnMoved(pa_stream* stream, void* self);
    static void OnSinkInfo(pa_context* context, const pa_sink_info* info, int last, void* self);
    /// Main-loop thread: the renderer's RewriteSignal fd became readable.
    void OnRewriteSignal(int fd) noexcept;
    /// With the loop's lock held, once the stream is ready.
    void MeasureLatency();
    /// Main-loop thread: renders and writes again what the renderer wants rewritten now, or
    /// sets the loop's timer for when it wants it.
    void Rewrite(pa_stream* stream) noexcept;
    /// Main-loop thread: renders bytes' worth of frames and writes them, the first piece at
    /// offset from the end of what was written. False when the server took less.
    bool RenderAndWrite(pa_stream* stream, std::size_t bytes, std::int64_t offset, std::int64_t askedAt) noexcept;
    void Fail() noexcept;
    /// Main-loop thread: how many frames of the stream the server has read by now, from its
    /// last timing answer (0 when there is none).
    std::uint64_t ServerReadFrames() const noexcept;

    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    pa_io_event* rewriteEvent_ = nullptr;
    pa_time_event* rewriteTimer_ = nullptr;
    IRenderer* renderer_ = nullptr;
    std::uint32_t blockFrames_ = 256;
    std::uint32_t sampleRate_ = 44100;
    double bufferSeconds_ = 0;
    double queueSeconds_ = 0;
    double latencySeconds_ = 0;
    double sinkLatencySeconds_ = -1; // main-loop thread while Open waits for it
    bool running_ = false; // main-loop thread (and Open with the loop's lock held)
    bool failed_ = false;  // likewise
    bool expired_ = false; // likewise: Open's deadline has passed
    bool timingAsked_ = false;    // likewise: the server's timing was asked for the scheduled rewrite
    bool timingAnswered_ = false; // likewise: and it has answered
    // Written on the main-loop thread (and by Open), read by control threads.
    mutable std::mutex sinkNameLock_;
    std::string sinkName_;
};

} // namespace Platform::Audio
