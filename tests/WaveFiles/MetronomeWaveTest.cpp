// Wave settings through the whole road of a beat, in the program's own root on the offline
// backend: the real timer thread drives the metronome, the audio-file engine's players play
// into the mixer, and each click lands on the tempo's sample grid however late a player's
// thread woke. The stream is pulled behind the clock, so every sound reaches the mixer before
// its frame is rendered.
#include "WaveFixtures.h"

#include "TestSupport.h"

#include "Audio/AudioTestSupport.h"
#include "Core/Engine/Program.h"

#include <gtest/gtest.h>

TEST(MetronomeWithWaveFiles, ClicksLandOnTheSampleGrid)
{
    TestSupport::ScopedLog log; // the timer may not get real-time priority here
    TestSupport::TempFolder folder;
    auto offline = std::make_unique<Platform::Audio::OfflineBackend>();
    Platform::Audio::OfflineBackend& backend = *offline;
    Core::Program program(std::move(offline), {});
    Core::Metronome& metronome = program.Controller();

    Configuration::ConfigurationData settings;
    settings.SoundEngineType = Configuration::SoundSource::AudioFiles;
    settings.Bpm = 240; // a beat every 11025 frames
    settings.VisualIndicator = 0;
    for (int voice = 0; voice < Configuration::VoiceCount; ++voice) {
        settings.Instrument[voice] = voice;
        const std::string path = folder / ("voice" + std::to_string(voice) + ".wav");
        TestSupport::WriteFile(path, WaveFixtures::Wave({}, WaveFixtures::Pcm16(std::vector<std::int16_t>(2000, 9000))));
        settings.File[voice] = WaveFixtures::Wide(path);
    }
    ASSERT_EQ(metronome.Start(nullptr, settings), 0u);

    // Far behind, for a loaded machine; and room for a start that takes a few beats to get
    // from the stream's opening to its first tick (under ThreadSanitizer, say).
    AudioTest::PullBehindTheClock(backend, 16 * 11025, 400'000'000);
    metronome.Stop();
    EXPECT_EQ(program.Output().LateCount(), 0u);
    EXPECT_FALSE(backend.IsOpen()) << "Stop closes every player";

    const std::vector<std::size_t> onsets = AudioTest::Onsets(backend.Captured(), 5000, 0.0f);
    ASSERT_GE(onsets.size(), 10u);
    for (std::size_t beat = 1; beat < 10; ++beat)
        EXPECT_EQ(onsets[beat] - onsets[beat - 1], 11025u) << "beat " << beat;
    // Full volume: the file's samples unchanged, each click exactly as long as the file.
    EXPECT_EQ(backend.Captured()[2 * onsets[1]], 9000.0f / 32768.0f);
    EXPECT_EQ(backend.Captured()[2 * (onsets[1] + 1999)], 9000.0f / 32768.0f);
    EXPECT_EQ(backend.Captured()[2 * (onsets[1] + 2000)], 0.0f);
}
