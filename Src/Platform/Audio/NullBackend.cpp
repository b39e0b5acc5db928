#include "Platform/Audio/NullBackend.h"

#include "Platform/Clock.h"

#include <algorithm>
#include <cstring>
#include <pthread.h>
#include <time.h>

namespace Platform::Audio {

NullBackend::NullBackend(std::size_t captureFrames, std::size_t timingBlocks)
    : captured_(2 * captureFrames), renderTimes_(timingBlocks), block_(2 * std::size_t{MaxBlockFrames})
{
}

NullBackend::~NullBackend()
{
    Close();
}

Result NullBackend::Open(std::uint32_t sampleRate, std::uint32_t blockFrames, IRenderer& renderer)
{
    Close();
    if (blockFrames == 0 || blockFrames > MaxBlockFrames || sampleRate == 0)
        return InvalidParameter;
    capturedFrames_ = 0;
    renderTimeCount_ = 0;
    running_.store(true, std::memory_order_release);
    try {
        thread_ = std::thread([this, sampleRate, blockFrames, &renderer] { Run(sampleRate, blockFrames, &renderer); });
    } catch (...) {
        running_.store(false);
        return NoMemory;
    }
    return NoError;
}

void NullBackend::Close()
{
    running_.store(false, std::memory_order_release);
    if (thread_.joinable())
        thread_.join();
}

void NullBackend::Run(std::uint32_t sampleRate, std::uint32_t blockFrames, IRenderer* renderer)
{
    // As high as a sound card's thread would run; without the right to do so, it runs anyway.
    sched_param parameter{};
    parameter.sched_priority = std::max(1, sched_get_priority_max(SCHED_FIFO) - 10);
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &parameter);

    const std::int64_t start = Clock::Now();
    std::uint64_t frames = 0;
    while (running_.load(std::memory_order_acquire)) {
        // Block k is due when the frames before it have been played at the nominal rate.
        const std::int64_t due = start + static_cast<std::int64_t>(static_cast<double>(frames) * 1e9 / sampleRate);
        timespec until{static_cast<time_t>(due / 1'000'000'000), static_cast<long>(due % 1'000'000'000)};
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) != 0 && running_.load()) {
        }
        const std::int64_t before = Clock::Now();
        // The block's own due time, not the wake-up's: without a device, the stream's frame
        // clock is the steady clock times the rate, exactly.
        renderer->Render(block_.data(), blockFrames, due);
        const std::int64_t after = Clock::Now();
        if (renderTimeCount_ < renderTimes_.size())
            renderTimes_[renderTimeCount_++] = after - before;
        const std::size_t keep = std::min<std::size_t>(blockFrames, captured_.size() / 2 - capturedFrames_);
        if (keep > 0) { // nothing kept: captured_ may be empty, its data() null
            std::memcpy(captured_.data() + 2 * capturedFrames_, block_.data(), keep * 2 * sizeof(float));
            capturedFrames_ += keep;
        }
        frames += blockFrames;
    }
}

} // namespace Platform::Audio
