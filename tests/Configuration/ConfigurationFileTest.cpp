// The configuration file's bytes as written, and the reader's rules line by line.
#include "Configuration/FileConfiguration.h"
#include "Configuration/SettingKeys.h"
#include "Platform/Text.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <clocale>

using Configuration::ConfigurationData;
using Configuration::FileConfiguration;

namespace {

// The default settings as written, key by key in the file's order (CR LF line ends): the
// per-voice keys follow the others, twelve of each.
std::string DefaultFile()
{
    std::string text = "# Metronome Configuration File\r\nLanguage = \r\n";
    for (const char* line : {"SoundEngineType = 0", "Bpm = 120", "GlobalVolume = 100", "BeatType = 0", "BeatsPerBar = 4",
                             "CustomPattern = ", "CustomRhythm = ", "CrNumBars = 1", "CrBeatsPerBar = 4",
                             "CrSubdivision = 2", "CrCompoundTime = 0", "DisplayedSubdiv = 2", "DisplayDistinct = 1",
                             "Subdivision1 = 0", "Subdivision2 = 0", "CompoundTime = 0", "VisualIndicator = 1",
                             "SpeedTrainer = 0", "DurationsInBars = 0", "Logarithmic = 0", "Beep = 1",
                             "From = 0.500000", "To = 1.000000", "Step = 0.100000", "Duration = 5.000000",
                             "Warmup = 1.000000", "Warmdown = 1.000000", "CountIn = 0", "CountInInstrument = 43",
                             "GapMode = 0", "GapPlay = 2", "GapMute = 1", "GapPercent = 30", "GapRamp = 0",
                             "GapSeed = 1", "GapDownbeat = 0", "Swing = 50.000000", "CountVoice = 0",
                             "CountThrough = 0", "TrainerGate = 0", "GateMean = 10", "GateSpread = 15",
                             "GateRepeats = 3"})
        text += std::string(line) + "\r\n";
    const std::pair<std::string, std::string> voiceKeys[]
        = {{"Instrument", "1"}, {"Volume", "127"}, {"Size", "7"}, {"Colour", "11"}, {"File", ""}, {"OtherInstrument", "1"}};
    for (const auto& [key, value] : voiceKeys)
        for (int voice = 1; voice <= 12; ++voice)
            text += key + std::to_string(voice) + " = " + value + "\r\n";
    return text;
}

const std::string Bom = "\xEF\xBB\xBF";

class ConfigurationFile : public ::testing::Test {
protected:
    std::string Path() const { return folder_ / "Tolvane.conf"; }

    // Writes a file of the given lines (byte-order mark first, CR LF ends) and loads it.
    bool LoadLines(const std::vector<std::string>& lines)
    {
        std::string text = Bom + "# Metronome Configuration File\r\n";
        for (const auto& line : lines)
            text += line + "\r\n";
        return LoadBytes(text);
    }

    bool LoadBytes(const std::string& bytes)
    {
        TestSupport::WriteFile(Path(), bytes);
        return store_.Load();
    }

    TestSupport::TempFolder folder_;
    TestSupport::ScopedLog log_;
    FileConfiguration store_{Path()};
    ConfigurationData& data_ = store_.GetData();
};

} // namespace

// The defaults alone, then settings with presets: every key in the file's order, a preset
// holding only what differs from the defaults, upper case sorting before lower case.
TEST_F(ConfigurationFile, SettingsAndPresetsAreWrittenKeyByKeyAndReadBackByteForByte)
{
    ASSERT_TRUE(store_.Save());
    EXPECT_EQ(TestSupport::ReadFile(Path()), Bom + DefaultFile());
    Platform::Text::Copy(store_.GetLanguage(), 32, u"de");
    data_.Bpm = 133;
    data_.From = 0.25f;
    data_.Step = 0.0001f;
    data_.CustomPattern = u"3+3+2";
    data_.File[11] = u"/home/m\u00FCller/Kl\u00E4nge/kick.wav";
    ConfigurationData blues;
    blues.Name = u"blues";
    blues.Description = u"Shuffle, \u266A swung";
    blues.Bpm = 72;
    blues.Duration = 1000.0f;
    blues.CustomRhythm = u"1.0.1.0|0.1.0.1";
    ConfigurationData rock;
    rock.Name = u"Rock";
    rock.Instrument[6] = 46;
    ASSERT_TRUE(store_.AddPreset(blues));
    ASSERT_TRUE(store_.AddPreset(rock));
    ASSERT_TRUE(store_.Save());

    std::string expected = Bom + DefaultFile() + "Preset0 = Rock\r\nInstrument7 = 46\r\nPreset1 = blues\r\n"
                           "Description = Shuffle, \xE2\x99\xAA swung\r\nBpm = 72\r\nCustomRhythm = 1.0.1.0|0.1.0.1\r\n"
                           "Duration = 1000.000000\r\n";
    for (const auto& [key, value] : std::vector<std::pair<std::string, std::string>>{
             {"Language", "de"}, {"Bpm", "133"}, {"From", "0.250000"}, {"Step", "0.000100"},
             {"CustomPattern", "3+3+2"}, {"File12", "/home/m\xC3\xBCller/Kl\xC3\xA4nge/kick.wav"}}) {
        const std::size_t at = expected.find("\n" + key + " = ") + key.size() + 4;
        expected.replace(at, expected.find('\r', at) - at, value);
    }
    EXPECT_EQ(TestSupport::ReadFile(Path()), expected);

    // Read back, the settings and every preset are what was saved, field for field.
    FileConfiguration reread(Path());
    ASSERT_TRUE(reread.Load());
    EXPECT_TRUE(reread.GetData() == data_);
    EXPECT_EQ(std::u16string(reread.GetLanguage()), u"de");
    for (const ConfigurationData& preset : {blues, rock}) {
        ASSERT_TRUE(reread.LoadPreset(preset.Name));
        EXPECT_TRUE(reread.GetData() == preset) << Platform::Text::Utf16ToUtf8(preset.Name);
    }
    // (That a file read writes out again byte for byte, the reader's fuzz target checks.)
}

// Each voice keeps a MIDI instrument and an audio file: InstrumentN the source's in use, as
// always, OtherInstrumentN the other one's, in the settings and in presets (a preset written
// with only what differs from the defaults); a file without OtherInstrumentN reads as before.
TEST_F(ConfigurationFile, BothInstrumentChoicesOfAVoiceReadBack)
{
    using Configuration::SoundSource;
    struct Case {
        SoundSource source;
        int instrument, other;
        std::vector<std::string> presetLines;
    } const cases[] = {
        {SoundSource::Midi, 18, 4, {"Preset0 = p", "Instrument2 = 18", "OtherInstrument2 = 4"}},
        {SoundSource::AudioFiles, 3, 28, {"Preset0 = p", "SoundEngineType = 1", "Instrument2 = 3", "OtherInstrument2 = 28"}},
        {SoundSource::AudioFiles, 1, 1, {"Preset0 = p", "SoundEngineType = 1"}},
    };
    for (const Case& c : cases) {
        ConfigurationData preset;
        preset.Name = u"p";
        preset.SetSoundSource(c.source);
        preset.Instrument[1] = c.instrument;
        preset.OtherInstrument[1] = c.other;
        FileConfiguration store(Path());
        store.GetData() = preset;
        ASSERT_TRUE(store.AddPreset(preset));
        ASSERT_TRUE(store.Save());
        const auto lines = TestSupport::SplitLines(TestSupport::ReadFile(Path()).substr(3));
        EXPECT_EQ(std::vector<std::string>(lines.end() - static_cast<long>(c.presetLines.size()), lines.end()), c.presetLines);

        FileConfiguration reread(Path());
        ASSERT_TRUE(reread.Load());
        for (bool fromPreset : {false, true}) {
            ASSERT_TRUE(!fromPreset || reread.LoadPreset(u"p"));
            ConfigurationData& data = reread.GetData();
            EXPECT_EQ(data.SoundEngineType, c.source);
            EXPECT_EQ(data.Instrument[1], c.instrument);
            EXPECT_EQ(data.OtherInstrument[1], c.other);
            data.SetSoundSource(c.source == SoundSource::Midi ? SoundSource::AudioFiles : SoundSource::Midi);
            EXPECT_EQ(data.Instrument[1], c.other);
        }
    }
    EXPECT_TRUE(LoadLines({"SoundEngineType = 1", "Instrument2 = 5"}));
    EXPECT_EQ(data_.Instrument[1], 5);
    EXPECT_EQ(data_.OtherInstrument[1], 1);
}

TEST_F(ConfigurationFile, KeysIgnoreCaseButThePresetKeyDoesNot)
{
    EXPECT_TRUE(LoadLines({"bpm = 90", "BEATSPERBAR=7", "GlobalVolume == 40", "preset0 = Slow", "Beep = 0"}));
    EXPECT_EQ(data_.Bpm, 90);
    EXPECT_EQ(data_.BeatsPerBar, 7);
    EXPECT_EQ(data_.GlobalVolume, 40);
    EXPECT_EQ(data_.Beep, 0);
    EXPECT_EQ(store_.Presets().size(), 0u);
    EXPECT_EQ(data_.KeptLines, std::vector<std::string>{"preset0 = Slow"});
}

TEST_F(ConfigurationFile, OutOfRangeAndNonNumericValues)
{
    EXPECT_TRUE(LoadLines({"Bpm = 500", "Bpm = -5", "BeatsPerBar = 4294967302", "GlobalVolume = loud",
                           "Volume3 = 64 percent", "Size1 =   3", "Step = 0.00005", "Duration = 1000.5",
                           "Warmup = nan", "Warmdown = -0.5", "To = 2", "Colour12 = 12"}));
    // Only these are taken; every other value leaves its default.
    ConfigurationData expected;
    expected.Bpm = 400; // 500 is a tempo the keys reach: the nearest one read; -5 is no tempo
    expected.Volume[2] = 64;
    expected.Size[0] = 3;
    EXPECT_TRUE(data_ == expected);
    EXPECT_TRUE(log_.Has("Value 'loud' of key GlobalVolume in configuration file is not a number"));

    // The practice keys clamp, and say so.
    EXPECT_TRUE(LoadLines({"GapPlay = 40", "CountIn = -3", "Swing = 90"}));
    EXPECT_EQ(data_.GapPlay, 16);
    EXPECT_EQ(data_.CountIn, 0);
    EXPECT_EQ(data_.Swing, 75.0f);
    EXPECT_TRUE(log_.Has("Value '90' of key Swing in configuration file is out of range; 75 is used"));
}

TEST_F(ConfigurationFile, NumbersKeepTheirPointInAnyLocale)
{
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr && std::setlocale(LC_ALL, "fr_FR.UTF-8") == nullptr)
        GTEST_SKIP() << "no locale with a decimal comma installed";
    EXPECT_TRUE(LoadLines({"From = 0.25"}));
    data_.To = 0.75f;
    EXPECT_TRUE(store_.Save());
    std::setlocale(LC_ALL, previous.c_str());
    EXPECT_EQ(data_.From, 0.25f);
    EXPECT_NE(TestSupport::ReadFile(Path()).find("\r\nTo = 0.750000\r\n"), std::string::npos);
}

TEST_F(ConfigurationFile, ValuesEndAtTabOrHashAndAreCutToTheirField)
{
    EXPECT_TRUE(LoadLines({"Preset0 = " + std::string(100, 'N'), "Description = Fast # warm-up",
                           "CustomPattern = 3+2\tx", "CustomRhythm = " + std::string(1024, '1'),
                           "Language = " + std::string(40, 'l'), "File1 = " + std::string(771, 'f')}));
    ASSERT_TRUE(store_.LoadPreset(std::u16string(79, u'N').c_str()));
    EXPECT_EQ(std::u16string(data_.Description), u"Fast ");
    EXPECT_EQ(std::u16string(data_.CustomPattern), u"3+2");
    EXPECT_EQ(std::u16string(data_.CustomRhythm), std::u16string(1024, u'1')); // 512 steps and 512 hits
    EXPECT_EQ(std::u16string(data_.File[0]), std::u16string(771, u'f'));
    EXPECT_EQ(std::u16string(store_.GetLanguage()), std::u16string(31, u'l'));
    EXPECT_TRUE(log_.Has("Value of key Language in configuration file is longer than 31 characters; it was cut"));
    // Empty values leave the field as it was.
    EXPECT_TRUE(LoadLines({"CustomPattern = ", "Language =", "File1 =   "}));
    EXPECT_EQ(std::u16string(data_.CustomPattern), u"3+2");
    EXPECT_EQ(std::u16string(data_.File[0]), std::u16string(771, u'f'));
}

// Lines the reader does not understand are logged and kept where they stood; the reading
// goes on after them, and a save writes them back with their block.
TEST_F(ConfigurationFile, LinesNotUnderstoodAreKeptAndWrittenBack)
{
    // A file written by hand without the byte-order mark reads whole.
    EXPECT_TRUE(LoadBytes("Bpm = 133\r\n"));
    EXPECT_EQ(data_.Bpm, 133);

    const std::string longKey = std::string(64, 'K') + " = 1";
    const std::string longValue = "File1 = " + std::string(2314, 'f'); // three bytes a code unit and one more
    ASSERT_TRUE(LoadLines({"Bpm = 91", longKey, "Bpm = 92", "Preset0 = A", "Bpm\t= 95", longValue,
                           std::string(63, 'K') + " = 1", "Preset2 = C", "Bpm = 62", "FutureSetting = 3"}));
    EXPECT_EQ(data_.Bpm, 92);
    for (const char* message : {"Invalid length for key in configuration file",
                                "Invalid length for key File1 in configuration file",
                                "Expected equals sign after key 'Bpm' in configuration file",
                                "Preset line 'Preset2' in configuration file is out of sequence"})
        EXPECT_TRUE(log_.Has(message)) << message;
    const auto unread = store_.UnreadLine();
    EXPECT_EQ(unread.count, 5);
    EXPECT_EQ(unread.firstNumber, 3); // after the comment line
    EXPECT_EQ(unread.first, longKey);
    ASSERT_TRUE(store_.LoadPreset(u"C"));
    EXPECT_EQ(data_.Bpm, 62);

    FileConfiguration fresh(Path());
    // Kept whole, even past a zero byte or after a byte-order mark where files were joined.
    const std::string zero("Odd = 1\0tail", 13);
    TestSupport::WriteFile(Path(), Bom + "Bpm = 91\n" + longKey + "\n" + zero + "\nPreset0 = A\nBpm\t= 95\nPreset1 = C\n"
                                       + Bom + "FutureSetting = 3\n");
    ASSERT_TRUE(fresh.Load());
    ASSERT_TRUE(fresh.Save());
    const auto lines = TestSupport::SplitLines(TestSupport::ReadFile(Path()).substr(3));
    ASSERT_EQ(lines.size(), 2u + Configuration::SettingKeys().size() + 6u);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 2 + static_cast<std::ptrdiff_t>(Configuration::SettingKeys().size()), lines.end()),
              (std::vector<std::string>{longKey, zero, "Preset0 = A", "Bpm\t= 95", "Preset1 = C", Bom + "FutureSetting = 3"}));
}

TEST_F(ConfigurationFile, LineEndsCommentsAndLongLines)
{
    // LF, CR LF and CR alone end a line; blank, indented and commented lines are skipped; a
    // second byte-order mark (two files joined) is skipped too.
    EXPECT_TRUE(LoadBytes(Bom + "# c\n\n   \t\n  # indented\n\tBpm = 101\rBeatType=2\r\n" + Bom + "Beep = 0\n"));
    EXPECT_EQ(data_.Bpm, 101);
    EXPECT_EQ(data_.BeatType, Configuration::BeatKind::CustomPattern);
    EXPECT_EQ(data_.Beep, 0);
    EXPECT_EQ(store_.UnreadLine().count, 0);

    // A line is read whole, however long.
    EXPECT_TRUE(LoadLines({"Bpm = 70", "#" + std::string(5000, 'x') + "Bpm = 77",
                           "Description = " + std::string(5000, ' ') + "Bpm = 222"}));
    EXPECT_EQ(data_.Bpm, 70);

    EXPECT_FALSE(LoadLines({"# only", "   # comments"}));
    EXPECT_FALSE(LoadBytes(""));
    EXPECT_EQ(data_.Bpm, 70);
}

TEST_F(ConfigurationFile, RepeatedPresetNamesKeepEveryPresetUnderADistinctName)
{
    const std::string longName(79, 'L');
    EXPECT_TRUE(LoadLines({"Preset0 = A", "Bpm = 60", "Preset1 = A", "Bpm = 61", "Preset2 = A 2", "Bpm = 62",
                           "Preset3 = A", "Bpm = 63", "Preset4 = " + longName, "Preset5 = " + longName, "Bpm = 64"}));
    EXPECT_EQ(store_.Presets().size(), 6u);
    for (const auto& [name, bpm] : std::vector<std::pair<std::u16string, int>>{
             {u"A", 60}, {u"A 2", 61}, {u"A 2 2", 62}, {u"A 3", 63}, {std::u16string(77, u'L') + u" 2", 64}}) {
        ASSERT_TRUE(store_.LoadPreset(name.c_str()));
        EXPECT_EQ(data_.Bpm, bpm);
    }
    // Every name stays one the Presets page accepts: letters, digits and spaces, at most 79.
    store_.ForEachPreset([](const ConfigurationData& preset) {
        const std::u16string name(preset.Name);
        EXPECT_LE(name.size(), 79u);
        EXPECT_EQ(name.find_first_not_of(u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 "),
                  std::u16string::npos);
    });
    EXPECT_TRUE(log_.Has("[Warn]"));
    EXPECT_TRUE(log_.Has("Preset 'A' in configuration file repeats the name of an earlier preset; it was kept as 'A 3'"));
}

TEST_F(ConfigurationFile, PathsRoundTripByteForByteAndTempoIsSavedReadable)
{
    // Latin-1 and cut UTF-8 bytes in file names, next to a real U+FFFD; 700 two-byte
    // characters make a line longer than other values may be.
    std::string path = "/m\xFCsic/\xE9t\xC3/\xEF\xBF\xBD";
    for (int i = 0; i < 700; ++i)
        path += "\xC3\xA9";
    path += ".wav";
    ASSERT_TRUE(LoadLines({"File3 = " + path}));
    data_.Bpm = 1000; // reached with the keys
    ASSERT_TRUE(store_.Save());
    const std::string written = TestSupport::ReadFile(Path());
    EXPECT_NE(written.find("\r\nFile3 = " + path + "\r\n"), std::string::npos);
    EXPECT_NE(written.find("\r\nBpm = 400\r\n"), std::string::npos);
    EXPECT_EQ(Platform::Text::Utf16ToPath(data_.File[2]), path);
}

// Every text reads back byte for byte: a '#' or tab, and a space or equals sign that begins a
// value, go after a backslash, and backslashes double only in front of those; what files
// written before hold (Windows paths among them) reads as it always did.
TEST_F(ConfigurationFile, TextsAreEscapedSoThatTheyReadBackByteForByte)
{
    const std::pair<std::u16string, std::string> table[] = {
        {u"Track #1.wav", R"(Track \#1.wav)"},
        {u"a\tb", "a\\\tb"},
        {u"  lead", R"(\  lead)"},
        {u"=x", R"(\=x)"},
        {u"trail  ", "trail  "},
        {u"a = b", "a = b"},
        {u"C:\\Sounds\\kick.wav", R"(C:\Sounds\kick.wav)"},
        {u"\\\\server\\share\\", R"(\\server\share\)"},
        {u"C:\\#1", R"(C:\\\#1)"},
        {u"\\ x", R"(\\\ x)"},
    };
    for (const auto& [value, spelt] : table) {
        SCOPED_TRACE(spelt);
        data_.File[0] = value;
        ASSERT_TRUE(store_.Save());
        EXPECT_NE(TestSupport::ReadFile(Path()).find("\r\nFile1 = " + spelt + "\r\n"), std::string::npos);
        FileConfiguration reread(Path());
        ASSERT_TRUE(reread.Load());
        EXPECT_EQ(reread.GetData().File[0], value);
    }
}
