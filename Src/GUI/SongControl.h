#pragma once
#include "Core/Songs/SongFiles.h"
#include "Core/Songs/SongStrategy.h"

#include <QString>

#include <cstdint>
#include <string>

namespace GUI {

/// The song and setlist the main window plays: what was loaded, where a song starts, the
/// next song of the setlist, and the song line the window shows ("Ballad · 2/5 bridge · 3/8").
/// GUI thread.
class SongControl {
public:
    /// Loads a song file to play from the part labelled fromLabel (empty: the first) at scale
    /// (0.5..1.5) of its tempos. False, with why, when the file cannot be read or has no such
    /// part; the song loaded before stays.
    bool LoadSong(const std::string& path, const std::string& fromLabel, double scale, QString& error);
    /// Loads a setlist and its first song that can be read. False, with why, when neither can be.
    bool LoadSetlist(const std::string& path, QString& error);
    /// Moves to the next (direction 1) or previous (-1) song of the setlist that can be read;
    /// false when there is none.
    bool StepSong(int direction);
    /// Plays a song as the editor shows it, from its part fromPart, at the practice scale set
    /// before; the setlist is forgotten. False when it has no part there.
    bool UseSong(const Core::Song& song, std::int32_t fromPart, const std::string& path);
    /// Plays a setlist from its song `index` (among Setlist::Songs()); false when that song
    /// cannot be read (the song and setlist loaded before stay).
    bool UseSetlist(const Core::Setlist& setlist, std::int32_t index, const std::string& path, QString& error);
    /// The file of the song loaded (empty for a song from the editor never saved) and of the setlist.
    const std::string& SongPath() const { return songPath_; }
    const std::string& SetlistPath() const { return setlistPath_; }
    /// Forgets the song and the setlist: Start plays the settings again.
    void Clear();

    bool HasSong() const { return loaded_; }
    const Core::Song& Song() const { return song_; }
    const Core::SongStart& Start() const { return start_; }
    /// True when the song goes on to the setlist's next song at its end.
    bool GoesOnToNext() const { return loaded_ && song_.ending == Core::SongEnding::Next; }

    /// The song line while nothing plays: the song's name and its first part.
    QString IdleText() const;
    /// The tempo (quarter notes a minute, rounded, at the practice scale) at a beat of a part
    /// (bar and beat from 1).
    int TempoAt(std::int32_t part, std::int32_t bar, std::int32_t beat) const;
    /// The song line for a position the run reported.
    QString PositionText(std::int32_t part, std::int32_t bar, std::int32_t partBars, bool countIn) const;

private:
    Core::Song song_;
    Core::SongStart start_;
    bool loaded_ = false;
    std::string songPath_, setlistPath_;
    Core::Setlist setlist_;
    std::int32_t setlistIndex_ = -1; // among setlist_.Songs(); -1 without a setlist
};

} // namespace GUI
