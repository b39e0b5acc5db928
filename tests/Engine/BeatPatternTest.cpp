// The pattern and rhythm texts as the reader takes them apart; how they play is in the strategy
// tests.
#include "Configuration/ConfigurationData.h"
#include "Core/Engine/BeatPatterns.h"

#include <gtest/gtest.h>

#include <vector>

using namespace Core;

namespace {

std::string Narrow(const std::u16string& text) { return std::string(text.begin(), text.end()); }

struct PatternParse {
    std::uint32_t result;
    std::int32_t total;
    std::array<std::int32_t, MaxPatternLength> voices{};
    TickPattern pattern{};
};

PatternParse ParsePattern(const std::u16string& text, bool compound = false, bool indicator = false)
{
    PatternParse parse{};
    parse.result = ParseCustomPattern(text, compound, indicator, parse.voices, parse.pattern, parse.total);
    return parse;
}

struct RhythmParse {
    std::uint32_t result;
    std::int32_t steps;
    std::array<std::uint64_t, MaxPatternLength> packed{};
    TickPattern pattern{};
};

RhythmParse ParseRhythm(const std::u16string& text, bool compound = false, bool indicator = false)
{
    RhythmParse parse{};
    parse.result = ParseCustomRhythm(text, compound, indicator, parse.packed, parse.pattern, parse.steps);
    return parse;
}

} // namespace

TEST(SubdivisionChoice, FastTemposEqualSubdivisionsAndValuesBeyondTheRange)
{
    const struct {
        int bpm, first, second;
        bool compound;
        int ticks, secondary;
    } cases[] = {{301, 2, 0, true, 0, 0}, {300, 2, 0, true, 3, 0}, {120, 4, 4, false, 4, 0}, {120, 0, 3, false, 0, 0}};
    for (const auto& c : cases) {
        Configuration::ConfigurationData settings;
        settings.Bpm = c.bpm;
        settings.Subdivision1 = c.first;
        settings.Subdivision2 = c.second;
        const Subdivisions choice = ChooseSubdivisions(settings, c.compound);
        EXPECT_EQ(choice.ticks, c.ticks) << c.bpm << " " << c.first << " " << c.second;
        EXPECT_EQ(choice.secondary, c.secondary) << c.bpm << " " << c.first << " " << c.second;
    }
    // Values beyond the settings' range cannot make a pattern longer than the table.
    Configuration::ConfigurationData settings;
    settings.Subdivision1 = 1000;
    settings.Subdivision2 = 999;
    const Subdivisions choice = ChooseSubdivisions(settings, false);
    EXPECT_LE(choice.ticks * choice.secondary, MaxPatternLength);
}

TEST(CustomPatternText, RefusesMalformedTextsLargeGroupsAndLongPatterns)
{
    for (const std::u16string text : {u"0+3", u"+3", u"3+", u"3++2", u"3a", u"3 +2", u"3+0", u"+", u"-1"})
        EXPECT_EQ(ParsePattern(text).result, StartResult::PatternMalformed) << Narrow(text);
    EXPECT_EQ(ParsePattern(u"101").result, StartResult::PatternGroupTooLarge);
    EXPECT_EQ(ParsePattern(u"3+1000").result, StartResult::PatternGroupTooLarge);
    EXPECT_EQ(ParsePattern(u"99+99+99+99+99+16").result, 0u);
    EXPECT_EQ(ParsePattern(u"99+99+99+99+99+17").result, StartResult::PatternTooLong);
    // The longest text the settings hold, all maximal groups: refused without writing past the tables.
    std::u16string longest = u"100";
    while (longest.size() + 4 <= 127)
        longest += u"+100";
    EXPECT_EQ(ParsePattern(longest, true, true).result, StartResult::PatternTooLong);
}

TEST(CustomRhythmText, GroupsPackTheirVoicesAndMalformedAndLongRhythmsAreRefused)
{
    const std::pair<std::u16string, std::uint64_t> groups[] = {
        {u"[;0<]", 0xBC},             // ";" and "<" also name voices 11 and 12; "0" in a group is skipped
        {u"[123456789:ab]", 0x123456789ABC}, // all twelve voices are kept
        {u"[12[3]", 0x3},             // a "[" inside a group starts it afresh
    };
    for (const auto& [text, packed] : groups)
        EXPECT_EQ(ParseRhythm(text).packed[0], packed) << Narrow(text);

    // Malformed and long rhythms are refused.
    for (const std::u16string text : {u"[1", u"]", u"[]", u"1c", u"[0]", u"[1]]", u"1=", u"1/"})
        EXPECT_EQ(ParseRhythm(text).result, StartResult::RhythmMalformed) << Narrow(text);
    EXPECT_EQ(ParseRhythm(std::u16string(512, u' ')).result, 0u);
    EXPECT_EQ(ParseRhythm(std::u16string(513, u' ')).result, StartResult::RhythmTooLong);
    // A group opened after 512 steps has no slot to be built in.
    EXPECT_EQ(ParseRhythm(std::u16string(512, u'1') + u"[2]", true, true).result, StartResult::RhythmTooLong);
}

TEST(CompoundTexts, EveryEighthIsWrittenAndEachBeatOfThreeMarked)
{
    using Entries = std::vector<int>;
    const PatternParse lamp = ParsePattern(u"3+2", true, true);
    EXPECT_EQ(Entries(lamp.pattern.begin(), lamp.pattern.begin() + 5), (Entries{0x11, 0x01, 0x21, 0x11, 0x21}));
    const PatternParse plain = ParsePattern(u"3+2", true, false);
    EXPECT_EQ(Entries(plain.pattern.begin(), plain.pattern.begin() + 5), (Entries{0x11, 1, 1, 0x11, 1}));
    const RhythmParse rhythm = ParseRhythm(u"1 2[13]11", true, true);
    EXPECT_EQ(rhythm.result, 0u);
    EXPECT_EQ(Entries(rhythm.pattern.begin(), rhythm.pattern.begin() + 6),
              (Entries{0x11, 0x01, 0x21, 0x11, 0x01, 0x21}));
}
