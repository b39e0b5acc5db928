#include "Configuration/ConfigurationData.h"

#include <algorithm>

namespace Configuration {

ConfigurationData::ConfigurationData()
{
    std::fill(std::begin(Instrument), std::end(Instrument), 1);
    std::fill(std::begin(Volume), std::end(Volume), 127);
    std::fill(std::begin(Size), std::end(Size), 7);
    std::fill(std::begin(Colour), std::end(Colour), 11);
}

} // namespace Configuration
