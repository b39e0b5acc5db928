// The whole road of a beat: the real timer thread drives the metronome, the MIDI engine
// plays into the mixer on the offline backend, and the capture shows where each click
// landed. The stream is pulled behind the clock, so every note reaches the mixer before its
// frame is rendered and its place depends only on the tick's due time.
#include "EngineFakes.h"
#include "TestSupport.h"

#include "Audio/AudioTestSupport.h"
#include "Core/Sound/MidiSoundEngine.h"
#include "Core/Engine/Timer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <memory>
#include <thread>
#include <vector>

using Configuration::ConfigurationData;

namespace {

constexpr double Rate = 44100.0;
constexpr std::int64_t PullLag = 150'000'000; // stay this far behind the clock

// Zero crossings per frame of the left channel in [from, from + frames): a hi-hat crosses
// far more often than a bass drum.
double CrossingRate(const std::vector<float>& capture, std::size_t from, std::size_t frames)
{
    int crossings = 0;
    for (std::size_t frame = from + 1; frame < from + frames; ++frame)
        crossings += (capture[2 * frame] >= 0.0f) != (capture[2 * frame - 2] >= 0.0f);
    return static_cast<double>(crossings) / static_cast<double>(frames);
}

// A stream that behaves like a PulseAudio client: it asks for four blocks at once and then
// pauses for as long as they play, and every 25 bursts its clock jumps by 7 ms against the
// steady clock (alternately late and back). Everything rendered is kept.
class BurstyBackend final : public Platform::Audio::IAudioBackend {
public:
    explicit BurstyBackend(std::size_t frames) : capture_(2 * frames) {}
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
    double DeviceLatencySeconds() const override { return 0; }
    bool RunsByItself() const override { return true; }
    const char* Name() const override { return "bursty"; }
    const std::vector<float>& Captured() const { return capture_; }

private:
    void Run(Platform::Audio::IRenderer& renderer)
    {
        const std::int64_t start = Platform::Clock::Now();
        std::int64_t slip = 0;
        std::size_t frames = 0;
        for (int burst = 1; running_ && 2 * (frames + 1024) <= capture_.size(); ++burst) {
            std::this_thread::sleep_until(std::chrono::steady_clock::time_point(
                std::chrono::nanoseconds(start + slip + static_cast<std::int64_t>(frames * 1e9 / Rate))));
            for (int block = 0; block < 4; ++block, frames += 256)
                renderer.Render(capture_.data() + 2 * frames, 256, Platform::Clock::Now());
            if (burst % 25 == 0)
                slip += burst % 50 == 0 ? -7'000'000 : 7'000'000;
        }
    }

    std::vector<float> capture_;
    std::atomic<bool> running_{false};
    std::thread thread_;
};

// The real timer thread and the MIDI engine on a mixer; everything else from the fakes.
struct RealMetronome {
    explicit RealMetronome(Platform::Audio::Mixer& mixer) : engine(Platform::Audio::MidiOutOptions{mixer, {}})
    {
        Core::MetronomeServices services = rig.Services();
        services.timer = &threadTimer;
        services.soundEngineFor = [this](Configuration::SoundSource) -> Core::ISoundEngine* { return &engine; };
        services.indicator = nullptr;
        metronome = std::make_unique<Core::Metronome>(services);
    }
    Core::MidiSoundEngine engine;
    Core::Timer timer;
    Core::ThreadTimer threadTimer{timer};
    EngineFakes::Rig rig;
    std::unique_ptr<Core::Metronome> metronome;
};

} // namespace

TEST(MetronomeIntoBurstyAudio, EveryClickLandsOnItsFrameAcrossBurstsJumpsAndATempoChange)
{
    TestSupport::ScopedLog log; // the timer may not get real-time priority here
    BurstyBackend backend(static_cast<std::size_t>(8 * Rate));
    Platform::Audio::MixerOptions options;
    options.latencyMs = 100; // the lead; generous, because a loaded test machine wakes late
    Platform::Audio::Mixer mixer(backend, options);
    RealMetronome real(mixer);
    Core::Metronome& metronome = *real.metronome;

    ConfigurationData settings;
    settings.Bpm = 133;
    settings.VisualIndicator = 0;
    settings.SoundEngineType = Configuration::SoundSource::Midi;
    for (int& instrument : settings.Instrument)
        instrument = 6; // Closed Hi-Hat: it dies away within a quarter of a second
    ASSERT_EQ(metronome.Start(nullptr, settings), 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    metronome.ChangeTempo(180);
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    metronome.Stop();
    EXPECT_EQ(mixer.LateCount(), 0u);
    EXPECT_EQ(real.engine.Output().SubstitutedNotes(), 0u);

    // Every onset sits within half a sample of where the exact periods put it: each interval
    // is one of the two periods, and nothing accumulates.
    const double periods[] = {Rate * 60 / 133, Rate * 60 / 180};
    const std::vector<std::size_t> onsets = AudioTest::Onsets(backend.Captured(), 11025, 0.0f);
    ASSERT_GE(onsets.size(), 12u);
    double expected = 0;
    std::size_t tempo = 0;
    for (std::size_t k = 1; k < onsets.size(); ++k) {
        const double interval = static_cast<double>(onsets[k] - onsets[k - 1]);
        if (tempo == 0 && std::fabs(interval - periods[1]) < std::fabs(interval - periods[0]))
            tempo = 1; // the tempo changes once, and stays changed
        expected += periods[tempo];
        EXPECT_LE(std::fabs(static_cast<double>(onsets[k] - onsets[0]) - expected), 0.5) << "click " << k;
    }
    EXPECT_EQ(tempo, 1u);
}

TEST(MetronomeIntoOfflineAudio, AccentedBarLandsOnTheSampleGrid)
{
    TestSupport::ScopedLog log; // the timer may not get real-time priority here
    Platform::Audio::OfflineBackend backend;
    Platform::Audio::Mixer mixer(backend);
    RealMetronome real(mixer);
    Core::Metronome& metronome = *real.metronome;

    ConfigurationData settings;
    settings.BeatType = Configuration::BeatKind::BeatsPerBar;
    settings.BeatsPerBar = 4;
    settings.Bpm = 120;
    settings.VisualIndicator = 0;
    settings.SoundEngineType = Configuration::SoundSource::Midi;
    settings.Instrument[0] = 2; // Bass Drum 1 on the accent
    settings.Instrument[1] = 6; // Closed Hi-Hat on the other beats
    ASSERT_EQ(metronome.Start(nullptr, settings), 0u);

    // Two bars and a beat of stream, with room for the run's start.
    AudioTest::PullBehindTheClock(backend, 9 * 22050 + 11025, PullLag);
    metronome.Stop();
    ASSERT_EQ(mixer.LateCount(), 0u);

    // Each click dies away well within a beat, so every onset is the first sound after silence.
    const std::vector<float>& capture = backend.Captured();
    std::vector<std::size_t> onsets = AudioTest::Onsets(capture, 11025, 0.0f);
    ASSERT_GE(onsets.size(), 9u);
    onsets.resize(9);
    for (std::size_t beat = 1; beat < onsets.size(); ++beat)
        EXPECT_EQ(onsets[beat] - onsets[beat - 1], 22050u) << "beat " << beat;
    // The accent (a bass drum) every 88200 frames, the plain beats (a hi-hat) between them.
    for (std::size_t beat = 0; beat < onsets.size(); ++beat) {
        const double crossings = CrossingRate(capture, onsets[beat], 2000);
        if (beat % 4 == 0)
            EXPECT_LT(crossings, 0.1) << "beat " << beat;
        else
            EXPECT_GT(crossings, 0.3) << "beat " << beat;
    }
    EXPECT_EQ(onsets[4] - onsets[0], 88200u);
    EXPECT_EQ(onsets[8] - onsets[4], 88200u);
}
