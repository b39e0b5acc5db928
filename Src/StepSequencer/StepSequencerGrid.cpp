// Loading, layout and the rhythm text of the step sequencer grid. The editing operations and
// the history are in StepSequencerEdits.cpp.
#include "StepSequencer/StepSequencerGrid.h"

#include "Configuration/ConfigurationData.h"
#include "Platform/Files.h"
#include "Platform/Text.h"
#include "System/ILanguage.h"

#include <algorithm>
#include <string>
#include <utility>

namespace StepSequencer {

namespace {

constexpr int MaxBars = 4;
constexpr int MaxBeatsPerBar = 16;
constexpr int MaxSubdivision = 8;
constexpr int MaxColour = 11;

std::u16string_view FieldView(const char16_t* field, std::size_t capacity)
{
    return std::u16string_view(field, Platform::Text::Length(field, capacity));
}

/// The file name of a path without its folders and without anything from its first full stop.
std::u16string_view FileTitle(std::u16string_view path)
{
    const std::u16string_view name = Platform::FileName(path);
    return name.substr(0, name.find(u'.'));
}

/// Row named by a hit character of rhythm text, or -1.
int RowOfCharacter(char16_t character)
{
    if (character >= u'1' && character <= u':')
        return character - u'1';
    if (character == u'a')
        return 10;
    if (character == u'b')
        return 11;
    return -1;
}

char16_t CharacterOfRow(int row)
{
    return row < 10 ? static_cast<char16_t>(u'1' + row) : static_cast<char16_t>(u'a' + row - 10);
}

bool IsHighSurrogate(char16_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

} // namespace

StepSequencerGrid::StepSequencerGrid(UndoActionPool::RecordSource recordSource)
    : pool_(std::move(recordSource))
{
    for (auto& row : rows_)
        row.cells.fill(EmptyCell);
    for (auto& row : clipboard_)
        row.fill(EmptyCell);
    UpdateColumnCount();
}

StepSequencerGrid::~StepSequencerGrid()
{
    DiscardHistory();
}

void StepSequencerGrid::LoadFromSettings(const Configuration::ConfigurationData& settings,
                                         const System::ILanguage& language)
{
    DiscardHistory();
    // The cells are emptied too, so that the counts hold before the rhythm is read.
    for (auto& row : rows_)
        row.cells.fill(EmptyCell);
    dragRow_ = dragColumn_ = -1;
    selectedCount_ = pasteColumn_ = hitCount_ = 0;

    barCount_ = std::clamp(settings.CrNumBars, 0, MaxBars);
    beatsPerBar_ = std::clamp(settings.CrBeatsPerBar, 0, MaxBeatsPerBar);
    compound_ = settings.CrCompoundTime != 0;
    subdivision_ = compound_ ? 3 : std::clamp(settings.DisplayedSubdiv, 0, MaxSubdivision);
    showAllRows_ = settings.DisplayDistinct == 0;

    for (int voice = 0; voice < RowCount; ++voice) {
        Row& row = rows_[static_cast<std::size_t>(voice)];
        // Colours beyond the palette would collide with the empty and selection bits.
        row.colour = static_cast<std::uint32_t>(std::clamp(settings.Colour[voice], 0, MaxColour));
        row.instrument = settings.Instrument[voice];
        std::u16string_view name;
        if (settings.SoundEngineType == Configuration::SoundSource::Midi) {
            const char16_t* text = language.GetInstrumentName(row.instrument);
            name = text ? std::u16string_view(text) : std::u16string_view();
        } else if (row.instrument >= 0 && row.instrument < Configuration::VoiceCount) {
            name = FileTitle(settings.File[row.instrument]);
        }
        Platform::Text::Copy(row.name, name);
        row.nameLength = static_cast<std::uint32_t>(Platform::Text::Length(row.name, NameCapacity));
    }
    UpdateColumnCount();
    UpdateVisibility();
}

void StepSequencerGrid::FitNames(const TextWidth& width)
{
    // Room for the characters kept plus "..." and the terminator.
    constexpr std::size_t MaxKept = NameCapacity - 4;
    for (auto& row : rows_) {
        const std::u16string_view name = FieldView(row.name, NameCapacity);
        if (width(name) <= NameWidth) {
            row.nameLength = static_cast<std::uint32_t>(name.size());
            continue;
        }
        std::size_t kept = 0;
        int summed = 0;
        while (kept < name.size() && summed < EllipsisStart) {
            // A surrogate pair is one character: measured and kept together.
            const std::size_t units = IsHighSurrogate(name[kept]) && kept + 1 < name.size() ? 2 : 1;
            if (kept + units > MaxKept)
                break;
            summed += width(name.substr(kept, units));
            kept += units;
        }
        std::u16string fitted(name.substr(0, kept));
        fitted += u"...";
        Platform::Text::Copy(row.name, fitted);
        row.nameLength = static_cast<std::uint32_t>(fitted.size());
    }
}

void StepSequencerGrid::UpdateColumnCount() noexcept
{
    beatCount_ = barCount_ * beatsPerBar_;
    columnCount_ = !compound_ && subdivision_ != 0 ? beatCount_ * subdivision_ : beatCount_;
}

void StepSequencerGrid::UpdateVisibility() noexcept
{
    visibleRowCount_ = 0;
    for (int r = 0; r < RowCount; ++r) {
        Row& row = rows_[static_cast<std::size_t>(r)];
        row.visible = true;
        if (!showAllRows_) {
            for (int earlier = 0; earlier < r && row.visible; ++earlier)
                row.visible = rows_[static_cast<std::size_t>(earlier)].instrument != row.instrument;
        }
        visibleRowCount_ += row.visible ? 1 : 0;
    }
}

void StepSequencerGrid::ToggleDistinctView()
{
    showAllRows_ = !showAllRows_;
    UpdateVisibility();
}

void StepSequencerGrid::RecountHits() noexcept
{
    hitCount_ = 0;
    for (const auto& row : rows_)
        hitCount_ += static_cast<int>(std::count_if(row.cells.begin(), row.cells.begin() + columnCount_, IsHit));
}

void StepSequencerGrid::RecountSelection() noexcept
{
    selectedCount_ = 0;
    for (const auto& row : rows_)
        selectedCount_ += static_cast<int>(std::count_if(row.cells.begin(), row.cells.end(), IsSelected));
}

void StepSequencerGrid::AfterLengthChange()
{
    UpdateColumnCount();
    pasteColumn_ = 0;
    dragRow_ = dragColumn_ = -1;
    // Hidden hits can't be edited, so they can't stay selected either.
    for (auto& row : rows_) {
        for (int c = columnCount_; c < MaxColumns; ++c) {
            if (IsHit(row.cells[static_cast<std::size_t>(c)]))
                row.cells[static_cast<std::size_t>(c)] &= static_cast<std::uint8_t>(~SelectedBit);
        }
    }
    RecountHits();
    RecountSelection();
}

void StepSequencerGrid::SetBarCount(int bars)
{
    barCount_ = std::clamp(bars, 0, MaxBars);
    AfterLengthChange();
}

void StepSequencerGrid::SetBeatsPerBar(int beats)
{
    beatsPerBar_ = std::clamp(beats, 0, MaxBeatsPerBar);
    AfterLengthChange();
}

void StepSequencerGrid::SetSubdivision(int subdivision, bool compound)
{
    compound_ = compound;
    const int target = compound ? 3 : std::clamp(subdivision, 0, MaxSubdivision);
    if (target != subdivision_) {
        const bool anyHit = std::any_of(rows_.begin(), rows_.end(), [](const Row& row) {
            return std::any_of(row.cells.begin(), row.cells.end(), IsHit);
        });
        if (anyHit) {
            Remap(subdivision_, target);
            // Recorded cell positions belong to the old layout.
            DiscardHistory();
        }
        subdivision_ = target;
    }
    AfterLengthChange();
}

void StepSequencerGrid::Remap(int from, int to)
{
    // Hidden columns move too, so that they come back in the right place when the rhythm grows.
    for (int r = 0; r < RowCount; ++r) {
        auto& cells = rows_[static_cast<std::size_t>(r)].cells;
        before_[static_cast<std::size_t>(r)] = cells;
        cells.fill(EmptyCell);
        for (int c = 0; c < MaxColumns; ++c) {
            const std::uint8_t cell = before_[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)];
            if (!IsHit(cell))
                continue;
            int target;
            if (from != 0 && to != 0) {
                const float ratio = static_cast<float>(to) / static_cast<float>(from);
                target = static_cast<int>(static_cast<float>(c) * ratio);
            } else if (from == 0) {
                target = c * to;
            } else if (c % from == 0) {
                target = c / from;
            } else {
                continue;
            }
            if (target < MaxColumns)
                cells[static_cast<std::size_t>(target)] = cell;
        }
    }
}

void StepSequencerGrid::LoadRhythm(std::u16string_view text, int stepsPerBeat)
{
    DiscardHistory();
    for (auto& row : rows_)
        row.cells.fill(EmptyCell);
    hitCount_ = selectedCount_ = 0;
    dragRow_ = dragColumn_ = -1;

    stepsPerBeat = std::clamp(stepsPerBeat, 0, MaxSubdivision);
    const int perBeat = subdivision_ == 0 ? 1 : subdivision_;
    const int columnsPerStep = stepsPerBeat == 0 ? perBeat : perBeat / stepsPerBeat;
    const int steps = stepsPerBeat == 0 ? beatCount_ : beatCount_ * stepsPerBeat;

    const auto place = [&](char16_t character, int column) {
        const int row = RowOfCharacter(character);
        if (row >= 0 && InColumns(column) && !IsHit(At(row, column)))
            PutHit(row, column);
    };
    std::size_t position = 0;
    for (int step = 0; step < steps && position < text.size(); ++step) {
        const char16_t character = text[position++];
        const int column = step * columnsPerStep;
        if (character != u'[') {
            place(character, column);
            continue;
        }
        while (position < text.size() && text[position] != u']')
            place(text[position++], column);
        ++position; // the "]"
    }
}

int StepSequencerGrid::WriteRhythm(Configuration::ConfigurationData& record) const
{
    int stepSubdivision = 0;
    int divisor = 1;
    if (compound_) {
        stepSubdivision = 3;
    } else if (subdivision_ != 0) {
        const int s = subdivision_;
        if (record.SpeedTrainer != Configuration::TrainerMode::StepSequencer) {
            // The coarsest steps that keep every hit: whole beats, half beats, or every column.
            divisor = s;
            for (const auto& row : rows_) {
                if (!row.visible)
                    continue;
                for (int c = 0; c < columnCount_ && divisor != 1; ++c) {
                    if (!IsHit(row.cells[static_cast<std::size_t>(c)]) || c % s == 0)
                        continue;
                    divisor = s == 2 || s % 2 == 1 || c % 2 == 1 ? 1 : 2;
                }
            }
        }
        stepSubdivision = s / divisor == 1 ? 0 : s / divisor;
    }

    // A rhythm holds at most MaxRhythmHits hit characters and brackets; with a character
    // for each of at most 512 steps besides, its text always fits the field.
    constexpr int MaxLength = Configuration::CustomRhythmCapacity - 1;
    static_assert(MaxColumns + MaxRhythmHits <= MaxLength);
    char16_t text[Configuration::CustomRhythmCapacity];
    int length = 0;
    int total = 0;
    for (int c = 0; c < columnCount_; c += divisor) {
        char16_t voices[RowCount];
        int count = 0;
        for (int r = 0; r < RowCount; ++r) {
            const Row& row = rows_[static_cast<std::size_t>(r)];
            if (row.visible && IsHit(row.cells[static_cast<std::size_t>(c)]))
                voices[count++] = CharacterOfRow(r);
        }
        const int written = count == 0 ? 1 : count == 1 ? 1 : count + 2;
        total += count > 1 ? count + 2 : count;
        if (total > MaxRhythmHits || length + written > MaxLength)
            return RhythmTooManyHits;
        if (count == 0) {
            text[length++] = u' ';
        } else if (count == 1) {
            text[length++] = voices[0];
        } else {
            text[length++] = u'[';
            for (int i = 0; i < count; ++i)
                text[length++] = voices[i];
            text[length++] = u']';
        }
    }
    text[length] = 0;
    record.CustomRhythm.assign(text, static_cast<std::size_t>(length));
    record.CrSubdivision = stepSubdivision;
    return total == 0 ? RhythmEmpty : RhythmWritten;
}

} // namespace StepSequencer
