// The main window's dialogs: which command opens which dialog, made on its first opening and
// kept for the next ones.
#include "GUI/ApplicationWindow.h"
#include "GUI/Dialogs/ExportDialog.h"
#include "GUI/Dialogs/SetlistDialog.h"
#include "GUI/Dialogs/SongEditorDialog.h"

#include "GUI/Dialogs/AboutDialog.h"
#include "GUI/Dialogs/DiaryDialog.h"
#include "GUI/Dialogs/LanguageDialog.h"
#include "GUI/Dialogs/SettingsDialog.h"

namespace GUI {

namespace {

struct DialogCommand {
    int command;
    bool stopFirst;    // the dialog edits the settings the metronome plays from
    DialogMaker make;  // null: the dialog is not part of the program yet; its command is disabled
    int argument = 0;  // passed to Dialog::Open (the settings dialog's page)
};

// Commands sharing a maker share one dialog object. The step sequencer window has no row: it
// belongs to the Options page, which opens it (one object, kept with the page).
constexpr DialogCommand DialogCommands[] = {
    {ApplicationWindow::LanguageCommand, true, MakeDialog<LanguageDialog>},
    {ApplicationWindow::OptionsCommand, true, MakeDialog<SettingsDialog>, 0},
    // The Sound Settings page changes a playing run as it goes; the dialog stops the run when
    // another of its pages is shown.
    {ApplicationWindow::SoundSettingsCommand, false, MakeDialog<SettingsDialog>, 1},
    {ApplicationWindow::AudioFilesCommand, true, MakeDialog<SettingsDialog>, 2},
    {ApplicationWindow::PresetsCommand, true, MakeDialog<SettingsDialog>, 3},
    {ApplicationWindow::AboutCommand, false, MakeDialog<AboutDialog>},
    {ApplicationWindow::DiaryCommand, false, MakeDialog<DiaryDialog>},
};

const DialogCommand* FindDialogCommand(int command)
{
    for (const DialogCommand& row : DialogCommands) {
        if (row.command == command)
            return &row;
    }
    return nullptr;
}

} // namespace

bool ApplicationWindow::CommandAvailable(int command)
{
    const DialogCommand* row = FindDialogCommand(command);
    return !row || row->make;
}

bool ApplicationWindow::SettingsDialogOpen() const
{
    for (const auto& [make, dialog] : dialogs_) {
        for (const DialogCommand& row : DialogCommands) {
            if (row.make == make && row.stopFirst && dialog->isVisible())
                return true;
        }
    }
    return false;
}

Dialog* ApplicationWindow::DialogFor(int command)
{
    const DialogCommand* row = FindDialogCommand(command);
    if (!row || !row->make)
        return nullptr;
    for (const auto& [make, dialog] : dialogs_) {
        if (make == row->make)
            return dialog.get();
    }
    dialogs_.emplace_back(row->make, row->make(DialogContext{configuration_, metronome_, *this}));
    return dialogs_.back().second.get();
}

bool ApplicationWindow::OpenDialog(int command)
{
    const DialogCommand* row = FindDialogCommand(command);
    if (!row)
        return false;
    // A dialog that edits the settings never sees a playing metronome.
    if (row->stopFirst)
        StopIfRunning();
    Dialog* dialog = DialogFor(command);
    if (!dialog)
        return false;
    dialog->Open(row->argument);
    ReturnFocus();
    return true;
}

void ApplicationWindow::OpenExport()
{
    if (!exportDialog_)
        exportDialog_ = std::make_unique<ExportDialog>(this, configuration_);
    exportDialog_->Open();
}

void ApplicationWindow::OpenSongEditor()
{
    if (!songEditor_) {
        songEditor_ = std::make_unique<SongEditorDialog>(this, [this](const Core::Song& song, int part) {
            if (songs_.UseSong(song, part, songEditor_->Path()))
                PlayLoadedSong();
        });
        songEditor_->Load(songs_.SongPath()); // the song loaded, or a new one
    }
    songEditor_->ApplyTexts();
    songEditor_->show();
    songEditor_->raise();
    songEditor_->activateWindow();
}

void ApplicationWindow::OpenSetlist()
{
    if (!setlistDialog_) {
        setlistDialog_ = std::make_unique<SetlistDialog>(this, [this](const Core::Setlist& setlist, int index) {
            QString error;
            if (songs_.UseSetlist(setlist, index, std::string(), error))
                PlayLoadedSong();
        });
        setlistDialog_->Load(songs_.SetlistPath());
    }
    setlistDialog_->ApplyTexts();
    ShowSong();
    setlistDialog_->show();
    setlistDialog_->raise();
    setlistDialog_->activateWindow();
}

} // namespace GUI
