#include "GUI/SongControl.h"

#include "System/Log.h"

#include <cmath>

namespace GUI {

bool SongControl::LoadSong(const std::string& path, const std::string& fromLabel, double scale, QString& error)
{
    Core::Song song;
    std::string problem;
    if (!Core::LoadSong(path, song, problem)) {
        error = QString::fromStdString(problem);
        return false;
    }
    for (const std::string& line : song.Problems())
        System::Log().Write(System::Warn, "%s: %s", path.c_str(), line.c_str());
    Core::SongStart start;
    start.scale = scale;
    if (!fromLabel.empty() && (start.fromPart = song.FindLabel(fromLabel)) < 0) {
        error = QString::fromStdString(path + ": no part labelled " + fromLabel);
        return false;
    }
    if (song.Parts().empty()) {
        error = QString::fromStdString(path + ": no part to play");
        return false;
    }
    song_ = std::move(song);
    start_ = start;
    loaded_ = true;
    songPath_ = path;
    return true;
}

bool SongControl::UseSong(const Core::Song& song, std::int32_t fromPart, const std::string& path)
{
    if (fromPart < 0 || static_cast<std::size_t>(fromPart) >= song.Parts().size())
        return false;
    song_ = song;
    start_.fromPart = fromPart;
    loaded_ = true;
    songPath_ = path;
    setlist_ = Core::Setlist{};
    setlistIndex_ = -1;
    setlistPath_.clear();
    return true;
}

bool SongControl::UseSetlist(const Core::Setlist& setlist, std::int32_t index, const std::string& path, QString& error)
{
    const std::vector<const Core::SetlistEntry*> songs = setlist.Songs();
    if (index < 0 || static_cast<std::size_t>(index) >= songs.size())
        return false;
    if (!LoadSong(songs[static_cast<std::size_t>(index)]->path, std::string(), start_.scale, error))
        return false;
    setlist_ = setlist;
    setlistIndex_ = index;
    setlistPath_ = path;
    return true;
}

bool SongControl::LoadSetlist(const std::string& path, QString& error)
{
    Core::Setlist setlist;
    std::string problem;
    if (!Core::LoadSetlist(path, setlist, problem)) {
        error = QString::fromStdString(problem);
        return false;
    }
    setlist_ = std::move(setlist);
    setlistIndex_ = -1;
    setlistPath_ = path;
    if (!StepSong(1)) {
        error = QString::fromStdString(path + ": no song of the setlist can be read");
        return false;
    }
    return true;
}

bool SongControl::StepSong(int direction)
{
    const std::vector<const Core::SetlistEntry*> songs = setlist_.Songs();
    const double scale = start_.scale;
    for (auto index = static_cast<std::size_t>(setlistIndex_ + direction); index < songs.size(); index += direction) {
        QString error;
        if (!songs[index]->missing && LoadSong(songs[index]->path, std::string(), scale, error)) {
            setlistIndex_ = static_cast<std::int32_t>(index);
            return true;
        }
    }
    return false;
}

void SongControl::Clear()
{
    loaded_ = false;
    songPath_.clear();
    setlistPath_.clear();
    song_ = Core::Song{};
    setlist_ = Core::Setlist{};
    setlistIndex_ = -1;
}

int SongControl::TempoAt(std::int32_t part, std::int32_t bar, std::int32_t beat) const
{
    const std::vector<const Core::SongPart*> parts = song_.Parts();
    if (part < 0 || static_cast<std::size_t>(part) >= parts.size())
        return 0;
    const Core::SongPart& shown = *parts[static_cast<std::size_t>(part)];
    const std::int64_t index = static_cast<std::int64_t>(bar - 1) * shown.beats + (beat - 1);
    return static_cast<int>(std::lround(shown.TempoAt(index) * start_.scale));
}

QString SongControl::IdleText() const
{
    return loaded_ ? PositionText(start_.fromPart, 0, 0, true) : QString();
}

QString SongControl::PositionText(std::int32_t part, std::int32_t bar, std::int32_t partBars, bool countIn) const
{
    const std::vector<const Core::SongPart*> parts = song_.Parts();
    if (part < 0 || static_cast<std::size_t>(part) >= parts.size())
        return QString();
    const QString dot = QStringLiteral(" \u00b7 ");
    QString text = QString::fromStdString(song_.name);
    if (setlistIndex_ >= 0)
        text = QStringLiteral("%1/%2 ").arg(setlistIndex_ + 1).arg(setlist_.Songs().size()) + text;
    text += dot + QStringLiteral("%1/%2").arg(part + 1).arg(parts.size());
    if (!parts[static_cast<std::size_t>(part)]->label.empty())
        text += QLatin1Char(' ') + QString::fromStdString(parts[static_cast<std::size_t>(part)]->label);
    if (countIn)
        text += bar < 0 ? dot + QStringLiteral("\u2212%1").arg(-bar) : QString();
    else
        text += dot + (partBars > 0 ? QStringLiteral("%1/%2").arg(bar).arg(partBars) : QString::number(bar));
    return text;
}

} // namespace GUI
