#include "Core/Songs/SongFiles.h"

#include "Configuration/ReplacingWrite.h"
#include "Platform/RegularFile.h"

#include <cstdlib>
#include <sys/stat.h>

namespace Core {

namespace {

constexpr std::size_t FileLimit = 1u << 20;

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash == 0 ? 1 : slash);
}

std::string NameOf(const std::string& path)
{
    std::string name = path.substr(path.rfind('/') + 1);
    for (const char* suffix : {".klick", ".txt", ".map", ".song"}) {
        const std::string s(suffix);
        if (name.size() > s.size() && name.compare(name.size() - s.size(), s.size(), s) == 0) {
            name.resize(name.size() - s.size());
            break;
        }
    }
    return name;
}

bool ReadText(const std::string& path, std::string& bytes, std::string& error)
{
    const Platform::ReadOutcome outcome = Platform::ReadRegularFile(path, FileLimit, bytes);
    if (outcome.Ok())
        return true;
    error = path + ": " + Platform::DescribeReadProblem(outcome, FileLimit);
    return false;
}

bool IsRegularFile(const std::string& path)
{
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

} // namespace

std::string DefaultSongFolder()
{
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data != nullptr && data[0] == '/')
        return std::string(data) + "/tolvane/songs";
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + "/.local/share/tolvane/songs";
}

bool LoadSong(const std::string& path, Song& song, std::string& error)
{
    std::string bytes;
    if (!ReadText(path, bytes, error))
        return false;
    song = ParseSong(bytes, NameOf(path));
    return true;
}

bool SaveSong(const std::string& path, const Song& song)
{
    return Configuration::WriteReplacing(path, FormatSong(song), u"Core::SaveSong");
}

std::vector<const SetlistEntry*> Setlist::Songs() const
{
    std::vector<const SetlistEntry*> songs;
    for (const SetlistEntry& entry : entries)
        if (!entry.path.empty())
            songs.push_back(&entry);
    return songs;
}

void Setlist::Add(const std::string& songPath)
{
    SetlistEntry entry;
    entry.path = songPath;
    const std::string prefix = folder + "/";
    entry.text = songPath.compare(0, prefix.size(), prefix) == 0 ? songPath.substr(prefix.size()) : songPath;
    entry.missing = !IsRegularFile(songPath);
    entries.push_back(std::move(entry));
}

Setlist ParseSetlist(const std::string& bytes, const std::string& folder)
{
    Setlist setlist;
    setlist.folder = folder;
    std::size_t at = 0;
    while (at < bytes.size()) {
        const std::size_t end = std::min(bytes.find('\n', at), bytes.size());
        SetlistEntry entry;
        entry.text = bytes.substr(at, end - at);
        at = end + 1;
        if (!entry.text.empty() && entry.text.back() == '\r')
            entry.text.pop_back();
        const std::size_t first = entry.text.find_first_not_of(" \t");
        const std::size_t last = entry.text.find_last_not_of(" \t");
        if (first != std::string::npos && entry.text[first] != '#') {
            const std::string name = entry.text.substr(first, last - first + 1);
            entry.path = name[0] == '/' ? name : folder + "/" + name;
            entry.missing = !IsRegularFile(entry.path);
        }
        setlist.entries.push_back(std::move(entry));
    }
    return setlist;
}

std::string FormatSetlist(const Setlist& setlist)
{
    std::string bytes;
    for (const SetlistEntry& entry : setlist.entries)
        bytes += entry.text + "\n";
    return bytes;
}

bool LoadSetlist(const std::string& path, Setlist& setlist, std::string& error)
{
    std::string bytes;
    if (!ReadText(path, bytes, error))
        return false;
    setlist = ParseSetlist(bytes, FolderOf(path));
    return true;
}

bool SaveSetlist(const std::string& path, const Setlist& setlist)
{
    return Configuration::WriteReplacing(path, FormatSetlist(setlist), u"Core::SaveSetlist");
}

} // namespace Core
