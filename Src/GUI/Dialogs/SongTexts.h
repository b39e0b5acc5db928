#pragma once
// The [Text] entries of the song editor, the setlist window and the song buttons of the main
// window (the block kept for songs and setlists, from 148 on).
#include "Core/Songs/Song.h"
#include "GUI/ProgramFont.h"
#include "System/CurrentLanguage.h"

#include <QDir>
#include <QString>

#include <string>

namespace GUI::SongText {

enum : int {
    EditorMenu = 148, SetlistMenu, EditorTitle, SetlistTitle, Untitled, Parts,
    LabelColumn, BarsColumn, MetreColumn, TempoColumn, PatternColumn, VolumeColumn, MoreColumn,
    CountIn, NoCountIn, OneBar, TwoBars, FourBars, TwoBeats,
    Ending, Stop, Loop, NextSong,
    Add, Remove, MoveUp, MoveDown, Duplicate, Play, Open, Save, SaveAs, Close,
    Problem, NotSaved, SongFilter, Songs, NotFound, SetlistFilter, PreviousPart, NextPart,
    PartsHelp, CountInHelp, EndingHelp, AddHelp, RemoveHelp, MoveHelp, MenuHelp, PlayHelp, FileHelp,
    Playing, SongsHelp,
};
static_assert(SongsHelp == 199, "the songs' block ends at 199");

inline QString Get(int index)
{
    return FromTableText(System::CurrentLanguage()->GetText(index));
}

/// A text for an accessible name: without its mnemonic, colon, dots and what follows " (".
inline QString Name(int index)
{
    QString text = Get(index).remove(QLatin1Char('&')).remove(QStringLiteral("...")).remove(QLatin1Char(':'));
    if (const int open = text.indexOf(QStringLiteral(" ("), 0); open > 0)
        text.truncate(open);
    if (const int tab = text.indexOf(QLatin1Char('\t')); tab > 0)
        text.truncate(tab);
    return text.trimmed();
}

/// Why a part line could not be read, in the user's language (the block from 340 on keeps the
/// order of PartProblem::Kind; an entry a language leaves empty shows the English message).
inline QString ProblemText(const Core::PartProblem& problem)
{
    constexpr int FirstProblem = 340;
    if (problem.Empty())
        return {};
    QString text = Get(FirstProblem + static_cast<int>(problem.kind) - 1);
    if (text.isEmpty())
        text = QString::fromUtf8(Core::PartProblemMessage(problem.kind));
    // One pass, so that a typed word holding "%2" is shown as typed.
    QString shown;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('%') && i + 1 < text.size()
            && (text[i + 1] == QLatin1Char('1') || text[i + 1] == QLatin1Char('2'))) {
            shown += QString::fromStdString(text[++i] == QLatin1Char('1') ? problem.first : problem.second);
        } else {
            shown += text[i];
        }
    }
    return shown;
}

/// A file's path as the windows show it: the home folder as "~".
inline QString ShownPath(const std::string& path)
{
    QString shown = QString::fromStdString(path);
    const QString home = QDir::homePath();
    if (home.size() > 1 && shown.startsWith(home + QLatin1Char('/')))
        shown.replace(0, home.size(), QStringLiteral("~"));
    return QDir::toNativeSeparators(shown);
}

} // namespace GUI::SongText
