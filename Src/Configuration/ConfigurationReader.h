#pragma once
#include "Configuration/ConfigurationData.h"
#include "Configuration/Presets.h"

#include <string>
#include <string_view>

namespace Configuration {

/// What reading a configuration file came to.
struct ReadResult {
    /// At least one setting was applied.
    bool loaded = false;
    /// Number of key-value lines applied.
    int applied = 0;
    /// Lines the reader did not understand; each is kept with its block (KeptLines).
    int keptLines = 0;
    /// The first of them: its number in the file (from 1) and its text.
    int firstKeptLineNumber = 0;
    std::string firstKeptLine;
    /// Presets that repeated an earlier preset's name and were kept under a new one.
    int renamedPresets = 0;
};

/// Applies the bytes of a configuration file to the store's parts: the current settings,
/// the language name (languageCapacity code units) and the presets. A leading byte-order
/// mark is skipped (on any line). Lines end at LF, CR LF or a lone CR and are read whole,
/// however long. A line whose key is unknown, that cannot be split, whose key is longer than
/// 63 characters or whose value is longer than 771 bytes (CustomRhythm: 1,024; a file path:
/// 2,313, three bytes for each of its 771 code units) is logged (Error) and kept, as it was,
/// in the KeptLines of the block it stands in; the reading goes on. "Preset<n>" starts
/// a new preset whatever n is. A preset whose name an earlier one has is kept under a
/// distinct name (Warn line). A number key whose value is no number keeps its value (Warn
/// line); a Bpm the keys reach but the file does not accept (4..1000) is taken as the
/// nearest accepted one. A text longer than its field's capacity is cut (Warn line). The
/// main window's lines (WindowLeft, WindowTop, WindowWidth, WindowHeight, WindowMaximised) go
/// to window, wherever they stand; without window they are read and dropped. A missing one
/// leaves its field as it was, one out of range or no number too (Warn line). The program-wide
/// switches (Diary) go to switches in the same way, the control lines (OscPort, OscAddress,
/// MidiMap) to control.
ReadResult ReadConfiguration(std::string_view bytes, ConfigurationData& current, char16_t* language,
                             std::size_t languageCapacity, Presets& presets, WindowPlacement* window = nullptr,
                             ProgramSwitches* switches = nullptr, ControlSettings* control = nullptr);

/// The name that a preset called name carries after it has been written to the file and
/// read back: cut at a line break and to NameCapacity - 1 code units, unpaired surrogates
/// replaced.
std::u16string StoredName(std::u16string_view name);

} // namespace Configuration
