#include "Core/Timing/ScoreReport.h"

#include "Core/Timing/OnsetDetector.h"
#include "Core/Timing/TakeFile.h"

#include <cmath>
#include <cstdio>

namespace Core::Timing {

namespace {

std::string Format(const char* format, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// "+12.0 ms late", "3.5 ms early", "on time".
std::string Lateness(double ms)
{
    if (std::abs(ms) < 0.05)
        return "on time";
    return Format("%.1f ms ", std::abs(ms)) + (ms > 0 ? "late" : "early");
}

std::string Number(double value, bool present = true)
{
    return present && std::isfinite(value) ? Format("%.3f", value) : "null";
}

} // namespace

std::string HitsCsv(const TakeGrid& grid, const TakeScore& score)
{
    std::string csv = "time_s,bar,position,error_ms,kind,muted\n";
    for (const MatchedHit& hit : score.hits) {
        if (hit.position < 0)
            continue;
        const GridPosition& at = grid.positions[static_cast<std::size_t>(hit.position)];
        const char* kind = at.countIn ? "count_in" : hit.scored ? "hit" : "stray";
        csv += Format("%.4f", hit.frame / grid.rate) + ',' + std::to_string(at.bar) + ',' + grid.Label(at.indexInBar) + ','
               + Format("%.3f", hit.errorMs) + ',' + kind + ',' + (at.muted ? "1" : "0") + '\n';
    }
    return csv;
}

ScoredTake ScoreTakeFile(const Configuration::ConfigurationData& settings, const std::string& path, double offsetMs)
{
    ScoredTake result;
    const Take take = ReadTake(path);
    if (!take.error.empty()) {
        result.error = path + ": " + take.error;
        return result;
    }
    result.rate = take.rate;
    result.midi = take.isMidi;
    result.seconds = take.frames / take.rate;
    const double offset = offsetMs * take.rate / 1000.0;
    result.grid = PlanGrid(settings, take.rate, take.frames - offset);
    if (result.grid.startResult != 0) {
        result.error = "the settings play nothing to score against";
        return result;
    }
    std::vector<double> hits;
    if (take.isMidi) {
        for (double frame : take.hitFrames)
            hits.push_back(frame - offset);
    } else {
        OnsetOptions options;
        options.rate = take.rate;
        for (const GridPosition& position : result.grid.positions)
            if (position.sounds)
                options.clickFrames.push_back(position.frame + offset);
        for (const Onset& onset : DetectOnsets(take.samples, options))
            hits.push_back(onset.frame - offset);
    }
    result.score = ScoreTake(result.grid, std::move(hits));
    return result;
}

std::string SummaryText(const ScoredTake& take)
{
    const TakeFigures& f = take.score.figures;
    std::string text = Format("Take: %.1f s", take.seconds) + (take.midi ? " of MIDI notes\n" : Format(" at %.0f Hz\n", take.rate));
    text += "Hits " + std::to_string(f.hits) + ", strays " + std::to_string(f.strays) + ", missed " + std::to_string(f.missed);
    if (f.countInHits > 0)
        text += " (" + std::to_string(f.countInHits) + " in the count-in, not scored)";
    text += "\n";
    if (f.hits == 0)
        return text + "No hit on the grid to give figures for.\n";
    text += "Mean: " + Lateness(f.all.meanMs) + Format(", standard deviation %.1f ms", f.all.sdMs)
            + Format(", drift %+.1f ms per minute\n", std::abs(f.driftMsPerMin) < 0.05 ? 0.0 : f.driftMsPerMin);
    if (f.muted) {
        text += "Clicked bars: " + Lateness(f.clicked.meanMs) + Format(", standard deviation %.1f ms", f.clicked.sdMs)
                + " (" + std::to_string(f.clicked.count) + " hits)\n";
        text += "Muted bars: "
                + (f.muted->count > 0 ? Lateness(f.muted->meanMs) + Format(", standard deviation %.1f ms", f.muted->sdMs)
                                      : std::string("no hits"))
                + " (" + std::to_string(f.muted->count) + " hits)\n";
    }
    text += "By position in the bar:\n";
    for (std::size_t p = 0; p < f.perPosition.size(); ++p) {
        const Spread& s = f.perPosition[p];
        text += "  " + take.grid.Label(static_cast<std::int32_t>(p)) + ": "
                + (s.count > 0 ? Lateness(s.meanMs) + " (" + std::to_string(s.count) + " hits)" : std::string("no hits"))
                + "\n";
    }
    return text;
}

std::string SummaryJson(const ScoredTake& take)
{
    const TakeFigures& f = take.score.figures;
    const bool any = f.hits > 0;
    std::string json = "{\"hits\":" + std::to_string(f.hits) + ",\"strays\":" + std::to_string(f.strays)
                       + ",\"missed\":" + std::to_string(f.missed) + ",\"count_in_hits\":" + std::to_string(f.countInHits)
                       + ",\"mean_ms\":" + Number(f.all.meanMs, any) + ",\"sd_ms\":" + Number(f.all.sdMs, any)
                       + ",\"drift_ms_per_min\":" + Number(f.driftMsPerMin, any) + ",\"per_position_ms\":[";
    std::string labels;
    for (std::size_t p = 0; p < f.perPosition.size(); ++p) {
        json += (p > 0 ? "," : "") + Number(f.perPosition[p].meanMs, f.perPosition[p].count > 0);
        labels += (p > 0 ? ",\"" : "\"") + take.grid.Label(static_cast<std::int32_t>(p)) + "\"";
    }
    const bool muted = f.muted && f.muted->count > 0;
    json += "],\"per_position_labels\":[" + labels + "]";
    json += ",\"muted_mean_ms\":" + Number(muted ? f.muted->meanMs : 0, muted)
            + ",\"muted_sd_ms\":" + Number(muted ? f.muted->sdMs : 0, muted)
            + ",\"clicked_mean_ms\":" + Number(f.clicked.meanMs, f.clicked.count > 0)
            + ",\"clicked_sd_ms\":" + Number(f.clicked.sdMs, f.clicked.count > 0) + ",\"rate\":" + Number(take.rate)
            + ",\"seconds\":" + Number(take.seconds) + "}";
    return json;
}

} // namespace Core::Timing
