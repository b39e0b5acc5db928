#pragma once
#include "Platform/Audio/ClockMap.h"
#include "Platform/Audio/ResultCodes.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

namespace Platform::Audio {

/// No backend asks for more frames than this in one Render call.
constexpr std::uint32_t MaxBlockFrames = 4096;

/// The rates an output of its own rate may run at; the mixer follows it within these.
constexpr std::uint32_t MinimumRate = 22050;
constexpr std::uint32_t MaximumRate = 192000;

/// What a backend's stream asks for each block: interleaved stereo float frames.
class IRenderer {
public:
    virtual ~IRenderer() = default;
    /// Fills frames stereo frames (2 * frames floats) of output. callbackTime is the clock
    /// time (Platform::Clock nanoseconds) at which the backend asked for this block; the
    /// offline backend passes its own simulated clock. Audio thread; must never block.
    virtual void Render(float* output, std::uint32_t frames, std::int64_t callbackTime) noexcept = 0;
    /// The stream has failed for good (its sound server went away): it renders no more and
    /// must be closed. Called once, from the thread the backend renders on; must never block.
    virtual void StreamFailed() noexcept {}
    /// The device played frames frames that were never asked for (its server skipped our
    /// callback for a cycle): the stream's frame counter moves on by as many, so that every
    /// later frame stays where the device's clock puts it. Called on the rendering thread,
    /// before the next Render; must never block.
    virtual void FramesMissed(std::uint32_t frames) noexcept { static_cast<void>(frames); }
    /// The sound server ran out of what we gave it and played silence in between (an
    /// underrun on its side, though every request was answered): every later frame is heard
    /// that much later than the clock map says. Called on the rendering thread; never blocks.
    virtual void ServerUnderran() noexcept {}
    /// How many of the frames rendered last are to be rendered again now (0: none). A backend
    /// that can replace what its server still holds (IAudioBackend::RewritableSeconds) asks
    /// before each request, when RewriteSignal becomes readable and at dueTime: when frames are
    /// to be rendered again later, this gives 0 and sets dueTime (clock nanoseconds) to when.
    /// The next so many frames Render gives replace those last ones. serverRead is how far
    /// the server has read the stream by now, as the backend knows it (frames; 0 when it does
    /// not know): a stretch the server has begun to read is not rendered again (0 is given) and
    /// the run it began is moved instead. Rendering thread; never blocks.
    virtual std::uint32_t FramesToRewrite(std::int64_t& dueTime, std::uint64_t serverRead) noexcept
    {
        static_cast<void>(serverRead);
        dueTime = 0;
        return 0;
    }
    /// The stream runs at sampleRate, not at the rate Open was asked for (it is the output's
    /// own: a JACK server's, a sink's, a device's). Open calls this before the stream's first
    /// Render, on the thread Open runs on; never while the stream renders. times says what
    /// Render's callbackTime is: when the callback ran, or the server's estimate of its cycle.
    virtual void StreamRate(std::uint32_t sampleRate, ClockMap::Times times = ClockMap::Times::Callbacks) noexcept
    {
        static_cast<void>(sampleRate);
        static_cast<void>(times);
    }
    /// A short MIDI message (1 to 3 bytes) that reached the stream's MIDI input, frameInBlock
    /// frames into the cycle whose first Render comes next: its own frame on the stream's clock.
    /// Rendering thread, before that Render; never blocks.
    virtual void MidiIn(std::uint32_t frameInBlock, const std::uint8_t* bytes, std::size_t size) noexcept
    {
        static_cast<void>(frameInBlock), static_cast<void>(bytes), static_cast<void>(size);
    }
    /// frames samples that reached the stream's audio input (JACK: Tolvane's in_1 port) in the
    /// cycle whose first Render comes next; captured latencyFrames before the cycle's frames
    /// (the input's capture latency). Rendering thread, before that Render; never blocks.
    virtual void AudioIn(const float* samples, std::uint32_t frames, double latencyFrames) noexcept
    {
        static_cast<void>(samples), static_cast<void>(frames), static_cast<void>(latencyFrames);
    }
    /// The stream's frame that the next Render starts at (after any FramesMissed), for placing
    /// what goes out beside the sound (the MIDI clock) on the stream's frames. Rendering thread.
    virtual std::uint64_t NextFrame() noexcept { return 0; }
    /// A descriptor (an eventfd) that becomes readable when FramesToRewrite has news, or -1.
    /// Whoever wakes on it reads it empty.
    virtual int RewriteSignal() const noexcept { return -1; }
};

/// Renders frames frames that a sound server asked for at once, at askedAt, in pieces of at
/// most blockFrames, each stamped with the time a device asking block by block would have
/// asked for it: the last piece at askedAt, each earlier one its own length before. (Stamped
/// all with askedAt, a burst would tell the clock map that it was asked for from its first
/// frame on; after a stall the map then re-anchors there and trails the frames already
/// rendered by the whole burst, and a tick in between is handed over after its frame.)
inline void RenderRequest(IRenderer& renderer, float* output, std::size_t frames, std::uint32_t blockFrames,
                          double nanosecondsPerFrame, std::int64_t askedAt) noexcept
{
    for (std::size_t done = 0; done < frames;) {
        const std::size_t piece = std::min<std::size_t>(frames - done, blockFrames);
        const auto after = static_cast<double>(frames - done - piece);
        renderer.Render(output + 2 * done, static_cast<std::uint32_t>(piece),
                        askedAt - static_cast<std::int64_t>(after * nanosecondsPerFrame));
        done += piece;
    }
}

/// One output stream. Open, Close and the queries are called by the mixer one at a time (Open
/// and Close on a worker thread); Render runs on the backend's own audio thread (or, offline, on the thread that
/// pulls).
class IAudioBackend {
public:
    virtual ~IAudioBackend() = default;
    /// Opens and starts a stereo float stream that renders blockFrames frames per call, at the
    /// output's own rate where it has one (told to the renderer by IRenderer::StreamRate
    /// before the first Render), else at sampleRate. renderer is not owned and must stay valid
    /// until Close returns.
    virtual Result Open(std::uint32_t sampleRate, std::uint32_t blockFrames, IRenderer& renderer) = 0;
    /// Stops and closes the stream; after it returns Render is no longer called. Harmless
    /// when not open. Open and Close may wait for a sound server without bound; the mixer
    /// calls them on a worker thread and gives a stream up when they take too long.
    virtual void Close() = 0;
    /// The device's own latency in seconds, as far as the backend knows it (0 offline).
    virtual double DeviceLatencySeconds() const = 0;
    /// How far behind the render position the stream's server still holds rendered frames
    /// that it would take again in place of the old ones, in seconds; 0 when the backend cannot
    /// replace rendered frames (see IRenderer::FramesToRewrite).
    virtual double RewritableSeconds() const { return 0; }
    /// True when the stream renders on its own thread in real time; false when someone pulls
    /// it block by block (the offline backend).
    virtual bool RunsByItself() const = 0;
    /// A short name for diagnostics ("offline", "null", "pulse", ...).
    virtual const char* Name() const = 0;
    /// Which output the open stream plays into, to keep settings per output (headphones and
    /// speakers apart): "pulse:" and the sink's name, "jack:" and the ports ours are connected
    /// to (comma-separated, sorted), "alsa:" and the device's name; the backend's Name when it
    /// has no device (offline, null). Asked on a control thread; may change while the stream
    /// plays (a stream moved to another sink, ports connected elsewhere). Empty while closed.
    virtual std::string OutputIdentity() const { return Name(); }
    /// For the log: what the last Open tried and why it failed ("jack: no server; ..."), the
    /// outputs passed over before the one that opened included; empty when there is nothing
    /// to say.
    virtual std::string LastFailure() const { return {}; }
};

} // namespace Platform::Audio
