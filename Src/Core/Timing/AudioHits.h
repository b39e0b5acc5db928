#pragma once
#include "Core/Timing/OnsetDetector.h"
#include "Platform/Audio/CaptureBlocks.h"
#include "Platform/Audio/PulseCapture.h"

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <thread>

namespace Platform::Audio {
class Mixer;
}

namespace Core::Timing {

/// Hits played into a microphone or a line input, live, on the output's frames: the capture
/// (through JACK, the output's own client's port Tolvane:in_1; otherwise a record stream of the
/// sound server's default source, PulseCapture) queues its blocks, each stamped with the output
/// frame heard when it was captured; a thread of its own looks for onsets in them (OnsetStream)
/// and queues each hit's frame, less the round trip a calibration measured (or the output
/// offset).
///
/// What the input hears in its first second is not taken (the server settles its latency then).
/// The metronome's clicks are named as they are handed to the output (Click, on the timer
/// thread: wait-free), so that their sound leaking into the microphone is not taken for hits.
/// Neither the capture's thread nor the timer thread locks, allocates or logs here; the
/// detector's thread allocates nothing after Start.
class AudioHits {
public:
    AudioHits();
    ~AudioHits();
    AudioHits(const AudioHits&) = delete;
    AudioHits& operator=(const AudioHits&) = delete;

    /// Starts capturing beside mixer's open stream (which must stay open until Stop).
    /// roundTrips: the calibrated round trips (RoundTripOf's table); this pair's is taken off
    /// every hit, or without one the output offset (HitShiftMs); calibrating: nothing, each hit
    /// the frame leaving the output when it was captured. False, with the reason, when no
    /// input can be opened.
    bool Start(Platform::Audio::Mixer& mixer, const std::string& roundTrips, std::string& failure, bool calibrating = false);
    /// Stops capturing; hits not taken yet stay to be taken. Control thread.
    void Stop();
    bool Running() const { return worker_.joinable(); }
    /// What is recorded: "jack:Tolvane:in_1", "pulse:" and the source's name.
    const std::string& InputName() const { return inputName_; }
    /// The pair of output and input (PairKey), once started.
    const std::string& Pair() const { return pair_; }
    /// The round trip taken off each hit, ms; none when this pair was not calibrated.
    std::optional<double> RoundTripMs() const { return roundTripMs_; }
    /// The processor time the detector's thread took, seconds (after Stop).
    double DetectorSeconds() const { return detectorSeconds_.load(std::memory_order_acquire); }

    /// Before a run, while stopped: forgets the clicks named and the hits not taken.
    void Forget() noexcept;
    /// Timer thread: a click sounds at frame (as the run's ticks count frames); kept until
    /// the input runs, so that the clicks of a run's first ticks, handed over before Start,
    /// are known. Wait-free.
    void Click(double frame) noexcept;
    /// The next hit found, the frame heard when it was played; false when none waits.
    /// One consumer thread.
    bool Take(double& frame) noexcept { return hits_.Pop(frame); }

private:
    struct Stamp {
        double first = 0;      // the block's first frame counted by the detector
        double heardFrame = 0; // its stamp
    };
    /// From the input's opening to its first hit or click.
    static constexpr double SettleSeconds = 1.0;
    void Run() noexcept;
    /// Detector's thread: looks at every block queued by now.
    void Drain() noexcept;
    double HeardFrameOf(double detectorFrame) const noexcept;

    Platform::Audio::Mixer* mixer_ = nullptr;
    Platform::Audio::CaptureQueue blocks_{1024};
    Platform::SpscQueue<double> clicks_{256};
    Platform::SpscQueue<double> hits_{1024};
    Platform::Audio::PulseCapture pulse_;
    std::unique_ptr<OnsetStream> detector_;
    std::unique_ptr<Stamp[]> stamps_; // the last StampCount blocks'
    static constexpr std::size_t StampCount = 4096;
    std::size_t stamped_ = 0;
    double skipped_ = 0; // frames of the input's first moments, not looked at
    double roundTrip_ = 0; // frames taken off every hit (and added to every click)
    std::string inputName_;
    std::string pair_;
    std::optional<double> roundTripMs_;
    std::atomic<double> detectorSeconds_{0};
    std::atomic<bool> running_{false};
    std::thread worker_;
};

} // namespace Core::Timing
