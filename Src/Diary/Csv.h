#pragma once
#include "Diary/Session.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Diary {

/// A time (seconds since 1970 UTC) in ISO 8601 as local time with its offset:
/// "2026-12-07T21:05:00+01:00".
std::string IsoTime(std::int64_t seconds);

/// The sessions as CSV (RFC 4180, lines ending in CR LF): a header line naming the columns
/// (start, end, seconds_playing, name, tempo_start, tempo_min, tempo_max, trainer_from,
/// trainer_to, trainer_level, count_in, gap_mode, gap_play, gap_mute, gap_percent, swing,
/// mean_ms, sd_ms, muted_mean_ms, muted_sd_ms, hits), then one line per session. Times are
/// IsoTime's; a value the session has not (no trainer, no timing figures) is empty; the
/// current settings' name is empty.
std::string CsvText(const std::vector<Session>& sessions);

/// Writes CsvText to path ("-": standard output). False, with the reason in problem, when the
/// file cannot be written.
bool WriteCsv(const std::vector<Session>& sessions, const std::string& path, std::string& problem);

} // namespace Diary
