// The whole road of a beat: the real timer thread drives the metronome, the MIDI engine plays
// into the mixer on a stream that renders in bursts, and the capture shows where each click
// landed. And the same road on a sound server that dies or hangs.
#include "EngineFakes.h"
#include "TestSupport.h"

#include "Audio/AudioTestSupport.h"
#include "Core/Sound/MidiSoundEngine.h"
#include "Core/Engine/Timer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>

using Configuration::ConfigurationData;

namespace {

constexpr double Rate = 44100.0;

// A stream that behaves like a PulseAudio client: it fills a 200 ms queue, then asks for four
// blocks at once and pauses for as long as they play, and every 25 bursts its clock jumps by
// 7 ms against the steady clock (alternately late and back). Once it stalls for 600 ms and then
// asks for all it played meanwhile at once. Before each request it renders again what the
// mixer wants rewritten (a run's first ticks in the queued silence), telling it how far it has
// read: up to its queue, or (readsAhead) everything written, as a server whose sink has taken
// more than the client knows. Everything is kept.
class BurstyBackend final : public Platform::Audio::IAudioBackend {
public:
    explicit BurstyBackend(std::size_t frames, bool readsAhead = false) : capture_(2 * frames), readsAhead_(readsAhead) {}
    ~BurstyBackend() override { Close(); }
    Platform::Audio::Result Open(std::uint32_t, std::uint32_t, Platform::Audio::IRenderer& renderer) override
    {
        running_ = true;
        thread_ = std::thread([this, &renderer] { Run(renderer); });
        return Platform::Audio::NoError;
    }
    void Close() override
    {
        running_ = false;
        if (thread_.joinable())
            thread_.join();
    }
    double DeviceLatencySeconds() const override { return queue / Rate; }
    double RewritableSeconds() const override { return queue / Rate; }
    std::size_t Rewritten() const { return rewritten_; }
    bool RunsByItself() const override { return true; }
    const char* Name() const override { return "bursty"; }
    /// Everything rendered. Ends the stream first: the thread would otherwise go on writing
    /// silence into the frames the caller reads.
    const std::vector<float>& Captured()
    {
        Close();
        return capture_;
    }

private:
    void Run(Platform::Audio::IRenderer& renderer)
    {
        const std::int64_t start = Platform::Clock::Now();
        std::int64_t slip = 0;
        std::size_t played = 0;
        std::size_t written = 0;
        for (int burst = 1; running_ && 2 * (written + 1024) <= capture_.size(); ++burst) {
            std::this_thread::sleep_until(std::chrono::steady_clock::time_point(
                std::chrono::nanoseconds(start + slip + static_cast<std::int64_t>(played * 1e9 / Rate))));
            std::int64_t due = 0;
            const std::uint32_t again = renderer.FramesToRewrite(due, readsAhead_ ? written : played);
            Platform::Audio::RenderRequest(renderer, capture_.data() + 2 * (written - again), again, 256, 1e9 / Rate,
                                           Platform::Clock::Now());
            rewritten_ += again;
            std::size_t asked = burst == 1 ? queue + 1024 : 1024;
            if (burst == 60) {
                std::this_thread::sleep_for(std::chrono::milliseconds(600));
                asked += 26624;
            }
            Platform::Audio::RenderRequest(renderer, capture_.data() + 2 * written, asked, 256, 1e9 / Rate,
                                           Platform::Clock::Now());
            written += asked;
            played = written - queue;
            if (burst % 25 == 0)
                slip += burst % 50 == 0 ? -7'000'000 : 7'000'000;
        }
    }

    static constexpr std::size_t queue = 8820;
    std::vector<float> capture_;
    bool readsAhead_;
    std::atomic<std::size_t> rewritten_{0}; // read by the test while the stream runs
    std::atomic<bool> running_{false};
    std::thread thread_;
};

// The real timer thread and the MIDI engine on a mixer; everything else from the fakes.
struct RealMetronome {
    explicit RealMetronome(Platform::Audio::Mixer& mixer) : engine(Platform::Audio::MidiOutOptions{mixer, {}}) {}
    Core::MidiSoundEngine engine;
    Core::Timer timer;
    Core::ThreadTimer threadTimer{timer};
    EngineFakes::Rig rig;
    std::unique_ptr<Core::Metronome> metronome = rig.Threaded(threadTimer, engine);
};

// A sound server the test can kill, freeze and bring back. Each stream it serves renders in
// real time on its own thread and notes whether it rendered any sound. Killing the server
// makes its streams report their failure and stop; freezing it stops them where they are
// and holds every Open and Close until it thaws, as a stopped PulseAudio does.
class FakeServer {
public:
    enum State { Up, Dead, Frozen };

    std::unique_ptr<Platform::Audio::IAudioBackend> NewStream() { return std::make_unique<Stream>(*this); }
    void Set(State state)
    {
        {
            std::lock_guard guard(lock_);
            state_ = state;
        }
        changed_.notify_all();
    }
    bool Heard() const { return heard_.load(); }
    void Hush() { heard_.store(false); }
    int Streams() const { return streams_.load(); }

private:
    State AwaitThaw()
    {
        std::unique_lock guard(lock_);
        changed_.wait(guard, [this] { return state_ != Frozen; });
        return state_;
    }

    class Stream final : public Platform::Audio::IAudioBackend {
    public:
        explicit Stream(FakeServer& server) : server_(server) { ++server_.streams_; }
        ~Stream() override
        {
            Close();
            --server_.streams_;
        }
        Platform::Audio::Result Open(std::uint32_t, std::uint32_t, Platform::Audio::IRenderer& renderer) override
        {
            if (server_.AwaitThaw() == Dead)
                return Platform::Audio::NoDriver;
            running_ = true;
            thread_ = std::thread([this, &renderer] { Run(renderer); });
            return Platform::Audio::NoError;
        }
        void Close() override
        {
            server_.AwaitThaw();
            running_ = false;
            if (thread_.joinable())
                thread_.join();
        }
        double DeviceLatencySeconds() const override { return 0; }
        bool RunsByItself() const override { return true; }
        const char* Name() const override { return "fake"; }

    private:
        void Run(Platform::Audio::IRenderer& renderer)
        {
            std::vector<float> block(512);
            while (running_) {
                if (server_.AwaitThaw() == Dead) {
                    renderer.StreamFailed();
                    return;
                }
                std::this_thread::sleep_for(std::chrono::microseconds(5805)); // 256 frames
                renderer.Render(block.data(), 256, Platform::Clock::Now());
                if (std::any_of(block.begin(), block.end(), [](float sample) { return sample != 0.0f; }))
                    server_.heard_.store(true);
            }
        }
        FakeServer& server_;
        std::atomic<bool> running_{false};
        std::thread thread_;
    };

    std::mutex lock_;
    std::condition_variable changed_;
    State state_ = Up;
    std::atomic<bool> heard_{false};
    std::atomic<int> streams_{0};
};

// Short time-outs, so that the server's failures show quickly.
Platform::Audio::MixerOptions ServerOptions()
{
    Platform::Audio::MixerOptions options;
    options.latencyMs = 100;
    options.openTimeoutMs = 1000;
    options.closeTimeoutMs = 300;
    options.stallMs = 500;
    return options;
}

using Reports = EngineFakes::AtomicReports;

// Prepares the sounds as the window does before a Start, and starts.
std::uint32_t PrepareAndStart(Core::Metronome& metronome, Reports& reports, ConfigurationData& settings)
{
    metronome.PrepareSounds(settings);
    if (!TestSupport::WaitUntil([&] { return metronome.SoundsPrepared(settings); }))
        return 99;
    return metronome.Start(&reports, settings);
}

ConfigurationData Clicks()
{
    ConfigurationData settings;
    settings.VisualIndicator = 0;
    settings.SoundEngineType = Configuration::SoundSource::Midi;
    return settings;
}

} // namespace

// A dying server stops the run with the message and a log entry; a frozen one holds no call:
// Stop returns, and the next Start gives up the stream that does not close and the one that
// does not open. Either way the next Start after the server is back plays.
TEST(MetronomeOnASoundServer, ADyingOrFrozenServerHoldsNoCallAndTheNextStartAfterItIsBackPlays)
{
    for (const FakeServer::State failure : {FakeServer::Dead, FakeServer::Frozen}) {
        TestSupport::ScopedLog log;
        FakeServer server;
        {
            Platform::Audio::Mixer mixer([&server] { return server.NewStream(); }, ServerOptions());
            RealMetronome real(mixer);
            Reports reports;
            ConfigurationData settings = Clicks();
            ASSERT_EQ(PrepareAndStart(*real.metronome, reports, settings), 0u);
            ASSERT_TRUE(TestSupport::WaitUntil([&] { return server.Heard(); }));

            server.Set(failure);
            if (failure == FakeServer::Dead) {
                ASSERT_TRUE(TestSupport::WaitUntil([&] { return reports.error.load() != 0; }));
                EXPECT_EQ(reports.stopped.load(), 1);
                EXPECT_EQ(reports.error.load(), 29u); // "No device driver present"
                EXPECT_FALSE(log.Has("Error calling midiOutShortMsg")); // not on the timer thread
                real.metronome->Stop(); // as the window does on the report, which writes the entry
                EXPECT_TRUE(log.Has("Error calling midiOutShortMsg"));
            } else {
                real.metronome->Stop(); // would hang here if anything waited on the server
                ASSERT_TRUE(TestSupport::WaitUntil([&] { return mixer.StreamLost(); }));
                EXPECT_EQ(PrepareAndStart(*real.metronome, reports, settings), 5u);
                EXPECT_EQ(mixer.StreamsGivenUp(), 2u);
            }
            server.Set(FakeServer::Up);
            server.Hush();
            ASSERT_EQ(PrepareAndStart(*real.metronome, reports, settings), 0u);
            EXPECT_TRUE(TestSupport::WaitUntil([&] { return server.Heard(); }));
            real.metronome->Stop();
        }
        // The streams given up end once their server answers again.
        EXPECT_TRUE(TestSupport::WaitUntil([&] { return server.Streams() == 0; }));
    }
}

// Hi-hat clicks at 133 bpm from the real timer into a bursty stream of `seconds`, with a lead of
// 100 ms (generous, because a loaded test machine wakes late).
struct BurstyRun {
    BurstyRun(double seconds, bool readsAhead) : backend(static_cast<std::size_t>(seconds * Rate), readsAhead)
    {
        settings.Bpm = 133;
        for (int& instrument : settings.Instrument)
            instrument = 6; // Closed Hi-Hat: it dies away within a quarter of a second
    }
    bool Render(double seconds)
    {
        return TestSupport::WaitUntil([&] { return mixer.RenderedFrames() > static_cast<std::uint64_t>(seconds * Rate); });
    }
    TestSupport::ScopedLog log; // the timer may not get real-time priority here
    BurstyBackend backend;
    Platform::Audio::Mixer mixer{backend, {.latencyMs = 100}};
    RealMetronome real{mixer};
    ConfigurationData settings = Clicks();
};

// Every click lands within half a sample of where the exact periods put it, across bursts, clock
// jumps and a tempo change: each interval is one of the two periods, and nothing accumulates.
// The first click goes into the queued silence; unless the server has already read into that
// stretch: then it is not written over (its first click would be cut) and the run is placed
// where a fresh anchor puts it, whole (as loud as the second) and on its frames.
TEST(MetronomeIntoBurstyAudio, EveryClickLandsOnItsFrameAndTheFirstIsWhole)
{
    for (const bool readsAhead : {false, true}) {
        SCOPED_TRACE(readsAhead ? "a server that has read past the run's start" : "a tempo change");
        BurstyRun run(readsAhead ? 4 : 8, readsAhead);
        Core::Metronome& metronome = *run.real.metronome;
        ASSERT_EQ(metronome.Start(nullptr, run.settings), 0u);
        ASSERT_TRUE(run.Render(2.5));
        if (!readsAhead) {
            metronome.ChangeTempo(180);
            ASSERT_TRUE(run.Render(5));
        }
        metronome.Stop();
        EXPECT_EQ(run.mixer.LateCount(), 0u);
        EXPECT_EQ(run.real.engine.Output().SubstitutedNotes(), 0u);
        EXPECT_EQ(run.backend.Rewritten() > 0, !readsAhead);
        EXPECT_EQ(run.mixer.RewriteFallbacks(), readsAhead ? 1u : 0u);

        const double periods[] = {Rate * 60 / 133, Rate * 60 / 180};
        const std::vector<float>& captured = run.backend.Captured();
        const std::vector<std::size_t> onsets = AudioTest::Onsets(captured, 11025, 0.0f);
        ASSERT_GE(onsets.size(), readsAhead ? 3u : 12u);
        double expected = 0;
        std::size_t tempo = 0;
        for (std::size_t k = 1; k < onsets.size(); ++k) {
            const double interval = static_cast<double>(onsets[k] - onsets[k - 1]);
            if (tempo == 0 && std::fabs(interval - periods[1]) < std::fabs(interval - periods[0]))
                tempo = 1; // the tempo changes once, and stays changed
            expected += periods[tempo];
            EXPECT_LE(std::fabs(static_cast<double>(onsets[k] - onsets[0]) - expected), 0.5) << "click " << k;
        }
        EXPECT_EQ(tempo, readsAhead ? 0u : 1u);
        EXPECT_NEAR(AudioTest::Peak(captured, onsets[0], onsets[0] + 5000), AudioTest::Peak(captured, onsets[1], onsets[1] + 5000),
                    1e-6f);
    }
}
