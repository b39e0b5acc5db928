#pragma once
#include "Configuration/ConfigurationData.h"
#include "Configuration/PresetTree.h"

#include <string_view>

namespace Configuration {

/// What reading a configuration file came to.
struct ReadResult {
    /// At least one setting was applied and no line stopped the reading.
    bool loaded = false;
    /// Reading stopped at a line it could not use; the lines after it were not read.
    bool stoppedEarly = false;
    /// Number of key-value lines applied.
    int applied = 0;
    /// Presets that repeated an earlier preset's name and were kept under a new one.
    int renamedPresets = 0;
};

/// Applies the bytes of a configuration file to the store's parts: the current settings,
/// the language name (languageCapacity code units) and the preset tree. A leading byte-order
/// mark is skipped. Lines up to the first unusable one stay applied. A key-value line whose
/// key is unknown, or a preset line out of sequence, stops the reading, as does a line that
/// cannot be split; either writes an Error line naming it to the log. A preset whose name
/// an earlier one has is kept under a distinct name (Warn line). A Bpm the keys reach but
/// the file does not accept (4..1000) is taken as the nearest accepted one. Every text field
/// written stays zero-terminated within its capacity.
ReadResult ReadConfiguration(std::string_view bytes, ConfigurationData& current, char16_t* language,
                             std::size_t languageCapacity, PresetTree& presets);

/// The name that a preset called name carries after it has been written to the file and
/// read back: leading spaces and equals signs dropped, cut at a tab, '#' or line break,
/// unpaired surrogates replaced. name may be nullptr (the empty name).
void StoredName(const char16_t* name, char16_t (&stored)[NameCapacity]);

} // namespace Configuration
