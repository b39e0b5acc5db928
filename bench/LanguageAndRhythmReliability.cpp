// The language files' and the step sequencer's checks of the reliability run
// (reliability_tool languages FOLDER): one line per fault, "1<tab>text" when it holds and
// "0<tab>text" when not, with its counts.
#include "Configuration/FileConfiguration.h"
#include "Core/Engine/BeatPatterns.h"
#include "Platform/Text.h"
#include "StepSequencer/StepSequencerGrid.h"
#include "System/CurrentLanguage.h"
#include "System/ILog.h"
#include "System/LanguageFileReader.h"
#include "System/Log.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

// The readers log why they refuse a file; counted here instead of written anywhere.
class CountingLog final : public System::ILog {
public:
    void WriteWideV(int, const char16_t*, va_list) override { ++lines; }
    void WriteV(int, const char*, va_list) override { ++lines; }
    void SetLevel(int) override {}
    int lines = 0;
};

void Write(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

void Report(bool holds, const std::string& text)
{
    std::printf("%d\t%s\n", holds ? 1 : 0, text.c_str());
    std::fflush(stdout);
}

std::string LanguageFile(const std::string& english, const std::string& body)
{
    return "\xEF\xBB\xBF@lng\n[Language]\nLangEnglish = " + english + "\nLanguage = " + english + "\n" + body;
}

// F12: a file en.lng is offered under its own name, apart from the built-in English (the
// empty name); a file whose body fails to load is not offered.
void Chooser(const std::string& folder)
{
    const std::string languages = folder + "/Lang/";
    std::filesystem::create_directories(languages);
    Write(languages + "en.lng", LanguageFile("English", "[Text]\n1 = Own\n"));
    Write(languages + "bb.lng", LanguageFile("Broken", "[Text]\n1 = fine\nno value here\n"));
    Write(languages + "de.lng", LanguageFile("German", "[Text]\n1 = Tolvane\n"));
    std::vector<System::LanguageFileChoice> files;
    const bool listed = System::ListLanguageFiles(languages, files);
    std::string names;
    bool english = false;
    bool broken = false;
    for (const auto& file : files) {
        const std::string name = Platform::Text::Utf16ToUtf8(file.name);
        names += (names.empty() ? "" : ", ") + name;
        english = english || name == "en";
        broken = broken || name == "bb";
    }
    Report(listed && english && !broken && files.size() == 2,
           "F12 language folder of en.lng, de.lng and bb.lng (its body fails): offered " + names
               + " (the built-in English is the empty name); bb.lng " + (broken ? "OFFERED" : "left out"));
}

// F14: a comment line longer than any buffer is skipped whole.
void LongComments(const std::string& folder)
{
    int loaded = 0;
    const std::size_t lengths[] = {898, 899, 4096, 100000};
    for (const std::size_t length : lengths) {
        const std::string path = folder + "/comment.lng";
        Write(path, LanguageFile("Long", "[Text]\n# " + std::string(length, 'c') + " = not a key\n1 = after\n"));
        const auto table = System::LoadLanguageFile(path);
        loaded += table && std::u16string_view(table->GetText(0)) == u"after";
    }
    Report(loaded == 4, "F14 comment lines of 900 to 100,000 bytes: " + std::to_string(loaded)
                            + " of 4 language files loaded with the entry after the comment");
}

// F15: the step sequencer's largest grid (4 bars of 16 beats of 8) plays and saves one
// off-beat hit and the most hits a rhythm holds, and reads them back from the file.
void LargestGrid(const std::string& folder)
{
    using StepSequencer::StepSequencerGrid;
    Configuration::ConfigurationData settings;
    settings.CrNumBars = 4;
    settings.CrBeatsPerBar = 16;
    settings.DisplayedSubdiv = 8;
    settings.DisplayDistinct = 0; // every row shown, so every hit is written
    StepSequencerGrid grid;
    grid.LoadFromSettings(settings, *System::BuiltInLanguage());
    std::u16string densest;
    for (int i = 0; i < 36; ++i)
        densest += u"[123456789:ab]";
    densest += std::u16string(8, u'1') + std::u16string(512 - 44, u' ');

    int played = 0;
    int saved = 0;
    int reread = 0;
    int steps512 = 0;
    for (const bool dense : {false, true}) {
        if (dense)
            grid.LoadRhythm(densest, 8);
        else
            grid.ToggleCell(0, 511);
        Configuration::ConfigurationData play = settings;
        play.SpeedTrainer = Configuration::TrainerMode::StepSequencer;
        played += grid.WriteRhythm(play) == StepSequencerGrid::RhythmWritten;
        std::array<std::uint64_t, Core::MaxPatternLength> rhythmSteps{};
        Core::TickPattern pattern{};
        std::int32_t count = 0;
        steps512 += Core::ParseCustomRhythm(play.CustomRhythm, false, false, rhythmSteps, pattern, count) == 0
                    && count == 512;

        const std::string path = folder + "/rhythm.conf";
        Configuration::FileConfiguration store(path);
        saved += grid.WriteRhythm(store.GetData()) == StepSequencerGrid::RhythmWritten && store.Save();
        Configuration::FileConfiguration file(path);
        file.Load();
        reread += file.GetData().CustomRhythm == store.GetData().CustomRhythm && file.UnreadLine().count == 0;
    }
    grid.ToggleCell(2, 100);
    Configuration::ConfigurationData more = settings;
    const bool refused = grid.WriteRhythm(more) == StepSequencerGrid::RhythmTooManyHits;
    Report(played == 2 && saved == 2 && reread == 2 && steps512 == 2 && refused,
           "F15 largest step-sequencer grid (512 columns), one off-beat hit and 512 hit characters: "
               + std::to_string(played) + " of 2 played, " + std::to_string(steps512) + " of 2 taken by the engine as "
               "512 steps, " + std::to_string(saved) + " of 2 saved, " + std::to_string(reread)
               + " of 2 read back from the file; one hit more refused " + (refused ? "yes" : "NO"));
}

} // namespace

int LanguageAndRhythmChecks(const std::string& folder)
{
    static CountingLog log;
    System::SetLog(&log);
    Chooser(folder);
    LongComments(folder);
    LargestGrid(folder);
    return 0;
}
