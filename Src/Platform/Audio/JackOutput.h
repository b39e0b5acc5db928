#pragma once
#include "Platform/Audio/DurationHistogram.h"
#include "Platform/Audio/IAudioBackend.h"

#include <cstdint>
#include <string>
#include <vector>

struct _jack_client;
struct _jack_port;

namespace Platform::Audio {

/// Follows a JACK server's frame counter from inside the process callback. The counter read
/// there is the server's current one: a callback that runs late, after the next cycle began,
/// reads the next cycle's frame, and the callback after it reads the same one again. So a
/// jump of the counter seen by one callback alone is a late callback; only a jump that the
/// next callback sees as well is cycles the server ran without us. Process thread only.
class FrameTimeFollower {
public:
    /// Called once per callback with the server's frame counter and the callback's length;
    /// returns how many frames the device played without us (nearly always 0).
    std::uint32_t Next(std::uint32_t serverFrame, std::uint32_t frames) noexcept
    {
        std::uint32_t missed = 0;
        const auto ahead = static_cast<std::int32_t>(serverFrame - expected_);
        if (started_ && ahead > 0) {
            if (aheadBefore_ > 0)
                missed = static_cast<std::uint32_t>(ahead < aheadBefore_ ? ahead : aheadBefore_);
            aheadBefore_ = missed > 0 ? 0 : ahead;
        } else {
            aheadBefore_ = 0;
        }
        if (!started_)
            expected_ = serverFrame;
        started_ = true;
        expected_ += missed;
        blockStart_ = expected_;
        expected_ += frames;
        return missed;
    }
    /// Where on the server's counter the block of the last Next call lies (behind the counter
    /// read, while a jump waits to be seen again).
    std::uint32_t BlockStart() const noexcept { return blockStart_; }

private:
    bool started_ = false;
    std::uint32_t expected_ = 0;  // the server frame our next callback starts at, nothing missed
    std::uint32_t blockStart_ = 0;
    std::int32_t aheadBefore_ = 0; // how far ahead the last callback found the server
};

/// A stereo output client of a running JACK server, rendered in JACK's process callback.
///
/// The stream's frames follow the server's frame counter, not the number of callbacks: when
/// cycles pass without our callback (a client that did not finish in time loses its turn) the
/// renderer is told how many frames the device moved on without it (IRenderer::FramesMissed,
/// see FrameTimeFollower), so a sound after the gap still starts where the device's clock puts
/// its frame. Each block is stamped with the time its cycle began, as JACK estimates it.
///
/// Open and Close from one control thread at a time; the renderer is called on JACK's
/// process thread, and told of a server that went away (StreamFailed) on JACK's own thread.
class JackOutput {
public:
    JackOutput() = default;
    ~JackOutput();
    JackOutput(const JackOutput&) = delete;
    JackOutput& operator=(const JackOutput&) = delete;

    /// Connects to the running server (never starts one), registers two output ports, an audio
    /// input port ("in_1", connected to the first physical capture port, its samples handed to
    /// the renderer each cycle, IRenderer::AudioIn) and a MIDI input port ("midi_in", whose messages reach the renderer stamped with their frame
    /// within the cycle, IRenderer::MidiIn; the stream plays without it where it cannot be made),
    /// activates them and connects them to the first two physical playback ports. False, with
    /// the reason in failure, when there is no server or it runs at a rate outside
    /// MinimumRate..MaximumRate. The stream runs at the server's rate, told to renderer
    /// (IRenderer::StreamRate); sampleRate is not used.
    bool Open(std::uint32_t sampleRate, IRenderer& renderer, std::string& failure);
    /// Deactivates and closes the client; after it returns the renderer is no longer called.
    void Close();
    /// The playback latency of our ports as the server reports it, in seconds.
    double LatencySeconds() const { return latencySeconds_; }
    /// The ports our two outputs are connected to now, sorted and joined by commas
    /// ("system:playback_1,system:playback_2"); empty when they are connected nowhere.
    /// Control thread, while open.
    std::string PlaybackPorts() const;
    /// How long each of our process callbacks took, from entering it to leaving it (on the
    /// monotonic clock), over every JACK stream of the process: the cost of a cycle that the
    /// server waits for.
    static DurationHistogram& CallbackTimes() noexcept;

private:
    static int Process(std::uint32_t frames, void* self) noexcept;
    static void Shutdown(void* self) noexcept;

    _jack_client* client_ = nullptr;
    _jack_port* ports_[2] = {nullptr, nullptr};
    _jack_port* midiOut_ = nullptr; // "midi_out": the run's MIDI clock (MidiClockOut)
    _jack_port* midiIn_ = nullptr; // "midi_in": every message goes to the renderer with its frame
    _jack_port* audioIn_ = nullptr; // "in_1": the input's samples go to the renderer (IRenderer::AudioIn)
    double captureLatencyFrames_ = 0; // in_1's capture latency as the server reports it
    IRenderer* renderer_ = nullptr;
    std::vector<float> interleaved_; // one block, allocated at Open
    double latencySeconds_ = 0;
    double nanosecondsPerFrame_ = 0;
    FrameTimeFollower follower_; // process thread only
};

} // namespace Platform::Audio
