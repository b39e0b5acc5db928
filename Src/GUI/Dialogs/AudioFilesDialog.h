#pragma once
#include "Configuration/ConfigurationData.h"
#include "GUI/Dialogs/TabDialog.h"

#include <array>

class QGroupBox;
class QLabel;
class QLineEdit;
class QToolButton;

namespace GUI {

/// The Audio Files page of the settings dialog: the twelve wave files the voices play when
/// audio files are the sound source, each typed or chosen with its "..." button. Applying
/// checks every named file in voice order and refuses the first one that cannot be played,
/// with its message, its path selected and focused; large files are accepted after one
/// message for all of them. GUI thread only.
class AudioFilesDialog final : public TabDialog {
    Q_OBJECT
public:
    static constexpr int GroupId = 1055;
    /// Row i (voice i + 1) has these identifiers plus i.
    static constexpr int PathId = 1290;
    static constexpr int BrowseId = 1306;

    AudioFilesDialog(IParentWindow& frame, HelpTable help);

    /// The edits take the settings' files.
    void Load(const Configuration::ConfigurationData& settings) override;
    /// Writes the twelve files into record and checks them (see the class). Without any file
    /// named, or when nothing was named or changed since the opening, every file becomes empty
    /// unchecked.
    bool Apply(Configuration::ConfigurationData& record) override;
    QStringList FileNames() const override;

    QLineEdit* PathEdit(int voice) const { return paths_[static_cast<std::size_t>(voice)]; }
    /// Checks settings' files in voice order and shows the message for the first one refused,
    /// owned by owner; false when none is refused. For a start that failed with audio files.
    static bool TellRefusedFile(QWidget* owner, const Configuration::ConfigurationData& settings);

    /// The "..." button of a voice: the open-file dialog, starting in the folder of the path
    /// already there and centred on the desktop. A chosen file goes into the edit.
    void Browse(int voice);

protected:
    /// Names each row's edit and button by the page and the voice.
    void NameControls() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    /// The other pages follow the files named now.
    void ReportChange();

    QGroupBox* group_ = nullptr;
    std::array<QLabel*, Configuration::VoiceCount> numbers_{};
    std::array<QLineEdit*, Configuration::VoiceCount> paths_{};
    std::array<QToolButton*, Configuration::VoiceCount> browse_{};
    bool filesPresent_ = false; // a file was named at the opening, or one was typed or chosen since
    bool opened_ = false;       // edits report their changes only once the page is filled
};

} // namespace GUI
