// Wave files and the built-in kit through the whole road of a beat, in the program's own root
// on the offline backend running at an output's own rate (a JACK server at 44.1, 48 or 96 kHz,
// whatever the mixer asked for): the real timer thread drives the metronome, the engine plays
// into the mixer, and each click lands on the tempo's sample grid at that rate however late a
// thread woke. The stream is pulled behind the clock, so every sound reaches the mixer before
// its frame is rendered.
#include "WaveFixtures.h"

#include "TestSupport.h"

#include "Audio/AudioTestSupport.h"
#include "Core/Engine/Program.h"

#include <gtest/gtest.h>

#include <map>

namespace {

// Frames from the onset to the last frame above a thousandth, before the next onset.
std::size_t SoundingFrames(const std::vector<float>& capture, std::size_t from, std::size_t to)
{
    std::size_t last = from;
    for (std::size_t frame = from; frame < to; ++frame) {
        if (std::fabs(capture[2 * frame]) > 1e-3f || std::fabs(capture[2 * frame + 1]) > 1e-3f)
            last = frame;
    }
    return last - from;
}

} // namespace

TEST(MetronomeAtTheOutputsRate, ClicksLandOnTheSampleGridAndSoundAsLongAtEveryRate)
{
    using Configuration::SoundSource;
    TestSupport::ScopedLog log; // the timer may not get real-time priority here
    TestSupport::TempFolder folder;
    const std::string path = folder / "click.wav"; // 44.1 kHz: resampled at the other rates
    TestSupport::WriteFile(path, WaveFixtures::Wave({}, WaveFixtures::Pcm16(std::vector<std::int16_t>(2000, 9000))));
    std::map<SoundSource, double> seconds; // a click's length at 44.1 kHz

    for (const std::uint32_t rate : {44100u, 48000u, 96000u}) {
        for (const SoundSource source : {SoundSource::AudioFiles, SoundSource::Midi}) {
            SCOPED_TRACE(testing::Message() << rate << " Hz, " << (source == SoundSource::Midi ? "kit" : "wave file"));
            auto offline = std::make_unique<Platform::Audio::OfflineBackend>();
            Platform::Audio::OfflineBackend& backend = *offline;
            backend.RunAt(rate);
            Core::Program program(std::move(offline), {}); // the mixer asks for 44.1 kHz
            Core::Metronome& metronome = program.Controller();

            Configuration::ConfigurationData settings;
            settings.SoundEngineType = source;
            settings.Bpm = 180; // a beat every third of a second: a whole number of frames at each rate
            settings.VisualIndicator = 0;
            for (int voice = 0; voice < Configuration::VoiceCount; ++voice) {
                settings.Instrument[voice] = source == SoundSource::Midi ? 6 : voice; // the closed hi-hat dies away soon
                settings.File[voice] = WaveFixtures::Wide(path);
            }
            ASSERT_EQ(metronome.Start(nullptr, settings), 0u);
            const std::uint32_t beat = rate / 3;
            // Far behind, for a loaded machine; and room for a start that takes a few beats to
            // get from the stream's opening to its first tick (under ThreadSanitizer, say).
            ASSERT_TRUE(AudioTest::PullBehindTheClockUntil(backend, [&] { return backend.Frames() >= 9 * beat; }, 400'000'000, rate));
            metronome.Stop();
            EXPECT_EQ(program.Output().SampleRate(), rate);
            EXPECT_EQ(program.Output().LateCount(), 0u);

            const std::vector<float>& capture = backend.Captured();
            const std::vector<std::size_t> onsets = AudioTest::Onsets(capture, beat / 2, 0.0f);
            ASSERT_GE(onsets.size(), 6u);
            for (std::size_t k = 1; k < 6; ++k)
                EXPECT_EQ(onsets[k] - onsets[k - 1], beat) << "beat " << k;
            // Rendered or decoded at the stream's rate: as long in seconds at every rate.
            const double length = static_cast<double>(SoundingFrames(capture, onsets[1], onsets[2])) / rate;
            if (rate == 44100)
                seconds[source] = length;
            EXPECT_NEAR(length, seconds[source], 0.03 * seconds[source]);
            if (rate == 44100 && source == SoundSource::AudioFiles) {
                EXPECT_FALSE(backend.IsOpen()) << "Stop closes every player";
                // Full volume at the file's own rate: its samples unchanged, each click exactly
                // as long as the file.
                EXPECT_EQ(capture[2 * onsets[1]], 9000.0f / 32768.0f);
                EXPECT_EQ(capture[2 * (onsets[1] + 1999)], 9000.0f / 32768.0f);
                EXPECT_EQ(capture[2 * (onsets[1] + 2000)], 0.0f);
            }
        }
    }
}
