#include "Configuration/ConfigurationData.h"
#include "Configuration/ConfigurationWriter.h"
#include "Configuration/PresetTree.h"
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

// Every setting as the file writes it, and the two texts the current block leaves out.
std::string Settings(const ConfigurationData& data)
{
    const char16_t language[1] = {};
    return Configuration::WriteConfiguration(data, language, 1, Configuration::PresetTree()) +
           Platform::Text::Utf16ToUtf8(data.Name) + "|" + Platform::Text::Utf16ToUtf8(data.Description);
}

} // namespace

// Assignment copies every setting, full-length texts included, and keeps the target's place in
// the preset tree (also when assigned to itself); a copy-constructed record is in no tree.
TEST(SettingsRecord, CopiesTakeEverySettingButNoTreeLinks)
{
    ConfigurationData source;
    FillWithNonDefaults(source);
    ConfigurationData curveOwner, left, right;
    source.Balance = -1;
    source.Left = &curveOwner;

    ConfigurationData node;
    node.Balance = 1;
    node.Left = &left;
    node.Right = &right;
    node = source;
    EXPECT_EQ(Settings(node), Settings(source));
    EXPECT_EQ(Platform::Text::Length(node.CustomRhythm), 511u);
    EXPECT_EQ(node.Balance, 1);
    EXPECT_EQ(node.Left, &left);
    EXPECT_EQ(node.Right, &right);

    const ConfigurationData& alias = node;
    node = alias;
    EXPECT_EQ(Settings(node), Settings(source));
    EXPECT_EQ(node.Left, &left);

    const ConfigurationData copy(source);
    EXPECT_EQ(Settings(copy), Settings(source));
    EXPECT_EQ(copy.Left, nullptr);
    EXPECT_EQ(copy.Balance, 0);
}
