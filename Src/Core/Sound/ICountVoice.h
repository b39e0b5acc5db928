#pragma once
#include "Configuration/ConfigurationData.h"

#include <cstdint>

namespace Core {

/// The spoken count's voice: the words of the count (Core::CountWord) spoken on the ticks'
/// frames, in the output the run's sound engine plays into. Open and Close on the window
/// thread (Close also on a control thread that ends a run), never overlapping Say.
class ICountVoice {
public:
    virtual ~ICountVoice() = default;
    /// Makes the words ready for a run with settings (after the sound engine's Initialise,
    /// whose output it shares). False, with a log entry the first time, when the words
    /// cannot be had: the run then plays without them.
    virtual bool Open(const Configuration::ConfigurationData& settings) = 0;
    /// Speaks word (a CountWord) at volume (0..127) where Platform::CurrentSoundStamp() puts
    /// it: on the tick's frame inside a tick. Timer thread; never locks, allocates or logs.
    virtual bool Say(std::int32_t word, std::uint32_t volume) noexcept = 0;
    /// Stops speaking. Harmless when not open.
    virtual void Close() = 0;
};

} // namespace Core
