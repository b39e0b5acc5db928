// Random editing sessions on the step sequencer grid: every public operation with arbitrary
// arguments (rows and columns outside the grid included), undo records that run out, and
// rhythm text both read and written. After every operation the grid must keep its invariants;
// every written text must read back to the same hits; and at the end undoing everything and
// redoing everything must give back the same hits.
#include "DiscardingLog.h"
#include "GridChecks.h"

#include "Configuration/ConfigurationData.h"
#include "Core/Engine/BeatPatterns.h"
#include "System/CurrentLanguage.h"
#include "System/Log.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using Grid = StepSequencer::StepSequencerGrid;

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

void CheckGrid(const Grid& grid)
{
    Check(GridChecks::BrokenInvariant(grid).empty());
}

void CheckRedraw(int code)
{
    Check(code == Grid::AllRows || code == Grid::NoChange || (code >= 0 && code < Grid::RowCount));
}

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size)
        : data_(data), size_(size)
    {
    }
    bool Done() const { return position_ >= size_; }
    std::uint8_t Byte() { return position_ < size_ ? data_[position_++] : 0; }
    /// Mostly inside the grid, sometimes just outside it or far off.
    int Row() { return static_cast<int>(Byte() % 16) - 2; }
    int Column()
    {
        const int value = Byte() | Byte() << 8;
        return value % 8 == 0 ? value - 0x8000 : value % 540 - 10;
    }
    int Small() { return static_cast<int>(static_cast<std::int8_t>(Byte())) / 8; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t position_ = 0;
};

/// Settings from six bytes: length, view, engine, and instruments and colours that repeat
/// (some colours outside the palette).
Configuration::ConfigurationData RandomSettings(Input& in)
{
    Configuration::ConfigurationData settings;
    settings.CrNumBars = in.Byte() % 7 - 1;
    settings.CrBeatsPerBar = in.Byte() % 20;
    settings.DisplayedSubdiv = in.Byte() % 11 - 1;
    const std::uint8_t flags = in.Byte();
    settings.CrCompoundTime = flags & 1;
    settings.DisplayDistinct = flags >> 1 & 1;
    settings.SoundEngineType = static_cast<Configuration::SoundSource>(flags >> 2 & 1);
    const int instruments = in.Byte() % 13 + 1;
    const int colours = in.Byte();
    for (int voice = 0; voice < Configuration::VoiceCount; ++voice) {
        settings.Instrument[voice] = voice * 7 % instruments - (flags >> 3 & 1);
        settings.Colour[voice] = (voice + colours) % 15 - (colours >> 7);
    }
    settings.File[0] = u"/sounds/kick.wav";
    settings.File[1] = u"C:\\a very long name for a sound file.wav";
    return settings;
}

std::u16string RandomText(Input& in)
{
    static constexpr char16_t Alphabet[] = u" 123456789:ab[]0x;";
    std::u16string text(in.Byte(), u' ');
    for (auto& character : text)
        character = Alphabet[in.Byte() % (sizeof Alphabet / sizeof Alphabet[0] - 1)];
    return text;
}

/// Writes the rhythm and reads it back into a grid of the same length; the hits of the shown
/// rows must come back exactly. A refused rhythm leaves the record untouched.
void CheckWrittenText(const Grid& grid, Grid& reader, bool playing)
{
    Configuration::ConfigurationData record;
    record.SpeedTrainer = playing ? Configuration::TrainerMode::StepSequencer : Configuration::TrainerMode::Off;
    record.CustomRhythm = u"?";
    record.CrSubdivision = -7;
    const int result = grid.WriteRhythm(record);
    if (result == Grid::RhythmTooManyHits) {
        Check(record.CustomRhythm == u"?" && record.CrSubdivision == -7);
        return;
    }
    Check(result == Grid::RhythmWritten || result == Grid::RhythmEmpty);
    const auto text = Core::FieldText(record.CustomRhythm);
    Check(text.size() < Configuration::CustomRhythmCapacity);
    reader.SetBarCount(grid.BarCount());
    reader.SetBeatsPerBar(grid.BeatsPerBar());
    reader.SetSubdivision(grid.Subdivision(), grid.Compound());
    reader.LoadRhythm(text, record.CrSubdivision);
    CheckGrid(reader);
    for (int r = 0; r < Grid::RowCount; ++r) {
        for (int c = 0; c < grid.ColumnCount(); ++c) {
            const bool written = grid.GetRow(r).visible && Grid::IsHit(grid.Cell(r, c));
            Check(Grid::IsHit(reader.Cell(r, c)) == written);
        }
    }
    Check((result == Grid::RhythmEmpty) == (reader.HitCount() == 0));
}

/// Undoes every step, then redoes as many: the hits must come back as they were. Then the
/// steps that were already undone before are redone too.
void CheckRoundTrip(Grid& grid)
{
    grid.ClearSelection();
    const auto before = GridChecks::Hits(grid);
    const int hits = grid.HitCount();
    int steps = 0;
    for (; grid.UndoTop(); ++steps) {
        CheckRedraw(grid.Undo());
        CheckGrid(grid);
    }
    for (int i = 0; i < steps; ++i) {
        CheckRedraw(grid.Redo());
        CheckGrid(grid);
    }
    Check(GridChecks::Hits(grid) == before && grid.HitCount() == hits);
    while (grid.RedoTop()) {
        CheckRedraw(grid.Redo());
        CheckGrid(grid);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static FuzzSupport::DiscardingLog log;
    System::SetLog(&log);
    const auto language = System::BuiltInLanguage();

    Input in(data, size);
    // Records for the undo history; an operation can make the supply run dry.
    long budget = -1;
    Grid grid([&budget]() -> StepSequencer::UndoAction* {
        if (budget == 0)
            return nullptr;
        budget -= budget > 0 ? 1 : 0;
        return new StepSequencer::UndoAction{};
    });
    Grid reader;
    grid.LoadFromSettings(RandomSettings(in), *language);
    // Start from a drawn rhythm, so that even short inputs edit hits.
    grid.LoadRhythm(u"1[23] 4[5:ab]  9 [1b]2 [12345678]a b:", in.Byte() % 10);

    int operations = 0;
    while (!in.Done() && ++operations < 400) {
        const int row = in.Row();
        const int column = in.Column();
        switch (in.Byte() % 27) {
        case 0: grid.LoadFromSettings(RandomSettings(in), *language); break;
        case 1: grid.LoadRhythm(RandomText(in), in.Small()); break;
        case 2: {
            const int pixels = in.Byte() % 30;
            grid.FitNames([pixels](std::u16string_view text) { return static_cast<int>(text.size()) * pixels; });
            break;
        }
        case 3: grid.SetBarCount(in.Small()); break;
        case 4: grid.SetBeatsPerBar(in.Small()); break;
        case 5: grid.SetSubdivision(in.Small(), in.Byte() % 4 == 0); break;
        case 6: grid.ToggleDistinctView(); break;
        case 7: CheckRedraw(grid.ToggleCell(row, column)); break;
        case 8: grid.BeginDrag(row, column); break;
        case 9: grid.EndDrag(); break;
        case 10: CheckRedraw(grid.Drop(row, column)); break;
        case 11: grid.SelectHit(row, column); break;
        case 12: CheckRedraw(grid.SelectAll()); break;
        case 13: CheckRedraw(grid.ClearSelection()); break;
        case 14: CheckRedraw(grid.DeleteSelection()); break;
        case 15: CheckRedraw(grid.Copy()); break;
        case 16: CheckRedraw(grid.Cut()); break;
        case 17: CheckRedraw(grid.Paste()); break;
        case 18: grid.SetPasteColumn(column); break;
        case 19: CheckRedraw(grid.ClearAll()); break;
        case 20: CheckRedraw(grid.Undo()); break;
        case 21: CheckRedraw(grid.Redo()); break;
        case 22: CheckRedraw(grid.HandleKey(in.Byte(), in.Byte() % 2 == 0)); break;
        case 23: grid.DiscardHistory(); break;
        case 24: CheckWrittenText(grid, reader, in.Byte() % 2 == 0); break;
        case 25: budget = in.Byte() % 4 == 0 ? -1 : in.Byte() % 50; break;
        case 26: {
            // A rubber band over part of the grid, then a drag of the selection.
            for (int d = 0; d < 3; ++d)
                for (int c = column; c < column + 6; ++c)
                    grid.SelectHit(row + d, c);
            grid.BeginDrag(row, column);
            CheckRedraw(grid.Drop(in.Row(), in.Column()));
            break;
        }
        }
        CheckGrid(grid);
        Check(grid.PasteColumn() == 0 || (grid.PasteColumn() > 0 && grid.PasteColumn() < grid.ColumnCount()));
    }
    CheckRoundTrip(grid);
    System::SetLog(nullptr);
    return 0;
}
