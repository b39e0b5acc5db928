#pragma once
#include <optional>
#include <string>
#include <vector>

namespace System {

/// The user-interface text tables: every text the program shows, by table and index.
///
/// Texts are zero-terminated UTF-16 strings owned by the table object; callers may show or copy
/// them but never change or free them. A lookup outside a table's range gives nullptr ("none"),
/// never a text of another table. A table is complete before it is installed as the current one
/// and never changes afterwards, so any thread may read from one it holds (CurrentLanguage()).
///
/// The operations that put texts on windows are split: the table decides the text (here), the
/// user interface puts it on its widget. A nullptr result means "leave the widget's text as it is".
class ILanguage {
public:
    virtual ~ILanguage() = default;

    /// True for the built-in English tables, false for a table read from a language file.
    virtual bool IsDefault() const noexcept = 0;

    /// Title of top-level menu `menu` (0 File, 1 Tools, 2 Help), or nullptr for any other.
    virtual const char16_t* GetMenuTitle(int menu) const noexcept = 0;
    /// Text of menu item `position`, counted across all menus from 0 with separators skipped,
    /// ending with a tab and the item's shortcut ("&Language\tCtrl+L"); nullopt outside 0..8.
    /// Positions 0..7 are the items in menu order; 8 (Tools > Practice Diary) came later.
    virtual std::optional<std::u16string> GetMenuItemText(int position) const = 0;

    /// Label of toolbar button `index` (0..3, in toolbar order), or nullptr for any other.
    virtual const char16_t* GetToolbarText(int index) const noexcept = 0;

    /// Title for dialog `dialogId` (101..104), or nullptr to keep the dialog's own title.
    virtual const char16_t* GetDialogTitle(int dialogId) const noexcept = 0;
    /// Text for a dialog's control with id 1001..1096, or nullptr to keep the control's own
    /// text. The built-in tables keep every dialog as designed (in English) and give nullptr.
    virtual const char16_t* GetDialogControlText(int controlId) const noexcept = 0;

    virtual const char16_t* GetTooltip(int index) const noexcept = 0;
    virtual const char16_t* GetStatusInfo(int index) const noexcept = 0;
    /// Text of control `controlId` (main-window buttons and labels, the Play button).
    virtual const char16_t* GetControlText(int controlId) const noexcept = 0;
    virtual const char16_t* GetMessage(int index) const noexcept = 0;
    virtual const char16_t* GetMessageTitle(int index) const noexcept = 0;
    virtual const char16_t* GetInformation(int index) const noexcept = 0;
    virtual const char16_t* GetText(int index) const noexcept = 0;
    /// Name of percussion instrument `index` (0..InstrumentCount - 1).
    virtual const char16_t* GetInstrumentName(int index) const noexcept = 0;

    static constexpr int MenuCount = 3;
    static constexpr int MenuItemCount = 9;
    static constexpr int ToolbarButtonCount = 4;
    static constexpr int InstrumentCount = 47;
    /// Entries of the [Text] table.
    static constexpr int TextCount = 440;
    static constexpr int FirstDialogId = 101;
    static constexpr int LastDialogId = 104;
    static constexpr int FirstControlId = 1001;
    static constexpr int LastControlId = 1096;
};

/// The [Text] entry naming what voice (0..11) plays, as its row of the Sound Settings page
/// says: voice 1 the first beat of a bar or pattern (every beat of a simple beat); voice 2 the
/// other beats of a bar and the first beat of each later group of a pattern; voice 3 the other
/// beats of a group and, in compound time, the first eighth of each later beat; voices 4 and 5
/// the two subdivisions (voice 4 also the other eighths in compound time); voice 6 the speed
/// trainer's signal; voices 7 to 12 sound only in rhythms and share one entry.
constexpr int VoiceRoleText(int voice) noexcept
{
    return 16 + (voice < 0 ? 0 : voice > 6 ? 6 : voice);
}

/// The [Text] entry with the tempo marking (Larghissimo, Grave, Largo, Larghetto, Adagio,
/// Andante, Moderato, Allegro, Vivace, Presto, Prestissimo) that names a tempo of bpm, from the
/// lowest tempo of each: below 24, 24, 40, 60, 66, 76, 108, 120, 156, 176, 200 and above.
constexpr int TempoMarkingText(int bpm) noexcept
{
    constexpr int lowest[] = {24, 40, 60, 66, 76, 108, 120, 156, 176, 200};
    int marking = 0;
    for (const int from : lowest)
        marking += bpm >= from ? 1 : 0;
    return 34 + marking;
}

/// Shortcut shown after menu item `position` (0..8): "Ctrl+L", "Ctrl+Q", ...; nullptr otherwise.
const char16_t* MenuItemShortcut(int position) noexcept;

/// Labels for the first `count` toolbar buttons, in order; buttons past the table's four get
/// none (the list is shorter than count then).
std::vector<const char16_t*> ToolbarTexts(const ILanguage& language, int count);

/// The instrument names in index order, as the sound lists show them (always 47 entries;
/// an entry a language file left out is the empty text).
std::vector<const char16_t*> InstrumentList(const ILanguage& language);

} // namespace System
