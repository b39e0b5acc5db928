#pragma once
#include "Core/Songs/Song.h"

#include <QDialog>

#include <functional>
#include <string>

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace GUI {

/// Tools → Song Editor: a song's parts as a table edited in place (a row a part: label, bars,
/// metre, tempo, pattern, volume and Tolvane's additions), parts added, removed, moved and
/// duplicated, the song's count-in and ending, Open, Save and Save As, and Play from the
/// selected part. A line that cannot be read stays a row of its own with its text and is
/// named, with the file and its line number, above the table; it is written back as it was.
/// Texts from the [Text] table; every control named and explained in the help line.
class SongEditorDialog final : public QDialog {
public:
    /// play: starts the song from a part (an index among its parts).
    SongEditorDialog(QWidget* parent, std::function<void(const Core::Song&, int)> play);

    /// Shows the song of path (empty: a new song of one part), texts of the current language.
    void Load(const std::string& path);
    /// Saves to path (atomically); false, said in the window, when it cannot.
    bool SaveTo(const std::string& path);
    const Core::Song& Song() const { return song_; }
    const std::string& Path() const { return path_; }
    /// The texts of the current language, and the window sized to them.
    void ApplyTexts();

    /// Row operations on the selected part, as the buttons do them.
    enum class Edit { Add, Remove, Up, Down, Duplicate };
    void Change(Edit edit);

protected:
    bool event(QEvent* event) override;

private:
    void Fill();
    void ShowRow(int row);
    void RowEdited(int row);
    void ShowProblems();
    std::size_t LineOf(int row) const;
    int SelectedRow() const;

    std::function<void(const Core::Song&, int)> play_;
    Core::Song song_;
    std::string path_;
    std::vector<std::size_t> rows_; // the song's line shown in each row
    bool filling_ = false;
    QLabel* file_;
    QLabel* problems_;
    QLabel* partsLabel_;
    QTableWidget* table_;
    QComboBox* countIn_;
    QComboBox* ending_;
    QPushButton* buttons_[10];
    QLabel* help_;
};

} // namespace GUI
