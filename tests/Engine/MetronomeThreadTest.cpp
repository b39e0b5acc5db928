// The controller on a real timer thread: whichever way a run ends, no sound follows the
// engine's Close and no timer thread is left behind. Only ordering is asserted, never timing.
#include "EngineFakes.h"
#include "TestSupport.h"

#include "Core/Engine/Timer.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using Configuration::ConfigurationData;

namespace {

using TestSupport::ThreadCount;
using TestSupport::WaitUntil;

// An engine that may be called from the timer thread: counts sounds and notices a sound
// played while closed or while a Close is under way.
class ThreadedEngine final : public Core::ISoundEngine {
public:
    bool Initialise(const ConfigurationData&) override
    {
        open.store(true);
        return true;
    }
    bool PlaySound(std::uint32_t, std::uint32_t) override
    {
        if (!open.load() || closing.load())
            overlaps.fetch_add(1);
        sounds.fetch_add(1);
        std::this_thread::sleep_for(200us); // widen the window a Close could overlap
        return sounds.load() != failAt.load();
    }
    void Close() override
    {
        closing.store(true);
        std::this_thread::sleep_for(30ms); // longer than a tick: a running timer would tick into it
        open.store(false);
        closing.store(false);
        closes.fetch_add(1);
    }
    std::uint32_t GetLastErrorCode() override { return 6; }

    std::atomic<bool> open{false};
    std::atomic<bool> closing{false};
    std::atomic<int> overlaps{0};
    std::atomic<int> sounds{0};
    std::atomic<int> closes{0};
    std::atomic<int> failAt{-1};
};

class MetronomeThread : public ::testing::Test {
protected:
    MetronomeThread()
    {
        // Fast ticks: 300 bpm in eighths, 25 ms apart.
        settings.Bpm = 300;
        settings.Subdivision1 = 8;
    }

    EngineFakes::Rig rig;
    Core::Timer timer;
    Core::ThreadTimer threadTimer{timer};
    ThreadedEngine engine;
    EngineFakes::AtomicReports handler;
    ConfigurationData settings = EngineFakes::Rig::VoiceSettings();
    std::unique_ptr<Core::Metronome> metronome = rig.Threaded(threadTimer, engine);
};

} // namespace

TEST_F(MetronomeThread, StopWaitsForTheLastTickBeforeClosing)
{
    const int threadsBefore = ThreadCount();
    for (int run = 0; run < 20; ++run) {
        ASSERT_EQ(metronome->Start(&handler, settings), 0u);
        ASSERT_TRUE(WaitUntil([&] { return engine.sounds.load() > run * 3 + 2; }));
        metronome->Stop(); // a sound after it would be counted as an overlap
        EXPECT_EQ(ThreadCount(), threadsBefore);
    }
    EXPECT_EQ(engine.overlaps.load(), 0);
    EXPECT_EQ(handler.stopped.load(), 20);
}

TEST_F(MetronomeThread, FailedSoundEndsTheRunAndItsThread)
{
    const int threadsBefore = ThreadCount();
    engine.failAt.store(5);
    ASSERT_EQ(metronome->Start(&handler, settings), 0u);
    ASSERT_TRUE(WaitUntil([&] { return handler.error.load() != 0; }));
    EXPECT_EQ(handler.error.load(), 29u);
    EXPECT_TRUE(WaitUntil([&] { return ThreadCount() == threadsBefore; }));
    EXPECT_EQ(engine.sounds.load(), 5);
    // The ended run left the engine open; Stop closes it without reporting again.
    EXPECT_EQ(engine.closes.load(), 0);
    metronome->Stop();
    EXPECT_EQ(handler.stopped.load(), 1);
    EXPECT_EQ(engine.closes.load(), 1);
    EXPECT_EQ(engine.overlaps.load(), 0);
}
