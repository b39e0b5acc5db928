#include "Configuration/ConfigurationData.h"
#include "Platform/Text.h"

#include <gtest/gtest.h>

#include <string>

using Configuration::ConfigurationData;
using Configuration::VoiceCount;

namespace {

// Sets every settings field to a value other than its default.
void FillWithNonDefaults(ConfigurationData& data)
{
    using Platform::Text::Copy;
    Copy(data.Name, u"Rock");
    Copy(data.Description, std::u16string(255, u'd'));
    data.SoundEngineType = Configuration::SoundSource::AudioFiles;
    data.Bpm = 133;
    data.GlobalVolume = 50;
    data.BeatType = Configuration::BeatKind::CustomPattern;
    data.BeatsPerBar = 7;
    Copy(data.CustomPattern, u"3+3+2");
    Copy(data.CustomRhythm, std::u16string(511, u'r'));
    data.CrNumBars = 3;
    data.CrBeatsPerBar = 5;
    data.CrSubdivision = 4;
    data.CrCompoundTime = 1;
    data.DisplayedSubdiv = 0;
    data.DisplayDistinct = 0;
    data.Subdivision1 = 3;
    data.Subdivision2 = 2;
    data.CompoundTime = 1;
    data.VisualIndicator = 0;
    data.SpeedTrainer = Configuration::TrainerMode::On;
    data.DurationsInBars = 1;
    data.Logarithmic = 1;
    data.Beep = 0;
    data.From = 0.25f;
    data.To = 0.75f;
    data.Step = 0.05f;
    data.Duration = 8.0f;
    data.Warmup = 2.0f;
    data.Warmdown = 3.0f;
    for (int voice = 0; voice < VoiceCount; ++voice) {
        data.Instrument[voice] = voice + 20;
        data.Volume[voice] = voice;
        data.Size[voice] = voice % 8;
        data.Colour[voice] = voice % 12 == 11 ? 0 : voice;
        Copy(data.File[voice], u"/home/user/click" + std::u16string(1, u'a' + voice) + u".wav");
    }
}

void ExpectSameSettings(const ConfigurationData& a, const ConfigurationData& b)
{
    EXPECT_EQ(std::u16string(a.Name), std::u16string(b.Name));
    EXPECT_EQ(std::u16string(a.Description), std::u16string(b.Description));
    EXPECT_EQ(std::u16string(a.CustomPattern), std::u16string(b.CustomPattern));
    EXPECT_EQ(std::u16string(a.CustomRhythm), std::u16string(b.CustomRhythm));
    EXPECT_EQ(a.SoundEngineType, b.SoundEngineType);
    EXPECT_EQ(a.BeatType, b.BeatType);
    EXPECT_EQ(a.SpeedTrainer, b.SpeedTrainer);
    const int ints[][2] = {{a.Bpm, b.Bpm},                         {a.GlobalVolume, b.GlobalVolume},
                           {a.BeatsPerBar, b.BeatsPerBar},         {a.CrNumBars, b.CrNumBars},
                           {a.CrBeatsPerBar, b.CrBeatsPerBar},     {a.CrSubdivision, b.CrSubdivision},
                           {a.CrCompoundTime, b.CrCompoundTime},   {a.DisplayedSubdiv, b.DisplayedSubdiv},
                           {a.DisplayDistinct, b.DisplayDistinct}, {a.Subdivision1, b.Subdivision1},
                           {a.Subdivision2, b.Subdivision2},       {a.CompoundTime, b.CompoundTime},
                           {a.VisualIndicator, b.VisualIndicator},
                           {a.DurationsInBars, b.DurationsInBars}, {a.Logarithmic, b.Logarithmic},
                           {a.Beep, b.Beep}};
    for (const auto& pair : ints)
        EXPECT_EQ(pair[0], pair[1]);
    EXPECT_EQ(a.From, b.From);
    EXPECT_EQ(a.To, b.To);
    EXPECT_EQ(a.Step, b.Step);
    EXPECT_EQ(a.Duration, b.Duration);
    EXPECT_EQ(a.Warmup, b.Warmup);
    EXPECT_EQ(a.Warmdown, b.Warmdown);
    for (int voice = 0; voice < VoiceCount; ++voice) {
        EXPECT_EQ(a.Instrument[voice], b.Instrument[voice]);
        EXPECT_EQ(a.Volume[voice], b.Volume[voice]);
        EXPECT_EQ(a.Size[voice], b.Size[voice]);
        EXPECT_EQ(a.Colour[voice], b.Colour[voice]);
        EXPECT_EQ(std::u16string(a.File[voice]), std::u16string(b.File[voice]));
    }
}

} // namespace

TEST(SettingsRecord, StartsWithTheMusicalDefaults)
{
    const ConfigurationData data;
    EXPECT_EQ(data.Bpm, 120);
    EXPECT_EQ(data.GlobalVolume, 100);
    EXPECT_EQ(data.BeatsPerBar, 4);
    EXPECT_EQ(data.BeatType, Configuration::BeatKind::Simple);
    EXPECT_EQ(data.SoundEngineType, Configuration::SoundSource::Midi);
    EXPECT_EQ(data.SpeedTrainer, Configuration::TrainerMode::Off);
    EXPECT_EQ(data.VisualIndicator, 1);
    EXPECT_EQ(data.Beep, 1);
    EXPECT_EQ(data.CrNumBars, 1);
    EXPECT_EQ(data.CrBeatsPerBar, 4);
    EXPECT_EQ(data.CrSubdivision, 2);
    EXPECT_EQ(data.DisplayedSubdiv, 2);
    EXPECT_EQ(data.DisplayDistinct, 1);
    EXPECT_FLOAT_EQ(data.From, 0.5f);
    EXPECT_FLOAT_EQ(data.To, 1.0f);
    EXPECT_FLOAT_EQ(data.Step, 0.1f);
    EXPECT_FLOAT_EQ(data.Duration, 5.0f);
    EXPECT_EQ(data.Name[0], 0);
    EXPECT_EQ(data.CustomRhythm[0], 0);
    for (int voice = 0; voice < VoiceCount; ++voice) {
        EXPECT_EQ(data.Instrument[voice], 1);
        EXPECT_EQ(data.Volume[voice], 127);
        EXPECT_EQ(data.Size[voice], 7);
        EXPECT_EQ(data.Colour[voice], 11);
        EXPECT_EQ(data.File[voice][0], 0);
    }
    EXPECT_EQ(data.Left, nullptr);
    EXPECT_EQ(data.Right, nullptr);
}

TEST(SettingsRecord, AssignmentCopiesEverySettingIncludingFullTexts)
{
    ConfigurationData source;
    FillWithNonDefaults(source);
    ConfigurationData target;
    target = source;
    ExpectSameSettings(target, source);
    EXPECT_EQ(Platform::Text::Length(target.CustomRhythm), 511u);
}

TEST(SettingsRecord, AssignmentKeepsTheTreeLinksOfTheTarget)
{
    ConfigurationData left, right, curveOwner;
    ConfigurationData source;
    FillWithNonDefaults(source);
    source.Balance = -1;
    source.Left = &curveOwner;

    ConfigurationData node;
    node.Balance = 1;
    node.Left = &left;
    node.Right = &right;
    node = source;

    ExpectSameSettings(node, source);
    EXPECT_EQ(node.Balance, 1);
    EXPECT_EQ(node.Left, &left);
    EXPECT_EQ(node.Right, &right);
}

TEST(SettingsRecord, SelfAssignmentChangesNothing)
{
    ConfigurationData data;
    FillWithNonDefaults(data);
    ConfigurationData left;
    data.Left = &left;
    const ConfigurationData& alias = data;
    data = alias;
    ConfigurationData expected;
    FillWithNonDefaults(expected);
    ExpectSameSettings(data, expected);
    EXPECT_EQ(data.Left, &left);
}

TEST(SettingsRecord, ACopiedRecordIsNotLinkedIntoAnyTree)
{
    ConfigurationData node;
    FillWithNonDefaults(node);
    ConfigurationData child;
    node.Left = &child;
    node.Balance = -1;
    const ConfigurationData copy(node);
    ExpectSameSettings(copy, node);
    EXPECT_EQ(copy.Left, nullptr);
    EXPECT_EQ(copy.Balance, 0);
}

TEST(SettingsRecord, EffectiveVolumeScalesByGlobalVolumeAndTruncates)
{
    ConfigurationData data;
    data.Volume[0] = 127;
    data.Volume[5] = 1;
    data.GlobalVolume = 50;
    EXPECT_EQ(data.EffectiveVolume(0), 63);
    EXPECT_EQ(data.EffectiveVolume(5), 0);
    data.GlobalVolume = 100;
    EXPECT_EQ(data.EffectiveVolume(0), 127);
    data.GlobalVolume = 0;
    for (int voice = 0; voice < VoiceCount; ++voice)
        EXPECT_EQ(data.EffectiveVolume(voice), 0);
    data.GlobalVolume = 33;
    EXPECT_EQ(data.EffectiveVolume(0), 41); // 127 x 0.33 = 41.91
}
