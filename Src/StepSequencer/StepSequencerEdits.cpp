// Editing operations of the step sequencer grid and its undo history.
//
// Every operation that changes cells first reserves the undo records it needs; when they can't
// be had it changes nothing, so the cells and the history always agree. A recorded step
// discards the redo history: its actions were made for cells that have changed since.
#include "StepSequencer/StepSequencerGrid.h"

#include <algorithm>

namespace StepSequencer {

int StepSequencerGrid::RowOfDisplayRow(int displayRow) const noexcept
{
    if (displayRow < 0)
        return -1;
    for (int r = 0; r < RowCount; ++r) {
        if (rows_[static_cast<std::size_t>(r)].visible && displayRow-- == 0)
            return r;
    }
    return -1;
}

int StepSequencerGrid::DisplayRowOf(int row) const noexcept
{
    int shown = 0;
    for (int r = 0; r <= row && r < RowCount; ++r)
        shown += rows_[static_cast<std::size_t>(r)].visible ? 1 : 0;
    return shown - 1;
}

int StepSequencerGrid::RedrawFor(const RowSpan& span) const noexcept
{
    if (span.several || span.row < 0)
        return AllRows;
    return std::max(DisplayRowOf(span.row), 0);
}

void StepSequencerGrid::PutHit(int row, int column)
{
    std::uint8_t& cell = At(row, column);
    if (IsHit(cell))
        return;
    cell = static_cast<std::uint8_t>(rows_[static_cast<std::size_t>(row)].colour);
    hitCount_ += InColumns(column) ? 1 : 0;
}

void StepSequencerGrid::EmptyCellAt(int row, int column)
{
    std::uint8_t& cell = At(row, column);
    if (!IsHit(cell))
        return;
    selectedCount_ -= IsSelected(cell) ? 1 : 0;
    hitCount_ -= InColumns(column) ? 1 : 0;
    cell = EmptyCell;
}

void StepSequencerGrid::BeginGroup() noexcept
{
    groupFirst_ = nullptr;
    groupSize_ = 0;
}

void StepSequencerGrid::Record(UndoAction::Kind kind, int row, int column)
{
    UndoAction* action = pool_.Allocate();
    action->kind = kind;
    action->row = static_cast<std::uint32_t>(row);
    action->column = static_cast<std::uint32_t>(column);
    action->next = undo_;
    undo_ = action;
    if (!groupFirst_)
        groupFirst_ = action;
    ++groupSize_;
}

void StepSequencerGrid::EndGroup() noexcept
{
    if (groupSize_ == 0)
        return;
    if (groupSize_ > 1) {
        groupFirst_->groupEdge = true;
        undo_->groupEdge = true;
    }
    pool_.ReleaseChain(redo_);
}

void StepSequencerGrid::DiscardHistory() noexcept
{
    pool_.ReleaseChain(undo_);
    pool_.ReleaseChain(redo_);
}

int StepSequencerGrid::ToggleCell(int displayRow, int column)
{
    const int row = RowOfDisplayRow(displayRow);
    if (row < 0 || !InColumns(column) || !pool_.Reserve(1))
        return NoChange;
    BeginGroup();
    if (IsHit(At(row, column))) {
        EmptyCellAt(row, column);
        Record(UndoAction::Remove, row, column);
    } else {
        PutHit(row, column);
        Record(UndoAction::Add, row, column);
    }
    EndGroup();
    return displayRow;
}

bool StepSequencerGrid::SelectHit(int displayRow, int column)
{
    const int row = RowOfDisplayRow(displayRow);
    if (row < 0 || !InColumns(column) || !IsHit(At(row, column)))
        return false;
    std::uint8_t& cell = At(row, column);
    if (!IsSelected(cell)) {
        cell |= SelectedBit;
        ++selectedCount_;
    }
    return true;
}

StepSequencerGrid::RowSpan StepSequencerGrid::UnselectAll() noexcept
{
    RowSpan span;
    for (int r = 0; r < RowCount && selectedCount_ > 0; ++r) {
        for (auto& cell : rows_[static_cast<std::size_t>(r)].cells) {
            if (IsSelected(cell)) {
                cell &= static_cast<std::uint8_t>(~SelectedBit);
                --selectedCount_;
                span.Add(r);
            }
        }
    }
    return span;
}

int StepSequencerGrid::SelectAll()
{
    if (hitCount_ == 0)
        return NoChange;
    selectedCount_ = 0;
    for (auto& row : rows_) {
        for (int c = 0; c < columnCount_; ++c) {
            std::uint8_t& cell = row.cells[static_cast<std::size_t>(c)];
            if (IsHit(cell)) {
                cell |= SelectedBit;
                ++selectedCount_;
            }
        }
    }
    return AllRows;
}

int StepSequencerGrid::ClearSelection()
{
    if (selectedCount_ == 0)
        return NoChange;
    return RedrawFor(UnselectAll());
}

int StepSequencerGrid::DeleteSelection()
{
    if (selectedCount_ == 0 || !pool_.Reserve(static_cast<std::size_t>(selectedCount_)))
        return NoChange;
    RowSpan span;
    BeginGroup();
    for (int r = 0; r < RowCount; ++r) {
        for (int c = 0; c < columnCount_; ++c) {
            if (IsSelected(At(r, c))) {
                EmptyCellAt(r, c);
                Record(UndoAction::Remove, r, c);
                span.Add(r);
            }
        }
    }
    EndGroup();
    return RedrawFor(span);
}

void StepSequencerGrid::FillClipboard() noexcept
{
    // Columns beyond the rhythm are copied empty, so a later, longer paste finds nothing stale.
    for (int r = 0; r < RowCount; ++r) {
        auto& clip = clipboard_[static_cast<std::size_t>(r)];
        const auto& cells = rows_[static_cast<std::size_t>(r)].cells;
        std::copy(cells.begin(), cells.begin() + columnCount_, clip.begin());
        std::fill(clip.begin() + columnCount_, clip.end(), EmptyCell);
    }
}

int StepSequencerGrid::Copy()
{
    FillClipboard();
    UnselectAll();
    return AllRows;
}

int StepSequencerGrid::Cut()
{
    if (selectedCount_ == 0 || !pool_.Reserve(static_cast<std::size_t>(selectedCount_)))
        return NoChange;
    FillClipboard();
    return DeleteSelection();
}

int StepSequencerGrid::Paste()
{
    int offset = 0;
    bool found = false;
    for (int c = 0; c < columnCount_ && !found; ++c) {
        for (int r = 0; r < RowCount && !found; ++r) {
            if (IsSelected(clipboard_[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)])) {
                offset = pasteColumn_ - c;
                found = true;
            }
        }
    }
    if (!found)
        return AllRows;
    const auto placesHit = [&](int r, int c) {
        return IsSelected(clipboard_[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)]) &&
               InColumns(c + offset) && !IsHit(At(r, c + offset));
    };
    std::size_t needed = 0;
    for (int c = 0; c < columnCount_; ++c) {
        for (int r = 0; r < RowCount; ++r)
            needed += placesHit(r, c) ? 1 : 0;
    }
    if (!pool_.Reserve(needed))
        return NoChange;
    BeginGroup();
    for (int c = 0; c < columnCount_; ++c) {
        for (int r = 0; r < RowCount; ++r) {
            if (placesHit(r, c)) {
                PutHit(r, c + offset);
                Record(UndoAction::Add, r, c + offset);
            }
        }
    }
    EndGroup();
    return AllRows;
}

void StepSequencerGrid::SetPasteColumn(int column) noexcept
{
    if (InColumns(column))
        pasteColumn_ = column;
}

int StepSequencerGrid::ClearAll()
{
    if (hitCount_ == 0 || !pool_.Reserve(static_cast<std::size_t>(hitCount_)))
        return NoChange;
    RowSpan span;
    BeginGroup();
    for (int r = 0; r < RowCount; ++r) {
        for (int c = 0; c < columnCount_; ++c) {
            if (IsHit(At(r, c))) {
                EmptyCellAt(r, c);
                Record(UndoAction::Remove, r, c);
                span.Add(r);
            }
        }
    }
    EndGroup();
    return RedrawFor(span);
}

int StepSequencerGrid::Revert(UndoAction*& from, UndoAction*& to, bool undo)
{
    if (!from)
        return NoChange;
    RowSpan span;
    const auto step = [&] {
        UndoAction* action = from;
        from = action->next;
        const int row = static_cast<int>(action->row);
        const int column = static_cast<int>(action->column);
        if ((action->kind == UndoAction::Add) != undo)
            PutHit(row, column);
        else
            EmptyCellAt(row, column);
        span.Add(row);
        action->next = to;
        to = action;
    };
    const bool group = from->groupEdge;
    step();
    if (group) {
        while (from && !from->groupEdge)
            step();
        if (from)
            step();
    }
    return RedrawFor(span);
}

int StepSequencerGrid::Undo()
{
    return Revert(undo_, redo_, true);
}

int StepSequencerGrid::Redo()
{
    return Revert(redo_, undo_, false);
}

int StepSequencerGrid::HandleKey(int key, bool controlDown)
{
    if (!controlDown)
        return key == DeleteKey ? DeleteSelection() : NoChange;
    switch (key) {
    case 'A':
        return SelectAll();
    case 'C':
        return Copy();
    case 'V':
        return Paste();
    case 'X':
        return Cut();
    case 'Y':
        return Redo();
    case 'Z':
        return Undo();
    default:
        return NoChange;
    }
}

} // namespace StepSequencer
