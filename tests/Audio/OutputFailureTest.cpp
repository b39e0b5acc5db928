// What bounds the waits of preparing a sound: the deadline worker that stands between the
// program and a sound server that does not answer, the kit helper's run, and the MIDI output
// that remembers what failed.
#include "AudioTestSupport.h"
#include "TestSupport.h"

#include "Platform/Audio/DeadlineWorker.h"
#include "Platform/Audio/KitHelper.h"
#include "Platform/Audio/MidiOut.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

using namespace Platform::Audio;
using Clock = std::chrono::steady_clock;

// A job that never returns in time costs one thread, however often the worker is asked again;
// once it returns, the late clean-up has run and the same thread takes the next job.
TEST(DeadlineWorker, AJobThatHangsIsPassedOverWithoutANewThreadAndItsThreadIsReused)
{
    DeadlineWorker worker("test-worker");
    // The late clean-up is for a job given up only.
    EXPECT_EQ(worker.Run([] {}, [] { ADD_FAILURE() << "cleaned up after a job in time"; }, 5000),
              DeadlineWorker::Outcome::Done);
    const int threads = TestSupport::ThreadCount();
    std::atomic<bool> release{false};
    std::atomic<int> late{0};
    EXPECT_EQ(worker.Run([&] { while (!release.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1)); },
                         [&] { ++late; }, 50),
              DeadlineWorker::Outcome::TimedOut);
    for (int attempt = 0; attempt < 100; ++attempt)
        EXPECT_EQ(worker.Run([] { ADD_FAILURE() << "ran beside a hanging job"; }, {}, 50), DeadlineWorker::Outcome::Busy);
    EXPECT_EQ(TestSupport::ThreadCount(), threads);
    release.store(true);
    ASSERT_TRUE(TestSupport::WaitUntil([&] { return late.load() == 1; }));
    ASSERT_TRUE(TestSupport::WaitUntil([&] { return worker.Run([] {}, {}, 5000) == DeadlineWorker::Outcome::Done; }));
    EXPECT_EQ(late.load(), 1);
    EXPECT_EQ(TestSupport::ThreadCount(), threads);
}

// A helper that is missing, crashes, hangs, or writes what it was not asked for ends the run
// with Failed (never to be run again for another soundfont), in bounded time, reaped.
struct BrokenHelper {
    const char* name;
    const char* script; // body of a shell script standing in for the helper; null: no such file
};

class KitHelperFailure : public testing::TestWithParam<BrokenHelper> {};

TEST_P(KitHelperFailure, EndsTheRunAsFailedWithinTheSilenceLimit)
{
    const auto folder = std::filesystem::path(testing::TempDir()) / ("kit-helper-" + std::string(GetParam().name));
    std::filesystem::create_directories(folder);
    const std::string helper = (folder / "tolvane-kit").string();
    std::filesystem::remove(helper);
    if (GetParam().script != nullptr) {
        std::ofstream(helper) << "#!/bin/sh\n" << GetParam().script << "\n";
        chmod(helper.c_str(), 0700);
    }
    std::atomic<bool> cancel{false};
    std::string why;
    int taken = 0;
    const auto begin = Clock::now();
    const HelperEnd end = RunKitHelper(helper, "kit.sf2", 44100, {{38, 100}},
                                       [&](const KitRendering::NoteHeader&, std::vector<float>&&) { ++taken; }, cancel,
                                       300, why);
    EXPECT_EQ(end, HelperEnd::Failed) << why;
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(taken, 0);
    EXPECT_LT(Clock::now() - begin, std::chrono::seconds(5));
}

INSTANTIATE_TEST_SUITE_P(
    Helpers, KitHelperFailure,
    testing::Values(BrokenHelper{"missing", nullptr}, BrokenHelper{"crashing", "kill -SEGV $$"},
                    BrokenHelper{"hanging", "exec sleep 60"},
                    BrokenHelper{"silent-after-closing", "exec >&-; exec sleep 60"},
                    // A header for note 99, which nobody asked for, then endless bytes.
                    BrokenHelper{"foreign", "printf 'c\\000\\000\\000d\\000\\000\\000\\000\\000\\000\\000\\001\\000\\000\\000'; exec cat /dev/zero"}),
    [](const testing::TestParamInfo<BrokenHelper>& info) {
        std::string name = info.param.name;
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });

// Without a working output the preparation still finishes (a Start then fails at once, saying
// why); the next preparation opens the output and renders the kit at its rate.
TEST(MidiOutPreparation, FinishesWhenTheOutputFailsAndTriesTheOutputAgain)
{
    AudioTest::OfflineRig rig;
    rig.backend.FailOpenWith(NoDriver);
    MidiOut out(MidiOutOptions{rig.mixer, {}});
    out.Prepare({{38, 100}});
    ASSERT_TRUE(TestSupport::WaitUntil([&] { return out.IsPrepared(); }));
    EXPECT_TRUE(out.PreparationFailed());
    EXPECT_EQ(out.Open(), NoDriver);
    EXPECT_NE(out.LastFailure().find("no audio output"), std::string::npos) << out.LastFailure();
    rig.backend.FailOpenWith(NoError);
    out.Prepare({{38, 100}});
    ASSERT_TRUE(TestSupport::WaitUntil([&] { return out.IsPrepared(); }));
    EXPECT_FALSE(out.PreparationFailed());
    EXPECT_TRUE(out.NotePrepared({38, 100}));
    ASSERT_EQ(out.Open(), NoError);
    out.Release();
}
