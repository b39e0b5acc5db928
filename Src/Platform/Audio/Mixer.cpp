#include "Platform/Audio/Mixer.h"

#include "Platform/Clock.h"
#include "Platform/RealTime.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace Platform::Audio {

namespace {
// By the time a rewrite reaches the server, its read position may have moved on this far past
// where the clock map puts it (the wake-up, the rendering, the write).
constexpr double rewriteMarginSeconds = 0.02;
// The least time the tick path gets to hand a run's first sounds over before the stretch they
// go into is rendered again.
constexpr double handOverSeconds = 0.05;
// A new stream's first burst of requests is over this long after its first callback; the
// stream counts as steady once it has asked for this many milliseconds of frames after it.
constexpr std::uint32_t steadyBurstMs = 10;
constexpr std::uint32_t steadyPaceMs = 40;
} // namespace

std::int64_t BlockClock::StartFrame(const SoundStamp& stamp) const noexcept
{
    if (stamp.frameClock == &mixer_)
        return std::llround(stamp.frame) + mixer_.runShift_.load(std::memory_order_acquire);
    return std::llround(map_.FrameAt(stamp.time)) + mixer_.LatencyFrames();
}

std::uint32_t BlockClock::OffsetOf(std::int64_t startFrame) const noexcept
{
    const std::int64_t offset = startFrame - static_cast<std::int64_t>(firstFrame_);
    if (offset < 0) {
        mixer_.CountLate();
        return 0;
    }
    return offset >= frames_ ? frames_ : static_cast<std::uint32_t>(offset);
}

Mixer::Mixer(IAudioBackend& backend, const MixerOptions& options)
    : options_(options),
      rate_(options.sampleRate),
      latencyFrames_(std::llround(options.latencyMs * options.sampleRate / 1000.0)),
      stream_(backend)
{
    sem_init(&watchSignal_, 0, 0);
    rewriteSignal_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    watchThread_ = std::thread([this] { RunWatch(); });
}

Mixer::Mixer(BackendFactory factory, const MixerOptions& options)
    : options_(options),
      rate_(options.sampleRate),
      latencyFrames_(std::llround(options.latencyMs * options.sampleRate / 1000.0)),
      stream_(std::move(factory))
{
    sem_init(&watchSignal_, 0, 0);
    rewriteSignal_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    watchThread_ = std::thread([this] { RunWatch(); });
}

Mixer::~Mixer()
{
    watchRunning_.store(false, std::memory_order_release);
    sem_post(&watchSignal_);
    watchThread_.join();
    sem_destroy(&watchSignal_);
    std::lock_guard lock(control_);
    stream_.Close(options_.closeTimeoutMs);
    clients_ = 0;
    if (rewriteSignal_ >= 0)
        close(rewriteSignal_);
}

Result Mixer::Acquire()
{
    std::lock_guard lock(control_);
    if (clients_ > 0) {
        if (state_.load() == Lost)
            return NoDriver;
        ++clients_;
        return NoError;
    }
    const Result result = OpenStream();
    if (result == NoError)
        clients_ = 1;
    return result;
}

void Mixer::Release()
{
    std::lock_guard lock(control_);
    if (clients_ == 0)
        return;
    if (--clients_ == 0) {
        rewritableFrames_.store(0, std::memory_order_relaxed);
        stream_.Close(options_.closeTimeoutMs);
        state_.store(Closed);
    }
}

Result Mixer::Restore()
{
    std::lock_guard lock(control_);
    if (state_.load() != Lost)
        return clients_ > 0 ? NoError : NoDriver;
    stream_.Close(options_.closeTimeoutMs);
    const Result result = OpenStream();
    if (result != NoError)
        state_.store(Lost);
    return result;
}

std::uint64_t Mixer::StreamsGivenUp() const
{
    std::lock_guard lock(control_);
    return stream_.GivenUp();
}

std::string Mixer::BackendName() const
{
    std::lock_guard lock(control_);
    return stream_.BackendName();
}

std::string Mixer::OutputIdentity() const
{
    std::unique_lock lock(control_, std::try_to_lock);
    const std::lock_guard identity(identityLock_);
    // A lost stream still names the output it played into until another one opens.
    if (lock.owns_lock() && state_.load() != Lost)
        outputIdentity_ = state_.load() == Playing ? stream_.OutputIdentity() : std::string();
    return outputIdentity_;
}

std::string Mixer::LastFailure() const
{
    std::lock_guard lock(control_);
    return lastFailure_;
}

double Mixer::DeviceLatencySeconds() const
{
    std::lock_guard lock(control_);
    return stream_.DeviceLatencySeconds();
}

Result Mixer::OpenStream()
{
    // No stream renders now: the audio thread's state may be reset.
    frame_ = 0;
    rendered_.store(0, std::memory_order_release);
    rewritableFrames_.store(0, std::memory_order_relaxed);
    silentFrom_.store(0, std::memory_order_relaxed);
    rewriteDue_.store(0, std::memory_order_relaxed);
    // At the asked rate unless the backend says the output runs at its own (StreamRate).
    SetRate(options_.sampleRate);
    const Result result = stream_.Open(options_.sampleRate, options_.blockFrames, *this, options_.openTimeoutMs);
    lastFailure_ = stream_.LastFailure();
    if (result != NoError)
        return result;
    if (!WaitUntilSteady()) {
        lastFailure_ = stream_.BackendName() + ": the stream did not run steadily";
        stream_.Close(options_.closeTimeoutMs);
        return NoDriver;
    }
    outputLatency_.store(std::llround(stream_.DeviceLatencySeconds() * Clock::CountsPerSecond),
                         std::memory_order_relaxed);
    rewritableFrames_.store(std::llround(stream_.RewritableSeconds() * SampleRate()), std::memory_order_relaxed);
    state_.store(Playing);
    return NoError;
}

void Mixer::StreamRate(std::uint32_t sampleRate, ClockMap::Times times) noexcept
{
    if (sampleRate > 0)
        SetRate(sampleRate, times);
}

void Mixer::SetRate(std::uint32_t sampleRate, ClockMap::Times times) noexcept
{
    rate_.store(sampleRate, std::memory_order_release);
    latencyFrames_.store(std::llround(options_.latencyMs * sampleRate / 1000.0), std::memory_order_relaxed);
    clock_.Reset(sampleRate, times);
    // Until the first callback says otherwise, frame 0 is rendered now at the nominal rate.
    lineSequence_.store(0, std::memory_order_relaxed);
    lineTime_.store(static_cast<double>(Clock::Now()), std::memory_order_relaxed);
    lineFrame_.store(0, std::memory_order_relaxed);
    linePeriod_.store(1e9 / sampleRate, std::memory_order_relaxed);
    lineSequence_.store(2, std::memory_order_release);
}

bool Mixer::WaitUntilSteady()
{
    if (!stream_.RunsByItself())
        return true;
    // A freshly opened stream is filled in a burst (a sound server's first request is most of
    // its buffer, an ALSA device's periods come back to back); sounds are placed only once its
    // callbacks have come at their steady pace for a while and the clock map has followed
    // them. Counted from the burst's end, not from the first frame: a server that asks for
    // 120 ms at once would otherwise hold the first Start of the program that much longer.
    const std::int64_t deadline = Clock::Now() + 3'000'000'000LL;
    const auto waitFor = [&](std::uint64_t frames) {
        while (rendered_.load(std::memory_order_acquire) < frames) {
            if (Clock::Now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    };
    if (!waitFor(1))
        return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(steadyBurstMs));
    return waitFor(rendered_.load(std::memory_order_acquire) + SampleRate() * steadyPaceMs / 1000);
}

void Mixer::Watch() noexcept
{
    if (state_.load(std::memory_order_acquire) != Playing)
        return;
    // Opening or closing holds the lock for a while; the next look will do.
    std::unique_lock lock(control_, std::try_to_lock);
    if (!lock.owns_lock() || state_.load() != Playing)
        return;
    const std::int64_t silentFor = Clock::Now() - stream_.LastCallbackTime();
    if (stream_.Failed() || (stream_.RunsByItself() && silentFor > std::int64_t{options_.stallMs} * 1'000'000))
        state_.store(Lost, std::memory_order_release);
}

bool Mixer::AddVoice(IVoice& voice)
{
    std::lock_guard lock(control_);
    for (std::size_t i = 0; i < MaxVoices; ++i) {
        if (voices_[i].load(std::memory_order_relaxed) == nullptr) {
            voices_[i].store(&voice, std::memory_order_release);
            if (i + 1 > voiceLimit_.load(std::memory_order_relaxed))
                voiceLimit_.store(i + 1, std::memory_order_release);
            return true;
        }
    }
    return false;
}

void Mixer::RemoveVoice(IVoice& voice)
{
    {
        std::lock_guard lock(control_);
        for (auto& slot : voices_) {
            if (slot.load(std::memory_order_relaxed) == &voice)
                slot.store(nullptr);
        }
    }
    WaitForCallback();
}

void Mixer::WaitForCallback()
{
    // A callback that started before the slot was cleared may still use the voice; wait for
    // it to end. A callback that starts afterwards cannot see the voice any more.
    // Sequentially consistent on both sides, so that clearing the slot cannot be ordered
    // after reading the epoch.
    const std::uint64_t epoch = epoch_.load();
    if ((epoch & 1) == 0)
        return;
    while (epoch_.load() == epoch)
        std::this_thread::yield();
}

void Mixer::RunWatch()
{
    pthread_setname_np(pthread_self(), "tolvane-watch");
    for (;;) {
        timespec until{};
        clock_gettime(CLOCK_REALTIME, &until);
        // A stall is looked for four times a second (it takes stallMs to count); a failure
        // the backend reports wakes this thread at once (StreamFailed).
        until.tv_nsec += 250'000'000;
        if (until.tv_nsec >= 1'000'000'000) {
            until.tv_nsec -= 1'000'000'000;
            ++until.tv_sec;
        }
        while (sem_timedwait(&watchSignal_, &until) != 0 && errno == EINTR) {
        }
        Watch();
        if (!watchRunning_.load(std::memory_order_acquire))
            return;
    }
}

void Mixer::PublishLine() noexcept
{
    const ClockMap::Line line = clock_.CurrentLine();
    const std::uint32_t sequence = lineSequence_.load(std::memory_order_relaxed);
    lineSequence_.store(sequence + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    lineTime_.store(line.anchorTime, std::memory_order_relaxed);
    lineFrame_.store(line.anchorFrame, std::memory_order_relaxed);
    linePeriod_.store(line.periodNs, std::memory_order_relaxed);
    lineSequence_.store(sequence + 2, std::memory_order_release);
}

ClockMap::Line Mixer::ReadLine() const noexcept
{
    ClockMap::Line line;
    for (;;) {
        const std::uint32_t before = lineSequence_.load(std::memory_order_acquire);
        if (before & 1)
            continue; // the audio thread is writing it; that takes nanoseconds
        line.anchorTime = lineTime_.load(std::memory_order_relaxed);
        line.anchorFrame = lineFrame_.load(std::memory_order_relaxed);
        line.periodNs = linePeriod_.load(std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_acquire);
        if (lineSequence_.load(std::memory_order_relaxed) == before)
            return line;
    }
}

double Mixer::AnchorFrame() const noexcept
{
    // Nothing at or before the frames already rendered can still sound on its frame; a
    // stream that renders ahead in bursts may be past where the clock map puts it now.
    const ClockMap::Line line = ReadLine();
    const double position = std::max(static_cast<double>(rendered_.load(std::memory_order_acquire)),
                                     line.anchorFrame + (static_cast<double>(Clock::Now()) - line.anchorTime) / line.periodNs);
    return std::ceil(position) + static_cast<double>(LatencyFrames())
           - static_cast<double>(runShift_.load(std::memory_order_acquire));
}

double Mixer::RunStartFrame() const noexcept
{
    runShift_.store(0, std::memory_order_release); // a new run counts frames as the stream does
    const double usual = AnchorFrame();
    const auto rewritable = static_cast<double>(rewritableFrames_.load(std::memory_order_relaxed));
    if (rewritable <= 0 || rewriteDue_.load(std::memory_order_acquire) != 0)
        return usual;
    const ClockMap::Line line = ReadLine();
    const auto now = static_cast<double>(Clock::Now());
    const double position = line.anchorFrame + (now - line.anchorTime) / line.periodNs;
    // The frame leaving the speaker now, one lead on; never over a sound that still plays, and
    // never so close to where the server reads that the sounds could not be handed over and
    // rendered before it gets there. The server holds the frames from position - rewritable on.
    const double rate = SampleRate();
    const double heard = position - static_cast<double>(outputLatency_.load(std::memory_order_relaxed)) / line.periodNs
                         + static_cast<double>(LatencyFrames());
    const double reachable = position - rewritable + (rewriteMarginSeconds + handOverSeconds) * rate;
    const double frame = std::ceil(
        std::max({heard, reachable, static_cast<double>(silentFrom_.load(std::memory_order_acquire))}));
    if (frame >= usual)
        return usual;
    // Rendered again as late as is safe: just before the server may reach the frame.
    const double due = line.anchorTime + (frame + rewritable - rewriteMarginSeconds * rate - line.anchorFrame) * line.periodNs;
    rewriteFrom_.store(static_cast<std::uint64_t>(frame), std::memory_order_relaxed);
    rewriteDue_.store(std::max<std::int64_t>(1, std::llround(due)), std::memory_order_release);
    // The backend learns of it now, and renders the stretch again at that time.
    const std::uint64_t one = 1;
    if (write(rewriteSignal_, &one, sizeof one) < 0) {
        // Without the wake-up its next request finds it.
    }
    return frame;
}

std::uint32_t Mixer::FramesToRewrite(std::int64_t& dueTime, std::uint64_t serverRead) noexcept
{
    const RealTimeSection realTime;
    dueTime = rewriteDue_.load(std::memory_order_acquire);
    if (dueTime == 0 || Clock::Now() < dueTime)
        return 0;
    dueTime = 0;
    rewriteDue_.store(0, std::memory_order_release);
    const std::uint64_t from = rewriteFrom_.load(std::memory_order_relaxed);
    // A sound that started after the run was anchored (one requested outside a tick) cannot
    // be rendered again from its middle: then the run's first sounds come late, as counted.
    if (from >= frame_ || silentFrom_.load(std::memory_order_relaxed) > from || frame_ - from > SampleRate())
        return 0;
    if (serverRead > from) {
        // The server has read into the stretch: written again, its first click would be cut.
        // Everything rendered from the stretch on is silence, so the run moves as a whole to
        // where a fresh anchor puts its first tick, the next frame to render plus the lead;
        // every later tick keeps its distance from it.
        runShift_.store(static_cast<std::int64_t>(frame_) + LatencyFrames() - static_cast<std::int64_t>(from),
                        std::memory_order_release);
        rewriteFallbacks_.fetch_add(1, std::memory_order_relaxed);
        return 0;
    }
    const auto frames = static_cast<std::uint32_t>(frame_ - from);
    frame_ = from;
    return frames;
}

std::int64_t Mixer::HandOverTime(double frame) const noexcept
{
    frame += static_cast<double>(runShift_.load(std::memory_order_acquire));
    const ClockMap::Line line = ReadLine();
    return std::llround(line.anchorTime + (frame - static_cast<double>(LatencyFrames()) - line.anchorFrame) * line.periodNs);
}

std::int64_t Mixer::HeardTime(double frame) const noexcept
{
    frame += static_cast<double>(runShift_.load(std::memory_order_acquire));
    const ClockMap::Line line = ReadLine();
    return std::llround(line.anchorTime + (frame - line.anchorFrame) * line.periodNs)
           + outputLatency_.load(std::memory_order_relaxed) + heardOffset_.load(std::memory_order_relaxed);
}

void Mixer::FramesMissed(std::uint32_t frames) noexcept
{
    const RealTimeSection realTime;
    missed_.fetch_add(frames, std::memory_order_relaxed);
    frame_ += frames;
    rendered_.store(frame_, std::memory_order_release);
}

bool Mixer::CaptureInto(CaptureQueue* blocks)
{
    if (blocks != nullptr && BackendName() != "jack")
        return false;
    capture_.store(blocks, std::memory_order_release);
    if (blocks == nullptr)
        WaitForCallback();
    return true;
}

void Mixer::AudioIn(const float* samples, std::uint32_t frames, double latencyFrames) noexcept
{
    CaptureQueue* blocks = capture_.load(std::memory_order_acquire);
    if (blocks == nullptr)
        return;
    const RealTimeSection realTime;
    // Sample i was captured while frame frame_ + i - latencyFrames was rendered, and heard when
    // the output's latency had passed after that.
    const double heard = static_cast<double>(frame_) - latencyFrames
                         - static_cast<double>(outputLatency_.load(std::memory_order_relaxed)) * SampleRate() / 1e9;
    for (std::uint32_t done = 0; done < frames;) {
        CaptureBlock block;
        block.frames = std::min(frames - done, CaptureBlock::MaxFrames);
        block.heardFrame = heard + done;
        std::copy(samples + done, samples + done + block.frames, block.samples.begin());
        blocks->Push(block);
        done += block.frames;
    }
}

void Mixer::MidiIn(std::uint32_t frameInBlock, const std::uint8_t* bytes, std::size_t size) noexcept
{
    if (size < 1 || size > 3)
        return; // system exclusive and the like: nothing anyone here listens to
    StampedMidi message;
    message.frame = frame_ + frameInBlock;
    message.size = static_cast<std::uint8_t>(size);
    for (std::size_t i = 0; i < size; ++i)
        message.bytes[i] = bytes[i];
    midiIn_.Push(message);
}

void Mixer::Render(float* output, std::uint32_t frames, std::int64_t callbackTime) noexcept
{
    const RealTimeSection realTime;
    epoch_.fetch_add(1);
    const std::uint64_t rendered = rendered_.load(std::memory_order_relaxed);
    // Frames rendered again (FramesToRewrite) were asked for long ago: the map keeps its line.
    const bool again = frame_ < rendered;
    if (!again) {
        clock_.Update(callbackTime, frame_);
        PublishLine();
    }
    std::memset(output, 0, sizeof(float) * 2 * frames);
    // While a run's first ticks go into rendered silence, new frames stay silent too and are
    // rendered with them: a tick handed over meanwhile must not start late.
    bool mixed = false;
    if (again || rewriteDue_.load(std::memory_order_acquire) == 0) {
        const BlockClock clock(*this, clock_, frame_, frames);
        const std::size_t limit = voiceLimit_.load(std::memory_order_acquire);
        for (std::size_t i = 0; i < limit; ++i) {
            if (IVoice* voice = voices_[i].load()) {
                voice->Mix(output, clock);
                mixed = true;
            }
        }
    }
    // Where the last sound ends; a block no voice played into is silence and costs nothing.
    for (std::size_t i = mixed ? 2 * std::size_t{frames} : 0; i-- > 0;) {
        if (output[i] != 0.0f) {
            silentFrom_.store(frame_ + i / 2 + 1, std::memory_order_release);
            break;
        }
    }
    frame_ += frames;
    if (frame_ > rendered)
        rendered_.store(frame_, std::memory_order_release);
    epoch_.fetch_add(1);
}

} // namespace Platform::Audio
