#pragma once
#include <cstdint>

namespace Core::TimerFlags {

/// What a timer tick means, as a timer strategy's OnTick reports it.
constexpr std::uint32_t TempoChanged = 0x0001;      ///< trainer step, also at the start of the warm-down
constexpr std::uint32_t WarmupEnded = 0x0002;
constexpr std::uint32_t WarmdownStarted = 0x0004;   ///< always with TempoChanged
constexpr std::uint32_t StepPlayed = 0x0008;        ///< a step of the step sequencer's rhythm played
constexpr std::uint32_t PlayEntry = 0x1000;         ///< play the current pattern entry
constexpr std::uint32_t RunComplete = 0x2000;       ///< the trainer run is over

} // namespace Core::TimerFlags
