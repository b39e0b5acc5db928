#include "Core/Engine/TapTempo.h"

#include "Platform/Clock.h"
#include "System/Log.h"

#include <algorithm>

namespace Core {

namespace {

constexpr std::int32_t SlowestTempo = 10;
constexpr std::int32_t FastestTempo = 400;
constexpr std::int64_t SeriesEndSeconds = 3;

} // namespace

TapTempo::TapTempo(ITapSeriesTimer& timer)
    : TapTempo(timer, &Platform::Clock::Now, static_cast<std::int64_t>(Platform::Clock::CountsPerSecond))
{
}

TapTempo::TapTempo(ITapSeriesTimer& timer, ClockFunction clock, std::int64_t countsPerSecond)
    : timer_(timer),
      clock_(std::move(clock)),
      countsPerSecond_(countsPerSecond > 0 ? countsPerSecond : 0)
{
    if (countsPerSecond_ == 0)
        System::Log().Write(System::Warn, "QueryPerformanceFrequency not supported on this system");
}

TapTempo::~TapTempo()
{
    EndSeries();
}

std::int32_t TapTempo::Tap(bool ctrl, bool shift)
{
    return Tap(ctrl, shift, clock_());
}

std::int32_t TapTempo::Tap(bool ctrl, bool shift, std::int64_t at)
{
    // Without a time base there is nothing to measure taps against.
    if (countsPerSecond_ == 0)
        return 0;

    const std::int64_t now = seriesActive_ && tapCount_ > 0 ? std::max(at, tapTimes_[static_cast<std::size_t>(tapCount_ - 1)]) : at;
    // Without a timer the series ends at the next tap instead.
    if (seriesActive_ && !timerRunning_ && tapCount_ > 0
        && SecondsSince(tapTimes_[static_cast<std::size_t>(tapCount_ - 1)], now) >= SeriesEndSeconds)
        EndSeries();
    if (!seriesActive_) {
        tapCount_ = 0;
        seriesActive_ = true;
        timerRunning_ = timer_.Start(SeriesCheckMs, [this] { OnSeriesTimer(); });
    }
    tapTimes_[static_cast<std::size_t>(tapCount_)] = now;
    ++tapCount_;
    if (tapCount_ <= 2)
        return 0;

    // Two intervals from the last three taps; their average gives the beat.
    const std::int64_t span = tapTimes_[static_cast<std::size_t>(tapCount_ - 1)]
                              - tapTimes_[static_cast<std::size_t>(tapCount_ - 3)];
    const std::int64_t half = span / 2;
    std::int64_t tempo = half > 0 ? countsPerSecond_ * 60 / half : FastestTempo;
    if (ctrl)
        tempo *= 2;
    else if (shift)
        tempo /= 2;
    tempo = std::clamp<std::int64_t>(tempo, SlowestTempo, FastestTempo);

    if (tapCount_ == MaxTaps)
        tapCount_ = 0;
    return static_cast<std::int32_t>(tempo);
}

void TapTempo::OnSeriesTimer()
{
    if (tapCount_ == 0 || !timerRunning_)
        return;
    if (SecondsSince(tapTimes_[static_cast<std::size_t>(tapCount_ - 1)], clock_()) >= SeriesEndSeconds)
        EndSeries();
}

std::int64_t TapTempo::SecondsSince(std::int64_t then, std::int64_t now) const
{
    return (now - then) / countsPerSecond_;
}

void TapTempo::EndSeries()
{
    if (timerRunning_)
        timer_.Stop();
    timerRunning_ = false;
    seriesActive_ = false;
    tapCount_ = 0;
}

} // namespace Core
