#pragma once
#include "Configuration/IConfiguration.h"
#include "Core/Export/ClickTrack.h"

#include <QDialog>

#include <memory>
#include <thread>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace GUI {

/// File → Export Click Track: what (the current settings, a preset or a song), the file type, the
/// rate, the length and the file name; Export writes it on a thread of its own while a
/// progress bar and Cancel stay usable, then tells how it went. Its choices are kept in the
/// settings (ProgramSwitches) for the next opening, in this run and the next. Texts from the [Text] table; every control has a label (its
/// accessible name) and a help text (its status tip, shown in the help line).
class ExportDialog final : public QDialog {
public:
    ExportDialog(QWidget* parent, Configuration::IConfiguration& configuration);
    ~ExportDialog() override;

    /// Fills the lists afresh (presets, texts of the current language) and sizes the window.
    void Prepare();
    /// Prepare, then shows the window modally.
    void Open();
    /// Starts the export with the choices shown (asks before replacing a file). For tests:
    /// replace answers the question instead of the user.
    void StartExport(bool replace = false);
    /// True while an export runs.
    bool Exporting() const { return worker_.joinable(); }

    // The [Text] entries of the menu item and the window, from FirstText on.
    static constexpr int FirstText = 55;
    static constexpr int MenuText = FirstText, MenuHelp = FirstText + 1;

protected:
    bool event(QEvent* event) override;
    void reject() override;

private:
    void ApplyTexts();
    /// Shows the choices kept in the settings (the last ones made), or the defaults.
    void Restore();
    /// Keeps the choices shown in the settings, for the next opening and the next run.
    void Remember();
    void Browse();
    void FollowFormat();
    /// Follows the choice of what: a song's length may be the whole song; "A song file..."
    /// asks for the file.
    void FollowWhat();
    /// Adds (once) and selects the song file at path; false when it cannot be read (said).
    bool ChooseSong(const QString& path, bool tell);
    void Finished(Core::Export::Outcome outcome, std::string path);
    void SetBusy(bool busy);
    Core::Export::Request MakeRequest() const;

    Configuration::IConfiguration& configuration_;
    int shownWhat_ = 0; // what was chosen before "A song file..."
    QComboBox* what_;
    QComboBox* format_;
    QComboBox* rate_;
    QDoubleSpinBox* amount_;
    QComboBox* unit_;
    QLineEdit* file_;
    QPushButton* browse_;
    QProgressBar* progress_;
    QPushButton* export_;
    QPushButton* close_;
    QLabel* help_;
    std::unique_ptr<Core::Export::Control> control_;
    std::thread worker_;
};

} // namespace GUI
