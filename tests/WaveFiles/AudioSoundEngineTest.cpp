// The audio-file engine through the offline audio backend: what Initialise accepts and
// refuses, the players' round robin, sounds placed at the tick's frame and scaled by the
// volume, overlapping and cut sounds, error 1000, and Close ending every player.
#include "WaveFixtures.h"

#include "Audio/AudioTestSupport.h"
#include "TestSupport.h"

#include "Core/WaveFiles/AudioSoundEngine.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

using namespace WaveFixtures;
using AudioTest::AtTick;

namespace {

constexpr Format Mono16{1, 1, 44100, 16};

struct EngineRig {
    void SetFile(int voice, const std::string& name, const std::string& bytes)
    {
        TestSupport::WriteFile(folder / name, bytes);
        Platform::Text::Copy(settings.File[voice], Wide(folder / name));
    }
    bool Play(std::uint32_t volume, std::uint32_t voice, double frame)
    {
        return AtTick(audio.TimeOf(frame), [&] { return engine.PlaySound(volume, voice); });
    }
    // Waits (loosely) until the player has handed the first buffer of its count-th play to
    // the output, so that pulling the stream afterwards renders it.
    bool WaitStarted(std::size_t voice, std::int32_t player, std::uint64_t count)
    {
        return TestSupport::WaitUntil([&] { return engine.Voice(voice).Player(player)->StartedPlays() >= count; });
    }
    // The stream's level (left channel) at frame, in 16-bit sample units.
    double Level(std::size_t frame) const { return audio.backend.Captured()[2 * frame] * 32768.0; }
    std::size_t Start(double frame) const { return static_cast<std::size_t>(frame) + static_cast<std::size_t>(audio.mixer.LatencyFrames()); }

    TestSupport::ScopedLog log;
    TestSupport::TempFolder folder;
    AudioTest::OfflineRig audio;
    Core::AudioSoundEngine engine{audio.mixer};
    Configuration::ConfigurationData settings;
};

std::string Constant(std::size_t samples, std::int16_t value)
{
    return Pcm16(std::vector<std::int16_t>(samples, value));
}

// Checks that frames [from, to) all sit at level.
void ExpectLevel(const EngineRig& rig, std::size_t from, std::size_t to, double level)
{
    for (std::size_t frame = from; frame < to; ++frame)
        ASSERT_EQ(rig.Level(frame), level) << "frame " << frame << " of [" << from << ", " << to << ")";
}

} // namespace

TEST(AudioSoundEngine, SamplesStartAtTheTicksFrameScaledByTheVolume)
{
    EngineRig rig;
    std::vector<std::int16_t> samples(3000);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>((i % 2 == 0 ? 1 : -1) * static_cast<int>(i * 10 + 5));
    rig.SetFile(0, "ramp.wav", Wave(Mono16, Pcm16(samples)));
    ASSERT_TRUE(rig.engine.Initialise(rig.settings));
    EXPECT_EQ(rig.engine.Voice(0).PlayersInUse(), 2);

    ASSERT_TRUE(rig.Play(64, 0, 1000.0));
    ASSERT_TRUE(rig.WaitStarted(0, 0, 1));
    rig.audio.backend.Pull(8000, 256);
    const std::size_t start = rig.Start(1000.0);
    EXPECT_EQ(AudioTest::Onset(rig.audio.backend.Captured(), 0, 0.0f), std::optional<std::size_t>(start));
    for (std::size_t i = 0; i < samples.size(); ++i)
        ASSERT_EQ(rig.Level(start + i), static_cast<int>(samples[i] * (64.0 / 127.0))) << "sample " << i;
    ExpectLevel(rig, start + samples.size(), 8000, 0.0);

    // The same player again at full volume, after the other player: rescaled anew.
    for (const std::uint32_t volume : {100u, 127u}) {
        const double frame = static_cast<double>(rig.audio.backend.Frames()) + 500.0;
        ASSERT_TRUE(rig.Play(volume, 0, frame));
        ASSERT_TRUE(rig.WaitStarted(0, volume == 100 ? 1 : 0, volume == 100 ? 1 : 2));
        rig.audio.backend.Pull(8000, 256);
        for (std::size_t i = 0; i < samples.size(); ++i)
            ASSERT_EQ(rig.Level(rig.Start(frame) + i), static_cast<int>(samples[i] * (volume / 127.0))) << volume;
    }
    EXPECT_EQ(rig.audio.mixer.LateCount(), 0u);
}

TEST(AudioSoundEngine, QuickPlaysOverlapOnTwoPlayersAndAThirdCutsTheFirst)
{
    EngineRig rig;
    rig.SetFile(0, "long.wav", Wave(Mono16, Constant(5000, 8000)));
    ASSERT_TRUE(rig.engine.Initialise(rig.settings));
    ASSERT_EQ(rig.engine.Voice(0).PlayersInUse(), 2);

    ASSERT_TRUE(rig.Play(127, 0, 1000.0));
    ASSERT_TRUE(rig.Play(127, 0, 2000.0));
    ASSERT_TRUE(rig.WaitStarted(0, 0, 1));
    ASSERT_TRUE(rig.WaitStarted(0, 1, 1));
    // Render half a second of stream into the overlap, then player 0 gets the third sound.
    const std::size_t cut = rig.Start(2500.0);
    rig.audio.backend.Pull(cut, 256);
    ASSERT_TRUE(rig.Play(127, 0, 3000.0));
    EXPECT_EQ(rig.engine.Voice(0).NextPlayer(), 0);
    ASSERT_TRUE(rig.WaitStarted(0, 0, 2));
    rig.audio.backend.Pull(12000 - cut, 256);

    ExpectLevel(rig, 0, rig.Start(1000.0), 0.0);
    ExpectLevel(rig, rig.Start(1000.0), rig.Start(2000.0), 8000.0);
    ExpectLevel(rig, rig.Start(2000.0), cut, 16000.0);
    ExpectLevel(rig, cut, rig.Start(3000.0), 8000.0);           // the first sound was cut
    ExpectLevel(rig, rig.Start(3000.0), rig.Start(7000.0), 16000.0);
    ExpectLevel(rig, rig.Start(7000.0), rig.Start(8000.0), 8000.0);
    ExpectLevel(rig, rig.Start(8000.0), 12000, 0.0);
    EXPECT_EQ(rig.audio.mixer.LateCount(), 0u);
}

TEST(AudioSoundEngine, RoundRobinStartsAtPlayerZeroAfterEveryLoad)
{
    EngineRig rig;
    rig.SetFile(0, "100k.wav", WaveOfSize(Mono16, 102400)); // 1 + 0 + 2 players at 120 bpm
    ASSERT_TRUE(rig.engine.Initialise(rig.settings));
    ASSERT_EQ(rig.engine.Voice(0).PlayersInUse(), 3);
    std::vector<std::int32_t> used;
    for (int play = 0; play < 4; ++play) {
        // Requests that reach a player before its thread wakes collapse into the last one, so
        // each play waits until its player has started it.
        ASSERT_TRUE(rig.Play(100, 0, 1000.0 + 500 * play));
        used.push_back(rig.engine.Voice(0).NextPlayer());
        ASSERT_TRUE(rig.WaitStarted(0, used.back(), play < 3 ? 1 : 2));
    }
    EXPECT_EQ(used, (std::vector<std::int32_t>{0, 1, 2, 0}));
    rig.engine.Close();

    // A smaller pool reuses the array; the next play starts at player 0 again.
    rig.SetFile(0, "small.wav", Wave(Mono16, Constant(100, 1)));
    ASSERT_TRUE(rig.engine.Initialise(rig.settings));
    EXPECT_EQ(rig.engine.Voice(0).PlayersInUse(), 2);
    EXPECT_EQ(rig.engine.Voice(0).PlayersAllocated(), 3);
    ASSERT_TRUE(rig.Play(100, 0, 0.0));
    EXPECT_EQ(rig.engine.Voice(0).NextPlayer(), 0);
}

TEST(AudioSoundEngine, InitialiseRefusesWhatCannotPlay)
{
    struct Case {
        const char* name;
        std::string file;   // "" leaves every path empty; "-" names a file that is not there
        std::uint32_t code; // GetLastErrorCode after the refusal; 0: accepted
        bool noOutput = false;
        const char* logged = "";
    };
    const Case cases[] = {
        {"no file at all", "", 1000},
        {"missing", "-", 1000},
        {"48 kHz", WaveOfSize({1, 1, 48000, 16}, 4096), 1000},
        {"no data chunk", Riff(FormatChunk(Mono16)), 1000},
        {"compressed", Wave({2, 1, 22050, 4}, std::string(256, '\x11')), 32},
        {"no output", Wave(Mono16, Constant(10, 1)), 6, true, "\tFunction: Core::WavePlayer::OpenAudioDevice"},
        {"a large file only warns", WaveOfSize(Mono16, 1048577), 0},
    };
    for (const Case& c : cases) {
        EngineRig rig;
        if (c.noOutput)
            rig.audio.backend.FailOpenWith(Platform::Audio::NoDriver);
        if (!c.file.empty())
            rig.SetFile(11, "sound.wav", c.file == "-" ? "" : c.file);
        if (c.file == "-")
            std::filesystem::remove(rig.folder / "sound.wav");
        EXPECT_EQ(rig.engine.Initialise(rig.settings), c.code == 0) << c.name;
        if (c.code == 0) {
            EXPECT_EQ(rig.engine.Voice(11).PlayersInUse(), 12);
            continue;
        }
        EXPECT_EQ(rig.engine.GetLastErrorCode(), c.code) << c.name;
        EXPECT_TRUE(rig.log.Has(c.logged)) << c.name;
        rig.engine.Close();
        EXPECT_FALSE(rig.audio.backend.IsOpen()) << c.name;
    }
}

TEST(AudioSoundEngine, PlaysWithoutAnOpenOutputFailWithCode1000)
{
    EngineRig rig;
    rig.SetFile(0, "a.wav", Wave(Mono16, Constant(10, 1)));
    rig.SetFile(1, "b.wav", Wave(Mono16, Constant(10, 1)));
    ASSERT_TRUE(rig.engine.Initialise(rig.settings));
    ASSERT_TRUE(rig.Play(100, 1, 0.0));
    EXPECT_EQ(rig.engine.GetLastErrorCode(), 0u);

    // A voice without a file, and voice numbers past the twelve voices.
    for (const std::uint32_t voice : {2u, 12u, 4000000000u}) {
        EXPECT_FALSE(rig.Play(100, voice, 0.0)) << voice;
        EXPECT_EQ(rig.engine.GetLastErrorCode(), 1000u) << voice;
    }
    EXPECT_TRUE(rig.log.Has("[Warn]  Attempting to play sound when _waveOutHandle not initialised"));

    // A voice whose path was emptied keeps its old pool, closed.
    rig.engine.Close();
    rig.settings.File[1][0] = 0;
    ASSERT_TRUE(rig.engine.Initialise(rig.settings));
    EXPECT_EQ(rig.engine.Voice(1).PlayersAllocated(), 2);
    EXPECT_FALSE(rig.Play(100, 1, 0.0));
    EXPECT_EQ(rig.engine.GetLastErrorCode(), 1000u);

    // And nothing plays once the engine is closed.
    rig.engine.Close();
    EXPECT_FALSE(rig.Play(100, 0, 0.0));
    EXPECT_EQ(rig.engine.GetLastErrorCode(), 1000u);
}

TEST(AudioSoundEngine, CloseEndsPlayersThatAreStillQueuing)
{
    EngineRig rig;
    rig.SetFile(0, "long.wav", Wave(Mono16, Constant(500000, 100))); // eleven seconds
    ASSERT_TRUE(rig.engine.Initialise(rig.settings));
    ASSERT_TRUE(rig.Play(127, 0, 100.0));
    ASSERT_TRUE(rig.Play(127, 0, 200.0));
    ASSERT_TRUE(rig.WaitStarted(0, 1, 1));
    rig.audio.backend.Pull(44100, 512);

    rig.engine.Close();
    // Every player ended and gave its output back: the stream is closed.
    for (std::int32_t player = 0; player < rig.engine.Voice(0).PlayersInUse(); ++player)
        EXPECT_FALSE(rig.engine.Voice(0).Player(player)->IsOpen()) << player;
    EXPECT_FALSE(rig.audio.backend.IsOpen());
    ASSERT_TRUE(rig.engine.Initialise(rig.settings));
    EXPECT_TRUE(rig.audio.backend.IsOpen());
}

TEST(AudioSoundEngine, AFileIsReadOnceForAllItsVoicesAndAgainOnlyWhenItChanged)
{
    EngineRig rig;
    rig.SetFile(0, "shared.wav", Wave(Mono16, Constant(1000, 8000)));
    for (int voice = 1; voice < Configuration::VoiceCount; ++voice)
        Platform::Text::Copy(rig.settings.File[voice], Wide(rig.folder / "shared.wav"));
    ASSERT_TRUE(rig.engine.Initialise(rig.settings));
    const std::uint8_t* samples = rig.engine.Voice(0).Samples();
    for (std::size_t voice = 1; voice < Configuration::VoiceCount; ++voice) {
        EXPECT_EQ(rig.engine.Voice(voice).Samples(), samples) << voice;
        EXPECT_EQ(rig.engine.Voice(voice).SampleCapacity(), 0u) << voice;
    }
    // Each voice plays the one copy at its own volume.
    ASSERT_TRUE(rig.Play(64, 11, 3000.0));
    ASSERT_TRUE(rig.WaitStarted(11, 0, 1));
    rig.audio.backend.Pull(6000, 256);
    ExpectLevel(rig, rig.Start(3000.0), rig.Start(4000.0), static_cast<int>(8000 * (64.0 / 127.0)));
    rig.engine.Close();

    // Unchanged (same file, size and time): not read again, even though its bytes differ.
    struct stat before {};
    ASSERT_EQ(stat((rig.folder / "shared.wav").c_str(), &before), 0);
    TestSupport::WriteFile(rig.folder / "shared.wav", Wave(Mono16, Constant(1000, 1)));
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, (rig.folder / "shared.wav").c_str(), times, 0), 0);
    ASSERT_TRUE(rig.engine.Initialise(rig.settings));
    EXPECT_EQ(rig.engine.Voice(0).Samples()[0], 8000 & 0xFF);
    rig.engine.Close();
    TestSupport::WriteFile(rig.folder / "shared.wav", Wave(Mono16, Constant(500, 1)));
    ASSERT_TRUE(rig.engine.Initialise(rig.settings));
    EXPECT_EQ(rig.engine.Voice(7).Samples()[0], 1);
}

TEST(AudioSoundEngine, PrepareOpensTheOutputAndReadsTheFilesInTheBackgroundForTheNextInitialise)
{
    EngineRig rig;
    rig.SetFile(0, "click.wav", Wave(Mono16, Constant(1000, 8000)));
    rig.engine.Prepare(rig.settings);
    ASSERT_TRUE(TestSupport::WaitUntil([&] { return rig.engine.IsPrepared(rig.settings); }));
    EXPECT_NE(rig.engine.Voice(0).Samples(), nullptr); // read before any Initialise
    EXPECT_TRUE(rig.audio.backend.IsOpen());
    ASSERT_TRUE(rig.engine.Initialise(rig.settings));
    // The output stays open between runs.
    rig.engine.Close();
    EXPECT_TRUE(rig.audio.backend.IsOpen());
}
