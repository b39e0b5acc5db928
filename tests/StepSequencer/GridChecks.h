#pragma once
// Checks of the step sequencer grid's invariants, shared by its tests and its fuzz target.
#include "StepSequencer/StepSequencerGrid.h"

#include <array>
#include <cstdint>
#include <string>

namespace GridChecks {

using Grid = StepSequencer::StepSequencerGrid;
using Cells = std::array<std::uint8_t, Grid::RowCount * Grid::MaxColumns>;

/// Every cell byte without its selection bit.
inline Cells Hits(const Grid& grid)
{
    Cells cells{};
    for (int r = 0; r < Grid::RowCount; ++r) {
        for (int c = 0; c < Grid::MaxColumns; ++c) {
            const std::uint8_t cell = grid.Cell(r, c);
            cells[static_cast<std::size_t>(r * Grid::MaxColumns + c)] =
                Grid::IsHit(cell) ? static_cast<std::uint8_t>(cell & ~Grid::SelectedBit) : cell;
        }
    }
    return cells;
}

/// The action after the group that starts at top, or an error when the group has no closing edge.
inline const StepSequencer::UndoAction* SkipGroup(const StepSequencer::UndoAction* top, std::string& error)
{
    if (!top->groupEdge)
        return top->next;
    const StepSequencer::UndoAction* action = top->next;
    while (action && !action->groupEdge)
        action = action->next;
    if (!action) {
        error = "a group without its closing edge";
        return nullptr;
    }
    return action->next;
}

/// Whether the cells are as the top group of a history expects before it is reverted:
/// undoing needs its added hits present and removed cells empty, redoing the opposite.
inline bool GroupMatchesCells(const Grid& grid, const StepSequencer::UndoAction* top, bool undo)
{
    std::string ignored;
    const StepSequencer::UndoAction* end = SkipGroup(top, ignored);
    for (const StepSequencer::UndoAction* a = top; a && a != end; a = a->next) {
        const bool hit = Grid::IsHit(grid.Cell(static_cast<int>(a->row), static_cast<int>(a->column)));
        if (hit != ((a->kind == StepSequencer::UndoAction::Add) == undo))
            return false;
    }
    return true;
}

/// Empty when the grid keeps every invariant, else the first one broken.
inline std::string BrokenInvariant(const Grid& grid)
{
    if (grid.ColumnCount() < 0 || grid.ColumnCount() > Grid::MaxColumns)
        return "column count out of range";
    int hits = 0;
    int selected = 0;
    int visible = 0;
    for (int r = 0; r < Grid::RowCount; ++r) {
        const auto& row = grid.GetRow(r);
        visible += row.visible ? 1 : 0;
        if (row.colour > 11)
            return "a row colour outside the palette";
        for (int c = 0; c < Grid::MaxColumns; ++c) {
            const std::uint8_t cell = grid.Cell(r, c);
            if (!Grid::IsHit(cell))
                continue;
            if ((cell & ~Grid::SelectedBit) != row.colour)
                return "a hit without its row's colour";
            hits += c < grid.ColumnCount() ? 1 : 0;
            if (Grid::IsSelected(cell)) {
                ++selected;
                if (c >= grid.ColumnCount())
                    return "a hidden hit is selected";
            }
        }
    }
    if (hits != grid.HitCount())
        return "hitCount " + std::to_string(grid.HitCount()) + " for " + std::to_string(hits) + " hits";
    if (selected != grid.SelectedCount())
        return "selectedCount " + std::to_string(grid.SelectedCount()) + " for " + std::to_string(selected);
    if (visible != grid.VisibleRowCount())
        return "visibleRowCount";
    for (const StepSequencer::UndoAction* top : {grid.UndoTop(), grid.RedoTop()}) {
        std::string error;
        for (const StepSequencer::UndoAction* a = top; a; a = SkipGroup(a, error)) {
            if (a->row >= Grid::RowCount || a->column >= Grid::MaxColumns)
                return "an action outside the grid";
        }
        if (!error.empty())
            return error;
    }
    if (grid.UndoTop() && !GroupMatchesCells(grid, grid.UndoTop(), true))
        return "the undo history disagrees with the cells";
    if (grid.RedoTop() && !GroupMatchesCells(grid, grid.RedoTop(), false))
        return "the redo history disagrees with the cells";
    return {};
}

} // namespace GridChecks
