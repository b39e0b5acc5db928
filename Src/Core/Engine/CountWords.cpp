#include "Core/Engine/CountWords.h"

#include <array>

namespace Core {

const char* CountWordFile(int word) noexcept
{
    static constexpr std::array<const char*, CountWordCount> files{
        "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "e", "and", "a", "trip", "let"};
    return word >= 0 && word < CountWordCount ? files[static_cast<std::size_t>(word)] : "";
}

std::int32_t WordsPerBeat(const BarShape& bar, std::int32_t steps) noexcept
{
    if (bar.unitsPerBeat == 3)
        return 3;
    return steps >= 2 && steps <= 4 ? steps : 1;
}

CountWord ChooseCountWord(const BarShape& bar, std::int32_t unit, std::int32_t step, std::int32_t steps, bool through,
                          bool numbersOnly) noexcept
{
    if (unit < 0 || unit >= bar.units)
        return CountWord::None;
    const auto levelAt = [&bar](std::int32_t k) { return bar.level[static_cast<std::size_t>(k)]; };
    if (step > 0) {
        if (numbersOnly || bar.unitsPerBeat != 1)
            return CountWord::None;
        switch (steps) {
        case 2:
            return step == 1 ? CountWord::And : CountWord::None;
        case 3:
            return step == 1 ? CountWord::Trip : step == 2 ? CountWord::Let : CountWord::None;
        case 4:
            return step == 1 ? CountWord::E : step == 2 ? CountWord::And : step == 3 ? CountWord::A : CountWord::None;
        default:
            return CountWord::None;
        }
    }
    if (levelAt(unit) == BarShape::Silent) {
        // An eighth inside a compound beat: its place after the beat's.
        if (numbersOnly)
            return CountWord::None;
        std::int32_t since = 0;
        for (std::int32_t k = unit; k >= 0 && levelAt(k) == BarShape::Silent; --k)
            ++since;
        return since == 1 ? CountWord::Trip : since == 2 ? CountWord::Let : CountWord::None;
    }
    std::int32_t number = 0;
    for (std::int32_t k = unit; k >= 0; --k) {
        const std::uint8_t level = levelAt(k);
        if (level == BarShape::Silent)
            continue;
        ++number;
        if (level == BarShape::BarStart || (!through && level == BarShape::GroupStart))
            break;
    }
    return static_cast<CountWord>((number - 1) % CountNumbers);
}

} // namespace Core
