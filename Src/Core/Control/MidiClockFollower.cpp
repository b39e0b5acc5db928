#include "Core/Control/MidiClockFollower.h"

#include <cmath>

namespace Core {

MidiClockFollower::Transport MidiClockFollower::Take(double frame, const std::uint8_t* bytes, std::size_t size) noexcept
{
    if (size < 1)
        return Transport::None;
    switch (bytes[0]) {
    case 0xF8: Clock(frame); return Transport::None;
    case 0xFA: // Start: from bar 1 with the next clock
        songAt_ = 0;
        clocksAt_ = clocks_;
        playing_ = true;
        return Transport::Start;
    case 0xFB: // Continue: from the song position with the next clock
        if (playing_)
            return Transport::None;
        clocksAt_ = clocks_;
        playing_ = true;
        return Transport::Continue;
    case 0xFC:
        if (!playing_)
            return Transport::None;
        songAt_ = Position();
        playing_ = false;
        return Transport::Stop;
    case 0xF2: // Song Position Pointer: sixteenths (six clocks each), 14 bits, least first
        if (size >= 3 && !playing_)
            songAt_ = 6 * static_cast<std::int64_t>((bytes[1] & 0x7F) | ((bytes[2] & 0x7F) << 7));
        return Transport::None;
    default: return Transport::None;
    }
}

void MidiClockFollower::Reset() noexcept
{
    *this = MidiClockFollower(rate_);
}

void MidiClockFollower::Clock(double frame) noexcept
{
    // A clock after a long silence, or one stamped before the last (another source), begins
    // the line again.
    if (lastFrame_ >= 0 && (frame - lastFrame_ > rate_ / 2 || frame < lastFrame_)) {
        count_ = 0;
        beyond_ = 0;
        estimated_ = false;
    }
    lastFrame_ = frame;
    if (HasTempo()) {
        // A clock off the line by more than the tolerance is left out of it: a late one (its
        // sender or the server fell behind) must not move the beats. Changed of them in a row
        // on the same side are a new tempo: the line begins again from them.
        const double off = frame - LineAt(clocks_);
        const int side = std::fabs(off) <= ToleranceMs * rate_ / 1000.0 ? 0 : off > 0 ? 1 : -1;
        if (side != 0) {
            if (beyondSide_ != side)
                beyond_ = 0;
            beyondSide_ = side;
            beyondNumber_[static_cast<std::size_t>(beyond_)] = clocks_++;
            beyondFrame_[static_cast<std::size_t>(beyond_)] = frame;
            if (++beyond_ < Changed)
                return;
            count_ = 0;
            for (int i = 0; i < Changed; ++i)
                Add(beyondNumber_[static_cast<std::size_t>(i)], beyondFrame_[static_cast<std::size_t>(i)]);
            beyond_ = 0;
            Fit();
            return;
        }
        beyond_ = 0;
    }
    Add(clocks_++, frame);
    Fit();
}

void MidiClockFollower::Add(std::int64_t number, double frame) noexcept
{
    if (count_ == Window) {
        first_ = (first_ + 1) % Window;
        --count_;
    }
    const int at = (first_ + count_) % Window;
    number_[static_cast<std::size_t>(at)] = number;
    frame_[static_cast<std::size_t>(at)] = frame;
    ++count_;
}

void MidiClockFollower::Fit() noexcept
{
    estimated_ = count_ >= 2;
    if (!estimated_)
        return;
    // Frames from the first clock on the line, so that long runs keep their precision.
    const double base = frame_[static_cast<std::size_t>(first_)];
    const std::int64_t baseNumber = number_[static_cast<std::size_t>(first_)];
    double sumX = 0;
    double sumY = 0;
    for (int i = 0; i < count_; ++i) {
        const auto at = static_cast<std::size_t>((first_ + i) % Window);
        sumX += static_cast<double>(number_[at] - baseNumber);
        sumY += frame_[at] - base;
    }
    const double meanX = sumX / count_;
    const double meanY = sumY / count_;
    double sxx = 0;
    double sxy = 0;
    for (int i = 0; i < count_; ++i) {
        const auto at = static_cast<std::size_t>((first_ + i) % Window);
        const double dx = static_cast<double>(number_[at] - baseNumber) - meanX;
        sxx += dx * dx;
        sxy += dx * (frame_[at] - base - meanY);
    }
    if (sxx <= 0 || sxy <= 0) {
        estimated_ = false;
        return;
    }
    slope_ = sxy / sxx;
    // The line through the mean, kept at a whole clock number.
    const auto whole = static_cast<std::int64_t>(std::floor(meanX));
    meanClock_ = baseNumber + whole;
    meanFrame_ = base + meanY - slope_ * (meanX - static_cast<double>(whole));
}

double MidiClockFollower::Bpm() const noexcept
{
    return HasTempo() ? 60.0 * rate_ / (slope_ * ClocksPerBeat) : 0.0;
}

BeatGrid::Line MidiClockFollower::Grid() const noexcept
{
    if (!HasTempo())
        return {};
    // The beat at or before the last clock, by the song position (any clock while stopped).
    const std::int64_t last = clocks_ - 1;
    const std::int64_t song = playing_ ? songAt_ + (last - clocksAt_) : last;
    const std::int64_t beat = song >= 0 ? song / ClocksPerBeat : -((-song + ClocksPerBeat - 1) / ClocksPerBeat);
    const std::int64_t clock = last - (song - beat * ClocksPerBeat);
    return {LineAt(clock), slope_ * ClocksPerBeat, beat};
}

} // namespace Core
