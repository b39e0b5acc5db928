#pragma once
#include "Platform/Audio/IAudioBackend.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

class RtAudio;

namespace Platform::Audio {

/// A stereo float stream on ALSA's default output device, through RtAudio, rendered on
/// RtAudio's own thread at real-time priority where the system allows it.
///
/// A stream whose device goes away fails every write at once; RtAudio reports it through its
/// error callback on the stream's thread. From then on the stream only idles (a silent block per
/// 20 ms instead of a spinning write loop), and the renderer is told once
/// (IRenderer::StreamFailed).
///
/// Open and Close from one control thread at a time.
class AlsaOutput {
public:
    AlsaOutput();
    ~AlsaOutput();
    AlsaOutput(const AlsaOutput&) = delete;
    AlsaOutput& operator=(const AlsaOutput&) = delete;

    /// Opens and starts the stream. False, with the reason in failure, when there is no device
    /// or it does not start.
    bool Open(std::uint32_t sampleRate, std::uint32_t blockFrames, IRenderer& renderer, std::string& failure);
    /// Stops and closes the stream; after it returns the renderer is no longer called.
    void Close();
    /// RtAudio's stream latency, in seconds.
    double LatencySeconds() const { return latencySeconds_; }
    /// The name of the device the stream plays into, as RtAudio gives it (set at Open).
    const std::string& DeviceName() const { return deviceName_; }

private:
    static int Callback(void* output, void* input, unsigned int frames, double streamTime, unsigned int status,
                        void* self) noexcept;
    static void OnError(int type);

    std::unique_ptr<RtAudio> audio_;
    IRenderer* renderer_ = nullptr;
    std::uint32_t sampleRate_ = 44100;
    double latencySeconds_ = 0;
    std::string deviceName_;
    std::atomic<bool> failed_{false}; // RtAudio reported an error of the running stream
    bool failureTold_ = false;        // stream's thread only
};

} // namespace Platform::Audio
