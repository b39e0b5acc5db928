#include "Configuration/ConfigurationData.h"
#include "Core/Engine/BeatPatterns.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Core;

namespace {

std::vector<int> Entries(const TickPattern& pattern, int length)
{
    return std::vector<int>(pattern.begin(), pattern.begin() + length);
}

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
    std::array<std::uint32_t, MaxPatternLength> packed{};
    TickPattern pattern{};
};

RhythmParse ParseRhythm(const std::u16string& text, bool compound = false, bool indicator = false)
{
    RhythmParse parse{};
    parse.result = ParseCustomRhythm(text, compound, indicator, parse.packed, parse.pattern, parse.steps);
    return parse;
}

} // namespace

TEST(StandardBeatPattern, SubdivisionsPolyrhythmsAndTheLampsHalfBeat)
{
    TickPattern pattern{};
    EXPECT_EQ(Entries(pattern, BuildStandardPattern(pattern, 3, 0, true)), (std::vector<int>{0x11, 0x02, 0x22}));
    // Three against two: voice 4 on ticks 2 and 4, voice 5 on tick 3, the lamp clears on tick 3.
    EXPECT_EQ(Entries(pattern, BuildStandardPattern(pattern, 3, 2, true)),
              (std::vector<int>{0x11, 0x00, 0x02, 0x24, 0x02, 0x00}));
    EXPECT_EQ(Entries(pattern, BuildStandardPattern(pattern, 4, 3, false)),
              (std::vector<int>{0x01, 0, 0, 0x02, 0x04, 0, 0x02, 0, 0x04, 0x02, 0, 0}));
    EXPECT_EQ(Entries(pattern, BuildStandardPattern(pattern, 0, 0, true)), (std::vector<int>{0x11, 0x20}));
    EXPECT_EQ(Entries(pattern, BuildStandardPattern(pattern, 0, 0, false)), (std::vector<int>{0x01}));
    EXPECT_EQ(Entries(pattern, BuildStandardPattern(pattern, 2, 0, false)), (std::vector<int>{0x01, 0x02}));
}

TEST(SubdivisionChoice, FastTemposEqualSubdivisionsAndALoneSecondary)
{
    Configuration::ConfigurationData settings;
    settings.Bpm = 301;
    settings.Subdivision1 = 2;
    Subdivisions choice = ChooseSubdivisions(settings, true);
    EXPECT_EQ(choice.ticks, 0);
    EXPECT_FALSE(choice.compound);

    settings.Bpm = 300;
    choice = ChooseSubdivisions(settings, true);
    EXPECT_EQ(choice.ticks, 3);
    EXPECT_TRUE(choice.compound);

    settings.Subdivision1 = 4;
    settings.Subdivision2 = 4;
    choice = ChooseSubdivisions(settings, false);
    EXPECT_EQ(choice.ticks, 4);
    EXPECT_EQ(choice.secondary, 0);

    settings.Subdivision1 = 0;
    settings.Subdivision2 = 3;
    choice = ChooseSubdivisions(settings, false);
    EXPECT_EQ(choice.ticks, 0);
    EXPECT_EQ(choice.secondary, 0);

    // Values beyond the settings' range cannot make a pattern longer than the table.
    settings.Subdivision1 = 1000;
    settings.Subdivision2 = 999;
    choice = ChooseSubdivisions(settings, false);
    EXPECT_LE(choice.ticks * choice.secondary, MaxPatternLength);
}

TEST(CustomPatternText, GroupsGiveAccentGroupStartAndPlainBeats)
{
    PatternParse parse = ParsePattern(u"3+3+2");
    EXPECT_EQ(parse.result, 0u);
    EXPECT_EQ(parse.total, 8);
    EXPECT_EQ(std::vector<int>(parse.voices.begin(), parse.voices.begin() + 8),
              (std::vector<int>{0, 2, 2, 1, 2, 2, 1, 2}));

    parse = ParsePattern(u"10+2");
    EXPECT_EQ(parse.result, 0u);
    EXPECT_EQ(parse.total, 12);
    EXPECT_EQ(parse.voices[10], 1);

    parse = ParsePattern(u"100");
    EXPECT_EQ(parse.result, 0u);
    EXPECT_EQ(parse.total, 100);

    parse = ParsePattern(u"");
    EXPECT_EQ(parse.result, 0u);
    EXPECT_EQ(parse.total, 0);
}

TEST(CustomPatternText, RefusesMalformedTextsLargeGroupsAndLongPatterns)
{
    for (const std::u16string text : {u"0+3", u"+3", u"3+", u"3++2", u"3a", u"3 +2", u"3+0", u"+", u"-1"})
        EXPECT_EQ(ParsePattern(text).result, StartResult::PatternMalformed) << std::string(text.begin(), text.end());
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

TEST(CustomPatternText, CompoundTimeWritesEveryEighthsEntry)
{
    const PatternParse parse = ParsePattern(u"3+2", true, true);
    EXPECT_EQ(parse.result, 0u);
    EXPECT_EQ(Entries(parse.pattern, 5), (std::vector<int>{0x11, 0x01, 0x21, 0x11, 0x21}));
    const PatternParse plain = ParsePattern(u"3+2", true, false);
    EXPECT_EQ(Entries(plain.pattern, 5), (std::vector<int>{1, 1, 1, 1, 1}));
}

TEST(CustomRhythmText, StepsRestsAndVoicesTogether)
{
    const RhythmParse parse = ParseRhythm(u"1 2[13]");
    EXPECT_EQ(parse.result, 0u);
    ASSERT_EQ(parse.steps, 4);
    EXPECT_EQ(std::vector<std::uint32_t>(parse.packed.begin(), parse.packed.begin() + 4),
              (std::vector<std::uint32_t>{0x1, 0x0, 0x2, 0x13}));

    EXPECT_EQ(ParseRhythm(u"[:ab]").packed[0], 0xABCu);
    // The reader also takes "0" (nothing), ";" and "<" (voices 11 and 12); "0" in a group is skipped.
    EXPECT_EQ(ParseRhythm(u"[;0<]").packed[0], 0xBCu);
    // Nine voices: the earliest is shifted out.
    EXPECT_EQ(ParseRhythm(u"[123456789]").packed[0], 0x23456789u);
    // A "[" inside a group starts it afresh.
    EXPECT_EQ(ParseRhythm(u"[12[3]").packed[0], 0x3u);
}

TEST(CustomRhythmText, RefusesMalformedAndLongRhythms)
{
    for (const std::u16string text : {u"[1", u"]", u"[]", u"1c", u"[0]", u"[1]]", u"1=", u"1/"})
        EXPECT_EQ(ParseRhythm(text).result, StartResult::RhythmMalformed) << std::string(text.begin(), text.end());
    EXPECT_EQ(ParseRhythm(std::u16string(512, u' ')).result, 0u);
    EXPECT_EQ(ParseRhythm(std::u16string(513, u' ')).result, StartResult::RhythmTooLong);
    // A group opened after 512 steps has no slot to be built in.
    EXPECT_EQ(ParseRhythm(std::u16string(512, u'1') + u"[2]", true, true).result, StartResult::RhythmTooLong);
}

TEST(CustomRhythmText, CompoundTimeMarksEachBeatOfThreeSteps)
{
    const RhythmParse parse = ParseRhythm(u"1 2[13]11", true, true);
    EXPECT_EQ(parse.result, 0u);
    EXPECT_EQ(Entries(parse.pattern, 6), (std::vector<int>{0x11, 0x01, 0x21, 0x11, 0x01, 0x21}));
}
