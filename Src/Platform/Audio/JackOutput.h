#pragma once
#include "Platform/Audio/IAudioBackend.h"

#include <cstdint>
#include <string>
#include <vector>

struct _jack_client;
struct _jack_port;

namespace Platform::Audio {

/// A stereo output client of a running JACK server, rendered in JACK's process callback.
///
/// The stream's frames follow the server's frame counter, not the number of callbacks: when
/// a cycle passes without our callback (a client that did not finish in time loses its turn)
/// the renderer is told how many frames the device moved on without it (IRenderer::
/// FramesMissed), so a sound after the gap still starts where the device's clock puts its
/// frame. Each block is stamped with the time its cycle began, as JACK estimates it.
///
/// Open and Close from one control thread at a time; the renderer is called on JACK's
/// process thread, and told of a server that went away (StreamFailed) on JACK's own thread.
class JackOutput {
public:
    JackOutput() = default;
    ~JackOutput();
    JackOutput(const JackOutput&) = delete;
    JackOutput& operator=(const JackOutput&) = delete;

    /// Connects to the running server (never starts one), registers two output ports,
    /// activates them and connects them to the first two physical playback ports. False, with
    /// the reason in failure, when there is no server or it runs at another rate.
    bool Open(std::uint32_t sampleRate, IRenderer& renderer, std::string& failure);
    /// Deactivates and closes the client; after it returns the renderer is no longer called.
    void Close();
    /// The playback latency of our ports as the server reports it, in seconds.
    double LatencySeconds() const { return latencySeconds_; }

private:
    static int Process(std::uint32_t frames, void* self) noexcept;
    static void Shutdown(void* self) noexcept;

    _jack_client* client_ = nullptr;
    _jack_port* ports_[2] = {nullptr, nullptr};
    IRenderer* renderer_ = nullptr;
    std::vector<float> interleaved_; // one block, allocated at Open
    double latencySeconds_ = 0;
    double nanosecondsPerFrame_ = 0;
    bool started_ = false;             // process thread only
    std::uint32_t nextFrameTime_ = 0;  // process thread only: the server frame our next block starts at
};

} // namespace Platform::Audio
