// The output offset: values kept per device through their settings line, and the tap
// calibration's estimate.
#include "Core/Timing/OutputOffset.h"

#include <gtest/gtest.h>

#include <vector>

using Core::Timing::PerDeviceValues;

TEST(PerDeviceValues, KeepsEachDevicesValueThroughItsText)
{
    PerDeviceValues values(-250, 250);
    values.Set("pulse:bluez_output.00_1B_66.1", 180);
    values.Set("jack:system:playback_1,system:playback_2", -20);
    values.Set("odd|name%7C", 300); // clamped, and its separator escaped
    values.Set("pulse:speakers", 0);
    const PerDeviceValues read(-250, 250, values.Text() + "|junk|=5|x=|7=");
    EXPECT_EQ(read.Text(), values.Text());
    EXPECT_EQ(read.Get("pulse:bluez_output.00_1B_66.1"), 180);
    EXPECT_EQ(read.Get("jack:system:playback_1,system:playback_2"), -20);
    EXPECT_EQ(read.Get("odd|name%7C"), 250);
    EXPECT_EQ(read.Get("pulse:never-seen"), 0);
    EXPECT_EQ(values.Text().find("speakers"), std::string::npos); // 0 is not kept
}

TEST(TapCalibration, ProposesTheMedianOfTheAnsweredClicks)
{
    constexpr std::int64_t ms = 1'000'000, beat = 750 * ms;
    std::vector<std::int64_t> clicks;
    for (int i = 0; i < 16; ++i)
        clicks.push_back(1000 * ms + i * beat);
    const auto taps = [&](std::initializer_list<std::pair<int, std::int64_t>> at) {
        std::vector<std::int64_t> times;
        for (const auto& [click, offset] : at)
            times.push_back(clicks[static_cast<std::size_t>(click)] + offset);
        return Core::Timing::EstimateTapOffset(clicks, times);
    };
    // A Bluetooth delay with the player's scatter, a bounce and a tap far before the first.
    const auto bluetooth = taps({{-0, -600 * ms}, {0, 190 * ms}, {1, 210 * ms}, {2, 200 * ms}, {3, 180 * ms},
                                 {4, 205 * ms}, {5, 195 * ms}, {5, 260 * ms}, {6, 200 * ms}, {7, 220 * ms},
                                 {8, 330 * ms}, {9, 185 * ms}});
    EXPECT_EQ(bluetooth.answered, 10);
    ASSERT_TRUE(bluetooth.offsetMs);
    EXPECT_DOUBLE_EQ(*bluetooth.offsetMs, 200.0);
    const auto early = taps({{0, -30 * ms}, {1, -20 * ms}, {2, -25 * ms}, {3, -10 * ms}, {4, -40 * ms},
                             {5, -25 * ms}, {6, -15 * ms}, {7, -35 * ms}, {8, -25 * ms}});
    ASSERT_TRUE(early.offsetMs);
    EXPECT_DOUBLE_EQ(*early.offsetMs, -25.0);
    const auto tooFew = taps({{0, 10 * ms}, {1, 10 * ms}, {2, 10 * ms}, {2, 12 * ms}, {3, 10 * ms}, {4, 10 * ms},
                              {5, 10 * ms}, {6, 10 * ms}});
    EXPECT_EQ(tooFew.answered, 7);
    EXPECT_FALSE(tooFew.offsetMs);
}
