#pragma once
#include "Platform/Audio/CaptureBlocks.h"
#include "Platform/Audio/MidiInput.h"
#include "Platform/SpscQueue.h"
#include "Platform/Audio/ClockMap.h"
#include "Platform/Audio/IAudioBackend.h"
#include "Platform/Audio/StreamKeeper.h"
#include "Platform/Clock.h"
#include "Platform/FrameClock.h"
#include "Platform/RealTime.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <semaphore.h>
#include <string>
#include <thread>

namespace Platform::Audio {

class Mixer;

/// Where in the output stream the current block lies, handed to every voice. Audio thread.
class BlockClock {
public:
    BlockClock(const Mixer& mixer, const ClockMap& map, std::uint64_t firstFrame, std::uint32_t frames) noexcept
        : mixer_(mixer), map_(map), firstFrame_(firstFrame), frames_(frames)
    {
    }

    /// First frame of the block on the stream's frame counter, and its length.
    std::uint64_t FirstFrame() const noexcept { return firstFrame_; }
    std::uint32_t Frames() const noexcept { return frames_; }

    /// The frame at which a sound with this stamp starts. A stamp of a tick on this mixer's
    /// frame clock starts on the tick's frame, rounded to the nearest frame. Any other stamp
    /// (a sound requested outside a tick, or a tick of another clock) starts at the frame
    /// its time maps to plus the mixer's fixed latency.
    std::int64_t StartFrame(const SoundStamp& stamp) const noexcept;

    /// Where in this block a sound starting at startFrame begins: its offset when it lies in
    /// this block; 0 (and the sound counted as late) when its frame has already passed;
    /// Frames() or more when it belongs to a later block.
    std::uint32_t OffsetOf(std::int64_t startFrame) const noexcept;

private:
    const Mixer& mixer_;
    const ClockMap& map_;
    std::uint64_t firstFrame_;
    std::uint32_t frames_;
};

/// A source the mixer renders: MidiOut's synthesizer, each wave file's SampleVoice.
class IVoice {
public:
    virtual ~IVoice() = default;
    /// Adds this voice's sound for the block to output (interleaved stereo, frames frames).
    /// Audio thread; never locks, allocates, logs or touches files.
    virtual void Mix(float* output, const BlockClock& clock) noexcept = 0;
};

struct MixerOptions {
    std::uint32_t sampleRate = 44100;
    std::uint32_t blockFrames = 256;
    /// Fixed time from a sound's stamp to its place in the stream; it must cover the delay
    /// between a sound being stamped and the callback that renders its frame picking it up.
    double latencyMs = 20.0;
    /// How long opening and closing the stream may take before the stream is given up.
    int openTimeoutMs = 3000;
    int closeTimeoutMs = 500;
    /// A stream that renders in real time and has not asked for a block for this long is
    /// taken as lost (its sound server has stopped or hangs).
    int stallMs = 1500;
};

/// The one software mixer that owns the output stream. MidiOut's synthesizer and each wave
/// file's SampleVoice are voices of it. The stream runs while at least one client has acquired the mixer, silent when nothing
/// plays, so that the first sound of a run is never cut by a stream starting up.
///
/// The mixer is also the frame clock of the runs that play into it (IFrameClock): its frames
/// are the stream's frame counter; a tick's hand-over time comes from the clock map, whose
/// line the audio thread publishes after every callback (a sequence counter around three
/// atomics, so that readers on other threads never wait).
///
/// The stream is watched: when its backend reports that it failed, or a stream that renders
/// by itself stops asking for blocks for MixerOptions::stallMs, the stream is lost. Its
/// clients keep their hold, but every sound and every new client is refused (StreamLost) until
/// Restore opens a new stream. Opening and closing never hold the caller longer than the
/// options' time-outs (see StreamKeeper); a stream that does not close in time is given up.
///
/// Acquire, Release, AddVoice and RemoveVoice are for control threads and may
/// block briefly (Acquire and Release up to the open and close time-outs); Restore up to both;
/// everything a voice calls from Mix is wait-free.
class Mixer final : private IRenderer, public IFrameClock {
public:
    static constexpr std::size_t MaxVoices = 512;

    /// backend is not owned and must outlive the mixer; once a stream on it has been given
    /// up, the mixer cannot open another.
    Mixer(IAudioBackend& backend, const MixerOptions& options = {});
    /// Every stream on a fresh backend from factory.
    Mixer(BackendFactory factory, const MixerOptions& options = {});
    ~Mixer() override;
    Mixer(const Mixer&) = delete;
    Mixer& operator=(const Mixer&) = delete;

    /// Opens the stream if no one holds it yet and, on a real-time backend, waits until the
    /// stream runs steadily. Returns NoDriver when no output can be opened or the stream is lost.
    Result Acquire();
    /// Gives up one Acquire; the last one closes the stream.
    void Release();
    /// True from the moment the held stream is found lost until Restore opens a new one.
    /// Any thread; wait-free.
    bool StreamLost() const noexcept { return state_.load(std::memory_order_acquire) == Lost; }
    /// Closes a lost stream and opens a new one for the clients that hold the mixer. NoError
    /// when the stream plays (or was never lost); NoDriver when no new one opened (it stays
    /// lost). Takes up to the close and open time-outs: never on a thread that must answer.
    Result Restore();
    /// Streams given up so far because their backend did not close or open in time.
    std::uint64_t StreamsGivenUp() const;

    /// Adds a voice (not owned); false when MaxVoices are in use.
    bool AddVoice(IVoice& voice);
    /// Removes a voice; on return the audio thread no longer uses it.
    void RemoveVoice(IVoice& voice);

    /// Returns once a callback that is running at the call has ended; a callback that starts
    /// afterwards sees every change made before the call.
    void WaitForCallback();

    /// The rate of the open stream (or of the last one; MixerOptions::sampleRate before the
    /// first): the output's own where it has one, else the options' rate. Everything the
    /// mixer plays is rendered or decoded at it.
    std::uint32_t SampleRate() const noexcept { return rate_.load(std::memory_order_acquire); }
    std::uint32_t BlockFrames() const noexcept { return options_.blockFrames; }
    /// The fixed latency from stamp to sound, in whole frames.
    std::int64_t LatencyFrames() const noexcept { return latencyFrames_.load(std::memory_order_relaxed); }
    /// Sounds that arrived after their frame had been rendered and started at once instead.
    std::uint64_t LateCount() const noexcept { return late_.load(std::memory_order_relaxed); }
    /// Runs whose first ticks were to go into the server's queue but found it already read
    /// there, and were placed where a fresh anchor puts them instead.
    std::uint64_t RewriteFallbacks() const noexcept { return rewriteFallbacks_.load(std::memory_order_relaxed); }
    /// Frames the device played without asking us for them (cycles its server skipped us in),
    /// since the mixer was made; the frame counter moved on over them.
    std::uint64_t MissedFrames() const noexcept { return missed_.load(std::memory_order_relaxed); }
    /// Times the sound server ran out of our sound and played silence in between, since the
    /// mixer was made (IRenderer::ServerUnderran): each shifted every later click.
    std::uint64_t ServerUnderruns() const noexcept { return underruns_.load(std::memory_order_relaxed); }
    /// The oldest MIDI message that reached the stream's MIDI input (JACK: Tolvane's midi_in
    /// port) and has not been taken yet, stamped with its frame; false when none waits. One
    /// consumer thread at a time; wait-free. Messages beyond 1024 waiting are dropped.
    bool TakeMidiIn(StampedMidi& message) noexcept { return midiIn_.Pop(message); }
    /// Through JACK, the output's own client's audio input port (in_1) goes into blocks, each
    /// stamped with the output frame heard when it was captured (the cycle's frames less the
    /// port's capture latency and the output's latency); null stops it, and once this returns
    /// the audio thread no longer uses the old queue. False (and nothing queued) when the
    /// stream is not JACK's. Control thread.
    bool CaptureInto(CaptureQueue* blocks);
    /// Frames rendered since the stream was opened.
    std::uint64_t RenderedFrames() const noexcept { return rendered_.load(std::memory_order_acquire); }
    /// The name of the open stream's backend ("none" while closed), for diagnostics.
    std::string BackendName() const;
    /// Which output the stream plays into ("pulse:<sink>", "jack:<ports>", "alsa:<device>",
    /// see IAudioBackend::OutputIdentity), for settings kept per output; empty while no stream
    /// is open. Never waits for a stream being opened or closed: meanwhile it gives what it
    /// found last. Control threads.
    std::string OutputIdentity() const;
    /// Added to every heard time (HeardTime): a delay after the output that the backend does
    /// not report (a Bluetooth headset), or, negative, a display that lags. Any thread.
    void SetHeardOffset(std::int64_t nanoseconds) noexcept { heardOffset_.store(nanoseconds, std::memory_order_relaxed); }
    std::int64_t HeardOffset() const noexcept override { return heardOffset_.load(std::memory_order_relaxed); }
    /// The device latency the open stream's backend reports, in seconds (0 while closed).
    double DeviceLatencySeconds() const;
    /// For the log: why the last opening of the stream failed, each output tried and why, or,
    /// when it opened, the outputs passed over before it.
    std::string LastFailure() const;

    /// IFrameClock: the stream's frames at its nominal rate (SampleRate); the lead is
    /// LatencyFrames(), the heard time adds the backend's reported output latency. Any thread;
    /// wait-free.
    double FrameRate() const noexcept override { return SampleRate(); }
    double AnchorFrame() const noexcept override;
    std::int64_t HandOverTime(double frame) const noexcept override;
    std::int64_t HeardTime(double frame) const noexcept override;
    bool StartsSoundsOnFrames() const noexcept override { return true; }
    /// Through a backend that can replace what its server holds (RewritableSeconds), the frame
    /// heard one lead from now, when that frame and everything the stream has rendered since
    /// are silence the server still holds: the stretch from it is rendered again, with the
    /// run's first ticks, shortly before the server would take it (FramesToRewrite), which
    /// leaves the tick path time to hand them over. Meanwhile new frames are rendered silent
    /// and join the stretch. Otherwise AnchorFrame(). Timer thread; wait-free.
    double RunStartFrame() const noexcept override;

private:
    friend class BlockClock;

    enum State : int { Closed, Playing, Lost };

    void Render(float* output, std::uint32_t frames, std::int64_t callbackTime) noexcept override;
    /// Audio thread: wakes the watch thread, which marks the stream lost.
    void StreamFailed() noexcept override
    {
        const RealTimeSection realTime;
        sem_post(&watchSignal_);
    }
    /// Audio thread: the device moved on without us; so does the frame counter (a sound due
    /// in the gap starts at once, counted late).
    void FramesMissed(std::uint32_t frames) noexcept override;
    std::uint64_t NextFrame() noexcept override { return frame_; }
    void ServerUnderran() noexcept override { underruns_.fetch_add(1, std::memory_order_relaxed); }
    /// Audio thread: stamps the input's samples and queues them (CaptureInto).
    void AudioIn(const float* samples, std::uint32_t frames, double latencyFrames) noexcept override;
    /// Audio thread: stamps the message with its frame and queues it for TakeMidiIn.
    void MidiIn(std::uint32_t frameInBlock, const std::uint8_t* bytes, std::size_t size) noexcept override;
    /// Audio thread: the frames from a run's first tick on, once they are to be rendered again
    /// (see RunStartFrame); the frame counter goes back to that tick's frame.
    /// When the server has already read into the stretch, nothing is rendered again: the run
    /// is moved to where a fresh anchor puts its first tick (RunShift), counted in
    /// RewriteFallbacks.
    std::uint32_t FramesToRewrite(std::int64_t& dueTime, std::uint64_t serverRead) noexcept override;
    int RewriteSignal() const noexcept override { return rewriteSignal_; }
    /// The opening thread, before the stream's first Render: the stream runs at sampleRate.
    void StreamRate(std::uint32_t sampleRate, ClockMap::Times times) noexcept override;
    /// Before a stream renders: its rate, the lead in frames and the clock map at that rate.
    void SetRate(std::uint32_t sampleRate, ClockMap::Times times = ClockMap::Times::Callbacks) noexcept;
    /// With control_ held: opens the stream and waits until it runs steadily.
    Result OpenStream();
    bool WaitUntilSteady();
    void RunWatch();
    /// Watch thread: marks a stream that failed or stalled as lost.
    void Watch() noexcept;
    void CountLate() const noexcept { late_.fetch_add(1, std::memory_order_relaxed); }
    void PublishLine() noexcept;
    /// The clock map's line as last published (before the first callback: frame 0 at the
    /// time the stream was opened, at the nominal rate).
    ClockMap::Line ReadLine() const noexcept;

    const MixerOptions options_;
    std::atomic<std::uint32_t> rate_;        // written only while no stream renders
    std::atomic<std::int64_t> latencyFrames_;
    mutable std::mutex control_;         // guards clients_, stream_ and the slots' owners; never taken by the audio thread
    StreamKeeper stream_;
    std::string lastFailure_; // of the last OpenStream; under control_
    mutable std::mutex identityLock_;      // taken after control_, never before it
    mutable std::string outputIdentity_;   // what OutputIdentity found last; under identityLock_
    int clients_ = 0;
    std::atomic<int> state_{Closed};
    std::array<std::atomic<IVoice*>, MaxVoices> voices_{};
    std::atomic<std::size_t> voiceLimit_{0};
    ClockMap clock_;                     // audio thread only
    std::uint64_t frame_ = 0;            // audio thread only
    SpscQueue<StampedMidi> midiIn_{1024}; // audio thread -> TakeMidiIn
    std::atomic<CaptureQueue*> capture_{nullptr}; // CaptureInto's
    std::atomic<std::uint64_t> rendered_{0};
    std::atomic<std::uint64_t> epoch_{0}; // odd while a callback runs
    mutable std::atomic<std::uint64_t> late_{0};
    std::atomic<std::uint64_t> missed_{0};
    std::atomic<std::uint64_t> underruns_{0};
    // The clock map's line for other threads: odd sequence while the audio thread writes it.
    std::atomic<std::uint32_t> lineSequence_{0};
    std::atomic<double> lineTime_{0};
    std::atomic<double> lineFrame_{0};
    std::atomic<double> linePeriod_{0};
    std::atomic<std::int64_t> outputLatency_{0}; // ns, the backend's report at Acquire
    std::atomic<std::int64_t> heardOffset_{0};   // ns, the user's output offset
    std::atomic<std::int64_t> rewritableFrames_{0}; // the backend's report at Acquire
    // The frame after the last sound rendered (the audio thread writes it).
    std::atomic<std::uint64_t> silentFrom_{0};
    // A run's first tick placed in rendered silence: its frame and when the stretch from it is
    // rendered again. The timer thread sets the time last, the audio thread clears it.
    mutable std::atomic<std::uint64_t> rewriteFrom_{0};
    // Frames by which the current run's frames lie later on the stream than the timer counts
    // them: set when its first ticks could not go into the server's queue (the audio thread),
    // 0 again at the next run's start (the timer thread).
    mutable std::atomic<std::int64_t> runShift_{0};
    std::atomic<std::uint64_t> rewriteFallbacks_{0};
    mutable std::atomic<std::int64_t> rewriteDue_{0};
    int rewriteSignal_ = -1; // an eventfd the backend watches (RewriteSignal)
    std::atomic<bool> watchRunning_{true};
    sem_t watchSignal_;
    std::thread watchThread_;
};

/// The lead of the program's mixer on the system's output (MixerOptions::latencyMs), in
/// milliseconds. Through PulseAudio with its 200 ms buffer the callback renders in bursts of up
/// to ~50 ms ahead of the clock map's estimate; 60 ms let a sound come late now and then on a
/// busy machine.
constexpr double OutputLeadMs = 100.0;

/// The block the program's mixer asks the system's output for, in frames.
constexpr std::uint32_t OutputBlockFrames = 256;

} // namespace Platform::Audio
