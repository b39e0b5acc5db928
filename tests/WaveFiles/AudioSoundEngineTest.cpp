// The audio-file engine through the offline audio backend: what Initialise accepts and
// refuses, the players' round robin, sounds placed at the tick's time and scaled by the
// volume, overlapping and cut sounds, long files streamed, error 1000, and Close stopping
// every voice.
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
        settings.File[voice] = Wide(folder / name);
    }
    bool Play(std::uint32_t volume, std::uint32_t voice, double frame)
    {
        return AtTick(audio.TimeOf(frame), [&] { return engine.PlaySound(volume, voice); });
    }
    // Pulls the stream in blocks, each after every long sound's rings have been filled (the
    // offline stream is pulled faster than the streamer would fill them in real time).
    void Pull(std::uint64_t frames)
    {
        for (std::uint64_t done = 0; done < frames; done += 4096) {
            for (std::size_t voice = 0; voice < Configuration::VoiceCount; ++voice)
                ASSERT_TRUE(TestSupport::WaitUntil([&] { return engine.Voice(voice).Output().StreamsFilled(); }));
            audio.backend.Pull(std::min<std::uint64_t>(4096, frames - done), 256);
        }
    }
    // The stream's level (left channel) at frame, in 16-bit sample units.
    double Level(std::size_t frame) const { return audio.backend.Captured()[2 * frame] * 32768.0; }
    // A play stamped with a tick's time (not its frame) starts one lead later.
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
        ASSERT_NEAR(rig.Level(frame), level, 0.01) << "frame " << frame << " of [" << from << ", " << to << ")";
}

} // namespace

TEST(AudioSoundEngine, SamplesStartAtTheTicksTimeScaledByTheVolume)
{
    // (What a sound plays, sample by sample, is the sample voices' own test.)
    EngineRig rig;
    rig.SetFile(0, "click.wav", Wave(Mono16, Constant(3000, 8000)));
    ASSERT_TRUE(rig.engine.Initialise(rig.settings));
    EXPECT_EQ(rig.engine.Voice(0).PlayersInUse(), 2);

    // Volumes above 127 play at full scale.
    const std::pair<std::uint32_t, double> plays[] = {{64, 1000.0}, {127, 5000.0}, {500, 9000.0}};
    for (const auto& [volume, frame] : plays)
        ASSERT_TRUE(rig.Play(volume, 0, frame));
    rig.Pull(14000);
    ExpectLevel(rig, 0, rig.Start(1000.0), 0.0);
    for (const auto& [volume, frame] : plays) {
        ExpectLevel(rig, rig.Start(frame), rig.Start(frame) + 3000, 8000 * std::min(volume, 127u) / 127.0);
        ExpectLevel(rig, rig.Start(frame) + 3000, rig.Start(frame + 4000), 0.0);
    }
    EXPECT_EQ(rig.audio.mixer.LateCount(), 0u);
}

TEST(AudioSoundEngine, PlaysGoRoundThePoolFromPlayerZeroAfterEveryLoadAndCutThatPlayersSound)
{
    EngineRig rig;
    rig.SetFile(0, "long.wav", Wave(Mono16, Constant(5000, 8000)));
    rig.settings.Bpm = 200; // 0 + 1 + 2 players
    ASSERT_TRUE(rig.engine.Initialise(rig.settings));
    ASSERT_EQ(rig.engine.Voice(0).PlayersInUse(), 3);
    std::vector<std::int32_t> used;
    for (int play = 0; play < 4; ++play) {
        ASSERT_TRUE(rig.Play(127, 0, 1000.0 + 500 * play));
        used.push_back(rig.engine.Voice(0).NextPlayer());
    }
    EXPECT_EQ(used, (std::vector<std::int32_t>{0, 1, 2, 0}));
    rig.Pull(10000);
    // Three sounds at most: the fourth cuts the first on its own frame.
    ExpectLevel(rig, rig.Start(2000.0), rig.Start(6500.0), 24000.0);
    ExpectLevel(rig, rig.Start(6500.0), rig.Start(7000.0), 16000.0);
    ExpectLevel(rig, rig.Start(7000.0), rig.Start(7500.0), 8000.0);
    ExpectLevel(rig, rig.Start(7500.0), 10000, 0.0);
    rig.engine.Close();

    ASSERT_TRUE(rig.engine.Initialise(rig.settings));
    ASSERT_TRUE(rig.Play(100, 0, 0.0));
    EXPECT_EQ(rig.engine.Voice(0).NextPlayer(), 0);
}

TEST(WaveFilePlayers, GrowWithFileTempoAndSubdivisionUpToTwenty)
{
    auto settings = [](std::int32_t bpm, std::int32_t subdivision) {
        Configuration::ConfigurationData data;
        data.Bpm = bpm;
        data.BeatType = Configuration::BeatKind::Simple;
        data.Subdivision1 = subdivision;
        return data;
    };
    auto players = [](std::uint32_t fileSize, const Configuration::ConfigurationData& data) {
        return Core::WaveFile::PlayerCount(fileSize, Core::AudioSoundEngine::ExtraPlayers(data));
    };
    EXPECT_EQ(players(50 * 1024, settings(120, 0)), 2);
    EXPECT_EQ(players(3 * 1024 * 1024, settings(400, 0)), 20);
    EXPECT_EQ(players(102399, settings(199, 3)), 2);
    EXPECT_EQ(players(102400, settings(200, 4)), 5);
    // Compound bars count a subdivision of 3; custom rhythms their own.
    auto compound = settings(120, 8);
    compound.BeatType = Configuration::BeatKind::BeatsPerBar;
    compound.CompoundTime = 1;
    EXPECT_EQ(players(0, compound), 2);
    auto rhythm = settings(120, 0);
    rhythm.BeatType = Configuration::BeatKind::CustomRhythm;
    rhythm.CrSubdivision = 4;
    EXPECT_EQ(players(0, rhythm), 3);
    EXPECT_EQ(Core::WaveFile::PlayerCount(0, -5), 1); // never fewer than one
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
        {"compressed", Wave({2, 1, 22050, 4}, std::string(256, '\x11')), 1000},
        {"no output", Wave(Mono16, Constant(10, 1)), 6, true, "\tFunction: Core::WaveFile::OpenAudioDevice"},
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

    // A voice without a file, and voice numbers past the twelve voices; the log entry is
    // written by Close, off the timer thread.
    for (const std::uint32_t voice : {2u, 12u, 4000000000u}) {
        EXPECT_FALSE(rig.Play(100, voice, 0.0)) << voice;
        EXPECT_EQ(rig.engine.GetLastErrorCode(), 1000u) << voice;
    }
    EXPECT_FALSE(rig.log.Has("Attempting to play sound"));

    // A voice whose path was emptied stays closed.
    rig.engine.Close();
    EXPECT_TRUE(rig.log.Has("[Warn]  Attempting to play sound when _waveOutHandle not initialised"));
    rig.settings.File[1].clear();
    ASSERT_TRUE(rig.engine.Initialise(rig.settings));
    EXPECT_FALSE(rig.Play(100, 1, 0.0));
    EXPECT_EQ(rig.engine.GetLastErrorCode(), 1000u);

    // And nothing plays once the engine is closed.
    rig.engine.Close();
    EXPECT_FALSE(rig.Play(100, 0, 0.0));
    EXPECT_EQ(rig.engine.GetLastErrorCode(), 1000u);
}

TEST(AudioSoundEngine, ALongFilePlaysOnPastItsHeadAndCloseStopsIt)
{
    EngineRig rig;
    rig.SetFile(0, "long.wav", Wave(Mono16, Constant(500000, 100))); // eleven seconds
    ASSERT_TRUE(rig.engine.Initialise(rig.settings));
    ASSERT_TRUE(rig.engine.Voice(0).Sound()->Streamed());
    ASSERT_TRUE(rig.Play(127, 0, 100.0));
    ASSERT_TRUE(rig.Play(127, 0, 30000.0));
    rig.Pull(2 * 44100);
    ExpectLevel(rig, rig.Start(100.0), rig.Start(30000.0), 100.0);
    ExpectLevel(rig, rig.Start(30000.0), 2 * 44100, 200.0); // the head held is one second
    EXPECT_EQ(rig.engine.Voice(0).Output().Underruns(), 0u);

    rig.engine.Close();
    // The voice gave its output back: the stream is closed.
    EXPECT_FALSE(rig.audio.backend.IsOpen());
    ASSERT_TRUE(rig.engine.Initialise(rig.settings));
    EXPECT_TRUE(rig.audio.backend.IsOpen());
}

TEST(AudioSoundEngine, AFileIsReadOnceForAllItsVoicesAndAgainOnlyWhenItChanged)
{
    EngineRig rig;
    rig.SetFile(0, "shared.wav", Wave(Mono16, Constant(1000, 8000)));
    for (int voice = 1; voice < Configuration::VoiceCount; ++voice)
        rig.settings.File[voice] = Wide(rig.folder / "shared.wav");
    ASSERT_TRUE(rig.engine.Initialise(rig.settings));
    const Platform::Audio::SampleSound* sound = rig.engine.Voice(0).Sound();
    for (std::size_t voice = 1; voice < Configuration::VoiceCount; ++voice)
        EXPECT_EQ(rig.engine.Voice(voice).Sound(), sound) << voice;
    rig.engine.Close();

    // Unchanged (same file, size and time): not read again, even though its bytes differ.
    struct stat before {};
    ASSERT_EQ(stat((rig.folder / "shared.wav").c_str(), &before), 0);
    TestSupport::WriteFile(rig.folder / "shared.wav", Wave(Mono16, Constant(1000, 1)));
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, (rig.folder / "shared.wav").c_str(), times, 0), 0);
    ASSERT_TRUE(rig.engine.Initialise(rig.settings));
    EXPECT_EQ(rig.engine.Voice(0).Sound()->Frames()[0], 8000);
    rig.engine.Close();
    TestSupport::WriteFile(rig.folder / "shared.wav", Wave(Mono16, Constant(500, 1)));
    ASSERT_TRUE(rig.engine.Initialise(rig.settings));
    EXPECT_EQ(rig.engine.Voice(7).Sound()->Frames()[0], 1);
}

TEST(AudioSoundEngine, PrepareOpensTheOutputAndReadsTheFilesInTheBackgroundForTheNextInitialise)
{
    EngineRig rig;
    rig.SetFile(0, "click.wav", Wave(Mono16, Constant(1000, 8000)));
    rig.engine.Prepare(rig.settings);
    ASSERT_TRUE(TestSupport::WaitUntil([&] { return rig.engine.IsPrepared(rig.settings); }));
    EXPECT_NE(rig.engine.Voice(0).Sound(), nullptr); // read before any Initialise
    EXPECT_TRUE(rig.audio.backend.IsOpen());
    ASSERT_TRUE(rig.engine.Initialise(rig.settings));
    // The output stays open between runs.
    rig.engine.Close();
    EXPECT_TRUE(rig.audio.backend.IsOpen());
}
