#pragma once
#include "StepSequencer/UndoActionPool.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string_view>

namespace Configuration {
struct ConfigurationData;
}
namespace System {
class ILanguage;
}

namespace StepSequencer {

/// The model behind the step sequencer: twelve instrument rows (row = voice - 1) by up to 512
/// columns of cell bytes, the rhythm's length, which rows are shown, the selection, a one-grid
/// clipboard and an undo/redo history of single-cell changes grouped into user steps. It reads
/// its state from a settings record and writes the rhythm back as custom-rhythm text.
///
/// It draws nothing and takes no toolkit types: the control measures text for it and tells it
/// whether Control is held. GUI thread only; nothing is locked.
///
/// Rows and display rows: the control speaks in display rows (the index of a shown row among
/// the shown rows, from the top) and columns; the grid converts them to rows. Every operation
/// accepts any integer and ignores cells outside the shown rows or the columns in use.
///
/// Redraw codes (result of the editing operations): a display row >= 0 (repaint that row),
/// AllRows (repaint everything) or NoChange (nothing was done).
///
/// Invariants after every operation: hitCount is the number of hits in the columns below
/// columnCount; selectedCount is the number of cells with the selection bit, all of them below
/// columnCount; each group on either history stack is one action with groupEdge clear or two or
/// more with groupEdge set exactly on the first and the last; the history always matches the
/// cells, so undoing and redoing everything restores the hits exactly.
class StepSequencerGrid {
public:
    static constexpr int RowCount = 12;
    static constexpr int MaxColumns = 512;
    /// The most hit characters and brackets a written rhythm holds (rests not counted).
    static constexpr int MaxRhythmHits = 512;

    /// Cell bytes: EmptyCell, or a hit holding its row's colour (0..11), with SelectedBit when
    /// the hit is selected.
    static constexpr std::uint8_t EmptyCell = 0x80;
    static constexpr std::uint8_t SelectedBit = 0x40;

    /// Redraw codes.
    static constexpr int AllRows = -1;
    static constexpr int NoChange = 4096;

    /// WriteRhythm results.
    static constexpr int RhythmWritten = 0;
    static constexpr int RhythmEmpty = 12;
    static constexpr int RhythmTooManyHits = 13;

    /// Key codes for HandleKey: the letters as upper-case ASCII ('A', 'C', 'V', 'X', 'Y', 'Z',
    /// the same values as Qt::Key_A ...) and DeleteKey for the Delete key.
    static constexpr int DeleteKey = 0x2E;

    /// Row names: at most 29 characters plus the terminator; names wider than NameWidth pixels
    /// are cut after the characters that reach EllipsisStart pixels and end in "...".
    static constexpr int NameCapacity = 30;
    static constexpr int NameWidth = 110;
    static constexpr int EllipsisStart = 100;

    struct Row {
        char16_t name[NameCapacity] = {};
        std::uint32_t nameLength = 0;   ///< characters of name that are drawn
        std::int32_t instrument = 0;    ///< the voice's Instrument setting
        bool visible = true;            ///< shown in the current view
        std::uint32_t colour = 0;       ///< the voice's Colour setting, 0..11
        std::array<std::uint8_t, MaxColumns> cells{};
    };

    /// Width in pixels of a text drawn in the grid's font.
    using TextWidth = std::function<int(std::u16string_view)>;

    /// recordSource: where undo records come from (empty: the heap).
    explicit StepSequencerGrid(UndoActionPool::RecordSource recordSource = {});
    /// Frees every undo record.
    virtual ~StepSequencerGrid();
    StepSequencerGrid(const StepSequencerGrid&) = delete;
    StepSequencerGrid& operator=(const StepSequencerGrid&) = delete;

    // Loading and layout ---------------------------------------------------------------------

    /// Empties the grid and both histories and takes the length (CrNumBars, CrBeatsPerBar,
    /// DisplayedSubdiv, CrCompoundTime), the view (DisplayDistinct) and each row's colour,
    /// instrument and name from the record: instrument names from the language's tables with
    /// the MIDI engine, else the file name of the audio file the voice plays (after the last
    /// slash or backslash, up to the first full stop). The clipboard is kept.
    void LoadFromSettings(const Configuration::ConfigurationData& settings, const System::ILanguage& language);
    /// Empties every cell, the selection and both histories, then reads custom-rhythm text
    /// written with stepsPerBeat steps per beat (0: one per beat). Steps beyond the rhythm's
    /// length and characters that name no row are skipped.
    void LoadRhythm(std::u16string_view text, int stepsPerBeat);
    /// Fits each row's name into NameWidth pixels as measured by width.
    void FitNames(const TextWidth& width);

    /// Bars (0..4) and beats per bar (0..16): columns are hidden or shown, cells untouched,
    /// history kept. Hidden hits lose their selection; the paste column returns to 0.
    void SetBarCount(int bars);
    void SetBeatsPerBar(int beats);
    /// Columns per beat (0 or 2..8; always 3 in compound time). A change of subdivision with
    /// hits in the grid moves every hit to its place in the new layout (hits that meet merge;
    /// with subdivision 0 only hits on a beat survive) and discards both histories; otherwise
    /// columns are only hidden or shown and the history is kept.
    void SetSubdivision(int subdivision, bool compound);
    /// Switches between all twelve rows and one row per distinct instrument.
    void ToggleDistinctView();

    // Editing (each returns a redraw code) ---------------------------------------------------

    /// Adds a hit to an empty cell or removes the hit, as one undo step.
    int ToggleCell(int displayRow, int column);
    /// Remembers the hit under the mouse as the drag source (none when the cell is empty).
    void BeginDrag(int displayRow, int column);
    /// Forgets the drag source.
    void EndDrag() noexcept;
    /// Drops the dragged hit, or the whole selection when more than one hit is selected, at the
    /// cell; AllRows, or NoChange without a drag source. One undo step; nothing is recorded
    /// when every hit ends where it was. The selection is cleared.
    int Drop(int displayRow, int column);
    /// Marks a hit selected (the control's rubber band). True when the cell holds a hit.
    bool SelectHit(int displayRow, int column);
    int SelectAll();
    int ClearSelection();
    int DeleteSelection();
    /// Copy takes every cell byte into the clipboard and clears the selection; Cut copies and
    /// deletes the selection; Paste places the clipboard's selected hits into empty cells of
    /// their own rows, the leftmost selected column at the paste column.
    int Copy();
    int Cut();
    int Paste();
    /// Sets the column at which Paste places the clipboard (ignored outside the columns).
    void SetPasteColumn(int column) noexcept;
    /// Removes every hit in the columns in use, as one undo step.
    int ClearAll();
    int Undo();
    int Redo();
    /// Ctrl+A/C/V/X/Y/Z and Delete; any other key gives NoChange.
    int HandleKey(int key, bool controlDown);
    /// Returns every action of both histories to the pool.
    void DiscardHistory() noexcept;

    /// Writes CustomRhythm and CrSubdivision: every column a step in compound time, without
    /// subdivision or when the record's SpeedTrainer is StepSequencer; otherwise the coarsest of one, two
    /// or all columns per beat step that keeps every hit. Only shown rows are written.
    /// RhythmWritten, RhythmEmpty (no hit; the text of rests is written) or RhythmTooManyHits
    /// (more than MaxRhythmHits hit characters and brackets; the record is left unchanged).
    int WriteRhythm(Configuration::ConfigurationData& record) const;

    // State ------------------------------------------------------------------------------------

    /// A row (0..11, not a display row) and one cell byte (column 0..511); not range-checked.
    const Row& GetRow(int row) const { return rows_[static_cast<std::size_t>(row)]; }
    std::uint8_t Cell(int row, int column) const
    {
        return rows_[static_cast<std::size_t>(row)].cells[static_cast<std::size_t>(column)];
    }
    static bool IsHit(std::uint8_t cell) noexcept { return cell != EmptyCell; }
    static bool IsSelected(std::uint8_t cell) noexcept { return cell != EmptyCell && (cell & SelectedBit); }

    /// Row of a display row, or -1 when no such row is shown.
    int RowOfDisplayRow(int displayRow) const noexcept;
    /// Display row at which a row is drawn (a hidden row: the shown row above it).
    int DisplayRowOf(int row) const noexcept;

    int BeatCount() const noexcept { return beatCount_; }
    int BarCount() const noexcept { return barCount_; }
    int BeatsPerBar() const noexcept { return beatsPerBar_; }
    int Subdivision() const noexcept { return subdivision_; }
    bool Compound() const noexcept { return compound_; }
    bool ShowAllRows() const noexcept { return showAllRows_; }
    int VisibleRowCount() const noexcept { return visibleRowCount_; }
    int ColumnCount() const noexcept { return columnCount_; }
    int HitCount() const noexcept { return hitCount_; }
    int SelectedCount() const noexcept { return selectedCount_; }
    int DragRow() const noexcept { return dragRow_; }
    int DragColumn() const noexcept { return dragColumn_; }
    int PasteColumn() const noexcept { return pasteColumn_; }
    /// Most recent action of each history (chains linked by next), nullptr when empty.
    const UndoAction* UndoTop() const noexcept { return undo_; }
    const UndoAction* RedoTop() const noexcept { return redo_; }
    const UndoActionPool& Pool() const noexcept { return pool_; }

private:
    using CellGrid = std::array<std::array<std::uint8_t, MaxColumns>, RowCount>;

    std::uint8_t& At(int row, int column)
    {
        return rows_[static_cast<std::size_t>(row)].cells[static_cast<std::size_t>(column)];
    }
    bool InColumns(int column) const noexcept { return column >= 0 && column < columnCount_; }
    void PutHit(int row, int column);
    void EmptyCellAt(int row, int column);
    void RecountHits() noexcept;
    void RecountSelection() noexcept;
    void UpdateColumnCount() noexcept;
    void UpdateVisibility() noexcept;
    void AfterLengthChange();
    void Remap(int from, int to);

    /// Recording: Record must follow a successful pool Reserve for the whole step.
    void BeginGroup() noexcept;
    void Record(UndoAction::Kind kind, int row, int column);
    void EndGroup() noexcept;
    /// The rows an operation touched, for its redraw code.
    struct RowSpan {
        int row = -1;
        bool several = false;
        void Add(int other) noexcept
        {
            if (row < 0)
                row = other;
            else if (other != row)
                several = true;
        }
    };
    /// The display row when one row was touched, else AllRows.
    int RedrawFor(const RowSpan& span) const noexcept;
    RowSpan UnselectAll() noexcept;
    int DestinationRow(int row, int offset) const noexcept;

    void FillClipboard() noexcept;
    int MoveHit(int row, int column);
    int MoveSelection(int row, int column);
    /// Moves one group from one history to the other, undoing or redoing its actions.
    int Revert(UndoAction*& from, UndoAction*& to, bool undo);

    std::array<Row, RowCount> rows_;
    CellGrid clipboard_;
    UndoActionPool pool_;
    int beatCount_ = 4;
    int barCount_ = 1;
    int beatsPerBar_ = 4;
    int subdivision_ = 2;
    bool compound_ = false;
    bool showAllRows_ = true;
    int visibleRowCount_ = RowCount;
    int columnCount_ = 8;
    int hitCount_ = 0;
    int selectedCount_ = 0;
    int dragRow_ = -1;
    int dragColumn_ = -1;
    int pasteColumn_ = 0;
    UndoAction* undo_ = nullptr;
    UndoAction* redo_ = nullptr;

    // Scratch space of the editing operations, kept here so that an edit allocates nothing.
    CellGrid before_;
    std::array<std::uint16_t, RowCount * MaxColumns> landings_;
    UndoAction* groupFirst_ = nullptr;
    int groupSize_ = 0;
};

} // namespace StepSequencer
