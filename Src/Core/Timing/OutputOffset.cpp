#include "Core/Timing/OutputOffset.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <vector>

namespace Core::Timing {

namespace {

std::string Escaped(std::string_view name)
{
    std::string out;
    for (const char c : name) {
        if (c == '%')
            out += "%25";
        else if (c == '|')
            out += "%7C";
        else
            out += c;
    }
    return out;
}

std::string Unescaped(std::string_view name)
{
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name.compare(i, 3, "%25") == 0) {
            out += '%';
            i += 2;
        } else if (name.compare(i, 3, "%7C") == 0) {
            out += '|';
            i += 2;
        } else {
            out += name[i];
        }
    }
    return out;
}

} // namespace

PerDeviceValues::PerDeviceValues(std::int32_t least, std::int32_t most, std::string_view text)
    : least_(least), most_(most)
{
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('|'), text.size());
        const std::string_view entry = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        const std::size_t equals = entry.find('=');
        if (equals == std::string_view::npos || equals + 1 == entry.size())
            continue;
        std::int32_t value = 0;
        const char* first = entry.data();
        const char* last = first + equals;
        if (*first == '+')
            ++first;
        const auto [stop, error] = std::from_chars(first, last, value);
        if (error != std::errc() || stop != last)
            continue;
        Set(Unescaped(entry.substr(equals + 1)), value);
    }
}

std::int32_t PerDeviceValues::Get(std::string_view device) const
{
    const auto found = values_.find(device);
    return found == values_.end() ? 0 : found->second;
}

void PerDeviceValues::Set(std::string_view device, std::int32_t value)
{
    value = std::clamp(value, least_, most_);
    if (device.empty())
        return;
    if (value == 0) {
        if (const auto found = values_.find(device); found != values_.end())
            values_.erase(found);
        return;
    }
    values_.insert_or_assign(std::string(device), value);
}

std::string PerDeviceValues::Text() const
{
    std::string text;
    for (const auto& [device, value] : values_) {
        std::string entry = std::to_string(value) + "=" + Escaped(device);
        // A settings line holds at most 771 bytes; what does not fit is not kept.
        if (text.size() + 1 + entry.size() <= TextLimit)
            text += (text.empty() ? "" : "|") + entry;
    }
    return text;
}

TapEstimate EstimateTapOffset(std::span<const std::int64_t> clicks, std::span<const std::int64_t> taps)
{
    TapEstimate estimate;
    if (clicks.empty())
        return estimate;
    // The nearest tap to each click; a click's reach ends half way to its neighbours (half
    // its neighbour's interval beyond the first and the last).
    std::vector<std::optional<std::int64_t>> answer(clicks.size());
    for (const std::int64_t tap : taps) {
        const auto after = std::lower_bound(clicks.begin(), clicks.end(), tap);
        std::size_t nearest = 0;
        if (after == clicks.end())
            nearest = clicks.size() - 1;
        else if (after == clicks.begin())
            nearest = 0;
        else
            nearest = static_cast<std::size_t>(after - clicks.begin()) - (tap - *(after - 1) <= *after - tap ? 1 : 0);
        const std::int64_t error = tap - clicks[nearest];
        if (clicks.size() > 1) {
            const std::size_t neighbour = nearest == 0 ? 1 : nearest - 1;
            if (std::llabs(error) * 2 > std::llabs(clicks[nearest] - clicks[neighbour]))
                continue;
        }
        if (!answer[nearest] || std::llabs(error) < std::llabs(*answer[nearest]))
            answer[nearest] = error;
    }
    std::vector<double> errors;
    for (const auto& error : answer) {
        if (error)
            errors.push_back(static_cast<double>(*error) / 1e6);
    }
    estimate.answered = static_cast<std::int32_t>(errors.size());
    if (estimate.answered < CalibrationLeastTaps)
        return estimate;
    std::sort(errors.begin(), errors.end());
    const std::size_t middle = errors.size() / 2;
    estimate.offsetMs = errors.size() % 2 == 1 ? errors[middle] : (errors[middle - 1] + errors[middle]) / 2.0;
    return estimate;
}

} // namespace Core::Timing
