#pragma once
#include "GUI/Dialogs/Dialog.h"
#include "GUI/Dialogs/TabDialog.h"

#include <array>

class QLabel;
class QPushButton;
class QTabWidget;

namespace GUI {

class OptionsDialog;
class PracticeDialog;
class SoundSetupDialog;

/// The modal "Settings" window: five tabbed pages (Options, Sound Settings, Audio Files,
/// Presets, Practice), a help line for the control under the mouse, OK and Close. It opens on the page
/// the command asked for; OK writes the pages into the current settings in page order, or,
/// when a page refuses, nothing, and stays open on that page; Close and Escape write nothing. The main window then
/// shows the current settings again. The main window makes it once and keeps it, so the pages
/// and what they hold last between openings. A playing metronome goes on while the Sound
/// Settings page is shown (see SoundSetupDialog) and stops when another page is. GUI thread only.
class SettingsDialog final : public Dialog, public IParentWindow {
    Q_OBJECT
public:
    static constexpr int DialogId = 102;
    static constexpr int OkId = 1070;
    static constexpr int CloseId = 1072;
    static constexpr int HelpLineId = 1073;
    static constexpr int TabsId = 1205;
    /// Pages in tab order.
    enum Page { OptionsPage = 0, SoundSettingsPage = 1, AudioFilesPage = 2, PresetsPage = 3, PracticePage = 4, SyncControlPage = 5 };

    explicit SettingsDialog(const DialogContext& context);
    ~SettingsDialog() override;

    /// Opens on page `argument` (0..5) and refreshes the main window afterwards. Returns 1.
    int Open(int argument) override;

    TabDialog* PageAt(int index) const { return pages_[static_cast<std::size_t>(index)]; }
    OptionsDialog& Options() const;
    SoundSetupDialog& Sounds() const;
    PracticeDialog& Practice() const;
    int CurrentPage() const;
    /// OK: applies the pages to the current settings; closes when every page took its values.
    void Accept();

    // IParentWindow
    std::uint32_t Notify(std::uint32_t code, std::uint32_t argument) override;
    TabDialog* GetPage(int index) override;
    std::uint32_t Request(std::uint32_t code, const RequestArgument& argument) override;

public slots:
    void reject() override;
    void done(int result) override;

protected:
    void Prepare(int argument) override;

private:
    /// The steps of OK on record; false when a page refused.
    bool ApplyPages(Configuration::ConfigurationData& record);
    void SelectPage(int index);
    /// The Sound Settings page follows the sound source: MIDI instruments or the files named now.
    void FollowSoundSource(bool audioFiles);
    /// The Practice page's swing follows the Options page's grid.
    void FollowOptionsGrid();

    DialogContext context_;
    QTabWidget* tabs_;
    QPushButton* ok_;
    QPushButton* close_;
    QLabel* helpLine_;
    std::array<TabDialog*, 6> pages_{};
};

} // namespace GUI
