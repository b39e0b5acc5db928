#include "Platform/AutoResetEvent.h"
#include "Platform/Clock.h"

#include <gtest/gtest.h>

#include <thread>

using Platform::AutoResetEvent;

TEST(AutoResetEvent, TimesOutWhenNotSignalled)
{
    AutoResetEvent event;
    const auto start = Platform::Clock::Now();
    EXPECT_FALSE(event.Wait(30));
    EXPECT_GE(Platform::Clock::Now() - start, 30'000'000);
}

TEST(AutoResetEvent, OneSetLetsOneWaitThrough)
{
    AutoResetEvent event;
    event.Set();
    event.Set(); // signals do not count up
    EXPECT_TRUE(event.Wait(0));
    EXPECT_FALSE(event.Wait(0));
}

TEST(AutoResetEvent, ResetClearsAPendingSignal)
{
    AutoResetEvent event;
    event.Set();
    event.Reset();
    EXPECT_FALSE(event.Wait(0));
}

TEST(AutoResetEvent, SetFromAnotherThreadWakesTheWaiter)
{
    AutoResetEvent event;
    std::thread setter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        event.Set();
    });
    const auto start = Platform::Clock::Now();
    EXPECT_TRUE(event.Wait(10'000));
    EXPECT_LT(Platform::Clock::Now() - start, 5'000'000'000); // woken, not timed out
    setter.join();
}
