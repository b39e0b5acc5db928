#include "Core/SoundEngineFactory.h"

#include "Core/UnavailableSoundEngine.h"

namespace Core {

ISoundEngine* GetSoundEngine(std::int32_t soundEngineType)
{
    // Made on first use and kept until the process ends.
    static UnavailableSoundEngine midiEngine("The MIDI sound engine is not available in this build");
    static UnavailableSoundEngine audioEngine("Audio file playback is not available in this build");
    return soundEngineType == 1 ? static_cast<ISoundEngine*>(&audioEngine) : &midiEngine;
}

} // namespace Core
