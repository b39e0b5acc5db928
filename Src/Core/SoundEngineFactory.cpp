#include "Core/SoundEngineFactory.h"

#include "Core/MidiSoundEngine.h"
#include "Core/UnavailableSoundEngine.h"

namespace Core {

ISoundEngine* GetSoundEngine(std::int32_t soundEngineType)
{
    // Made on first use and kept until the process ends; the MIDI engine closes its output
    // when it is destroyed at exit.
    static MidiSoundEngine midiEngine;
    static UnavailableSoundEngine audioEngine("Audio file playback is not available in this build");
    return soundEngineType == 1 ? static_cast<ISoundEngine*>(&audioEngine) : &midiEngine;
}

} // namespace Core
