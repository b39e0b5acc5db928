#pragma once
#include "Platform/Audio/IAudioBackend.h"

#include <cstdint>
#include <string>

struct pa_threaded_mainloop;
struct pa_context;
struct pa_stream;

namespace Platform::Audio {

/// A playback stream on the PulseAudio server (or PipeWire's), rendered inside libpulse's own
/// main-loop thread: when the server asks for data, that thread renders exactly what it asks
/// for and writes it. A client that renders on a thread of its own and hands each block over
/// (RtAudio's) wakes two threads per block and fights the main loop for its lock; here one
/// thread wakes once per request of the server, a few tens of times a second.
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
    /// False, with the reason in failure, when there is no server or the stream fails.
    bool Open(std::uint32_t sampleRate, std::uint32_t blockFrames, double bufferMs, IRenderer& renderer,
              std::string& failure);
    /// Ends the stream; after it returns Render is no longer called. Harmless when not open.
    void Close();
    /// The client buffer asked of the server, in seconds.
    double BufferSeconds() const { return bufferSeconds_; }

private:
    static void OnContextState(pa_context* context, void* self);
    static void OnStreamState(pa_stream* stream, void* self);
    static void OnWrite(pa_stream* stream, std::size_t bytes, void* self);
    void Fail() noexcept;

    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    IRenderer* renderer_ = nullptr;
    std::uint32_t blockFrames_ = 256;
    std::uint32_t sampleRate_ = 44100;
    double bufferSeconds_ = 0;
    bool running_ = false; // main-loop thread (and Open with the loop's lock held)
    bool failed_ = false;  // likewise
};

} // namespace Platform::Audio
