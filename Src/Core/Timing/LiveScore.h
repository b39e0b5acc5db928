#pragma once
#include "Core/Engine/Practice.h"
#include "Core/Timing/TimingScore.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Core::Timing {

/// One tick of a live run on which something sounds (or would but for a muted bar), as the
/// timer thread reports it: its frame as heard, and where in the bar it lies (the run's last
/// BarPosition report).
struct PlayedTick {
    double frame = 0;          ///< the frame at which the tick is heard, on the hits' frames
    BarPosition position;      ///< the run's last position report when the tick played
    std::uint32_t report = 0;  ///< how many position reports came before it (a new beat starts a count afresh)
    bool heard = true;         ///< false in a muted bar
};

/// Scores a run while it plays: the grid grows from the ticks the run plays (as they are
/// handed over, ahead of when they are heard), the hits come from an input, and each hit is
/// matched as soon as the grid on both sides of it is known. At the end the whole take is
/// scored as a recorded one is (ScoreTake). Frames are counted from the first tick. One thread.
class LiveScore {
public:
    explicit LiveScore(double rate);
    /// Counts frames from origin instead of from the first tick played.
    void SetOrigin(double origin);

    /// A tick the run played (in the order they come).
    void Played(const PlayedTick& tick);
    /// A hit at frame (on the ticks' frames; any order within what is not matched yet).
    /// A hit within 5 ms of the one before counts once, as in a recorded take.
    void Hit(double frame);
    /// Matches the hits that can be matched now and returns them, oldest first. complete is
    /// the frame up to which every position has been played (the frame heard now, say; +inf
    /// at the end of the run). A hit with a position after it is matched at once; a later
    /// one, d after the last position, once complete lies 3d past it (no position can then
    /// follow within 4d, so it is no stray) or a position follows after all.
    std::vector<MatchedHit> Match(double complete);
    /// The whole take scored: every hit so far against the grid so far.
    TakeScore Score() const;

    const TakeGrid& Grid() const { return grid_; }
    /// The frame the grid's and the matched hits' frames are counted from.
    double Origin() const { return origin_; }
    std::size_t HitCount() const { return hits_.size(); }

private:
    TakeGrid grid_;
    double origin_ = 0;        // the first tick's frame
    bool started_ = false;
    std::vector<double> hits_; // relative to origin_, in the order they came
    std::size_t matched_ = 0;  // hits_[0..matched_) are matched
    std::int32_t indexInBar_ = -1;
    std::int32_t indexInBeat_ = -1;
    BarPosition previous_;
    std::uint32_t lastReport_ = 0;
};

} // namespace Core::Timing
