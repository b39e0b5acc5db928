// The step sequencer grid's heaviest edits on the largest grid (4 bars of 16 beats in eighths:
// 12 x 512 cells), each timed alone, with the heap allocations made during the timed edit
// counted (the undo records come from the pool, so a warmed-up grid should make none).
#include "StepSequencer/StepSequencerGrid.h"

#include "Configuration/ConfigurationData.h"
#include "System/CurrentLanguage.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<long> allocations{0};

} // namespace

// The replacements below pair malloc with free; GCC takes the replaced operator new for the
// library's and warns about a mismatch that is not there.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t size)
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* memory = std::malloc(size ? size : 1))
        return memory;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size ? size : 1);
}
void operator delete(void* memory) noexcept
{
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept
{
    std::free(memory);
}

namespace {

using Grid = StepSequencer::StepSequencerGrid;

/// A 12 x 512 grid with a hit in every cell whose column is a multiple of step (1: full).
void Fill(Grid& grid, int step)
{
    Configuration::ConfigurationData settings;
    settings.CrNumBars = 4;
    settings.CrBeatsPerBar = 16;
    settings.DisplayedSubdiv = 8;
    settings.DisplayDistinct = 0;
    grid.LoadFromSettings(settings, *System::BuiltInLanguage());
    for (int r = 0; r < Grid::RowCount; ++r)
        for (int c = 0; c < grid.ColumnCount(); c += step)
            grid.ToggleCell(r, c);
    grid.DiscardHistory();
}

/// Times edit, runs restore untimed after it, and reports the allocations of the edits.
template <typename Edit, typename Restore>
void Measure(benchmark::State& state, Grid& grid, Edit edit, Restore restore)
{
    // Untimed rounds until the pool holds what the edit needs: the records of the step undone
    // by restore stay on the redo history until the next edit has reserved its own.
    for (int round = 0; round < 2; ++round) {
        edit();
        restore();
    }
    long made = 0;
    for (auto _ : state) {
        const long before = allocations.load(std::memory_order_relaxed);
        benchmark::DoNotOptimize(edit());
        made += allocations.load(std::memory_order_relaxed) - before;
        state.PauseTiming();
        restore();
        state.ResumeTiming();
    }
    state.counters["allocs/op"] = benchmark::Counter(static_cast<double>(made), benchmark::Counter::kAvgIterations);
    state.counters["hits"] = grid.HitCount();
}

/// Select all and drag the selection one row down and one column right. step 1: every cell
/// lifted, almost all landing on lifted cells; step 2: half the cells, each landing on an empty
/// one, so that 6144 actions are recorded.
void SelectAllAndMove(benchmark::State& state)
{
    Grid grid;
    Fill(grid, static_cast<int>(state.range(0)));
    Measure(
        state, grid,
        [&] {
            grid.SelectAll();
            grid.BeginDrag(0, 0);
            return grid.Drop(1, 1);
        },
        [&] { grid.Undo(); });
}

void UndoOfTheMove(benchmark::State& state)
{
    Grid grid;
    Fill(grid, static_cast<int>(state.range(0)));
    grid.SelectAll();
    grid.BeginDrag(0, 0);
    grid.Drop(1, 1);
    Measure(state, grid, [&] { return grid.Undo(); }, [&] { grid.Redo(); });
}

/// Paste a whole selected grid into an empty one: 6144 hits and actions.
void Paste(benchmark::State& state)
{
    Grid grid;
    Fill(grid, 1);
    grid.SelectAll();
    grid.Copy();
    grid.ClearAll();
    grid.DiscardHistory();
    Measure(state, grid, [&] { return grid.Paste(); }, [&] { grid.Undo(); });
}

/// Save: hits of two rows on every other half beat, so that the resolution scan reads every
/// cell and 256 steps are written; and the playing record, where the full grid is refused.
void WriteRhythm(benchmark::State& state)
{
    Grid grid;
    Fill(grid, 1);
    const bool playing = state.range(0) != 0;
    if (!playing) {
        grid.ClearAll();
        for (int r = 0; r < 2; ++r)
            for (int c = 4; c < grid.ColumnCount(); c += 16)
                grid.ToggleCell(r, c);
    }
    Configuration::ConfigurationData record;
    record.SpeedTrainer = playing ? Configuration::TrainerMode::StepSequencer : Configuration::TrainerMode::Off;
    int result = 0;
    Measure(state, grid, [&] { return result = grid.WriteRhythm(record); }, [] {});
    state.counters["result"] = result;
}

} // namespace

BENCHMARK(SelectAllAndMove)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);
BENCHMARK(UndoOfTheMove)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);
BENCHMARK(Paste)->Unit(benchmark::kMicrosecond);
BENCHMARK(WriteRhythm)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
