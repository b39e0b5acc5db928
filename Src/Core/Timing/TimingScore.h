#pragma once
#include "Core/Timing/TakeGrid.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace Core::Timing {

/// A hit matched to the grid: the nearest position, and how far from it.
struct MatchedHit {
    double frame = 0;            ///< on the grid's frames
    std::int32_t position = -1;  ///< index into TakeGrid::positions; -1 when the grid is empty
    double errorMs = 0;          ///< hit minus position; positive is late
    bool stray = false;          ///< further than a quarter of the way to the next position
    bool scored = false;         ///< counts in the figures (not stray, not in the count-in, not a second hit)
};

/// Matches one hit to the nearest position of grid. A hit further from it than a quarter
/// of the distance to the neighbouring position on its side (the only one, at either end)
/// is stray. `scored` is left to the caller.
MatchedHit MatchHit(const TakeGrid& grid, double frame);

/// Mean and standard deviation of some errors, in ms; empty without any.
struct Spread {
    std::int32_t count = 0;
    double meanMs = 0;
    double sdMs = 0;
};

/// The figures of one take.
struct TakeFigures {
    std::int32_t hits = 0;      ///< scored hits
    std::int32_t strays = 0;    ///< stray hits and second hits on a position (count-in excepted)
    std::int32_t missed = 0;    ///< scored positions within the take without a hit
    std::int32_t countInHits = 0;
    Spread all;
    Spread clicked;             ///< hits in bars that sound
    std::optional<Spread> muted; ///< hits in muted bars; none when the run mutes no bar
    double driftMsPerMin = 0;   ///< the errors' least-squares slope over the take
    std::vector<Spread> perPosition; ///< one per position of the bar (TakeGrid::positionsPerBar)
};

struct TakeScore {
    std::vector<MatchedHit> hits; ///< in the order of their frames
    TakeFigures figures;
};

/// Scores hits (frames on the grid's frames, any order) against grid. Each position takes
/// the nearest of the hits matched to it; any other hit there counts as stray. Positions of
/// the count-in are shown (their hits are matched) but never scored or missed.
TakeScore ScoreTake(const TakeGrid& grid, std::vector<double> hitFrames);

} // namespace Core::Timing
