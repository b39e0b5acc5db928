#include "Platform/FrameClock.h"

#include "Platform/Clock.h"

#include <cmath>

namespace Platform {

double SteadyFrameClock::AnchorFrame() const noexcept
{
    return static_cast<double>(Clock::Now()) * rate_ / Clock::CountsPerSecond;
}

std::int64_t SteadyFrameClock::HandOverTime(double frame) const noexcept
{
    return std::llround(frame * Clock::CountsPerSecond / rate_);
}

const SteadyFrameClock& SteadyFrames() noexcept
{
    static const SteadyFrameClock clock;
    return clock;
}

} // namespace Platform
