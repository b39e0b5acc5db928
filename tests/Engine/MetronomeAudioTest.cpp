// The whole road of a beat: the real timer thread drives the metronome, the MIDI engine
// plays into the mixer on the offline backend, and the capture shows where each click
// landed. The stream is pulled behind the clock, so every note reaches the mixer before its
// frame is rendered and its place depends only on the tick's due time.
#include "EngineFakes.h"
#include "TestSupport.h"

#include "Audio/AudioTestSupport.h"
#include "Core/MidiSoundEngine.h"
#include "Core/Timer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

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

} // namespace

TEST(MetronomeIntoOfflineAudio, AccentedBarLandsOnTheSampleGrid)
{
    TestSupport::ScopedLog log; // the timer may not get real-time priority here
    Platform::Audio::OfflineBackend backend;
    Platform::Audio::Mixer mixer(backend);
    Core::MidiSoundEngine engine(Platform::Audio::MidiOutOptions{&mixer, {}});
    Core::Timer timer;
    Core::ThreadTimer threadTimer(timer);
    EngineFakes::Rig rig;
    Core::MetronomeServices services = rig.Services();
    services.timer = &threadTimer;
    services.soundEngineFor = [&engine](std::int32_t) -> Core::ISoundEngine* { return &engine; };
    services.indicator = nullptr;
    Core::Metronome metronome(services);

    ConfigurationData settings;
    settings.BeatType = 1;
    settings.BeatsPerBar = 4;
    settings.Bpm = 120;
    settings.VisualIndicator = 0;
    settings.SoundEngineType = 0;
    settings.Instrument[0] = 2; // Bass Drum 1 on the accent
    settings.Instrument[1] = 6; // Closed Hi-Hat on the other beats
    ASSERT_EQ(metronome.Start(nullptr, settings), 0u);

    // Two bars and a beat of stream, with room for the run's start.
    const std::uint64_t wanted = 9 * 22050 + 11025;
    while (backend.Frames() < wanted) {
        const std::int64_t behind = Platform::Clock::Now() - backend.StartTime() - PullLag;
        const auto reachable = behind > 0 ? static_cast<std::uint64_t>(static_cast<double>(behind) * Rate / 1e9) : 0u;
        if (reachable > backend.Frames())
            backend.Pull(std::min(reachable, wanted) - backend.Frames(), 256);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
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
