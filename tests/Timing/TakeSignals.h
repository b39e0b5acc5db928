#pragma once
// Generated takes with a known truth, for the timing tests and the scoring benchmark: a
// percussive hit (a stick on wood: a noise burst and a damped 1.7 kHz ring, rising within
// 0.1 ms) mixed in at chosen frames, a click of another colour for the leak, and noise.
#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

namespace TakeSignals {

inline std::vector<float> Hit(double rate, std::uint32_t seed = 7)
{
    std::mt19937 random(seed);
    std::normal_distribution<float> noise(0.0f, 1.0f);
    const auto length = static_cast<std::size_t>(rate * 0.06);
    std::vector<float> hit(length);
    for (std::size_t n = 0; n < length; ++n) {
        const double t = static_cast<double>(n) / rate;
        const double attack = std::min(1.0, t / 0.0001);
        hit[n] = static_cast<float>(attack * (0.5 * std::exp(-t / 0.004) * noise(random)
                                              + 0.6 * std::exp(-t / 0.012) * std::sin(2 * std::numbers::pi * 1700 * t)));
    }
    return hit;
}

/// The metronome's click as a microphone hears it from a speaker: a 2.5 kHz blip of 8 ms.
inline std::vector<float> Click(double rate)
{
    const auto length = static_cast<std::size_t>(rate * 0.008);
    std::vector<float> click(length);
    for (std::size_t n = 0; n < length; ++n) {
        const double t = static_cast<double>(n) / rate;
        click[n] = static_cast<float>(std::exp(-t / 0.002) * std::sin(2 * std::numbers::pi * 2500 * t));
    }
    return click;
}

/// Adds sound x gain at frame (whole frames; the sound's first sample lands there).
inline void Mix(std::vector<float>& take, const std::vector<float>& sound, double frame, float gain)
{
    const auto start = static_cast<std::int64_t>(std::llround(frame));
    for (std::size_t n = 0; n < sound.size(); ++n) {
        const std::int64_t at = start + static_cast<std::int64_t>(n);
        if (at >= 0 && at < static_cast<std::int64_t>(take.size()))
            take[static_cast<std::size_t>(at)] += gain * sound[n];
    }
}

/// White noise at level (RMS).
inline void AddNoise(std::vector<float>& take, float level, std::uint32_t seed = 11)
{
    std::mt19937 random(seed);
    std::normal_distribution<float> noise(0.0f, level);
    for (float& sample : take)
        sample += noise(random);
}

} // namespace TakeSignals
