#pragma once
#include "Core/Engine/BeatGrid.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace Core {

/// Follows an external MIDI clock (24 clocks to a beat) from its stamped messages: its tempo
/// and beat grid, and its Start, Stop, Continue and Song Position Pointer.
///
/// The grid is a straight line fitted (least squares) through the last clocks' frames, up to two
/// bars of four beats (Window clocks): a source whose clocks jitter by a few milliseconds then
/// gives a tempo within a few hundredths of a beat per minute and beats that move by a few
/// frames. The tempo is known once a beat's clocks (ClocksPerBeat) have come. A clock further
/// than ToleranceMs from the line is left out of it (a late clock of a sender or server that
/// fell behind); Changed of them in a row on the same side are a new tempo and start the line
/// again from them, so a new tempo is taken within two beats. A clock that comes
/// more than half a second after the one before starts the line again too (the clock stopped).
/// One thread.
class MidiClockFollower {
public:
    static constexpr int ClocksPerBeat = 24;
    static constexpr int Window = 8 * ClocksPerBeat;
    static constexpr int Changed = 12;
    static constexpr double ToleranceMs = 4.0;

    enum class Transport { None, Start, Continue, Stop };

    /// frameRate: the frames a second of the stamps.
    explicit MidiClockFollower(double frameRate) : rate_(frameRate) {}

    /// One message (clock, Start, Continue, Stop, Song Position; anything else is ignored) at
    /// frame; what it asks of the run.
    Transport Take(double frame, const std::uint8_t* bytes, std::size_t size) noexcept;
    /// Forgets the clock (tempo, position, running).
    void Reset() noexcept;

    /// True once a beat's clocks of the current tempo have come.
    bool HasTempo() const noexcept { return count_ >= ClocksPerBeat && estimated_; }
    /// Beats a minute; 0 without a tempo.
    double Bpm() const noexcept;
    /// The leader's beat grid (beats numbered from its bar 1 by its song position); no grid
    /// (framesPerBeat 0) without a tempo.
    BeatGrid::Line Grid() const noexcept;
    /// Between Start or Continue and Stop.
    bool Playing() const noexcept { return playing_; }
    /// The song position of the next clock, in clocks from bar 1 (a Song Position Pointer is
    /// six clocks a step).
    std::int64_t Position() const noexcept { return playing_ ? songAt_ + (clocks_ - clocksAt_) : songAt_; }

private:
    void Clock(double frame) noexcept;
    void Add(std::int64_t number, double frame) noexcept;
    void Fit() noexcept;
    double LineAt(std::int64_t clock) const noexcept { return meanFrame_ + slope_ * static_cast<double>(clock - meanClock_); }

    double rate_;
    // The clocks on the line: number (counted since the follower began) and frame, in a ring.
    std::array<std::int64_t, Window> number_{};
    std::array<double, Window> frame_{};
    int first_ = 0;
    int count_ = 0;
    std::int64_t clocks_ = 0; // the number the next clock gets
    double lastFrame_ = -1;
    // The clocks in a row beyond the tolerance on one side (beyondSide_: which), off the line.
    int beyond_ = 0;
    int beyondSide_ = 0;
    std::array<std::int64_t, Changed> beyondNumber_{};
    std::array<double, Changed> beyondFrame_{};
    // The line: the mean clock number and frame, frames a clock.
    bool estimated_ = false;
    std::int64_t meanClock_ = 0;
    double meanFrame_ = 0;
    double slope_ = 0;
    // The song position: songAt_ clocks from bar 1 at clock number clocksAt_.
    bool playing_ = false;
    std::int64_t songAt_ = 0;
    std::int64_t clocksAt_ = 0;
};

} // namespace Core
