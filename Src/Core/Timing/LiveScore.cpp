#include "Core/Timing/LiveScore.h"

#include <algorithm>
#include <climits>
#include <limits>

namespace Core::Timing {

LiveScore::LiveScore(double rate)
{
    grid_.rate = rate;
    previous_.bar = INT32_MIN; // no bar yet
}

void LiveScore::SetOrigin(double origin)
{
    for (double& hit : hits_)
        hit -= origin - (started_ ? origin_ : 0.0);
    origin_ = origin;
    started_ = true;
}

void LiveScore::Played(const PlayedTick& tick)
{
    if (!started_)
        SetOrigin(tick.frame); // hits that came before the first tick are counted from it too
    // The positions are numbered in their bar and beat as a planned grid numbers them
    // (PlanGrid): afresh at each bar (and at the count-in's end), and at each beat.
    const BarPosition& now = tick.position;
    if (now.bar != previous_.bar || now.countIn != previous_.countIn)
        indexInBar_ = -1;
    if (tick.report != lastReport_)
        indexInBeat_ = -1;
    previous_ = now;
    lastReport_ = tick.report;
    GridPosition position;
    position.frame = tick.frame - origin_;
    position.bar = now.bar;
    position.beat = now.beat;
    position.indexInBar = ++indexInBar_;
    position.indexInBeat = ++indexInBeat_;
    position.countIn = now.countIn;
    position.muted = now.muted;
    position.sounds = tick.heard;
    grid_.positions.push_back(position);
    if (!now.countIn)
        grid_.positionsPerBar = std::max(grid_.positionsPerBar, indexInBar_ + 1);
}

void LiveScore::Hit(double frame)
{
    if (started_)
        frame -= origin_;
    const double once = grid_.rate * 0.005;
    if (!hits_.empty() && frame >= hits_.back() && frame - hits_.back() < once)
        return;
    hits_.push_back(frame);
}

std::vector<MatchedHit> LiveScore::Match(double complete)
{
    std::vector<MatchedHit> matched;
    if (grid_.positions.empty())
        return matched;
    const GridPosition& last = grid_.positions.back();
    complete -= origin_;
    // The hits come in order of arrival, which is their order on the grid for one input.
    for (; matched_ < hits_.size(); ++matched_) {
        const double frame = hits_[matched_];
        const double late = frame - last.frame;
        if (late <= 0 || complete == std::numeric_limits<double>::infinity()) {
            matched.push_back(MatchHit(grid_, frame));
        } else if (complete >= frame + 3 * late) {
            MatchedHit hit = MatchHit(grid_, frame);
            hit.stray = false; // the next position lies further than 4 times as far
            matched.push_back(hit);
        } else {
            break;
        }
    }
    return matched;
}

TakeScore LiveScore::Score() const
{
    return ScoreTake(grid_, hits_);
}

} // namespace Core::Timing
