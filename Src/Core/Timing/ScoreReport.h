#pragma once
#include "Configuration/ConfigurationData.h"
#include "Core/Timing/TimingScore.h"

#include <string>

namespace Core::Timing {

/// A recorded take scored against settings: what `tolvane --score` does without a window.
struct ScoredTake {
    TakeGrid grid;
    TakeScore score;
    double rate = 0;
    double seconds = 0;
    bool midi = false;
    std::string error; ///< why the take could not be scored (English, one line); empty when scored
};

/// Reads the take at path (Core::Timing::ReadTake) and scores it against the grid settings
/// play, the grid's first beat at the take's first frame plus offsetMs. Audio takes go
/// through the onset detector with the grid's sounding positions as the click frames, so a
/// click heard in the recording is not a hit.
ScoredTake ScoreTakeFile(const Configuration::ConfigurationData& settings, const std::string& path, double offsetMs);

/// The take's figures as lines of English text for a terminal.
std::string SummaryText(const ScoredTake& take);
/// The take's figures as one JSON object: hits, strays, missed, mean_ms, sd_ms,
/// drift_ms_per_min, per_position_ms (one per position of the bar, null where none was hit),
/// per_position_labels, muted_mean_ms, muted_sd_ms, clicked_mean_ms, clicked_sd_ms (null
/// where there is nothing to say), count_in_hits, rate, seconds.
std::string SummaryJson(const ScoredTake& take);
/// Every hit of a take as CSV, one line each in time order after a header:
/// time_s (from the grid's first position), bar, position (its label, "3.2"), error_ms (late
/// positive, 3 decimals), kind (hit, stray or count_in) and muted (1 in a muted bar).
std::string HitsCsv(const TakeGrid& grid, const TakeScore& score);

} // namespace Core::Timing
