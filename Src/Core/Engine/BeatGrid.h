#pragma once
#include <atomic>
#include <cmath>
#include <cstdint>

namespace Core {

/// A beat grid that another program leads (an external MIDI clock), on the output stream's
/// frames: a beat at Origin, the next ones FramesPerBeat apart. One thread publishes it (the
/// window's, as the clock comes in); the timer thread reads it to place the run's ticks on
/// the leader's beats. A sequence counter around atomics: publishing never waits and reading
/// never locks or allocates (it reads again when a publication crossed it, a few times at most:
/// a real-time reader must not spin on a writer it has preempted).
class BeatGrid {
public:
    struct Line {
        double origin = 0;          ///< a beat's frame
        double framesPerBeat = 0;   ///< 0: no grid
        std::int64_t originBeat = 0; ///< that beat's number, counted from the leader's bar 1 (0)
    };

    /// One writer.
    void Publish(Line line) noexcept
    {
        const std::uint32_t sequence = sequence_.load(std::memory_order_relaxed);
        sequence_.store(sequence + 1, std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_release);
        origin_.store(line.origin, std::memory_order_relaxed);
        framesPerBeat_.store(line.framesPerBeat, std::memory_order_relaxed);
        originBeat_.store(line.originBeat, std::memory_order_relaxed);
        sequence_.store(sequence + 2, std::memory_order_release);
    }
    void Clear() noexcept { Publish({}); }

    /// Any thread; false while there is no grid (or a publication kept crossing the read).
    bool Read(Line& line) const noexcept
    {
        for (int tries = 0; tries < 100; ++tries) {
            const std::uint32_t before = sequence_.load(std::memory_order_acquire);
            if ((before & 1u) != 0)
                continue;
            line.origin = origin_.load(std::memory_order_relaxed);
            line.framesPerBeat = framesPerBeat_.load(std::memory_order_relaxed);
            line.originBeat = originBeat_.load(std::memory_order_relaxed);
            std::atomic_thread_fence(std::memory_order_acquire);
            if (sequence_.load(std::memory_order_relaxed) == before)
                return line.framesPerBeat > 0;
        }
        return false;
    }

    /// The first of the grid's ticks (ticksPerBeat to a beat) that lies more than half a
    /// tick after frame: where the tick that follows a tick at frame belongs.
    static double NextTick(const Line& line, double frame, int ticksPerBeat) noexcept
    {
        const double step = line.framesPerBeat / (ticksPerBeat > 0 ? ticksPerBeat : 1);
        const double k = std::floor((frame - line.origin) / step + 0.5) + 1;
        return line.origin + k * step;
    }

private:
    std::atomic<std::uint32_t> sequence_{0};
    std::atomic<double> origin_{0};
    std::atomic<double> framesPerBeat_{0};
    std::atomic<std::int64_t> originBeat_{0};
};

} // namespace Core
