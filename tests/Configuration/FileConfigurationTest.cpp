// The store: preset operations, where the file lives, and saving without losing anything.
#include "Configuration/FileConfiguration.h"
#include "Core/Engine/BeatPatterns.h"
#include "Platform/Text.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using Configuration::ConfigurationData;
using Configuration::FileConfiguration;

namespace {

ConfigurationData Preset(const char16_t* name, int bpm, const char16_t* description = u"")
{
    ConfigurationData record;
    record.Name = name;
    record.Description = description;
    record.Bpm = bpm;
    return record;
}

class Store : public ::testing::Test {
protected:
    std::string Path() const { return folder_ / "Tolvane.conf"; }

    TestSupport::TempFolder folder_;
    TestSupport::ScopedLog log_;
    FileConfiguration store_{Path()};
};

/// The presets in the store's order, by name and tempo.
using PresetList = std::vector<std::pair<std::u16string, int>>;
PresetList Presets(FileConfiguration& store)
{
    PresetList presets;
    store.ForEachPreset([&](const ConfigurationData& record) { presets.emplace_back(record.Name, record.Bpm); });
    return presets;
}

} // namespace

TEST_F(Store, AddsLoadsAndDeletesPresetsByExactName)
{
    EXPECT_TRUE(store_.AddPreset(Preset(u"Waltz", 90, u"three")));
    EXPECT_FALSE(store_.AddPreset(Preset(u"Waltz", 200)));
    EXPECT_EQ(Presets(store_), (PresetList{{u"Waltz", 90}}));
    EXPECT_TRUE(store_.PresetExists(u"Waltz"));
    EXPECT_FALSE(store_.PresetExists(u"waltz"));

    EXPECT_FALSE(store_.LoadPreset(u"waltz"));
    EXPECT_EQ(store_.GetData().Bpm, 120);
    ASSERT_TRUE(store_.LoadPreset(u"Waltz"));
    EXPECT_TRUE(store_.GetData() == Preset(u"Waltz", 90, u"three"));

    // Saving empties the current settings' name; the presets stay.
    ASSERT_TRUE(store_.Save());
    EXPECT_EQ(store_.GetData().Name[0], u'\0');
    EXPECT_FALSE(store_.DeletePreset(u"Polka"));
    EXPECT_TRUE(store_.DeletePreset(u"Waltz"));
    EXPECT_EQ(Presets(store_), PresetList{});
}

TEST_F(Store, UpdateReplacesOrRenamesButNeverOverwritesAnotherPreset)
{
    for (const char16_t* name : {u"B", u"D", u"F", u"H", u"J"})
        store_.AddPreset(Preset(name, 100));
    EXPECT_TRUE(store_.UpdatePreset(Preset(u"D", 140, u"new"), u"D"));
    EXPECT_TRUE(store_.UpdatePreset(Preset(u"A", 111), u"H"));
    EXPECT_TRUE(store_.UpdatePreset(Preset(u"Z", 122), u"B"));
    EXPECT_FALSE(store_.UpdatePreset(Preset(u"Jazz", 99), u"Jazz"));
    // Renaming F to J would merge the two: J stays as it was, and F takes the new settings
    // under its own name.
    EXPECT_FALSE(store_.UpdatePreset(Preset(u"J", 70, u"changed"), u"F"));
    EXPECT_EQ(Presets(store_), (PresetList{{u"A", 111}, {u"D", 140}, {u"F", 70}, {u"J", 100}, {u"Z", 122}}));
    ASSERT_TRUE(store_.LoadPreset(u"F"));
    EXPECT_EQ(std::u16string(store_.GetData().Description), u"changed");

    // Renamed presets survive a save and load under their new names.
    ASSERT_TRUE(store_.Save());
    FileConfiguration reread(Path());
    ASSERT_TRUE(reread.Load());
    ASSERT_TRUE(reread.LoadPreset(u"Z"));
    EXPECT_EQ(reread.GetData().Bpm, 122);
}

TEST_F(Store, NamesAreKeptAsTheFileGivesThemBack)
{
    // Spaces, '#' and tabs survive the file; a line break ends a name, and 79 code units is
    // the most a name holds, so those are cut from the start.
    for (const char16_t* name : {u" Slow", u"Slow", u"Rock#2", u"Tab\tName", u"Two\nLines"})
        EXPECT_TRUE(store_.AddPreset(Preset(name, 60)));
    store_.GetData().File[0] = u"/tmp/odd\nBpm = 300"; // nor does a path's line break make a line
    EXPECT_FALSE(store_.AddPreset(Preset(u"Two", 61)));
    EXPECT_TRUE(store_.AddPreset(Preset((std::u16string(79, u'L') + u"x").c_str(), 62)));
    EXPECT_TRUE(store_.PresetExists(std::u16string(79, u'L') + u"y"));
    const PresetList presets{{u" Slow", 60}, {std::u16string(79, u'L'), 62}, {u"Rock#2", 60},
                             {u"Slow", 60},  {u"Tab\tName", 60},              {u"Two", 60}};
    EXPECT_EQ(Presets(store_), presets);

    ASSERT_TRUE(store_.Save());
    FileConfiguration reread(Path());
    ASSERT_TRUE(reread.Load());
    EXPECT_EQ(Presets(reread), presets);
    EXPECT_EQ(std::u16string(reread.GetData().File[0]), u"/tmp/odd");
    EXPECT_EQ(reread.GetData().Bpm, 120);
}

TEST_F(Store, AFailedSaveLeavesTheOldFileWhole)
{
    store_.GetData().Bpm = 150;
    ASSERT_TRUE(store_.Save());
    const std::string before = TestSupport::ReadFile(Path());

    // A folder that does not exist.
    FileConfiguration nowhere(folder_ / "missing/Tolvane.conf");
    EXPECT_FALSE(nowhere.Save());
    EXPECT_TRUE(log_.Has("[Error]"));

    // The rename fails: the file's name is taken by a folder with something in it. The
    // temporary file does not stay behind.
    FileConfiguration blocked(folder_ / "blocked");
    std::filesystem::create_directories(folder_ / "blocked/inside");
    EXPECT_FALSE(blocked.Save());
    EXPECT_TRUE(log_.Has("Error calling rename"));
    for (const auto& entry : std::filesystem::directory_iterator(folder_.Path()))
        EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
    EXPECT_EQ(TestSupport::ReadFile(Path()), before);
}

TEST_F(Store, LeftoverTemporariesNeitherBlockNorStay)
{
    // What killed saves and older versions leave: a folder and a link under the old fixed
    // name, an abandoned temporary of today's kind.
    std::filesystem::create_directories(Path() + ".tmp/inside");
    std::filesystem::create_symlink(folder_ / "elsewhere", Path() + ".tmp-link00");
    TestSupport::WriteFile(Path() + ".tmp-Abc123", "half a fi");
    const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::minutes(5);
    std::filesystem::last_write_time(Path() + ".tmp-Abc123", old);

    store_.GetData().Bpm = 160;
    ASSERT_TRUE(store_.Save());
    EXPECT_NE(TestSupport::ReadFile(Path()).find("\r\nBpm = 160\r\n"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(Path() + ".tmp-link00")));
    EXPECT_FALSE(std::filesystem::exists(Path() + ".tmp-Abc123"));
    EXPECT_FALSE(std::filesystem::exists(folder_ / "elsewhere"));
    struct stat info {};
    ASSERT_EQ(::stat(Path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

// Before the first save after a load the file as loaded is kept as the backup; a file with
// lines the load did not understand never replaces the backup of one that read completely.
// Without its backup such a file is not overwritten at all.
TEST_F(Store, TheBackupKeepsTheLastFileThatReadCompletely)
{
    const std::string good = "\xEF\xBB\xBF# Metronome Configuration File\r\nBpm = 90\r\n";
    const std::string odd = "\xEF\xBB\xBF# Metronome Configuration File\r\nBpm = 91\r\nBpm: 62\r\n";
    TestSupport::WriteFile(Path(), good);
    ASSERT_TRUE(store_.Load());
    ASSERT_TRUE(store_.Save());
    EXPECT_EQ(TestSupport::ReadFile(store_.BackupPath()), good);

    for (int run = 0; run < 2; ++run) {
        TestSupport::WriteFile(Path(), odd);
        FileConfiguration next(Path());
        ASSERT_TRUE(next.Load());
        ASSERT_TRUE(next.Save());
        EXPECT_EQ(TestSupport::ReadFile(next.BackupPath()), good);
        EXPECT_NE(TestSupport::ReadFile(Path()).find("\r\nBpm: 62\r\n"), std::string::npos);
    }
    EXPECT_TRUE(log_.Has("the backup " + store_.BackupPath() + " of an earlier file that could is kept instead"));

    // With no good backup to keep, the odd file becomes the backup; one that cannot be
    // written keeps the file from being saved.
    std::filesystem::remove(store_.BackupPath());
    std::filesystem::create_directories(store_.BackupPath() + "/inside");
    TestSupport::WriteFile(Path(), odd);
    FileConfiguration blocked(Path());
    ASSERT_TRUE(blocked.Load());
    EXPECT_FALSE(blocked.Save());
    EXPECT_EQ(TestSupport::ReadFile(Path()), odd);
    std::filesystem::remove_all(store_.BackupPath());
    ASSERT_TRUE(blocked.Save());
    EXPECT_EQ(TestSupport::ReadFile(blocked.BackupPath()), odd);
    EXPECT_TRUE(log_.Has("it was kept as " + store_.BackupPath()));
}

// The writer never writes a file the next load would refuse: the old one stays.
TEST_F(Store, SettingsTooLargeForTheFileAreNotSaved)
{
    ASSERT_TRUE(store_.Save());
    const std::string before = TestSupport::ReadFile(Path());
    ConfigurationData big = Preset(u"", 60, std::u16string(255, u'd').c_str());
    for (auto& file : big.File)
        file = std::u16string(771, u'f');
    for (int i = 0; i < 1800; ++i) {
        big.Name = u"P" + Platform::Text::Utf8ToUtf16(std::to_string(i));
        store_.AddPreset(big);
    }
    EXPECT_FALSE(store_.Save());
    EXPECT_EQ(TestSupport::ReadFile(Path()), before);
    EXPECT_TRUE(log_.Has("more than the 16777216 a configuration file may hold"));
}

TEST_F(Store, AFileThatCannotBeReadIsNeverReplaced)
{
    for (const std::string kind : {"named pipe", "16 MB and a byte"}) {
        SCOPED_TRACE(kind);
        const TestSupport::TempFolder folder;
        const std::string path = folder / "Tolvane.conf";
        if (kind == "named pipe") {
            ::mkfifo(path.c_str(), 0600);
        } else {
            TestSupport::WriteFile(path, "Bpm = 99\n");
            std::filesystem::resize_file(path, 16 * 1024 * 1024 + 1);
        }
        const std::string reason = kind == "16 MB and a byte" ? "larger than 16777216 bytes" : "not a regular file";
        struct stat before {};
        ::lstat(path.c_str(), &before);
        FileConfiguration store(path);
        EXPECT_FALSE(store.Load());
        EXPECT_EQ(store.SavingRefused(), FileConfiguration::SaveRefusal::UnreadableFile);
        EXPECT_FALSE(store.Save());
        struct stat after {};
        ::lstat(path.c_str(), &after);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_size, before.st_size);
        EXPECT_TRUE(log_.Has("[Error]  Configuration file " + path + " could not be read (" + reason + ")"));
    }
    FileConfiguration nowhere{std::string()};
    EXPECT_FALSE(nowhere.Load());
    EXPECT_EQ(nowhere.SavingRefused(), FileConfiguration::SaveRefusal::NoPrivateFolder);
    EXPECT_FALSE(nowhere.Save());
}

// A first start begins with the shipped settings: an accent that differs from the beat, 4/4,
// and example presets that read whole and play; the first save makes the user's file of them.
TEST_F(Store, AFirstStartBeginsWithTheShippedSettings)
{
    store_.SetFirstSettings(TOLVANE_FIRST_SETTINGS);
    ASSERT_TRUE(store_.Load());
    const ConfigurationData& first = store_.GetData();
    EXPECT_EQ(first.BeatType, Configuration::BeatKind::BeatsPerBar);
    EXPECT_EQ(first.BeatsPerBar, 4);
    EXPECT_TRUE(first.Instrument[0] != first.Instrument[1] || first.Volume[0] > first.Volume[1]);
    EXPECT_GT(first.Size[0], first.Size[1]);
    EXPECT_TRUE(first.KeptLines.empty());

    int presets = 0;
    store_.ForEachPreset([&](const ConfigurationData& preset) {
        SCOPED_TRACE(Platform::Text::Utf16ToUtf8(preset.Name));
        ++presets;
        EXPECT_TRUE(preset.KeptLines.empty());
        std::array<std::int32_t, Core::MaxPatternLength> voices{};
        std::array<std::uint64_t, Core::MaxPatternLength> steps{};
        Core::TickPattern pattern{};
        std::int32_t count = 0;
        if (preset.BeatType == Configuration::BeatKind::CustomPattern) {
            EXPECT_EQ(Core::ParseCustomPattern(preset.CustomPattern, false, true, voices, pattern, count), 0u);
        }
        if (preset.BeatType == Configuration::BeatKind::CustomRhythm) {
            EXPECT_EQ(Core::ParseCustomRhythm(preset.CustomRhythm, false, true, steps, pattern, count), 0u);
        }
    });
    EXPECT_GE(presets, 7);

    ASSERT_TRUE(store_.Save());
    EXPECT_FALSE(std::filesystem::exists(store_.BackupPath()));
    FileConfiguration again(Path());
    again.SetFirstSettings(folder_ / "none.conf");
    ASSERT_TRUE(again.Load());
    EXPECT_TRUE(again.GetData() == first);
    EXPECT_EQ(again.Presets().size(), store_.Presets().size());
}
