#include "GUI/ExportCommand.h"

#include "Configuration/FileConfiguration.h"
#include "Core/Engine/Practice.h"
#include "Core/Export/ClickTrack.h"
#include "GUI/SongControl.h"
#include "Platform/Files.h"
#include "System/CurrentLanguage.h"
#include "System/LanguageFileReader.h"

#include <csignal>
#include <cstdio>

namespace GUI {

namespace {

Core::Export::Control* cancelled = nullptr;

void CancelOnSignal(int)
{
    if (cancelled != nullptr)
        cancelled->cancel.store(true, std::memory_order_relaxed);
}

// The settings' language for the message, when it names a file that can be read.
void UseSettingsLanguage(const std::u16string& name)
{
    if (name.empty() || name == u"." || name == u".." || name.find_first_of(u"/\\") != std::u16string::npos)
        return;
    if (auto table = System::LoadLanguageFile(Platform::LanguageFolder() + QString::fromStdU16String(name).toStdString() + ".lng"))
        System::SetCurrentLanguage(std::move(table));
}

int Fail(const std::u16string& message)
{
    std::fprintf(stderr, "tolvane: %s\n", qPrintable(QString::fromStdU16String(message).simplified()));
    return 1;
}

} // namespace

int RunExportCommand(const CommandLine::ExportWish& wish)
{
    Configuration::FileConfiguration store;
    store.SetFirstSettings(Platform::FirstSettingsFile());
    store.Load();
    UseSettingsLanguage(store.GetLanguage());

    Core::Export::Request request;
    request.path = wish.path.toStdString();
    const auto kind = Core::Export::KindOfName(request.path, wish.bits);
    if (!kind)
        return Fail(Core::Export::UnknownKindMessage(request.path));
    if (!wish.preset.isEmpty() && !store.LoadPreset(wish.preset.toStdU16String())) {
        std::fprintf(stderr, "tolvane: there is no preset named \"%s\"\n", qPrintable(wish.preset));
        return 1;
    }
    request.settings = store.GetData();
    if (wish.tempo)
        request.settings.Bpm = *wish.tempo;
    for (qsizetype k = 0; k + 1 < wish.practice.size(); k += 2)
        Core::ApplyPracticeOption(wish.practice[k].toStdString(), wish.practice[k + 1].toStdString(), request.settings);
    if (!wish.song.isEmpty()) {
        SongControl song;
        QString error;
        if (!song.LoadSong(wish.song.toStdString(), wish.songFrom.toStdString(), wish.songScale / 100.0, error)) {
            std::fprintf(stderr, "tolvane: %s\n", qPrintable(error.simplified()));
            return 1;
        }
        request.song = song.Song();
        request.songStart = song.Start();
    }
    request.kind = *kind;
    request.rate = static_cast<std::uint32_t>(wish.rate);
    request.replace = wish.force;
    using Unit = Core::Export::Length::Unit;
    switch (wish.unit) {
    case CommandLine::ExportWish::Unit::Bars:
        request.length = {Unit::Bars, wish.amount};
        break;
    case CommandLine::ExportWish::Unit::Seconds:
        request.length = {Unit::Seconds, wish.amount};
        break;
    case CommandLine::ExportWish::Unit::Default:
        // A song or a trainer run whole; else 16 bars.
        request.length = request.song || request.settings.SpeedTrainer == Configuration::TrainerMode::On
                             ? Core::Export::Length{Unit::WholeRun, 0}
                             : Core::Export::Length{Unit::Bars, 16};
        break;
    }

    Core::Export::Control control;
    cancelled = &control;
    struct sigaction action {};
    action.sa_handler = CancelOnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    const Core::Export::Outcome outcome = Core::Export::ExportClickTrack(request, &control);
    cancelled = nullptr;
    if (outcome.failure != Core::Export::Failure::None)
        return Fail(Core::Export::FailureMessage(outcome, request.path));
    return 0;
}

} // namespace GUI
