// (That written texts read back to the same hits, that a refused write keeps the record, and
// that every edit keeps the grid's invariants, the grid's fuzz target checks on random edits.)
#include "GridChecks.h"
#include "TestSupport.h"

#include "Configuration/ConfigurationData.h"
#include "Core/Engine/BeatPatterns.h"
#include "System/CurrentLanguage.h"

#include <gtest/gtest.h>

#include <tuple>

using StepSequencer::StepSequencerGrid;
using Grid = StepSequencerGrid;

namespace {

Configuration::ConfigurationData Settings(int bars, int beats, int subdivision)
{
    Configuration::ConfigurationData settings;
    settings.CrNumBars = bars;
    settings.CrBeatsPerBar = beats;
    settings.DisplayedSubdiv = subdivision;
    settings.DisplayDistinct = 0;
    for (int voice = 0; voice < Configuration::VoiceCount; ++voice) {
        settings.Instrument[voice] = voice;
        settings.Colour[voice] = voice;
    }
    return settings;
}

void Load(Grid& grid, const Configuration::ConfigurationData& settings)
{
    grid.LoadFromSettings(settings, *System::BuiltInLanguage());
}

/// A grid loaded from its settings.
struct Loaded : Grid {
    explicit Loaded(const Configuration::ConfigurationData& settings) { Load(*this, settings); }
    Loaded(int bars, int beats, int subdivision) : Loaded(Settings(bars, beats, subdivision)) {}
};

/// Written text and CrSubdivision; the record plays in the step sequencer when playing.
struct Written {
    int result;
    std::u16string text;
    int subdivision;
};

Written Write(const Grid& grid, bool playing = false)
{
    Configuration::ConfigurationData record;
    record.SpeedTrainer = playing ? Configuration::TrainerMode::StepSequencer : Configuration::TrainerMode::Off;
    const int result = grid.WriteRhythm(record);
    return {result, std::u16string(Core::FieldText(record.CustomRhythm)), record.CrSubdivision};
}

} // namespace

TEST(StepSequencerRhythmText, WritesTheCoarsestStepsAndReadsItsOwnTextBack)
{
    Loaded grid(1, 4, 2);
    grid.ToggleCell(0, 0);
    grid.ToggleCell(1, 4);
    grid.ToggleCell(2, 4);
    // All hits on beats: one step per beat, seven characters for four steps.
    auto saved = Write(grid);
    EXPECT_EQ(saved.result, Grid::RhythmWritten);
    EXPECT_EQ(saved.text, u"1 [23] ");
    EXPECT_EQ(saved.subdivision, 0);
    auto played = Write(grid, true);
    EXPECT_EQ(played.text, u"1   [23]   ");
    EXPECT_EQ(played.subdivision, 2);

    // A single hit is written at the coarsest step that holds it.
    const std::tuple<int, int, std::u16string, int> cases[]
        = {{4, 2, u" 1", 2}, {4, 1, u" 1  ", 4}, {6, 2, u" 1 ", 3}, {3, 1, u" 1 ", 3}};
    for (const auto& [subdivision, column, text, stepSubdivision] : cases) {
        Load(grid, Settings(1, 1, subdivision));
        grid.ToggleCell(0, column);
        saved = Write(grid);
        EXPECT_EQ(saved.text, text) << subdivision << " " << column;
        EXPECT_EQ(saved.subdivision, stepSubdivision) << subdivision << " " << column;
    }

    // Voice 10 is ":"; voices 11 and 12 are "a" and "b"; characters naming no row are skipped.
    Load(grid, Settings(1, 4, 0));
    grid.LoadRhythm(u":x[ab0]", 0);
    EXPECT_TRUE(Grid::IsHit(grid.Cell(9, 0)));
    EXPECT_EQ(grid.HitCount(), 3);
    EXPECT_EQ(Write(grid).text, u": [ab] ");
}

TEST(StepSequencerRhythmText, TheLargestGridIsWrittenAndTooManyHitsRefused)
{
    // 4 bars of 16 beats of 8: one off-beat hit makes 512 steps, played or saved.
    Loaded grid(4, 16, 8);
    grid.ToggleCell(0, 511);
    for (const bool playing : {true, false})
        EXPECT_EQ(Write(grid, playing).text, std::u16string(511, u' ') + u"1") << playing;

    // At most 512 hit characters and brackets: 36 chords of twelve and 8 hits, then rests.
    std::u16string text;
    for (int i = 0; i < 36; ++i)
        text += u"[123456789:ab]";
    text += std::u16string(8, u'1') + std::u16string(512 - 44, u' ');
    grid.LoadRhythm(text, 8);
    EXPECT_EQ(Write(grid, true).result, Grid::RhythmWritten);
    EXPECT_EQ(Write(grid, true).text, text);

    grid.ToggleCell(2, 100);
    EXPECT_EQ(Write(grid, true).result, Grid::RhythmTooManyHits);

    // Nothing drawn: the rests are written and reported as empty.
    grid.LoadRhythm(u"", 2);
    EXPECT_EQ(Write(grid).result, Grid::RhythmEmpty);
    EXPECT_EQ(Write(grid).text, std::u16string(64, u' '));
}

TEST(StepSequencerLength, ANewSubdivisionRemapsHitsAndDiscardsTheHistory)
{
    Loaded grid(1, 1, 4);
    for (int c = 0; c < 4; ++c)
        grid.ToggleCell(0, c);
    grid.SetPasteColumn(3);
    grid.SetSubdivision(3, false);
    // Columns 0, 1, 2, 3 go to 0, 0, 1, 2: two hits meet and become one.
    EXPECT_EQ(grid.HitCount(), 3);
    EXPECT_EQ(Write(grid).text, u"111");
    EXPECT_EQ(grid.PasteColumn(), 0);
    EXPECT_EQ(grid.Undo(), Grid::NoChange);
}

TEST(StepSequencerLength, HiddenColumnsKeepTheirHitsAndTheHistory)
{
    Loaded grid(2, 4, 3);
    grid.ToggleCell(0, 20);
    grid.SetBarCount(1);
    EXPECT_EQ(grid.HitCount(), 0);
    EXPECT_EQ(Write(grid).result, Grid::RhythmEmpty);
    EXPECT_EQ(grid.SelectAll(), Grid::NoChange);
    // Compound time with its three columns a beat only hides and shows columns too.
    grid.SetBarCount(2);
    grid.SetSubdivision(3, true);
    EXPECT_EQ(grid.ColumnCount(), 8);
    EXPECT_EQ(grid.HitCount(), 0);
    grid.SetSubdivision(3, false);
    EXPECT_EQ(grid.HitCount(), 1);
    EXPECT_EQ(Write(grid).text, std::u16string(20, u' ') + u"1   ");
    EXPECT_EQ(grid.Undo(), 0);
}

TEST(StepSequencerView, DistinctViewShowsAndWritesOnlyTheFirstRowOfAnInstrument)
{
    auto settings = Settings(1, 4, 0);
    settings.Instrument[1] = settings.Instrument[0];
    Loaded grid(settings);
    grid.ToggleCell(1, 1);
    grid.ToggleDistinctView();
    EXPECT_EQ(grid.VisibleRowCount(), 11);
    EXPECT_EQ(grid.RowOfDisplayRow(1), 2);
    EXPECT_EQ(Write(grid).result, Grid::RhythmEmpty);
    // An undo names the row to redraw by its place on the screen.
    grid.ToggleCell(1, 3);
    EXPECT_EQ(grid.Undo(), 1);

    // Select all carries the hidden row's hit along with a move.
    grid.ToggleCell(0, 0);
    EXPECT_EQ(grid.SelectAll(), Grid::AllRows);
    EXPECT_EQ(grid.SelectedCount(), 2);
    grid.BeginDrag(0, 0);
    EXPECT_EQ(grid.Drop(0, 2), Grid::AllRows);
    EXPECT_TRUE(Grid::IsHit(grid.Cell(0, 2)));
    EXPECT_TRUE(Grid::IsHit(grid.Cell(1, 3)));

    grid.ToggleDistinctView();
    EXPECT_EQ(Write(grid).text, u"  12");
}

TEST(StepSequencerDrag, ASingleHitMergesIntoAnotherAndOneUndoBringsItBack)
{
    Loaded grid(1, 4, 0);
    grid.ToggleCell(0, 0);
    grid.ToggleCell(0, 2);
    const auto before = GridChecks::Hits(grid);
    grid.BeginDrag(0, 0);
    EXPECT_EQ(grid.Drop(0, 2), Grid::AllRows);
    EXPECT_EQ(grid.HitCount(), 1);
    EXPECT_EQ(grid.DragRow(), -1);
    EXPECT_EQ(grid.Undo(), 0);
    EXPECT_EQ(GridChecks::Hits(grid), before);

    // A move to another row takes that row's sound.
    grid.BeginDrag(0, 2);
    grid.Drop(3, 1);
    EXPECT_EQ(grid.Cell(3, 1), 3);
}

TEST(StepSequencerDrag, ASelectionDroppedWhereItWasStaysAndRecordsNothing)
{
    Loaded grid(1, 4, 2);
    grid.ToggleCell(0, 0);
    grid.ToggleCell(4, 5);
    grid.DiscardHistory();
    const auto before = GridChecks::Hits(grid);
    grid.SelectAll();
    grid.BeginDrag(4, 5);
    EXPECT_EQ(grid.Drop(4, 5), Grid::AllRows);
    EXPECT_EQ(GridChecks::Hits(grid), before);
    EXPECT_EQ(grid.SelectedCount(), 0);
    EXPECT_EQ(grid.UndoTop(), nullptr);

    // Moved by one row and one column: one undo step; the hit pushed past the last column is lost.
    grid.ToggleCell(4, 7);
    grid.SelectAll();
    grid.BeginDrag(0, 0);
    grid.Drop(1, 1);
    EXPECT_EQ(grid.HitCount(), 2);
    EXPECT_TRUE(Grid::IsHit(grid.Cell(1, 1)) && Grid::IsHit(grid.Cell(5, 6)));
    grid.Undo();
    grid.Undo();
    EXPECT_EQ(GridChecks::Hits(grid), before);
}

TEST(StepSequencerClipboard, PastePlacesSelectedHitsAtThePasteColumnOnly)
{
    Loaded grid(1, 4, 2);
    grid.ToggleCell(0, 1);
    grid.ToggleCell(2, 2);
    grid.Copy();
    const StepSequencer::UndoAction* top = grid.UndoTop();
    EXPECT_EQ(grid.Paste(), Grid::AllRows);
    EXPECT_EQ(grid.UndoTop(), top);

    grid.SelectAll();
    EXPECT_EQ(grid.HandleKey('X', true), Grid::AllRows);
    EXPECT_EQ(grid.HitCount(), 0);
    grid.SetPasteColumn(7);
    EXPECT_EQ(grid.HandleKey('V', true), Grid::AllRows);
    // The second hit would land past the end and is left out.
    EXPECT_EQ(grid.HitCount(), 1);
    EXPECT_TRUE(Grid::IsHit(grid.Cell(0, 7)));
    EXPECT_EQ(grid.HandleKey('V', false), Grid::NoChange);
}

TEST(StepSequencerHistory, UndoAndRedoGoByStepsAndANewEditDropsTheRedoSteps)
{
    Loaded grid(1, 4, 2);
    EXPECT_EQ(grid.Undo(), Grid::NoChange);
    EXPECT_EQ(grid.Redo(), Grid::NoChange);
    grid.ToggleCell(0, 0);
    grid.ToggleCell(1, 3);
    const auto drawn = GridChecks::Hits(grid);
    EXPECT_EQ(grid.ClearAll(), Grid::AllRows);
    EXPECT_EQ(grid.HandleKey('Z', true), Grid::AllRows);
    EXPECT_EQ(GridChecks::Hits(grid), drawn);
    EXPECT_EQ(grid.HandleKey('Y', true), Grid::AllRows);
    EXPECT_EQ(grid.HitCount(), 0);
    grid.Undo();
    grid.Undo();
    EXPECT_EQ(grid.HitCount(), 1);
    grid.ToggleCell(2, 2);
    EXPECT_EQ(grid.RedoTop(), nullptr);
}

TEST(StepSequencerHistory, AnEditWithoutUndoRecordsIsRefusedAndLoggedOnce)
{
    TestSupport::ScopedLog log;
    int budget = 20;
    Grid grid([&]() -> StepSequencer::UndoAction* { return budget-- > 0 ? new StepSequencer::UndoAction{} : nullptr; });
    Load(grid, Settings(1, 16, 2));
    for (int c = 0; c < 12; ++c)
        grid.ToggleCell(0, c);
    grid.SelectAll();
    grid.BeginDrag(0, 0);
    const auto before = GridChecks::Hits(grid);
    // Twelve hits moved need 24 records; the pool can only ever hold 20.
    EXPECT_EQ(grid.Drop(1, 0), Grid::NoChange);
    EXPECT_EQ(GridChecks::Hits(grid), before);
    EXPECT_EQ(grid.SelectedCount(), 12);
    const std::string text = "Unable to allocate memory for UndoAction object in UndoActionPool::Allocate";
    const std::string content = log.Content();
    EXPECT_NE(content.find(text), std::string::npos);
    EXPECT_EQ(content.find(text), content.rfind(text));
}

TEST(StepSequencerNames, NamesComeFromTheTablesOrTheFilesAndAreFittedWithAnEllipsis)
{
    auto settings = Settings(1, 4, 2);
    settings.SoundEngineType = Configuration::SoundSource::AudioFiles;
    settings.File[0] = u"C:\\Sounds\\kick.01.wav";
    settings.File[1] = u"/home/me/a much longer snare name";
    settings.Instrument[2] = 1;
    Loaded grid(settings);
    // Ten characters reach 100 pixels; a longer name ends in an ellipsis after them.
    grid.FitNames([](std::u16string_view text) { return static_cast<int>(text.size()) * 10; });
    for (const auto& [row, name] : {std::pair<int, std::u16string>{0, u"kick"}, {2, u"a much lon..."}, {3, u""}}) {
        EXPECT_EQ(std::u16string(grid.GetRow(row).name, grid.GetRow(row).nameLength), name) << row;
        EXPECT_EQ(std::u16string(grid.GetRow(row).name), name) << row;
    }
}
