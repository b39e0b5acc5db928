#pragma once
#include "Core/Songs/SongFiles.h"

#include <QDialog>

#include <functional>
#include <string>

class QLabel;
class QListWidget;
class QPushButton;

namespace GUI {

/// Tools → Setlist: the songs of a setlist in order, reordered by dragging or with Alt+Up and
/// Alt+Down, added and removed, opened and saved; Enter, a double-click or Play plays a song.
/// The song playing is marked; a song whose file is not found is marked and kept.
class SetlistDialog final : public QDialog {
public:
    /// play: plays the setlist from its song `index` (among Setlist::Songs()).
    SetlistDialog(QWidget* parent, std::function<void(const Core::Setlist&, int)> play);

    /// Shows the setlist of path (empty: a new one in the songs' folder).
    void Load(const std::string& path);
    /// Saves to path (atomically), paths written relative to its folder where they lie in it.
    bool SaveTo(const std::string& path);
    /// Marks the song of this file as the one playing (empty: none).
    void MarkPlaying(const std::string& songPath);
    /// Adds song files at the end.
    void AddSongs(const QStringList& paths);
    /// Moves the selected song one place (direction -1 up, 1 down).
    void MoveSelected(int direction);
    /// Plays the song of this row.
    void PlayRow(int row);
    const Core::Setlist& Setlist() const { return setlist_; }
    void ApplyTexts();

protected:
    bool event(QEvent* event) override;

private:
    void Fill();
    void TakeOrder();

    std::function<void(const Core::Setlist&, int)> play_;
    Core::Setlist setlist_;
    std::string path_;
    std::string playing_;
    bool filling_ = false;
    QLabel* file_;
    QLabel* songsLabel_;
    QListWidget* list_;
    QPushButton* buttons_[8];
    QLabel* help_;
};

} // namespace GUI
