#pragma once
#include "Core/Engine/Metronome.h"
#include "Core/Engine/Timer.h"

#include <cstdint>

namespace Core {

// The engine's program-wide single objects. Each is made on its first use and lives until
// the process ends; callers keep plain pointers and never free them. The first use of each
// must come from the window thread.

/// The one timer that ticks the metronome.
Timer& ProgramTimer();

/// The beat strategy for a BeatType (0 simple, 1 beats per bar, 2 custom pattern, 3 custom
/// rhythm); null for any other value.
MetronomeStrategy* GetBeatStrategy(std::int32_t beatType);

/// The timer strategy for a SpeedTrainer value: 0 plain playing, 5 the step sequencer, any
/// other value the speed trainer.
ITimerStrategy* GetTimerStrategy(std::int32_t speedTrainer);

/// The program's timer, strategies, curves and sound engines, with no beat lamp.
MetronomeServices ProgramMetronomeServices();

/// The one metronome controller, built on ProgramMetronomeServices().
Metronome& GetMetronome();

} // namespace Core
