#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace Diary {

/// One practice session as the diary keeps it: a run of the metronome that played at least
/// MinimumSeconds, pauses not counted.
struct Session {
    static constexpr double MinimumSeconds = 10.0;

    std::int64_t id = 0;          ///< the row's number; 0 before it is written
    std::int64_t start = 0;       ///< seconds since 1970-01-01 UTC
    std::int64_t end = 0;         ///< seconds since 1970-01-01 UTC
    double secondsPlaying = 0.0;  ///< between start and end, pauses left out
    std::string name;             ///< the preset or song played (UTF-8); empty: the current settings
    std::int32_t tempoStart = 0;  ///< bpm
    std::int32_t tempoMin = 0;
    std::int32_t tempoMax = 0;
    /// The speed trainer's From and To (bpm) and how many levels it climbed; none without it.
    std::optional<std::int32_t> trainerFrom, trainerTo, trainerLevel;
    std::int32_t countIn = 0;     ///< the CountIn setting
    std::int32_t gapMode = 0;     ///< the GapMode setting; the rule's numbers below
    std::int32_t gapPlay = 0, gapMute = 0, gapPercent = 0;
    double swing = 50.0;          ///< percent
    /// Timing feedback's figures of the take (ms, late positive), where it ran.
    std::optional<double> meanMs, sdMs, mutedMeanMs, mutedSdMs;
    std::optional<std::int32_t> hits;

    bool operator==(const Session&) const = default;
};

} // namespace Diary
