#pragma once
#include "Platform/Audio/IAudioBackend.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

class RtAudio;

namespace Platform::Audio {

class JackOutput;
class PulseOutput;

/// The system's real output. Open tries the APIs in the order JACK, PulseAudio (and
/// PipeWire's PulseAudio server), ALSA, and uses the default output device of the first one
/// that opens a stream: JACK and PulseAudio through our own clients (JackOutput,
/// PulseOutput), ALSA through RtAudio. Control calls from one thread at a time.
///
/// A stream whose sound server goes away fails every write at once; RtAudio reports it
/// through its error callback on the stream's thread. From then on the stream only idles (a
/// silent block per 20 ms instead of a spinning write loop), and the renderer is told once
/// (IRenderer::StreamFailed).
class RtAudioBackend final : public IAudioBackend {
public:
    RtAudioBackend();
    ~RtAudioBackend() override;

    Result Open(std::uint32_t sampleRate, std::uint32_t blockFrames, IRenderer& renderer) override;
    void Close() override;
    /// Through JACK our ports' playback latency; through PulseAudio what the server holds of
    /// this stream plus its sink's latency; through ALSA RtAudio's stream latency.
    double DeviceLatencySeconds() const override { return latencySeconds_; }
    /// Through PulseAudio the stream's queue on the server; 0 otherwise.
    double RewritableSeconds() const override { return rewritableSeconds_; }
    bool RunsByItself() const override { return true; }
    /// The API in use ("jack", "pulse", "alsa"), or "none" while closed.
    const char* Name() const override { return apiName_; }
    /// Why the last Open failed, for diagnostics (empty after a success).
    const std::string& LastFailure() const { return lastFailure_; }

private:
    static int Callback(void* output, void* input, unsigned int frames, double streamTime,
                        unsigned int status, void* self) noexcept;
    static void OnError(int type, const std::string& text);

    std::unique_ptr<RtAudio> audio_;
    std::unique_ptr<JackOutput> jack_;
    std::unique_ptr<PulseOutput> pulse_;
    IRenderer* renderer_ = nullptr;
    std::uint32_t sampleRate_ = 44100;
    double latencySeconds_ = 0;
    double rewritableSeconds_ = 0;
    const char* apiName_ = "none";
    std::string lastFailure_;
    std::atomic<bool> failed_{false}; // RtAudio reported an error of the running stream
    bool failureTold_ = false;        // stream's thread only
};

} // namespace Platform::Audio
