#pragma once
#include <array>
#include <atomic>
#include <bit>
#include <cstdint>

namespace Platform::Audio {

/// Durations counted in a fixed histogram of atomics, for the time an audio callback takes:
/// Record runs on the audio thread and neither locks nor allocates; any thread reads the
/// figures, usually at the end. Buckets are 1 ns wide below 16 ns and 1/16 of an octave
/// (about 4.4 %) above, the last one taking everything from about 18 minutes on.
class DurationHistogram {
public:
    /// Counts one duration in nanoseconds (negative ones as 0).
    void Record(std::int64_t nanoseconds) noexcept
    {
        const std::uint64_t value = nanoseconds > 0 ? static_cast<std::uint64_t>(nanoseconds) : 0;
        counts_[Bucket(value)].fetch_add(1, std::memory_order_relaxed);
        std::uint64_t seen = max_.load(std::memory_order_relaxed);
        while (value > seen && !max_.compare_exchange_weak(seen, value, std::memory_order_relaxed)) {
        }
    }
    std::uint64_t Count() const noexcept
    {
        std::uint64_t total = 0;
        for (const auto& count : counts_)
            total += count.load(std::memory_order_relaxed);
        return total;
    }
    /// The least bucket edge at or below which the given fraction (0..1) of the durations lie,
    /// in nanoseconds; 0 when nothing was recorded.
    std::uint64_t Percentile(double fraction) const noexcept
    {
        const std::uint64_t total = Count();
        std::uint64_t wanted = static_cast<std::uint64_t>(fraction * static_cast<double>(total) + 0.999999);
        wanted = wanted == 0 ? 1 : wanted;
        std::uint64_t seen = 0;
        for (std::size_t i = 0; i < buckets && total > 0; ++i) {
            seen += counts_[i].load(std::memory_order_relaxed);
            if (seen >= wanted)
                return UpperEdge(i);
        }
        return 0;
    }
    /// The longest duration recorded, exactly.
    std::uint64_t Max() const noexcept { return max_.load(std::memory_order_relaxed); }

private:
    static constexpr std::size_t steps = 16; // buckets per octave
    static constexpr std::size_t buckets = steps * 38;

    static std::size_t Bucket(std::uint64_t value) noexcept
    {
        if (value < steps)
            return static_cast<std::size_t>(value);
        const int octave = std::bit_width(value) - 1; // 4 or more
        const std::size_t bucket = steps * static_cast<std::size_t>(octave - 3) + ((value >> (octave - 4)) & (steps - 1));
        return bucket < buckets ? bucket : buckets - 1;
    }
    static std::uint64_t UpperEdge(std::size_t bucket) noexcept
    {
        if (bucket < steps)
            return bucket;
        const std::size_t octave = bucket / steps + 3;
        return ((steps + bucket % steps + 1) << (octave - 4)) - 1;
    }

    std::array<std::atomic<std::uint64_t>, buckets> counts_{};
    std::atomic<std::uint64_t> max_{0};
};

} // namespace Platform::Audio
