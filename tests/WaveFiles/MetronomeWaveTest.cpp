// Wave settings through the whole road of a beat: the real timer thread drives the
// metronome, the audio-file engine's players play into the offline backend, and each click
// lands on the tempo's sample grid however late a player's thread woke. The stream is pulled
// behind the clock, so every sound reaches the mixer before its frame is rendered.
#include "WaveFixtures.h"

#include "TestSupport.h"

#include "Audio/AudioTestSupport.h"
#include "Core/WaveFiles/AudioSoundEngine.h"
#include "Core/Engine/EngineObjects.h"
#include "Core/Engine/IMetronomeTimer.h"
#include "Core/Engine/Metronome.h"
#include "Core/Engine/Timer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

TEST(MetronomeWithWaveFiles, ClicksLandOnTheSampleGrid)
{
    TestSupport::ScopedLog log; // the timer may not get real-time priority here
    TestSupport::TempFolder folder;
    Platform::Audio::OfflineBackend backend;
    Platform::Audio::Mixer mixer(backend);
    Core::AudioSoundEngine engine(&mixer);
    Core::Timer timer;
    Core::ThreadTimer threadTimer(timer);
    Core::MetronomeServices services = Core::ProgramMetronomeServices();
    services.timer = &threadTimer;
    services.soundEngineFor = [&engine](std::int32_t) -> Core::ISoundEngine* { return &engine; };
    services.indicator = nullptr;
    Core::Metronome metronome(services);

    Configuration::ConfigurationData settings;
    settings.SoundEngineType = 1;
    settings.Bpm = 240; // a beat every 11025 frames
    settings.VisualIndicator = 0;
    for (int voice = 0; voice < Configuration::VoiceCount; ++voice) {
        settings.Instrument[voice] = voice;
        const std::string path = folder / ("voice" + std::to_string(voice) + ".wav");
        TestSupport::WriteFile(path, WaveFixtures::Wave({}, WaveFixtures::Pcm16(std::vector<std::int16_t>(2000, 9000))));
        Platform::Text::Copy(settings.File[voice], WaveFixtures::Wide(path));
    }
    ASSERT_EQ(metronome.Start(nullptr, settings), 0u);

    constexpr std::int64_t PullLag = 400'000'000; // stay this far behind the clock, for a loaded machine
    const std::uint64_t wanted = 12 * 11025;
    while (backend.Frames() < wanted) {
        const std::int64_t behind = Platform::Clock::Now() - backend.StartTime() - PullLag;
        const auto reachable = behind > 0 ? static_cast<std::uint64_t>(static_cast<double>(behind) * 44100.0 / 1e9) : 0u;
        if (reachable > backend.Frames())
            backend.Pull(std::min(reachable, wanted) - backend.Frames(), 256);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    metronome.Stop();
    EXPECT_EQ(mixer.LateCount(), 0u);
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
