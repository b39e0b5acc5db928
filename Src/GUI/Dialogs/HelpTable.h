#pragma once
#include <QString>

#include <span>

namespace GUI {

/// One row of a window's control help: the controls firstId..lastId show help text `index`.
struct HelpEntry {
    constexpr HelpEntry(int id, int textIndex) : firstId(id), lastId(id), index(textIndex) {}
    constexpr HelpEntry(int first, int last, int textIndex) : firstId(first), lastId(last), index(textIndex) {}
    int firstId;
    int lastId;
    int index;
};

/// A help text index that names a [Text] entry instead of the window's own table (for the
/// features whose texts have a block of their own there).
constexpr int TextTableHelp = 1 << 20;
constexpr int FromTextTable(int index)
{
    return TextTableHelp + index;
}

/// The text table a window's help texts come from: the main window's status line shows
/// [StatusInfo] texts, a dialog's help line [Information] texts.
enum class HelpSource { StatusInfo, Information };

/// A window's control help: which text the help line shows for each control or command. The
/// entries are the window's own constant table; the texts come from the current text tables
/// at each look-up, so a language switch shows at once. GUI thread only.
class HelpTable {
public:
    constexpr HelpTable() = default;
    constexpr HelpTable(std::span<const HelpEntry> entries, HelpSource source) : entries_(entries), source_(source) {}

    /// The help text index of the control with identifier id, or -1 when it has none.
    int Index(int id) const;
    /// The help text of the control with identifier id; empty when it has none.
    QString Text(int id) const;
    std::span<const HelpEntry> Entries() const { return entries_; }

private:
    std::span<const HelpEntry> entries_;
    HelpSource source_ = HelpSource::Information;
};

} // namespace GUI
