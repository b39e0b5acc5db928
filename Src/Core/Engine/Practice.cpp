#include "Core/Engine/Practice.h"

#include "Configuration/ConfigurationData.h"

#include <algorithm>

namespace Core {

BarShape BarShape::Plain(std::int32_t units, bool compound)
{
    BarShape shape;
    shape.units = std::clamp(units, 1, MaxPatternLength);
    shape.unitsPerBeat = compound ? 3 : 1;
    for (std::int32_t k = 0; k < shape.units; ++k)
        shape.level[static_cast<std::size_t>(k)] = k == 0 ? BarStart : (k % shape.unitsPerBeat == 0 ? Beat : Silent);
    return shape;
}

GapRule GapRule::From(const Configuration::ConfigurationData& settings)
{
    GapRule rule;
    rule.mode = settings.GapMode;
    rule.play = std::clamp(settings.GapPlay, 1, 16);
    rule.mute = std::clamp(settings.GapMute, 1, 16);
    rule.percent = std::clamp(settings.GapPercent, 0, 100);
    rule.rampBars = std::clamp(settings.GapRamp, 0, 64);
    rule.seed = static_cast<std::uint32_t>(settings.GapSeed);
    rule.keepDownbeat = settings.GapDownbeat != 0;
    return rule;
}

namespace {

// splitmix64: one well-mixed number for each (seed, bar), without a generator's state.
std::uint64_t Mix(std::uint64_t value) noexcept
{
    value += 0x9E3779B97F4A7C15ull;
    value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ull;
    value = (value ^ (value >> 27)) * 0x94D049BB133111EBull;
    return value ^ (value >> 31);
}

} // namespace

bool GapRule::Muted(std::int64_t bar) const noexcept
{
    if (bar <= 0)
        return false;
    switch (mode) {
    case Configuration::GapPeriodic:
        return bar % (play + mute) >= play;
    case Configuration::GapRandom: {
        // The share rises from 0 at bar 0 to the whole percentage at bar rampBars.
        double share = percent / 100.0;
        if (rampBars > 0 && bar < rampBars)
            share *= static_cast<double>(bar) / rampBars;
        const std::uint64_t draw = Mix((static_cast<std::uint64_t>(seed) << 32) ^ Mix(static_cast<std::uint64_t>(bar)));
        return static_cast<double>(draw >> 11) * 0x1.0p-53 < share;
    }
    default:
        return false;
    }
}

double SwingShiftInSteps(const Configuration::ConfigurationData& settings, std::int32_t stepsPerBeat,
                         std::int32_t secondary, bool compound)
{
    if (compound || secondary != 0 || (stepsPerBeat != 2 && stepsPerBeat != 4))
        return 0.0;
    const double ratio = std::clamp(static_cast<double>(settings.Swing), 50.0, 75.0) / 100.0;
    // The pair is two steps long: the second sits at 2 x ratio steps instead of at 1.
    return 2.0 * ratio - 1.0;
}

std::int32_t CountInBars(const Configuration::ConfigurationData& settings)
{
    return settings.CountIn >= 1 && settings.CountIn <= 4 ? settings.CountIn : 0;
}

bool CountInIsTwoBeats(const Configuration::ConfigurationData& settings)
{
    return settings.CountIn == Configuration::CountInTwoBeats;
}

} // namespace Core
