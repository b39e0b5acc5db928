// Custom patterns and rhythms come from the configuration file, so they can hold anything.
// Both readers must stay inside their tables, accept only what fits them, and give a known
// result code, for every text in plain and in compound time.
#include "Core/Engine/BeatPatterns.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const bool compound = (data[0] & 1) != 0;
    const bool indicator = (data[0] & 2) != 0;
    // Bytes below 0x80 are taken as they are, so the readers mostly see their own alphabet;
    // others become code units above the byte range.
    std::u16string text;
    for (std::size_t i = 1; i < size; ++i)
        text += data[i] < 0x80 ? static_cast<char16_t>(data[i]) : static_cast<char16_t>(0x100 + data[i] * 97);

    std::array<std::int32_t, Core::MaxPatternLength> voices{};
    Core::TickPattern pattern{};
    std::int32_t beats = -1;
    const std::uint32_t patternResult = Core::ParseCustomPattern(text, compound, indicator, voices, pattern, beats);
    Check(patternResult == 0 || patternResult == Core::StartResult::PatternMalformed ||
          patternResult == Core::StartResult::PatternTooLong ||
          patternResult == Core::StartResult::PatternGroupTooLarge);
    // A pattern that is refused may have counted past the table (its total is what the
    // message reports); one that is accepted fits it.
    Check(beats >= 0);
    if (patternResult == 0) {
        Check(beats < Core::MaxPatternLength);
        for (std::int32_t i = 0; i < beats; ++i)
            Check(voices[static_cast<std::size_t>(i)] >= 0 && voices[static_cast<std::size_t>(i)] <= 2);
    }

    std::array<std::uint64_t, Core::MaxPatternLength> steps{};
    std::int32_t stepCount = -1;
    const std::uint32_t rhythmResult = Core::ParseCustomRhythm(text, compound, indicator, steps, pattern, stepCount);
    Check(rhythmResult == 0 || rhythmResult == Core::StartResult::RhythmMalformed ||
          rhythmResult == Core::StartResult::RhythmTooLong);
    Check(stepCount >= 0 && stepCount <= Core::MaxPatternLength);
    return 0;
}
