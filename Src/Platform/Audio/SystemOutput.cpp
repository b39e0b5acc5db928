#include "Platform/Audio/SystemOutput.h"

#include "Platform/Audio/AlsaOutput.h"
#include "Platform/Audio/DeadlineWorker.h"
#include "Platform/Audio/JackOutput.h"
#include "Platform/Audio/PulseOutput.h"

#include <alsa/asoundlib.h>
#include <jack/jack.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>

namespace Platform::Audio {

namespace {

// How long each output may take to start a stream. A server that answers at all answers in
// tens of milliseconds; together they stay well within the five seconds a Start may take.
constexpr int jackDeadlineMs = 1200;
constexpr int pulseDeadlineMs = 1500;
constexpr int alsaDeadlineMs = 1200;

// The PulseAudio client buffer unless PULSE_LATENCY_MSEC says otherwise (see PulseOutput).
// PulseAudio's default client buffer is two seconds, which a metronome cannot have between its
// start and its first click. A short buffer is no better: with 30 or 100 ms, a busy machine
// let the server's buffer run dry every few seconds and every click after the gap came late;
// with 150 ms and more it never did. 200 ms keeps a margin and costs a third of the wake-ups.
constexpr double pulseBufferMs = 200.0;

void Quiet(const char*) {}
void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}

// libjack writes "Cannot connect to server socket" and the like to the terminal, and ALSA its
// configuration errors, for every output that is not there. Set once, before the first try.
void SilenceLibraries()
{
    static std::once_flag once;
    std::call_once(once, [] {
        jack_set_error_function(&Quiet);
        jack_set_info_function(&Quiet);
        snd_lib_error_set_handler(&QuietAlsa);
    });
}

// The workers of the three outputs, one each for the whole process (never destroyed: a try
// that never returns keeps its worker busy, not the program from ending).
DeadlineWorker& WorkerFor(int output)
{
    static DeadlineWorker* const workers[3] = {new DeadlineWorker("tolvane-jack"), new DeadlineWorker("tolvane-pulse"),
                                               new DeadlineWorker("tolvane-alsa")};
    return *workers[output];
}

/// Stands between an output being tried and the renderer. While the try runs the output renders
/// into the renderer (a stream counts every frame it asks for from its first request on); once
/// its try is given up the gate is cut, and whatever the output does later never reaches the
/// renderer, so a stream that opens after its deadline never renders beside the one taken. A
/// failure is passed on only once the try is taken (a try that fails is simply not taken).
class Gate final : public IRenderer {
public:
    explicit Gate(IRenderer& target) : target_(target) {}

    void Render(float* output, std::uint32_t frames, std::int64_t callbackTime) noexcept override
    {
        // Announced before live_ is read, and Cut clears live_ before it reads the count: one
        // of the two always sees the other.
        inside_.fetch_add(1);
        if (live_.load())
            target_.Render(output, frames, callbackTime);
        else
            std::memset(output, 0, sizeof(float) * 2 * frames);
        inside_.fetch_sub(1);
    }
    void StreamFailed() noexcept override
    {
        inside_.fetch_add(1);
        if (live_.load() && taken_.load())
            target_.StreamFailed();
        inside_.fetch_sub(1);
    }
    void FramesMissed(std::uint32_t frames) noexcept override
    {
        inside_.fetch_add(1);
        if (live_.load())
            target_.FramesMissed(frames);
        inside_.fetch_sub(1);
    }
    void ServerUnderran() noexcept override
    {
        inside_.fetch_add(1);
        if (live_.load())
            target_.ServerUnderran();
        inside_.fetch_sub(1);
    }
    std::uint32_t FramesToRewrite(std::int64_t& dueTime, std::uint64_t serverRead) noexcept override
    {
        dueTime = 0;
        inside_.fetch_add(1);
        const std::uint32_t frames = live_.load() ? target_.FramesToRewrite(dueTime, serverRead) : 0;
        inside_.fetch_sub(1);
        return frames;
    }
    void MidiIn(std::uint32_t frameInBlock, const std::uint8_t* bytes, std::size_t size) noexcept override
    {
        inside_.fetch_add(1);
        if (live_.load())
            target_.MidiIn(frameInBlock, bytes, size);
        inside_.fetch_sub(1);
    }
    void AudioIn(const float* samples, std::uint32_t frames, double latencyFrames) noexcept override
    {
        inside_.fetch_add(1);
        if (live_.load())
            target_.AudioIn(samples, frames, latencyFrames);
        inside_.fetch_sub(1);
    }
    int RewriteSignal() const noexcept override { return target_.RewriteSignal(); }
    std::uint64_t NextFrame() noexcept override
    {
        inside_.fetch_add(1);
        const std::uint64_t frame = live_.load() ? target_.NextFrame() : 0;
        inside_.fetch_sub(1);
        return frame;
    }
    void StreamRate(std::uint32_t sampleRate, ClockMap::Times times) noexcept override
    {
        inside_.fetch_add(1);
        if (live_.load())
            target_.StreamRate(sampleRate, times);
        inside_.fetch_sub(1);
    }

    /// The try is taken: failures reach the renderer from now on.
    void Take() noexcept { taken_.store(true); }
    /// The try is given up: on return no call of the output is inside the renderer, and none
    /// will enter it.
    void Cut() noexcept
    {
        live_.store(false);
        while (inside_.load() != 0)
            std::this_thread::yield(); // a render takes a fraction of a block
    }

private:
    IRenderer& target_;
    std::atomic<bool> live_{true};
    std::atomic<bool> taken_{false};
    std::atomic<int> inside_{0};
};

} // namespace

/// One output's stream and its gate; shared with the worker that opened it, which closes it
/// when it opened too late.
class SystemOutput::Stream {
public:
    explicit Stream(IRenderer& renderer) : gate(renderer) {}
    ~Stream() { Close(); }

    void Close()
    {
        if (jack)
            jack->Close();
        if (pulse)
            pulse->Close();
        if (alsa)
            alsa->Close();
    }

    Gate gate;
    std::unique_ptr<JackOutput> jack;
    std::unique_ptr<PulseOutput> pulse;
    std::unique_ptr<AlsaOutput> alsa;
    const char* name = "none";
    double latencySeconds = 0;
    double rewritableSeconds = 0;
    std::string failure;
    bool opened = false;
};

SystemOutput::SystemOutput() = default;

SystemOutput::~SystemOutput()
{
    Close();
}

Result SystemOutput::Open(std::uint32_t sampleRate, std::uint32_t blockFrames, IRenderer& renderer)
{
    Close();
    SilenceLibraries();
    lastFailure_.clear();
    struct Choice {
        const char* name;
        int deadlineMs;
    };
    constexpr Choice outputs[] = {{"jack", jackDeadlineMs}, {"pulse", pulseDeadlineMs}, {"alsa", alsaDeadlineMs}};
    for (int output = 0; output < 3; ++output) {
        const Choice& choice = outputs[output];
        auto stream = std::make_shared<Stream>(renderer);
        stream->name = choice.name;
        auto open = [stream, output, sampleRate, blockFrames, deadline = choice.deadlineMs] {
            Stream& s = *stream;
            switch (output) {
            case 0:
                // Our own client rather than RtAudio's: it knows the server's frame counter, which
                // RtAudio hides, so a cycle the server ran without us cannot shift later clicks.
                s.jack = std::make_unique<JackOutput>();
                s.opened = s.jack->Open(sampleRate, s.gate, s.failure);
                if (s.opened)
                    s.latencySeconds = s.jack->LatencySeconds();
                break;
            case 1:
                // Our own client rather than RtAudio's: it renders in libpulse's main-loop thread
                // when the server asks, instead of a thread of its own that hands each block to
                // that one (two wake-ups per block and a contended lock; several times the CPU).
                s.pulse = std::make_unique<PulseOutput>();
                s.opened = s.pulse->Open(sampleRate, blockFrames, pulseBufferMs, s.gate, s.failure, deadline - 200);
                if (s.opened) {
                    s.latencySeconds = s.pulse->LatencySeconds();
                    s.rewritableSeconds = s.pulse->QueueSeconds();
                }
                break;
            default:
                s.alsa = std::make_unique<AlsaOutput>();
                s.opened = s.alsa->Open(sampleRate, blockFrames, s.gate, s.failure);
                if (s.opened)
                    s.latencySeconds = s.alsa->LatencySeconds();
                break;
            }
        };
        // Opened after Open went on without it: nobody will play into it.
        auto late = [stream] { stream->Close(); };
        const DeadlineWorker::Outcome outcome = WorkerFor(output).Run(open, late, choice.deadlineMs);
        if (outcome == DeadlineWorker::Outcome::Done && stream->opened) {
            stream->gate.Take();
            stream_ = std::move(stream);
            return NoError;
        }
        stream->gate.Cut();
        lastFailure_ += lastFailure_.empty() ? "" : "; ";
        lastFailure_ += choice.name;
        lastFailure_ += ": ";
        if (outcome == DeadlineWorker::Outcome::Busy)
            lastFailure_ += "an earlier try is still waiting for an answer";
        else if (outcome == DeadlineWorker::Outcome::TimedOut)
            lastFailure_ += "no answer within " + std::to_string(choice.deadlineMs) + " ms";
        else
            lastFailure_ += stream->failure.empty() ? "failed" : stream->failure;
    }
    return NoDriver;
}

void SystemOutput::Close()
{
    if (stream_) {
        stream_->Close();
        stream_.reset();
    }
}

double SystemOutput::DeviceLatencySeconds() const
{
    return stream_ ? stream_->latencySeconds : 0.0;
}

double SystemOutput::RewritableSeconds() const
{
    return stream_ ? stream_->rewritableSeconds : 0.0;
}

const char* SystemOutput::Name() const
{
    return stream_ ? stream_->name : "none";
}

std::string SystemOutput::OutputIdentity() const
{
    if (!stream_)
        return {};
    if (stream_->jack)
        return "jack:" + stream_->jack->PlaybackPorts();
    if (stream_->pulse)
        return "pulse:" + stream_->pulse->SinkName();
    if (stream_->alsa)
        return "alsa:" + stream_->alsa->DeviceName();
    return {};
}

} // namespace Platform::Audio
