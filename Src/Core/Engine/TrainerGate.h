#pragma once
#include <atomic>
#include <cstdint>
#include <limits>

namespace Core {

/// How well a level of the speed trainer was played: its scored hits' count, mean error and
/// standard deviation (ms).
struct LevelFigures {
    std::int32_t hits = 0;
    double meanMs = 0;
    double spreadMs = 0;
};

/// The trainer that waits: what a level must reach to move on, and how often it may be
/// played again before the run stops.
struct GateLimits {
    double meanMs = 10;        ///< |mean| at most this
    double spreadMs = 15;      ///< standard deviation at most this
    std::int32_t repeats = 3;  ///< times a level may be played again
};

/// A level needs this many scored hits to be judged at all; fewer count as not played well.
constexpr std::int32_t GateLeastHits = 4;

enum class GateVerdict { Advance, Repeat, Stop };

/// The verdict on a level that ends: Advance when its figures are within the limits, else
/// Repeat while it has been played again fewer than limits.repeats times, else Stop.
GateVerdict JudgeLevel(const LevelFigures& figures, std::int32_t repeatedSoFar, const GateLimits& limits);

/// Between the live scorer and the speed trainer: the GUI thread counts each scored hit for
/// the level playing at the hit's frame (Hit), the timer thread judges a level when it ends
/// (EndLevel, at the tick that begins the next one, whose frame separates the two). The hits of
/// a level's last moments, not yet heard when its end is handed over, are not counted for it.
///
/// Threads: Arm, Disarm and Hit on the GUI thread; BeginRun, StartLevel and EndLevel on the
/// timer thread (wait-free: a sequence count around the published figures); the rest anywhere.
class TrainerGate {
public:
    /// The next run waits for good playing within limits (the GUI thread, before Start or
    /// while its first level plays).
    void Arm(const GateLimits& limits);
    /// Runs advance as usual.
    void Disarm();
    bool Armed() const { return armed_.load(std::memory_order_acquire); }

    /// GUI thread: a scored hit (stream frames, as the ticks) and its error.
    void Hit(double frame, double errorMs);

    /// Timer thread, at a run's start: no level plays yet (a warm-up).
    void BeginRun();
    /// Timer thread: a level begins at frame.
    void StartLevel(double frame);
    /// Timer thread: the playing level ends at frame, where the next one (or the same again)
    /// begins. Advance when not armed.
    GateVerdict EndLevel(double frame);

    /// The last level judged (any thread once the run has stopped).
    LevelFigures LastFigures() const;
    /// Times the current level has been played again.
    std::int32_t Repeated() const { return repeated_.load(std::memory_order_acquire); }
    /// The run was stopped by the gate.
    bool Stopped() const { return stopped_.load(std::memory_order_acquire); }
    GateLimits Limits() const;

private:
    LevelFigures Published(std::uint32_t level) const;

    std::atomic<bool> armed_{false};
    std::atomic<double> meanLimit_{10};
    std::atomic<double> spreadLimit_{15};
    std::atomic<std::int32_t> repeatLimit_{3};
    // The level playing and where it began (timer thread writes, GUI thread reads).
    std::atomic<std::uint32_t> level_{0};
    std::atomic<double> levelStart_{std::numeric_limits<double>::infinity()};
    // The GUI thread's figures of a level, published under a sequence count.
    std::atomic<std::uint32_t> sequence_{0};
    std::atomic<std::uint32_t> figuresLevel_{0};
    std::atomic<std::int32_t> hits_{0};
    std::atomic<double> sum_{0};
    std::atomic<double> squares_{0};
    // GUI thread only.
    std::uint32_t countedLevel_ = 0;
    std::int32_t countedHits_ = 0;
    double countedSum_ = 0;
    double countedSquares_ = 0;
    // Timer thread writes.
    std::atomic<std::int32_t> repeated_{0};
    std::atomic<bool> stopped_{false};
    std::atomic<std::int32_t> lastHits_{0};
    std::atomic<double> lastMean_{0};
    std::atomic<double> lastSpread_{0};
};

} // namespace Core
