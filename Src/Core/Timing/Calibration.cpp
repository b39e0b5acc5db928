#include "Core/Timing/Calibration.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <random>

namespace Core::Timing {

std::vector<double> CalibrationFrames(double rate)
{
    static constexpr double gaps[] = {0.30, 0.41, 0.35, 0.47, 0.33, 0.39, 0.44};
    std::vector<double> frames{0.0};
    for (double gap : gaps)
        frames.push_back(frames.back() + std::round(gap * rate));
    return frames;
}

std::vector<float> CalibrationClick(double rate)
{
    std::mt19937 random(5);
    std::normal_distribution<float> noise(0.0f, 1.0f);
    std::vector<float> click(static_cast<std::size_t>(rate * 0.003));
    for (std::size_t n = 0; n < click.size(); ++n) {
        const double t = static_cast<double>(n) / rate;
        click[n] = static_cast<float>(std::exp(-t / 0.0008) * (0.35 * noise(random) + 0.4 * std::sin(2 * std::numbers::pi * 3000 * t)));
    }
    return click;
}

std::optional<double> EstimateRoundTrip(std::span<const double> played, std::span<const double> found, double rate)
{
    const double tolerance = rate * 0.001;
    const std::size_t needed = (played.size() * 3 + 3) / 4;
    std::optional<double> best;
    std::size_t bestCount = 0;
    std::vector<double> shifts;
    for (double p : played) {
        for (double f : found) {
            const double shift = f - p;
            if (shift < -0.2 * rate || shift > 1.0 * rate)
                continue;
            shifts.clear();
            for (double q : played) {
                const auto near = std::min_element(found.begin(), found.end(), [&](double a, double b) {
                    return std::abs(a - q - shift) < std::abs(b - q - shift);
                });
                if (std::abs(*near - q - shift) <= tolerance)
                    shifts.push_back(*near - q);
            }
            if (shifts.size() > bestCount) {
                bestCount = shifts.size();
                std::sort(shifts.begin(), shifts.end());
                best = shifts.size() % 2 == 1 ? shifts[shifts.size() / 2]
                                              : 0.5 * (shifts[shifts.size() / 2 - 1] + shifts[shifts.size() / 2]);
            }
        }
    }
    if (bestCount < needed)
        return std::nullopt;
    return best;
}

std::string PairKey(const Platform::Audio::Mixer& mixer, const std::string& input)
{
    return mixer.OutputIdentity() + '>' + input;
}

std::optional<double> RoundTripOf(const std::string& table, const std::string& pair)
{
    std::size_t start = 0;
    while (start <= table.size()) {
        const std::size_t end = std::min(table.find('|', start), table.size());
        const std::string entry = table.substr(start, end - start);
        if (const std::size_t equals = entry.rfind('='); equals != std::string::npos && entry.substr(0, equals) == pair) {
            char* rest = nullptr;
            const double ms = std::strtod(entry.c_str() + equals + 1, &rest);
            if (rest != entry.c_str() + equals + 1 && std::isfinite(ms))
                return ms;
        }
        start = end + 1;
    }
    return std::nullopt;
}

double HitShiftMs(const std::string& roundTrips, const std::string& pair, double outputOffsetMs)
{
    return RoundTripOf(roundTrips, pair).value_or(outputOffsetMs);
}

std::string WithRoundTrip(const std::string& table, const std::string& pair, double ms)
{
    std::string kept;
    std::size_t start = 0;
    while (start < table.size()) {
        const std::size_t end = std::min(table.find('|', start), table.size());
        const std::string entry = table.substr(start, end - start);
        if (!entry.empty() && entry.substr(0, entry.rfind('=')) != pair)
            kept += entry + '|';
        start = end + 1;
    }
    char value[32];
    std::snprintf(value, sizeof value, "%.3f", ms);
    return kept + pair + '=' + value;
}

CalibrationVoice::CalibrationVoice(const Platform::Audio::Mixer& mixer, std::vector<double> frames)
    : mixer_(mixer), frames_(std::move(frames)), click_(CalibrationClick(mixer.SampleRate()))
{
}

void CalibrationVoice::Mix(float* output, const Platform::Audio::BlockClock& clock) noexcept
{
    const auto first = static_cast<std::int64_t>(clock.FirstFrame());
    const auto end = first + clock.Frames();
    for (double frame : frames_) {
        const std::int64_t start = clock.StartFrame({0, frame, &mixer_});
        const auto length = static_cast<std::int64_t>(click_.size());
        for (std::int64_t at = std::max(start, first); at < std::min(start + length, end); ++at) {
            const float sample = click_[static_cast<std::size_t>(at - start)];
            output[2 * (at - first)] += sample;
            output[2 * (at - first) + 1] += sample;
        }
    }
}

} // namespace Core::Timing
