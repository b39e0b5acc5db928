#pragma once
#include "Platform/Audio/Mixer.h"

#include <atomic>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace Core::Timing {

/// The round-trip calibration of an audio input: a short sequence of clicks played through
/// the output and found again in the input (a speaker into a microphone, or a loopback).

/// The sequence's clicks, frames after its first, at rate: eight, their gaps all different
/// (0.30 to 0.47 s), so that no shift but the true one lines up more than two of them.
std::vector<double> CalibrationFrames(double rate);

/// The click played: a broadband burst of 3 ms that any microphone picks up with a sharp attack.
std::vector<float> CalibrationClick(double rate);

/// What the input adds to each click: the shift (frames) that takes the most played clicks to
/// an onset found within 1 ms of it, at least six in eight of them, refined to the median of
/// those. Onsets more than 1 s after a click or 0.2 s before it are not considered. None when
/// no shift lines up enough of them.
std::optional<double> EstimateRoundTrip(std::span<const double> played, std::span<const double> found, double rate);

/// The key a round trip is kept under: the output (Mixer::OutputIdentity: the sink, the JACK
/// ports, the device) and the input (AudioHits::InputName), "OUTPUT>INPUT".
std::string PairKey(const Platform::Audio::Mixer& mixer, const std::string& input);

/// Round trips kept per pair of output and input, as the settings file keeps them: entries
/// "OUTPUT>INPUT=MS" separated by '|' (names free of '|' and '='; '>' may occur in neither).
std::optional<double> RoundTripOf(const std::string& table, const std::string& pair);
/// table with pair's round trip set to ms (added, or replacing the one kept).
std::string WithRoundTrip(const std::string& table, const std::string& pair, double ms);
/// What is taken off each hit an audio input hears on pair (ms): the round trip calibrated for
/// it, which covers the whole way from the output to the player (a speaker the microphone
/// hears); uncalibrated, the output offset, the delay before the player hears a click
/// (headphones, which the microphone cannot hear, so that no round trip can be measured).
double HitShiftMs(const std::string& roundTrips, const std::string& pair, double outputOffsetMs);

/// Plays the calibration clicks on their frames (on the mixer's frame clock, as a run's ticks
/// are counted): a voice of the mixer, added for the calibration and removed after it.
class CalibrationVoice final : public Platform::Audio::IVoice {
public:
    CalibrationVoice(const Platform::Audio::Mixer& mixer, std::vector<double> frames);
    void Mix(float* output, const Platform::Audio::BlockClock& clock) noexcept override;

private:
    const Platform::Audio::Mixer& mixer_;
    std::vector<double> frames_;
    std::vector<float> click_;
};

} // namespace Core::Timing
