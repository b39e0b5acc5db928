// Nothing on the timer thread or in the audio callback allocates, frees, locks or logs, on any
// path: a whole speed-trainer run of the program (tempo steps re-timed from the timer thread,
// the signal beep, reports to the window's side) with the built-in kit and with wave files
// (resampled, and streamed), on the null and the offline backend, with the real-time priority
// refused and a stream that fails mid-run, under the checker of RealTimeChecker.h.
#include "RealTimeChecker.h"
#include "TestSupport.h"
#include "WaveFiles/WaveFixtures.h"
#include "Audio/AudioTestSupport.h"
#include "Engine/EngineFakes.h"

#include "Core/Engine/Program.h"
#include "Platform/Audio/NullBackend.h"
#include "Platform/Audio/OfflineBackend.h"
#include "Platform/RealTime.h"
#include "System/Log.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <mutex>

namespace {

using Platform::Audio::IAudioBackend;
using Platform::Audio::IRenderer;

// The program's log, with every entry written on a marked thread counted.
struct CheckedLog {
    CheckedLog() { System::SetLog(&counting); }
    ~CheckedLog() { System::SetLog(&file.Log()); }
    TestSupport::ScopedLog file;
    RealTimeCheck::CountingLog counting{file.Log()};
};

// The system's scheduling, except that real-time priority is refused, as it is without rtkit
// or a real-time limit.
class RefusedPriority final : public Platform::IThreadScheduling {
public:
    int RaiseToRealTimePriority() override { return EPERM; }
    int PinToProcessor(int processor, cpu_set_t& previous) override
    {
        return Platform::SystemThreadScheduling().PinToProcessor(processor, previous);
    }
    int RestoreAffinity(const cpu_set_t& previous) override
    {
        return Platform::SystemThreadScheduling().RestoreAffinity(previous);
    }
};

// A backend's stream passed through, which on Fail reports from inside its next callback that
// it failed for good, as the stream of a sound server that died does.
class FailingStream final : public IAudioBackend, private IRenderer {
public:
    explicit FailingStream(std::unique_ptr<IAudioBackend> inner) : inner_(std::move(inner)) {}
    ~FailingStream() override { Close(); }

    Platform::Audio::Result Open(std::uint32_t rate, std::uint32_t blockFrames, IRenderer& renderer) override
    {
        renderer_ = &renderer;
        return inner_->Open(rate, blockFrames, *this);
    }
    void Close() override { inner_->Close(); }
    double DeviceLatencySeconds() const override { return inner_->DeviceLatencySeconds(); }
    bool RunsByItself() const override { return inner_->RunsByItself(); }
    const char* Name() const override { return inner_->Name(); }

    void Fail() { fail_.store(true); }

private:
    void Render(float* output, std::uint32_t frames, std::int64_t callbackTime) noexcept override
    {
        if (fail_.exchange(false))
            renderer_->StreamFailed();
        renderer_->Render(output, frames, callbackTime);
    }
    std::uint32_t FramesToRewrite(std::int64_t& dueTime, std::uint64_t serverRead) noexcept override
    {
        return renderer_->FramesToRewrite(dueTime, serverRead);
    }
    int RewriteSignal() const noexcept override { return renderer_->RewriteSignal(); }
    void FramesMissed(std::uint32_t frames) noexcept override { renderer_->FramesMissed(frames); }

    std::unique_ptr<IAudioBackend> inner_;
    IRenderer* renderer_ = nullptr;
    std::atomic<bool> fail_{false};
};

// A silent voice that notes whether the audio callback that mixes it is marked.
struct MarkProbe final : public Platform::Audio::IVoice {
    void Mix(float*, const Platform::Audio::BlockClock&) noexcept override
    {
        ++calls;
        unmarked += !Platform::InRealTimeCode();
    }
    std::atomic<int> calls{0};
    std::atomic<int> unmarked{0};
};

// Even voices play a short file at half the output rate (resampled once), odd voices one long
// enough to be streamed while it plays.
void UseWaveFiles(Configuration::ConfigurationData& settings, const TestSupport::TempFolder& folder)
{
    const std::string shortFile = folder / "short.wav";
    const std::string longFile = folder / "long.wav";
    TestSupport::WriteFile(shortFile, WaveFixtures::Wave({1, 1, 22050, 16}, WaveFixtures::Pcm16(std::vector<std::int16_t>(1000, 9000))));
    TestSupport::WriteFile(longFile, WaveFixtures::Wave({}, WaveFixtures::Pcm16(std::vector<std::int16_t>(12 * 44100, 3000))));
    settings.SoundEngineType = Configuration::SoundSource::AudioFiles;
    for (int voice = 0; voice < Configuration::VoiceCount; ++voice) {
        settings.Instrument[voice] = voice;
        settings.File[voice] = WaveFixtures::Wide(voice % 2 == 0 ? shortFile : longFile);
    }
}

Configuration::ConfigurationData TrainerRun()
{
    Configuration::ConfigurationData settings;
    settings.SoundEngineType = Configuration::SoundSource::Midi;
    settings.VisualIndicator = 0;
    settings.Bpm = 480;
    settings.SpeedTrainer = Configuration::TrainerMode::On;
    settings.DurationsInBars = 1;
    settings.Duration = 1.0f; // half to full speed in tenths, a bar each, after a bar's warm-up
    settings.Warmdown = 0.0f;
    return settings;
}

} // namespace

// The checker itself: what a marked thread does is counted, the same on an unmarked one is not.
TEST(RealTimeChecker, CountsAllocationsFreesLocksAndLogEntriesOfMarkedThreadsOnly)
{
    CheckedLog log;
    std::mutex mutex;
    const auto misbehave = [&] {
        int* volatile allocated = new int(1);
        delete allocated;
        std::lock_guard guard(mutex);
        System::Log().Write(System::Error, "from real-time code");
    };
    RealTimeCheck::Reset();
    misbehave();
    EXPECT_EQ(RealTimeCheck::Violations(), RealTimeCheck::Counts{}) << "an unmarked thread";
    RealTimeCheck::SetTracing(false); // these are meant
    {
        const Platform::RealTimeSection realTime;
        misbehave();
    }
    RealTimeCheck::SetTracing(true);
    const RealTimeCheck::Counts counted = RealTimeCheck::Violations();
    EXPECT_GE(counted.allocations, 1u) << RealTimeCheck::AllocationMode();
    EXPECT_GE(counted.frees, 1u) << RealTimeCheck::AllocationMode();
    EXPECT_GE(counted.locks, 1u);
    EXPECT_EQ(counted.logEntries, 1u);
}

TEST(RealTimePaths, ARunWithARefusedPriorityAndAFailingStreamNeitherAllocatesNorLocksNorLogs)
{
    for (const bool waveFiles : {false, true})
    for (const bool offline : {false, true}) {
        SCOPED_TRACE(std::string(offline ? "offline backend, " : "null backend, ") + (waveFiles ? "wave files" : "MIDI"));
        CheckedLog log;
        TestSupport::TempFolder folder;
        RefusedPriority scheduling;
        Platform::Audio::OfflineBackend* pulled = nullptr;
        std::unique_ptr<IAudioBackend> inner;
        if (offline) {
            auto backend = std::make_unique<Platform::Audio::OfflineBackend>();
            pulled = backend.get();
            inner = std::move(backend);
        } else {
            inner = std::make_unique<Platform::Audio::NullBackend>();
        }
        auto stream = std::make_unique<FailingStream>(std::move(inner));
        FailingStream& failing = *stream;
        Platform::Audio::MixerOptions options;
        options.latencyMs = 100; // a loaded machine wakes the timer late
        Core::Program program(std::move(stream), options, {}, scheduling);
        Core::Metronome& metronome = program.Controller();
        Configuration::ConfigurationData settings = TrainerRun();
        if (waveFiles)
            UseWaveFiles(settings, folder);
        metronome.PrepareSounds(settings);
        ASSERT_TRUE(TestSupport::WaitUntil([&] { return metronome.SoundsPrepared(settings); }));
        // A preview's sound is mixed on the audio thread as a run's; its engine closes at Start.
        ASSERT_TRUE(TestSupport::WaitUntil([&] { return metronome.Preview(settings, 0) == Core::IMetronome::Heard::Done; }));
        MarkProbe probe;
        ASSERT_TRUE(program.Output().AddVoice(probe));

        // The offline stream renders when this test's thread pulls it, while it waits.
        const auto waitFor = [&](auto condition) {
            return pulled ? AudioTest::PullBehindTheClockUntil(*pulled, condition, 50'000'000) : TestSupport::WaitUntil(condition);
        };

        RealTimeCheck::Reset();
        EngineFakes::AtomicReports reports;
        ASSERT_EQ(metronome.Start(&reports, settings), 0u);
        EXPECT_TRUE(log.file.Has("Error calling SetThreadPriority")) << "logged by Start";
        // Sounds and volumes changed during the run (a note the kit renders meanwhile), past the
        // warm-up and one tempo step, then the stream fails and the next sound with it.
        Configuration::ConfigurationData changed = settings;
        changed.Volume[0] = 77;
        changed.Instrument[0] = waveFiles ? 1 : 30;
        ASSERT_TRUE(waitFor([&] { return metronome.ChangeSounds(changed) == Core::IMetronome::Heard::Done; }));
        ASSERT_TRUE(waitFor([&] { return reports.tempoSteps.load() >= 2; }));
        failing.Fail();
        ASSERT_TRUE(waitFor([&] { return reports.error.load() != 0; }));
        EXPECT_EQ(reports.stopped.load(), 1);
        EXPECT_EQ(reports.error.load(), 29u); // "No device driver present", for either engine
        const RealTimeCheck::Counts counted = RealTimeCheck::Violations();
        EXPECT_FALSE(log.file.Has("Multimedia error")) << "logged on the timer thread";

        metronome.Stop(); // as the window does on the Stopped report: the failure is logged now
        program.Output().RemoveVoice(probe);

        EXPECT_EQ(counted, RealTimeCheck::Counts{})
            << counted.allocations << " allocations, " << counted.frees << " frees, " << counted.locks << " locks, "
            << counted.logEntries << " log entries (" << RealTimeCheck::AllocationMode() << ")";
        EXPECT_EQ(reports.unmarked.load(), 0) << "the timer thread runs marked";
        EXPECT_GT(probe.calls.load(), 0);
        EXPECT_EQ(probe.unmarked.load(), 0) << "the audio callback runs marked";
        const auto lines = log.file.Lines();
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                                [](const std::string& line) { return line.ends_with("Error calling SetThreadPriority"); }),
                  1);
        const std::string failedCall = waveFiles ? "Error calling waveOutWrite" : "Error calling midiOutShortMsg";
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                                [&](const std::string& line) { return line.ends_with(failedCall); }),
                  1);
    }
}
