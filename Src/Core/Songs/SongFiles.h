#pragma once
#include "Core/Songs/Song.h"

#include <string>
#include <vector>

namespace Core {

/// One line of a setlist: a song file's path as written (relative to the setlist's folder, or
/// absolute), or a comment or empty line kept as it was.
struct SetlistEntry {
    std::string text;     ///< the line as written
    std::string path;     ///< the song file it names; empty for a comment or an empty line
    bool missing = false; ///< no readable file at path when the setlist was read
};

/// An ordered list of songs, read from and written to a text file of one path a line.
struct Setlist {
    std::string folder;   ///< the setlist file's folder: relative paths start there
    std::vector<SetlistEntry> entries;

    /// The entries that name songs, in order.
    std::vector<const SetlistEntry*> Songs() const;
    /// Adds a song at the end, written relative to folder when it lies inside it.
    void Add(const std::string& songPath);
};

/// The folder songs and setlists are kept in by default: $XDG_DATA_HOME/tolvane/songs
/// (~/.local/share/tolvane/songs).
std::string DefaultSongFolder();

/// Reads a song file (at most 1 MiB). False, with a message naming the file, when it cannot
/// be read at all; a file that reads has its unreadable lines in Song::Problems.
bool LoadSong(const std::string& path, Song& song, std::string& error);
/// Writes a song as a whole (a failed save leaves the old file as it was); logs a failure.
bool SaveSong(const std::string& path, const Song& song);

Setlist ParseSetlist(const std::string& bytes, const std::string& folder);
std::string FormatSetlist(const Setlist& setlist);
bool LoadSetlist(const std::string& path, Setlist& setlist, std::string& error);
bool SaveSetlist(const std::string& path, const Setlist& setlist);

} // namespace Core
