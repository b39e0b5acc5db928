#include "Core/Sound/SoundEngineFactory.h"

#include "Core/WaveFiles/AudioSoundEngine.h"
#include "Core/Sound/MidiSoundEngine.h"

namespace Core {

ISoundEngine* GetSoundEngine(std::int32_t soundEngineType)
{
    // Made on first use and kept until the process ends; at exit the MIDI engine closes its
    // output and the audio-file engine ends its players.
    static MidiSoundEngine midiEngine;
    static AudioSoundEngine audioEngine;
    return soundEngineType == 1 ? static_cast<ISoundEngine*>(&audioEngine) : &midiEngine;
}

} // namespace Core
