#pragma once
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>

namespace Platform {

/// Where another program's beats fall, in frames of the output stream: one beat of its grid
/// (its frame, bar and place in the bar) and the length of its beats from there on. The
/// JACK transport's position (each cycle) or a Link session's timeline (through the mixer's
/// heard time) gives it; a run that follows places its ticks on this grid.
struct TimelinePoint {
    bool rolling = false;      ///< the other side plays; nothing follows a stopped timeline
    double beatFrame = 0;      ///< a beat's frame on the output stream (fraction kept)
    double framesPerBeat = 0;  ///< its beats' length from beatFrame on; 0: it gives no tempo
    std::int32_t bar = 1;      ///< the bar of that beat, from 1
    std::int32_t beat = 0;     ///< its place in the bar, from 0
    std::int32_t beatsPerBar = 4;
    bool fromBeat = false;     ///< nothing before beatFrame: the other side starts playing there
};

/// One tick of a run on a timeline's grid: its frame, bar (from 1), beat in the bar (from 0)
/// and step within the beat (from 0).
struct GridTick {
    double frame = 0;
    std::int32_t bar = 1;
    std::int32_t beat = 0;
    std::int32_t step = 0;
};

/// The first tick of ticksPerBeat to a beat on point's grid that lies at least half a tick
/// after lastFrame and not before reachable (the first frame a tick can still sound on), nor
/// before the point's beat when the other side starts there.
/// framesPerBeat and beatsPerBar stand for the timeline's when it gives none. Pure.
inline GridTick NextGridTick(const TimelinePoint& point, std::int32_t ticksPerBeat, double framesPerBeat,
                             std::int32_t beatsPerBar, double lastFrame, double reachable) noexcept
{
    const double beatLength = point.framesPerBeat > 0 ? point.framesPerBeat : framesPerBeat;
    const std::int32_t steps = ticksPerBeat > 0 ? ticksPerBeat : 1;
    const double step = beatLength / steps;
    const double from = std::max({lastFrame + step / 2, reachable, point.fromBeat ? point.beatFrame : reachable});
    const auto k = static_cast<std::int64_t>(std::ceil((from - point.beatFrame) / step - 1e-9));
    const auto floorDiv = [](std::int64_t a, std::int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); };
    const std::int64_t beats = floorDiv(k, steps);
    const std::int32_t perBar = point.beatsPerBar > 0 ? point.beatsPerBar : std::max(beatsPerBar, 1);
    const std::int64_t beatInBars = point.beat + beats;
    GridTick tick;
    tick.frame = point.beatFrame + static_cast<double>(k) * step;
    tick.step = static_cast<std::int32_t>(k - beats * steps);
    tick.beat = static_cast<std::int32_t>(beatInBars - floorDiv(beatInBars, perBar) * perBar);
    tick.bar = point.bar + static_cast<std::int32_t>(floorDiv(beatInBars, perBar));
    return tick;
}

/// An external timeline as one writer publishes it and any thread reads it, neither ever
/// waiting for the other: two slots, each a sequence counter around atomics, and the index of
/// the last one written. A writer stopped in the middle of a slot (a thread of normal priority
/// that the timer thread took the processor from) leaves the other slot whole, so a reader
/// retries only while the writer completes slots faster than it reads one.
class ExternalTimeline {
public:
    /// The one writer (the JACK process thread, the Link session's thread).
    void Publish(const TimelinePoint& point) noexcept
    {
        const std::uint32_t index = index_.load(std::memory_order_relaxed) + 1;
        Slot& slot = slots_[index & 1u];
        const std::uint32_t sequence = slot.sequence.load(std::memory_order_relaxed);
        slot.sequence.store(sequence + 1, std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_release);
        slot.rolling.store(point.rolling, std::memory_order_relaxed);
        slot.fromBeat.store(point.fromBeat, std::memory_order_relaxed);
        slot.beatFrame.store(point.beatFrame, std::memory_order_relaxed);
        slot.framesPerBeat.store(point.framesPerBeat, std::memory_order_relaxed);
        slot.bar.store(point.bar, std::memory_order_relaxed);
        slot.beat.store(point.beat, std::memory_order_relaxed);
        slot.beatsPerBar.store(point.beatsPerBar, std::memory_order_relaxed);
        slot.sequence.store(sequence + 2, std::memory_order_release);
        index_.store(index, std::memory_order_release);
    }
    /// Any thread: the last point published (a stopped timeline before the first).
    TimelinePoint Read() const noexcept
    {
        TimelinePoint point;
        for (;;) {
            const Slot& slot = slots_[index_.load(std::memory_order_acquire) & 1u];
            const std::uint32_t before = slot.sequence.load(std::memory_order_acquire);
            point.rolling = slot.rolling.load(std::memory_order_relaxed);
            point.fromBeat = slot.fromBeat.load(std::memory_order_relaxed);
            point.beatFrame = slot.beatFrame.load(std::memory_order_relaxed);
            point.framesPerBeat = slot.framesPerBeat.load(std::memory_order_relaxed);
            point.bar = slot.bar.load(std::memory_order_relaxed);
            point.beat = slot.beat.load(std::memory_order_relaxed);
            point.beatsPerBar = slot.beatsPerBar.load(std::memory_order_relaxed);
            std::atomic_thread_fence(std::memory_order_acquire);
            if ((before & 1u) == 0 && slot.sequence.load(std::memory_order_relaxed) == before)
                return point;
        }
    }

private:
    struct Slot {
        std::atomic<std::uint32_t> sequence{0};
        std::atomic<bool> rolling{false};
        std::atomic<bool> fromBeat{false};
        std::atomic<double> beatFrame{0};
        std::atomic<double> framesPerBeat{0};
        std::atomic<std::int32_t> bar{1};
        std::atomic<std::int32_t> beat{0};
        std::atomic<std::int32_t> beatsPerBar{4};
    };
    Slot slots_[2];
    std::atomic<std::uint32_t> index_{0};
};

} // namespace Platform
