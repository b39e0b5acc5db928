#include "GUI/ScoreCommand.h"

#include "Configuration/FileConfiguration.h"
#include "Core/Engine/Practice.h"
#include "Core/Timing/ScoreReport.h"
#include "Platform/Files.h"

#include <cstdio>

namespace GUI {

int ScoreFromCommandLine(const CommandLine::ScoreOptions& options)
{
    Configuration::FileConfiguration store;
    store.SetFirstSettings(Platform::FirstSettingsFile());
    store.Load();
    if (!options.preset.isEmpty() && !store.LoadPreset(options.preset.toStdU16String())) {
        std::fprintf(stderr, "tolvane: there is no preset '%s'\n", qPrintable(options.preset));
        return 1;
    }
    Configuration::ConfigurationData settings = store.GetData();
    if (options.tempo)
        settings.Bpm = *options.tempo;
    if (options.beats) {
        settings.BeatType = Configuration::BeatKind::BeatsPerBar;
        settings.BeatsPerBar = *options.beats;
    }
    if (options.subdivision)
        settings.Subdivision1 = *options.subdivision > 1 ? *options.subdivision : 0;
    for (qsizetype i = 0; i + 1 < options.practice.size(); i += 2)
        Core::ApplyPracticeOption(options.practice[i].toStdString(), options.practice[i + 1].toStdString(), settings);

    const Core::Timing::ScoredTake take
        = Core::Timing::ScoreTakeFile(settings, options.take.toStdString(), options.offsetMs);
    if (!take.error.empty()) {
        std::fprintf(stderr, "tolvane: cannot score %s\n", take.error.c_str());
        return 1;
    }
    const std::string out = options.json ? Core::Timing::SummaryJson(take) + "\n" : Core::Timing::SummaryText(take);
    std::fputs(out.c_str(), stdout);
    return 0;
}

} // namespace GUI
