#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace Core::Timing {

/// The output offset's range, ms: what is added to the heard time of every click (a Bluetooth
/// headset's delay the server does not report, or a display's lag when negative).
constexpr std::int32_t OutputOffsetLimitMs = 250;
/// The MIDI input's latency range, ms: from a key being struck to its message arriving.
constexpr std::int32_t InputLatencyLimitMs = 250;

/// Whole milliseconds kept per device (an output for its offset, an input for its latency),
/// by the device's name (Mixer::OutputIdentity for an output), held in one settings line:
/// "<ms>=<name>" entries joined by '|', '%' and '|' in a name written as %25 and %7C. A
/// device not seen before has 0, and 0 is not kept. Values are held within [least, most];
/// entries that cannot be read are left out.
class PerDeviceValues {
public:
    PerDeviceValues(std::int32_t least, std::int32_t most, std::string_view text = {});

    std::int32_t Get(std::string_view device) const;
    void Set(std::string_view device, std::int32_t value);
    /// At most TextLimit bytes: entries that would not fit are left out.
    std::string Text() const;
    static constexpr std::size_t TextLimit = 760;

private:
    std::int32_t least_;
    std::int32_t most_;
    std::map<std::string, std::int32_t, std::less<>> values_;
};

/// What a tap calibration found: the median of the taps' distances from the clicks they
/// answer (ms, positive when the taps came after the heard times), and how many clicks were
/// answered.
struct TapEstimate {
    std::optional<double> offsetMs; ///< none when too few clicks were answered
    std::int32_t answered = 0;
};

/// Clicks a tap calibration plays, and how many of them must be answered by a tap.
constexpr std::int32_t CalibrationClicks = 16;
constexpr std::int32_t CalibrationLeastTaps = 8;

/// Each tap answers the click nearest to it (taps more than half an interval before the first
/// click or after the last answer none); a click answered twice keeps its nearer tap (a
/// bouncing key, a double click). clicks: the clicks' heard times in order, taps: when the
/// player tapped, both on one clock in nanoseconds.
TapEstimate EstimateTapOffset(std::span<const std::int64_t> clicks, std::span<const std::int64_t> taps);

} // namespace Core::Timing
