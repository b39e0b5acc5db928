#include "Platform/RealTime.h"

namespace Platform {

namespace {

// Plain thread-local storage of the executable: reading it never allocates, even on a thread's
// first touch, so a checker's allocation hook may ask for it.
thread_local int realTimeDepth = 0;

} // namespace

RealTimeSection::RealTimeSection() noexcept
{
    ++realTimeDepth;
}

RealTimeSection::~RealTimeSection()
{
    --realTimeDepth;
}

bool InRealTimeCode() noexcept
{
    return realTimeDepth > 0;
}

} // namespace Platform
