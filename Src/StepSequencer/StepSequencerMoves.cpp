// Dragging hits and selections across the step sequencer grid.
//
// A selection move lifts every selected hit and lands each at its destination; a hit that lands
// where a lifted hit had been records nothing for that cell, so a move by nothing records
// nothing. The settling is one pass over the landings with the cells' old bytes at hand, so a
// whole-grid move stays linear in the number of cells.
#include "StepSequencer/StepSequencerGrid.h"

#include <algorithm>
#include <cstdlib>

namespace StepSequencer {

namespace {

constexpr std::uint16_t Landed = 0xFFFF;

constexpr std::uint16_t CellIndex(int row, int column)
{
    return static_cast<std::uint16_t>(row * StepSequencerGrid::MaxColumns + column);
}

} // namespace

void StepSequencerGrid::BeginDrag(int displayRow, int column)
{
    const int row = RowOfDisplayRow(displayRow);
    if (row >= 0 && InColumns(column) && IsHit(At(row, column))) {
        dragRow_ = row;
        dragColumn_ = column;
    } else {
        EndDrag();
    }
}

void StepSequencerGrid::EndDrag() noexcept
{
    dragRow_ = dragColumn_ = -1;
}

int StepSequencerGrid::Drop(int displayRow, int column)
{
    if (dragRow_ < 0)
        return NoChange;
    const int row = RowOfDisplayRow(displayRow);
    if (row < 0 || !InColumns(column)) {
        EndDrag();
        return NoChange;
    }
    return selectedCount_ > 1 ? MoveSelection(row, column) : MoveHit(row, column);
}

int StepSequencerGrid::MoveHit(int row, int column)
{
    const int fromRow = dragRow_;
    const int fromColumn = dragColumn_;
    EndDrag();
    if (!InColumns(fromColumn) || !IsHit(At(fromRow, fromColumn)))
        return NoChange;
    if (fromRow == row && fromColumn == column) {
        // Dropped where it was: the hit stays and nothing is recorded.
        UnselectAll();
        return AllRows;
    }
    if (!pool_.Reserve(2))
        return NoChange;
    UnselectAll();
    BeginGroup();
    EmptyCellAt(fromRow, fromColumn);
    Record(UndoAction::Remove, fromRow, fromColumn);
    // On another hit the moved hit merges into it.
    if (!IsHit(At(row, column))) {
        PutHit(row, column);
        Record(UndoAction::Add, row, column);
    }
    EndGroup();
    return AllRows;
}

int StepSequencerGrid::DestinationRow(int row, int offset) const noexcept
{
    // Steps over shown rows only; running off the grid loses the hit.
    const int direction = offset > 0 ? 1 : -1;
    for (int remaining = std::abs(offset); remaining > 0;) {
        row += direction;
        if (row < 0 || row >= RowCount)
            return -1;
        remaining -= rows_[static_cast<std::size_t>(row)].visible ? 1 : 0;
    }
    return row;
}

int StepSequencerGrid::MoveSelection(int row, int column)
{
    const int fromRow = dragRow_;
    const int fromColumn = dragColumn_;
    EndDrag();
    int rowOffset = 0;
    for (int r = std::min(row, fromRow); r < std::max(row, fromRow); ++r)
        rowOffset += rows_[static_cast<std::size_t>(r)].visible ? 1 : 0;
    if (row < fromRow)
        rowOffset = -rowOffset;
    const int columnOffset = column - fromColumn;
    int destinationRows[RowCount];
    for (int r = 0; r < RowCount; ++r)
        destinationRows[r] = DestinationRow(r, rowOffset);

    // Lift every selected hit, then land each at its destination; a hit that lands on another
    // hit, or outside the grid, is gone.
    for (int r = 0; r < RowCount; ++r) {
        auto& cells = rows_[static_cast<std::size_t>(r)].cells;
        before_[static_cast<std::size_t>(r)] = cells;
        for (auto& cell : cells) {
            if (IsSelected(cell))
                cell = EmptyCell;
        }
    }
    int lifted = 0;
    int landed = 0;
    int lost = 0;
    for (int r = 0; r < RowCount; ++r) {
        for (int c = 0; c < columnCount_; ++c) {
            if (!IsSelected(before_[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)]))
                continue;
            ++lifted;
            const int toRow = destinationRows[r];
            const int toColumn = c + columnOffset;
            if (toRow < 0 || !InColumns(toColumn) || IsHit(At(toRow, toColumn))) {
                ++lost;
                continue;
            }
            At(toRow, toColumn) = static_cast<std::uint8_t>(rows_[static_cast<std::size_t>(toRow)].colour);
            landings_[static_cast<std::size_t>(landed++)] = CellIndex(toRow, toColumn);
        }
    }
    // A hit that landed where a lifted hit had been leaves that cell as it was: neither its
    // removal nor its addition is recorded.
    const auto wasLifted = [this](std::uint16_t index) {
        return IsSelected(before_[index / MaxColumns][index % MaxColumns]);
    };
    const int unchanged = static_cast<int>(std::count_if(
        landings_.begin(), landings_.begin() + landed, [&](std::uint16_t index) { return wasLifted(index); }));
    if (!pool_.Reserve(static_cast<std::size_t>(lifted + landed - 2 * unchanged))) {
        for (int r = 0; r < RowCount; ++r)
            rows_[static_cast<std::size_t>(r)].cells = before_[static_cast<std::size_t>(r)];
        return NoChange;
    }
    for (int i = 0; i < landed; ++i) {
        const std::uint16_t index = landings_[static_cast<std::size_t>(i)];
        if (wasLifted(index)) {
            before_[index / MaxColumns][index % MaxColumns] &= static_cast<std::uint8_t>(~SelectedBit);
            landings_[static_cast<std::size_t>(i)] = Landed;
        }
    }

    BeginGroup();
    for (int r = 0; r < RowCount; ++r) {
        for (int c = 0; c < columnCount_; ++c) {
            if (IsSelected(before_[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)]))
                Record(UndoAction::Remove, r, c);
        }
    }
    for (int i = landed - 1; i >= 0; --i) {
        const std::uint16_t index = landings_[static_cast<std::size_t>(i)];
        if (index != Landed)
            Record(UndoAction::Add, index / MaxColumns, index % MaxColumns);
    }
    EndGroup();
    hitCount_ -= lost;
    selectedCount_ = 0;
    return AllRows;
}

} // namespace StepSequencer
