#include "Core/Timing/TimingScore.h"

#include <algorithm>
#include <cmath>

namespace Core::Timing {

namespace {

// Running sums for a mean and a standard deviation.
struct Sums {
    std::int32_t n = 0;
    double sum = 0;
    double squares = 0;
    void Add(double value)
    {
        ++n;
        sum += value;
        squares += value * value;
    }
    Spread Result() const
    {
        Spread spread;
        spread.count = n;
        if (n == 0)
            return spread;
        spread.meanMs = sum / n;
        spread.sdMs = n > 1 ? std::sqrt(std::max(0.0, (squares - sum * sum / n) / (n - 1))) : 0.0;
        return spread;
    }
};

} // namespace

MatchedHit MatchHit(const TakeGrid& grid, double frame)
{
    MatchedHit hit;
    hit.frame = frame;
    const auto& positions = grid.positions;
    if (positions.empty())
        return hit;
    const auto after = std::lower_bound(positions.begin(), positions.end(), frame,
                                        [](const GridPosition& p, double f) { return p.frame < f; });
    std::size_t index = static_cast<std::size_t>(after - positions.begin());
    if (index == positions.size() || (index > 0 && frame - positions[index - 1].frame < positions[index].frame - frame))
        --index;
    const double offset = frame - positions[index].frame;
    // The neighbour on the hit's side; at either end the only one there is.
    double step = 0;
    if (offset >= 0)
        step = index + 1 < positions.size() ? positions[index + 1].frame - positions[index].frame
                                            : (index > 0 ? positions[index].frame - positions[index - 1].frame : 0);
    else
        step = index > 0 ? positions[index].frame - positions[index - 1].frame
                         : (index + 1 < positions.size() ? positions[index + 1].frame - positions[index].frame : 0);
    hit.position = static_cast<std::int32_t>(index);
    hit.errorMs = offset * 1000.0 / grid.rate;
    hit.stray = step > 0 && std::abs(offset) > step / 4;
    return hit;
}

TakeScore ScoreTake(const TakeGrid& grid, std::vector<double> hitFrames)
{
    TakeScore score;
    std::sort(hitFrames.begin(), hitFrames.end());
    const std::size_t count = grid.positions.size();
    std::vector<std::int32_t> best(count, -1); // the hit each position keeps
    for (double frame : hitFrames) {
        MatchedHit hit = MatchHit(grid, frame);
        const auto index = static_cast<std::int32_t>(score.hits.size());
        if (hit.position >= 0 && !hit.stray) {
            std::int32_t& kept = best[static_cast<std::size_t>(hit.position)];
            if (kept < 0 || std::abs(hit.errorMs) < std::abs(score.hits[static_cast<std::size_t>(kept)].errorMs))
                kept = index;
        }
        score.hits.push_back(hit);
    }

    TakeFigures& figures = score.figures;
    Sums all, clicked, muted;
    std::vector<Sums> perPosition(static_cast<std::size_t>(std::max(grid.positionsPerBar, 0)));
    // Least squares of error over time, in ms and minutes.
    double st = 0, se = 0, stt = 0, ste = 0;
    bool anyMuted = false;
    const double lastFrame = hitFrames.empty() ? 0.0 : hitFrames.back();
    for (std::size_t p = 0; p < count; ++p) {
        const GridPosition& position = grid.positions[p];
        anyMuted = anyMuted || position.muted;
        if (best[p] < 0) {
            // A position after the take's last hit by more than a quarter step is past its end.
            if (!position.countIn && position.frame <= lastFrame)
                ++figures.missed;
            continue;
        }
        MatchedHit& hit = score.hits[static_cast<std::size_t>(best[p])];
        if (position.countIn) {
            ++figures.countInHits;
            continue;
        }
        hit.scored = true;
        all.Add(hit.errorMs);
        (position.muted ? muted : clicked).Add(hit.errorMs);
        if (static_cast<std::size_t>(position.indexInBar) < perPosition.size())
            perPosition[static_cast<std::size_t>(position.indexInBar)].Add(hit.errorMs);
        const double minutes = position.frame / grid.rate / 60.0;
        st += minutes;
        se += hit.errorMs;
        stt += minutes * minutes;
        ste += minutes * hit.errorMs;
    }
    for (const MatchedHit& hit : score.hits)
        if (!hit.scored && !(hit.position >= 0 && grid.positions[static_cast<std::size_t>(hit.position)].countIn))
            ++figures.strays;
    figures.hits = all.n;
    figures.all = all.Result();
    figures.clicked = clicked.Result();
    if (anyMuted)
        figures.muted = muted.Result();
    const double denominator = all.n * stt - st * st;
    figures.driftMsPerMin = all.n > 1 && denominator > 0 ? (all.n * ste - st * se) / denominator : 0.0;
    for (const Sums& sums : perPosition)
        figures.perPosition.push_back(sums.Result());
    return score;
}

} // namespace Core::Timing
