#include "Core/Timing/AudioHits.h"

#include "Core/Timing/Calibration.h"

#include "Platform/Audio/Mixer.h"

#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <span>

namespace Core::Timing {

AudioHits::AudioHits() : stamps_(std::make_unique<Stamp[]>(StampCount)) {}

AudioHits::~AudioHits()
{
    Stop();
}

bool AudioHits::Start(Platform::Audio::Mixer& mixer, const std::string& roundTrips, std::string& failure, bool calibrating)
{
    Stop();
    mixer_ = &mixer;
    stamped_ = 0;
    skipped_ = 0;
    Platform::Audio::CaptureBlock stale;
    while (blocks_.Pop(stale)) {
    }
    detector_ = std::make_unique<OnsetStream>(mixer.SampleRate());
    if (mixer.BackendName() == "jack") {
        if (!mixer.CaptureInto(&blocks_)) {
            failure = "jack: no input port";
            return false;
        }
        inputName_ = "jack:Tolvane:in_1";
    } else {
        if (!pulse_.Open(mixer.SampleRate(), mixer, blocks_, failure))
            return false;
        inputName_ = pulse_.SourceName();
    }
    pair_ = PairKey(mixer, inputName_);
    roundTripMs_ = RoundTripOf(roundTrips, pair_);
    const double offsetMs = static_cast<double>(mixer.HeardOffset()) / 1e6;
    roundTrip_ = calibrating ? 0.0 : HitShiftMs(roundTrips, pair_, offsetMs) * mixer.SampleRate() / 1000.0;
    running_.store(true, std::memory_order_release);
    worker_ = std::thread([this] { Run(); });
    return true;
}

void AudioHits::Stop()
{
    if (!worker_.joinable())
        return;
    if (mixer_ != nullptr)
        mixer_->CaptureInto(nullptr);
    pulse_.Close();
    running_.store(false, std::memory_order_release);
    worker_.join();
    Drain(); // what was captured up to the end
}

void AudioHits::Forget() noexcept
{
    for (double old = 0; clicks_.Pop(old);) {
    }
    for (double old = 0; hits_.Pop(old);) {
    }
}

void AudioHits::Click(double frame) noexcept
{
    clicks_.Push(frame); // (a full queue, with no one listening, keeps what it has)
}

void AudioHits::Run() noexcept
{
    while (running_.load(std::memory_order_acquire)) {
        // Woken by the capture (or every few milliseconds through JACK, whose blocks come
        // at the cycle's pace anyway).
        const int signal = pulse_.Signal();
        if (signal >= 0) {
            pollfd watched{signal, POLLIN, 0};
            if (poll(&watched, 1, 20) > 0) {
                std::uint64_t count = 0;
                if (read(signal, &count, sizeof count) < 0) {
                    // Read empty by an earlier wake-up.
                }
            }
        } else {
            poll(nullptr, 0, 5);
        }
        Drain();
    }
    timespec used{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &used);
    detectorSeconds_.store(static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) / 1e9,
                           std::memory_order_release);
}

void AudioHits::Drain() noexcept
{
    while (const Platform::Audio::CaptureBlock* block = blocks_.Front()) {
        // A sound server settles the input's latency in its first moments: what is heard then
        // is neither a hit nor a click to learn from.
        if (skipped_ < mixer_->SampleRate() * SettleSeconds) {
            skipped_ += block->frames;
            blocks_.Drop();
            continue;
        }
        const double first = static_cast<double>(detector_->Frames());
        stamps_[stamped_++ % StampCount] = {first, block->heardFrame};
        // The clicks handed over by now, where the input will hear them.
        const double offset = block->heardFrame - first;
        for (double click = 0; clicks_.Pop(click);)
            if (click + roundTrip_ - offset >= 0)
                detector_->Click(click + roundTrip_ - offset);
        detector_->Feed(std::span<const float>(block->samples.data(), block->frames));
        blocks_.Drop();
        for (Onset onset; detector_->Take(onset);)
            hits_.Push(HeardFrameOf(onset.frame) - roundTrip_);
    }
}

double AudioHits::HeardFrameOf(double detectorFrame) const noexcept
{
    // The block the frame lies in, from the newest back.
    const std::size_t known = std::min(stamped_, StampCount);
    for (std::size_t back = 1; back <= known; ++back) {
        const Stamp& stamp = stamps_[(stamped_ - back) % StampCount];
        if (stamp.first <= detectorFrame || back == known)
            return stamp.heardFrame + (detectorFrame - stamp.first);
    }
    return detectorFrame;
}

} // namespace Core::Timing
