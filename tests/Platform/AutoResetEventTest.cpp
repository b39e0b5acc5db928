#include "Platform/AutoResetEvent.h"

#include <gtest/gtest.h>

#include <thread>

using Platform::AutoResetEvent;

TEST(AutoResetEvent, OneSetLetsOneWaitThroughResetTakesItBackAndASetWakesAWaiter)
{
    AutoResetEvent event;
    EXPECT_FALSE(event.Wait(30)); // not signalled: the wait times out
    event.Set();
    event.Set(); // signals do not count up
    EXPECT_TRUE(event.Wait(0));
    EXPECT_FALSE(event.Wait(0));
    event.Set();
    event.Reset();
    EXPECT_FALSE(event.Wait(0));

    // A Set from another thread wakes the waiter.
    std::thread setter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        event.Set();
    });
    EXPECT_TRUE(event.Wait(600'000)); // true only when woken by the Set
    setter.join();
}
