#pragma once
#include "Core/Sound/ISoundEngine.h"

#include <cstdint>

namespace Core {

/// The sound engine for a SoundEngineType value: 0 the MIDI engine, 1 the audio-file engine.
/// Every engine is a single object made on the first call and kept until the process ends;
/// callers keep the plain pointer and never free it. Any other value gives the MIDI engine.
/// Never returns null. Window thread (the first call must not race another first call).
ISoundEngine* GetSoundEngine(std::int32_t soundEngineType);

} // namespace Core
