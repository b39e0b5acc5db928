#include "Platform/Audio/StreamKeeper.h"

#include "Platform/Clock.h"
#include "Platform/Thread.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

namespace Platform::Audio {

/// The way one stream reaches the renderer. Once cut, the stream's callbacks render silence and
/// never reach the renderer again, whatever its backend does later.
class StreamKeeper::Port final : public IRenderer {
public:
    explicit Port(IRenderer& target) : target_(target), lastCallback_(Clock::Now()) {}

    void Render(float* output, std::uint32_t frames, std::int64_t callbackTime) noexcept override
    {
        // Announced before live_ is read, and Cut clears live_ before it reads the count:
        // one of the two always sees the other.
        inside_.fetch_add(1);
        if (live_.load())
            target_.Render(output, frames, callbackTime);
        else
            std::memset(output, 0, sizeof(float) * 2 * frames);
        lastCallback_.store(callbackTime, std::memory_order_relaxed);
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

    void StreamFailed() noexcept override
    {
        failed_.store(true, std::memory_order_release);
        if (live_.load())
            target_.StreamFailed();
    }

    /// On return no callback of this stream is inside the renderer, and none will enter it.
    void Cut() noexcept
    {
        live_.store(false);
        while (inside_.load() != 0)
            std::this_thread::yield(); // a render takes a fraction of a block
    }

    bool Failed() const noexcept { return failed_.load(std::memory_order_acquire); }
    std::int64_t LastCallbackTime() const noexcept { return lastCallback_.load(std::memory_order_relaxed); }

private:
    IRenderer& target_;
    std::atomic<bool> live_{true};
    std::atomic<int> inside_{0};
    std::atomic<bool> failed_{false};
    std::atomic<std::int64_t> lastCallback_;
};

bool RunWithin(std::function<void()> job, std::function<void()> late, int timeoutMs)
{
    struct Handover {
        std::mutex lock;
        std::condition_variable ended;
        bool done = false;
        bool gaveUp = false;
    };
    auto handover = std::make_shared<Handover>();
    std::thread worker;
    const bool started = StartThread(worker, [handover, job, late] {
        job();
        bool gaveUp = false;
        {
            std::lock_guard guard(handover->lock);
            handover->done = true;
            gaveUp = handover->gaveUp;
        }
        handover->ended.notify_all();
        if (gaveUp && late)
            late();
    });
    if (!started) {
        job();
        return true;
    }
    std::unique_lock guard(handover->lock);
    if (handover->ended.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] { return handover->done; })) {
        guard.unlock();
        worker.join();
        return true;
    }
    handover->gaveUp = true;
    guard.unlock();
    worker.detach(); // it holds everything it uses, and ends when the call it waits for returns
    return false;
}

StreamKeeper::StreamKeeper(IAudioBackend& backend) : borrowed_(&backend) {}

StreamKeeper::StreamKeeper(BackendFactory factory) : factory_(std::move(factory)) {}

StreamKeeper::~StreamKeeper()
{
    Close(1000);
}

Result StreamKeeper::Open(std::uint32_t sampleRate, std::uint32_t blockFrames, IRenderer& renderer, int timeoutMs)
{
    Close(timeoutMs);
    lastFailure_.clear();
    std::shared_ptr<IAudioBackend> backend;
    if (factory_)
        backend = factory_();
    else if (borrowed_ != nullptr)
        backend = std::shared_ptr<IAudioBackend>(borrowed_, [](IAudioBackend*) {});
    if (!backend) {
        lastFailure_ = "no output";
        return NoDriver;
    }
    auto port = std::make_shared<Port>(renderer);
    auto result = std::make_shared<std::atomic<Result>>(NoDriver);
    auto failure = std::make_shared<std::string>(); // written by the worker before it ends
    const bool answered = RunWithin([backend, port, result, failure, sampleRate, blockFrames] {
        result->store(backend->Open(sampleRate, blockFrames, *port));
        *failure = backend->LastFailure();
    },
                                    [backend, result] {
                                        // Opened after the caller gave up: nobody will play into it.
                                        if (result->load() == NoError)
                                            backend->Close();
                                    },
                                    timeoutMs);
    if (!answered) {
        port->Cut();
        ++givenUp_;
        borrowed_ = nullptr; // a borrowed backend now belongs to the worker
        lastFailure_ = std::string(backend->Name()) + ": no answer within " + std::to_string(timeoutMs) + " ms";
        return NoDriver;
    }
    if (result->load() != NoError) {
        lastFailure_ = failure->empty() ? "the output did not open" : *failure;
        return result->load();
    }
    lastFailure_ = *failure; // the outputs passed over, if any
    backend_ = std::move(backend);
    port_ = std::move(port);
    return NoError;
}

void StreamKeeper::Close(int timeoutMs)
{
    if (!port_)
        return;
    port_->Cut();
    // The port goes with the backend: a stream given up may still call it when its server wakes.
    std::shared_ptr<IAudioBackend> backend = std::move(backend_);
    std::shared_ptr<Port> port = std::move(port_);
    if (!RunWithin([backend, port] { backend->Close(); }, {}, timeoutMs)) {
        ++givenUp_;
        borrowed_ = nullptr;
    }
}

bool StreamKeeper::Failed() const noexcept
{
    return port_ && port_->Failed();
}

std::int64_t StreamKeeper::LastCallbackTime() const noexcept
{
    return port_ ? port_->LastCallbackTime() : 0;
}

bool StreamKeeper::RunsByItself() const
{
    return backend_ && backend_->RunsByItself();
}

double StreamKeeper::DeviceLatencySeconds() const
{
    return backend_ ? backend_->DeviceLatencySeconds() : 0.0;
}

double StreamKeeper::RewritableSeconds() const
{
    return backend_ ? backend_->RewritableSeconds() : 0.0;
}

std::string StreamKeeper::BackendName() const
{
    return backend_ ? backend_->Name() : "none";
}

std::string StreamKeeper::OutputIdentity() const
{
    return backend_ && port_ ? backend_->OutputIdentity() : std::string();
}

} // namespace Platform::Audio
