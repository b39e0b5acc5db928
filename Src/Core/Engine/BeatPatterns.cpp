#include "Core/Engine/BeatPatterns.h"

#include "Configuration/ConfigurationData.h"

#include <algorithm>

namespace Core {

namespace {

// Subdivisions beyond what the settings admit would make patterns longer than the table.
constexpr std::int32_t MaxSubdivision = 8;

std::int32_t LimitSubdivision(std::int32_t value)
{
    return std::clamp(value, 0, MaxSubdivision);
}

constexpr std::int32_t HalfUp(std::int32_t n)
{
    return (n + 1) / 2;
}

// Decodes one voice character of a rhythm: "0".."9", ":", ";", "<" below "a", else from "a"
// (11) upwards. Returns -1 when the character names no voice.
int DecodeVoice(char16_t character)
{
    const int value = character < u'a' ? static_cast<int>(character) - u'0' : static_cast<int>(character) - 0x56;
    return value >= 0 && value <= 12 ? value : -1;
}

std::uint16_t CompoundRhythmEntry(std::int32_t step, bool lamp)
{
    using namespace PatternFlags;
    if (step % 3 == 0)
        return PlayBeat | ShowBeat;
    if (lamp && (step + 1) % 3 == 0)
        return PlayBeat | ClearBeat;
    return PlayBeat;
}

} // namespace

Subdivisions ChooseSubdivisions(const Configuration::ConfigurationData& settings, bool compoundWanted)
{
    Subdivisions result;
    if (settings.Bpm > 300)
        return result;
    if (compoundWanted) {
        result.ticks = 3;
        result.compound = true;
        return result;
    }
    result.ticks = LimitSubdivision(settings.Subdivision1);
    result.secondary = result.ticks > 0 ? LimitSubdivision(settings.Subdivision2) : 0;
    if (result.ticks == result.secondary)
        result.secondary = 0;
    return result;
}

std::int32_t BuildStandardPattern(TickPattern& pattern, std::int32_t t, std::int32_t s2, bool lamp)
{
    using namespace PatternFlags;
    t = LimitSubdivision(t);
    s2 = LimitSubdivision(s2);
    pattern[0] = PlayBeat | ShowBeat;

    if (s2 != 0 && t != 0) {
        const std::int32_t n = t * s2;
        const std::int32_t middle = HalfUp(n);
        for (std::int32_t i = 1; i < n; ++i) {
            std::uint16_t entry = 0;
            if (i % s2 == 0)
                entry |= Subdivision1;
            if (i % t == 0)
                entry |= Subdivision2;
            if (lamp && i == middle)
                entry |= ClearBeat;
            pattern[static_cast<std::size_t>(i)] = entry;
        }
        return n;
    }
    if (t != 0) {
        const std::int32_t middle = HalfUp(t);
        for (std::int32_t i = 1; i < t; ++i)
            pattern[static_cast<std::size_t>(i)] = lamp && i == middle ? ClearBeat | Subdivision1 : Subdivision1;
        return t;
    }
    if (lamp) {
        pattern[1] = ClearBeat;
        return 2;
    }
    return 1;
}

std::uint32_t ParseCustomPattern(std::u16string_view text, bool compound, bool lamp,
                                 std::array<std::int32_t, MaxPatternLength>& voices, TickPattern& pattern,
                                 std::int32_t& beatTotal)
{
    using namespace PatternFlags;
    beatTotal = 0;
    std::int32_t k = 0;
    std::size_t position = 0;
    bool firstGroup = true;

    while (position < text.size()) {
        // One group: its digits up to the next "+" or the end of the text.
        std::int32_t value = 0;
        while (position < text.size() && text[position] != u'+') {
            const char16_t character = text[position];
            if (character < u'0' || character > u'9')
                return StartResult::PatternMalformed;
            value = value * 10 + (character - u'0');
            if (value > 100)
                return StartResult::PatternGroupTooLarge;
            ++position;
        }
        if (value == 0)
            return StartResult::PatternMalformed;
        if (position < text.size()) {
            ++position; // the "+"
            if (position == text.size())
                return StartResult::PatternMalformed;
        }

        voices[static_cast<std::size_t>(k)] = firstGroup ? 0 : 1;
        if (compound)
            pattern[static_cast<std::size_t>(k)] = PlayBeat | ShowBeat;
        firstGroup = false;
        beatTotal += value;
        ++k;
        if (beatTotal >= MaxPatternLength)
            return StartResult::PatternTooLong;

        for (std::int32_t j = 1; j < value; ++j) {
            voices[static_cast<std::size_t>(k)] = 2;
            if (compound) {
                const bool clears = lamp && (j == value - 1 || j % 3 == 0);
                pattern[static_cast<std::size_t>(k)] = clears ? PlayBeat | ClearBeat : PlayBeat;
            }
            ++k;
        }
    }
    return StartResult::Playing;
}

std::uint32_t ParseCustomRhythm(std::u16string_view text, bool compound, bool lamp,
                                std::array<std::uint64_t, MaxPatternLength>& steps, TickPattern& pattern,
                                std::int32_t& stepCount)
{
    stepCount = 0;
    bool inBrackets = false;
    bool groupHasVoice = false;

    for (const char16_t character : text) {
        if (character == u'[') {
            inBrackets = true;
            groupHasVoice = false;
            continue;
        }
        if (character == u']') {
            // Also catches a "]" with no "[" before it, including a second "]" after a group.
            if (!groupHasVoice)
                return StartResult::RhythmMalformed;
            inBrackets = false;
            groupHasVoice = false;
            if (compound)
                pattern[static_cast<std::size_t>(stepCount)] = CompoundRhythmEntry(stepCount, lamp);
            ++stepCount;
            continue;
        }

        const int value = character == u' ' ? 0 : DecodeVoice(character);
        if (value < 0)
            return StartResult::RhythmMalformed;
        if (inBrackets && value == 0)
            continue;
        // Every step, finished or being built, must have a slot in the table.
        if (stepCount >= MaxPatternLength)
            return StartResult::RhythmTooLong;
        auto& step = steps[static_cast<std::size_t>(stepCount)];
        if (inBrackets) {
            step = groupHasVoice ? step * 16 + static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
            groupHasVoice = true;
        } else {
            if (compound)
                pattern[static_cast<std::size_t>(stepCount)] = CompoundRhythmEntry(stepCount, lamp);
            step = static_cast<std::uint64_t>(value);
            ++stepCount;
        }
    }
    return inBrackets ? StartResult::RhythmMalformed : StartResult::Playing;
}

} // namespace Core
