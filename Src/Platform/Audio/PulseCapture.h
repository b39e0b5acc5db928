#pragma once
#include "Platform/Audio/CaptureBlocks.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

struct pa_threaded_mainloop;
struct pa_context;
struct pa_stream;
struct pa_source_info;

namespace Platform::Audio {

/// A record stream on the PulseAudio server (or PipeWire's, through pipewire-pulse): the
/// default source (a microphone or a line input), mono float at the output's rate, read in
/// libpulse's own main-loop thread, which stamps each piece on the output's frames and queues
/// it (CaptureQueue) for whoever looks for hits in it, without locking or allocating.
///
/// When each sample was captured comes from the reads: each read's time less the time its
/// frames took at the stream's rate gives when the stream began, late by however long the read
/// waited; the earliest of the last two seconds' is taken (a read is never early), less the
/// source's latency as the server reports it; the output frame leaving the output at that
/// moment is the stamp (HeardFrameAt on the output's frame clock, less its HeardOffset). What
/// the reports leave out is one constant, the round trip a calibration measures.
///
/// Open and Close from one control thread at a time.
class PulseCapture {
public:
    PulseCapture() = default;
    ~PulseCapture();
    PulseCapture(const PulseCapture&) = delete;
    PulseCapture& operator=(const PulseCapture&) = delete;

    /// Connects to the default server and starts recording the default source at rate into
    /// blocks stamped on clock (which must outlive the stream). False, with the reason in
    /// failure, when there is no server, no source, or no answer within timeoutMs.
    bool Open(std::uint32_t rate, const IFrameClock& clock, CaptureQueue& blocks, std::string& failure,
              int timeoutMs = 1500);
    /// Ends the stream; after it returns nothing more is queued. Harmless when not open.
    void Close();
    /// The source recorded ("pulse:" and its name), once open.
    const std::string& SourceName() const { return sourceName_; }
    /// Blocks that found the queue full and were dropped.
    std::uint64_t Dropped() const noexcept { return dropped_.load(std::memory_order_relaxed); }
    /// The descriptor that becomes readable when blocks were queued (an eventfd; the reader
    /// reads it empty), or -1 while closed.
    int Signal() const { return signal_; }

private:
    static void OnContextState(pa_context* context, void* self);
    static void OnStreamState(pa_stream* stream, void* self);
    static void OnRead(pa_stream* stream, std::size_t bytes, void* self);
    static void OnSourceInfo(pa_context* context, const pa_source_info* info, int last, void* self);
    /// Main-loop thread: stamps and queues frames samples (null: a hole, queued as silence).
    void Queue(const float* samples, std::size_t frames, std::int64_t readAt) noexcept;

    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    const IFrameClock* clock_ = nullptr;
    CaptureQueue* blocks_ = nullptr;
    std::uint32_t rate_ = 48000;
    std::string sourceName_;
    double sourceLatencyNs_ = 0;   // the source's configured latency plus the fragment
    std::array<double, 512> starts_{}; // the last reads' stream beginnings, ns; main-loop thread
    std::array<std::int64_t, 512> startReads_{}; // when each was read
    std::size_t startCount_ = 0;
    std::uint64_t read_ = 0;       // frames read so far; main-loop thread
    bool expired_ = false;         // main-loop thread and Open, under the loop's lock
    bool sourceAnswered_ = false;  // likewise
    std::atomic<std::uint64_t> dropped_{0};
    int signal_ = -1;
};

} // namespace Platform::Audio
