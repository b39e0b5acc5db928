#pragma once
#include "Configuration/ConfigurationData.h"

#include <functional>
#include <map>
#include <string>

namespace Configuration {

/// The presets by name. Names compare ordinally (code unit by code unit, unsigned,
/// case-sensitive) and are unique; each record's Name is its key. GUI thread only.
using Presets = std::map<std::u16string, ConfigurationData, std::less<>>;

} // namespace Configuration
