#pragma once
#include "Configuration/ConfigurationData.h"
#include "Configuration/PresetTree.h"

#include <string>

namespace Configuration {

/// The bytes of a configuration file: byte-order mark, comment line, language line, the
/// current settings' block (no preset or description line), then one block per preset in
/// ascending name order, numbered from 0. Every line ends in CR LF. language holds at most
/// languageCapacity code units. The current settings' Name is not written.
///
/// A text is written so that reading gives it back: never past the longest value a line
/// may hold, never with a line break inside.
std::string WriteConfiguration(const ConfigurationData& current, const char16_t* language,
                               std::size_t languageCapacity, const PresetTree& presets);

} // namespace Configuration
