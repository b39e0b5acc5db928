#pragma once
#include "Configuration/ConfigurationData.h"
#include "Configuration/Presets.h"

#include <string>

namespace Configuration {

/// The bytes of a configuration file: byte-order mark, comment line, language line, the main
/// window's lines when window holds a size, the switches that differ from their defaults, the current settings' block (every setting, no preset or description line), then one block
/// per preset in ascending name order, numbered from 0, holding its name, its description
/// when it has one and only the settings that differ from the defaults (the reader starts
/// every preset from them). Each block ends with its KeptLines. Every line ends in CR LF.
/// language holds at most languageCapacity code units. The current settings' Name is not
/// written.
///
/// A text is written so that reading gives it back (ValueText): cut to its field's capacity,
/// never past the longest value a line may hold, never with a line break inside.
std::string WriteConfiguration(const ConfigurationData& current, const char16_t* language,
                               std::size_t languageCapacity, const Presets& presets,
                               const WindowPlacement* window = nullptr, const ProgramSwitches* switches = nullptr,
                               const ControlSettings* control = nullptr);

} // namespace Configuration
