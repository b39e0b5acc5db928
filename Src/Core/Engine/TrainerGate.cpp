#include "Core/Engine/TrainerGate.h"

#include <algorithm>
#include <cmath>

namespace Core {

GateVerdict JudgeLevel(const LevelFigures& figures, std::int32_t repeatedSoFar, const GateLimits& limits)
{
    const bool good = figures.hits >= GateLeastHits && std::fabs(figures.meanMs) <= limits.meanMs
                      && figures.spreadMs <= limits.spreadMs;
    if (good)
        return GateVerdict::Advance;
    return repeatedSoFar < limits.repeats ? GateVerdict::Repeat : GateVerdict::Stop;
}

void TrainerGate::Arm(const GateLimits& limits)
{
    meanLimit_.store(limits.meanMs);
    spreadLimit_.store(limits.spreadMs);
    repeatLimit_.store(limits.repeats);
    armed_.store(true, std::memory_order_release);
}

void TrainerGate::Disarm()
{
    armed_.store(false, std::memory_order_release);
}

GateLimits TrainerGate::Limits() const
{
    return {meanLimit_.load(), spreadLimit_.load(), repeatLimit_.load()};
}

void TrainerGate::Hit(double frame, double errorMs)
{
    const std::uint32_t level = level_.load(std::memory_order_acquire);
    if (!(frame >= levelStart_.load(std::memory_order_acquire)))
        return; // a warm-up's hit, or one of a level already judged
    if (level != countedLevel_) {
        countedLevel_ = level;
        countedHits_ = 0;
        countedSum_ = countedSquares_ = 0;
    }
    ++countedHits_;
    countedSum_ += errorMs;
    countedSquares_ += errorMs * errorMs;
    // Odd while the figures change; the reader tries again.
    sequence_.fetch_add(1, std::memory_order_acq_rel);
    figuresLevel_.store(level, std::memory_order_relaxed);
    hits_.store(countedHits_, std::memory_order_relaxed);
    sum_.store(countedSum_, std::memory_order_relaxed);
    squares_.store(countedSquares_, std::memory_order_relaxed);
    sequence_.fetch_add(1, std::memory_order_release);
}

LevelFigures TrainerGate::Published(std::uint32_t level) const
{
    // The GUI thread writes in a moment; a few tries always find the figures whole.
    for (int attempt = 0; attempt < 64; ++attempt) {
        const std::uint32_t before = sequence_.load(std::memory_order_acquire);
        if (before % 2 != 0)
            continue;
        const std::uint32_t figuresLevel = figuresLevel_.load(std::memory_order_relaxed);
        const std::int32_t hits = hits_.load(std::memory_order_relaxed);
        const double sum = sum_.load(std::memory_order_relaxed);
        const double squares = squares_.load(std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_acquire);
        if (sequence_.load(std::memory_order_relaxed) != before)
            continue;
        if (figuresLevel != level || hits == 0)
            return {};
        const double mean = sum / hits;
        const double variance = hits > 1 ? std::max(squares - hits * mean * mean, 0.0) / (hits - 1) : 0.0;
        return {hits, mean, std::sqrt(variance)};
    }
    return {};
}

void TrainerGate::BeginRun()
{
    repeated_.store(0, std::memory_order_release);
    stopped_.store(false, std::memory_order_release);
    lastHits_.store(0);
    levelStart_.store(std::numeric_limits<double>::infinity(), std::memory_order_release);
    level_.fetch_add(1, std::memory_order_acq_rel);
}

void TrainerGate::StartLevel(double frame)
{
    level_.fetch_add(1, std::memory_order_acq_rel);
    levelStart_.store(frame, std::memory_order_release);
}

GateVerdict TrainerGate::EndLevel(double frame)
{
    const LevelFigures figures = Published(level_.load(std::memory_order_acquire));
    lastHits_.store(figures.hits);
    lastMean_.store(figures.meanMs);
    lastSpread_.store(figures.spreadMs);
    const GateVerdict verdict = Armed() ? JudgeLevel(figures, repeated_.load(), Limits()) : GateVerdict::Advance;
    if (verdict == GateVerdict::Stop)
        stopped_.store(true, std::memory_order_release);
    else
        repeated_.store(verdict == GateVerdict::Repeat ? repeated_.load() + 1 : 0, std::memory_order_release);
    StartLevel(frame);
    return verdict;
}

LevelFigures TrainerGate::LastFigures() const
{
    return {lastHits_.load(), lastMean_.load(), lastSpread_.load()};
}

} // namespace Core
