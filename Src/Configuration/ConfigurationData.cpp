#include "Configuration/ConfigurationData.h"

#include <algorithm>
#include <utility>

namespace Configuration {

ConfigurationData::ConfigurationData()
{
    std::fill(std::begin(Instrument), std::end(Instrument), 1);
    std::fill(std::begin(OtherInstrument), std::end(OtherInstrument), 1);
    std::fill(std::begin(Volume), std::end(Volume), 127);
    std::fill(std::begin(Size), std::end(Size), 7);
    std::fill(std::begin(Colour), std::end(Colour), 11);
}

void ConfigurationData::SetSoundSource(SoundSource source)
{
    if (source != SoundEngineType)
        std::swap(Instrument, OtherInstrument);
    SoundEngineType = source;
}

} // namespace Configuration
