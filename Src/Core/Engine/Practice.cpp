#include "Core/Engine/Practice.h"

#include "Configuration/ConfigurationData.h"
#include "Core/Engine/BeatStrategies.h"

#include <algorithm>
#include <charconv>

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

namespace {

bool GridSwings(std::int32_t stepsPerBeat, std::int32_t secondary, bool compound) noexcept
{
    return !compound && secondary == 0 && (stepsPerBeat == 2 || stepsPerBeat == 4);
}

} // namespace

double SwingShiftInSteps(const Configuration::ConfigurationData& settings, std::int32_t stepsPerBeat,
                         std::int32_t secondary, bool compound)
{
    if (!GridSwings(stepsPerBeat, secondary, compound))
        return 0.0;
    const double ratio = std::clamp(static_cast<double>(settings.Swing), 50.0, 75.0) / 100.0;
    // The pair is two steps long: the second sits at 2 x ratio steps instead of at 1.
    return 2.0 * ratio - 1.0;
}

std::int32_t SwingGridSteps(const Configuration::ConfigurationData& settings)
{
    using Configuration::BeatKind;
    // The grids the beat strategies set up when a run starts.
    Subdivisions grid;
    switch (settings.BeatType) {
    case BeatKind::CustomRhythm:
        grid.ticks = RhythmStepsPerBeat(settings);
        grid.compound = settings.CrCompoundTime == 1;
        break;
    case BeatKind::BeatsPerBar:
        grid = ChooseSubdivisions(settings, settings.CompoundTime == 1 && std::clamp(settings.BeatsPerBar, 1, MaxBarBeats) > 4);
        break;
    case BeatKind::CustomPattern:
        grid = ChooseSubdivisions(settings, settings.CompoundTime == 1);
        break;
    default:
        grid = ChooseSubdivisions(settings, false);
        break;
    }
    return GridSwings(grid.ticks, grid.secondary, grid.compound) ? grid.ticks : 0;
}

std::int32_t CountInBars(const Configuration::ConfigurationData& settings)
{
    return settings.CountIn >= 1 && settings.CountIn <= 4 ? settings.CountIn : 0;
}

bool CountInIsTwoBeats(const Configuration::ConfigurationData& settings)
{
    return settings.CountIn == Configuration::CountInTwoBeats;
}

namespace {

// A whole decimal number within [low, high], nothing else in the text.
bool ReadNumber(std::string_view text, long long low, long long high, std::int32_t& number)
{
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high)
        return false;
    number = static_cast<std::int32_t>(value);
    return true;
}

// "A:B" into its two numbers; without a colon only the first (the second left as it is).
bool ReadPair(std::string_view text, long long low1, long long high1, long long low2, long long high2,
              std::int32_t& first, std::int32_t& second, bool secondNeeded)
{
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos)
        return !secondNeeded && ReadNumber(text, low1, high1, first);
    return ReadNumber(text.substr(0, colon), low1, high1, first) && ReadNumber(text.substr(colon + 1), low2, high2, second);
}

} // namespace

bool ApplyPracticeOption(std::string_view name, std::string_view value, Configuration::ConfigurationData& settings)
{
    Configuration::ConfigurationData changed = settings;
    bool accepted = false;
    if (name == "count-in") {
        if (value == "2b") {
            changed.CountIn = Configuration::CountInTwoBeats;
            accepted = true;
        } else {
            accepted = ReadNumber(value, 0, 4, changed.CountIn) && changed.CountIn != 3;
        }
    } else if (name == "gap") {
        changed.GapMode = Configuration::GapPeriodic;
        accepted = ReadPair(value, 1, 16, 1, 16, changed.GapPlay, changed.GapMute, true);
    } else if (name == "gap-random") {
        changed.GapMode = Configuration::GapRandom;
        changed.GapRamp = 0;
        accepted = ReadPair(value, 5, 95, 1, 64, changed.GapPercent, changed.GapRamp, false);
    } else if (name == "seed") {
        accepted = ReadNumber(value, 0, 2147483647, changed.GapSeed);
    } else if (name == "swing") {
        // A point in any locale.
        double percent = 0.0;
        const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), percent);
        accepted = error == std::errc() && end == value.data() + value.size() && percent >= 50.0 && percent <= 75.0;
        changed.Swing = static_cast<float>(percent);
    } else if (name == "count-voice") {
        const std::pair<std::string_view, std::int32_t> modes[] = {
            {"off", Configuration::CountVoiceOff}, {"count-in", Configuration::CountVoiceCountIn}, {"on", Configuration::CountVoiceAll}};
        for (const auto& [text, mode] : modes) {
            if (value == text) {
                changed.CountVoice = mode;
                accepted = true;
            }
        }
    }
    if (accepted)
        settings = changed;
    return accepted;
}

} // namespace Core
