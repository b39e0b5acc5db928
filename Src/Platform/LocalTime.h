#pragma once

namespace Platform {

struct LocalTime {
    int Year;
    int Month;  ///< 1..12
    int Day;    ///< 1..31
    int Hour;
    int Minute;
    int Second;
};

/// The current wall-clock time in the user's time zone.
LocalTime GetLocalTime() noexcept;

} // namespace Platform
