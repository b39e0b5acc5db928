// Sample voices on the offline backend (each wave format is played in wave_file_tests): players
// overlapping and cutting one another on the new play's frame, rate conversion, and long sounds
// streamed by the streamer thread rendering exactly as the same sounds held whole.
#include "AudioTestSupport.h"

#include "Platform/Audio/SampleVoice.h"
#include "Platform/Audio/WordVoice.h"
#include "TestSupport.h"
#include "WaveFiles/WaveFixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace Platform::Audio;
using AudioTest::OfflineRig;
using WaveFixtures::Pcm16;

namespace {

// A stamp of a tick on frame of the rig's mixer.
Platform::SoundStamp AtFrame(const OfflineRig& rig, double frame)
{
    return Platform::SoundStamp{rig.TimeOf(frame), frame, &rig.mixer};
}

float Left(const OfflineRig& rig, std::size_t frame)
{
    return rig.backend.Captured()[2 * frame];
}

struct VoiceRig {
    explicit VoiceRig(const PcmFormat& format, std::string data, std::int32_t players = 1, const SoundLimits& limits = {})
        : bytes(std::move(data))
    {
        made = sound.Make(format, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                          static_cast<std::uint32_t>(bytes.size()), 44100, limits);
        if (made == NoError)
            opened = voice.Open(audio.mixer, sound, players, streamer);
    }
    // Pulls frames in blocks, each after the streamer has filled every ring it streams into.
    void Pull(std::uint64_t frames, std::uint32_t block = 256)
    {
        for (std::uint64_t done = 0; done < frames; done += block) {
            streamer.Wake();
            ASSERT_TRUE(TestSupport::WaitUntil([&] { return voice.StreamsFilled(); }));
            audio.backend.Pull(std::min<std::uint64_t>(block, frames - done), block);
        }
    }

    OfflineRig audio;
    std::string bytes;
    SampleSound sound;
    SampleStreamer streamer;
    SampleVoice voice;
    Result made = Error;
    Result opened = Error;
};

} // namespace

TEST(SampleVoice, PlayersOverlapAPlayCutsItsPlayersSoundOnItsOwnFrameAndCloseCutsAtOnce)
{
    VoiceRig rig({1, 44100, 16}, Pcm16(std::vector<std::int16_t>(5000, 8000)), 2);
    ASSERT_EQ(rig.opened, NoError);
    ASSERT_EQ(rig.audio.mixer.Acquire(), NoError); // keeps the stream open after Close
    ASSERT_EQ(rig.voice.Play(0, 1.0f, AtFrame(rig.audio, 1000.0)), NoError);
    ASSERT_EQ(rig.voice.Play(1, 1.0f, AtFrame(rig.audio, 2000.0)), NoError);
    ASSERT_EQ(rig.voice.Play(0, 0.5f, AtFrame(rig.audio, 3000.0)), NoError);
    ASSERT_EQ(rig.voice.Play(1, 1.0f, AtFrame(rig.audio, 9000.0)), NoError);
    rig.audio.backend.Pull(9500, 256);
    rig.voice.Close();
    rig.audio.backend.Pull(1000, 256);

    struct Stretch {
        std::size_t from, to;
        float level; // in 16-bit units
    };
    const Stretch expected[] = {
        {0, 1000, 0},       {1000, 2000, 8000}, {2000, 3000, 16000}, // player 0, then 1 with it
        {3000, 7000, 12000},                                          // player 0 cut, again at half
        {7000, 8000, 4000}, {8000, 9000, 0},    {9000, 9500, 8000},   // Close at 9500 cuts
        {9500, 10500, 0},
    };
    for (const Stretch& stretch : expected) {
        for (std::size_t frame = stretch.from; frame < stretch.to; ++frame)
            ASSERT_EQ(Left(rig.audio, frame) * 32768.0f, stretch.level) << "frame " << frame;
    }
    EXPECT_EQ(rig.audio.mixer.LateCount(), 0u);
    EXPECT_EQ(rig.voice.Play(0, 1.0f, AtFrame(rig.audio, 11000.0)), InvalidHandle);
    rig.audio.mixer.Release();
}

TEST(SampleVoice, LowerRatesAreConvertedToTheMixerRate)
{
    // 0.1 s of a 441 Hz sine at 22050 Hz, 16-bit mono.
    std::vector<std::int16_t> sine;
    for (int i = 0; i < 2205; ++i)
        sine.push_back(static_cast<std::int16_t>(std::lround(16000 * std::sin(2 * M_PI * 441.0 * i / 22050.0))));
    VoiceRig rig({1, 22050, 16}, Pcm16(sine));
    ASSERT_EQ(rig.opened, NoError);
    ASSERT_EQ(rig.voice.Play(0, 1.0f, AtFrame(rig.audio, 1000.0)), NoError);
    rig.audio.backend.Pull(10000, 256);

    const auto& capture = rig.audio.backend.Captured();
    EXPECT_LT(AudioTest::Peak(capture, 0, 1000), 0.01f);
    // 4410 frames at 44.1 kHz, 44 periods: 88 sign changes, and the level kept.
    int crossings = 0;
    for (std::size_t f = 1020; f < 5390; ++f)
        crossings += (Left(rig.audio, f) < 0) != (Left(rig.audio, f + 1) < 0);
    EXPECT_NEAR(crossings, 87, 2);
    EXPECT_NEAR(AudioTest::Peak(capture, 1100, 5300), 16000.0f / 32768.0f, 0.02f);
    EXPECT_LT(AudioTest::Peak(capture, 5500, 10000), 0.01f);
    EXPECT_NEAR(static_cast<double>(*AudioTest::Onset(capture, 0, 0.02f)), 1002.0, 3.0);
}

TEST(SampleVoice, AStreamedSoundPlaysExactlyAsTheSameSoundHeldWhole)
{
    // 0.3 s; streamed after a 20 ms head through rings of 10 ms.
    const SoundLimits streaming{0.05, 0.02, 0.01};
    for (const PcmFormat format : {PcmFormat{1, 44100, 16}, PcmFormat{2, 22050, 16}}) {
        std::vector<std::int16_t> samples(format.sampleRate * 3 / 10 * format.channels);
        for (std::size_t i = 0; i < samples.size(); ++i)
            samples[i] = static_cast<std::int16_t>(std::lround(12000 * std::sin(0.01 * i) + static_cast<double>(i % 97) * 40));
        VoiceRig whole(format, Pcm16(samples), 2);
        VoiceRig streamed(format, Pcm16(samples), 2, streaming);
        ASSERT_TRUE(streamed.streamer.Start());
        ASSERT_EQ(whole.opened, NoError);
        ASSERT_EQ(streamed.opened, NoError);
        ASSERT_FALSE(whole.sound.Streamed());
        ASSERT_TRUE(streamed.sound.Streamed());
        // Two overlapping plays, and a third that cuts the first inside its stream.
        for (VoiceRig* rig : {&whole, &streamed}) {
            ASSERT_EQ(rig->voice.Play(0, 1.0f, AtFrame(rig->audio, 500.0)), NoError);
            ASSERT_EQ(rig->voice.Play(1, 0.7f, AtFrame(rig->audio, 2500.0)), NoError);
            ASSERT_EQ(rig->voice.Play(0, 0.5f, AtFrame(rig->audio, 6000.0)), NoError);
            rig->Pull(6000 + 13230 + 1000);
        }
        const auto& expected = whole.audio.backend.Captured();
        const auto& actual = streamed.audio.backend.Captured();
        ASSERT_EQ(actual.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i)
            ASSERT_EQ(actual[i], expected[i]) << format.channels << " channels, frame " << i / 2;
        EXPECT_GT(AudioTest::Peak(actual, 19000, 19200), 0.1f); // the third play still sounds
        EXPECT_EQ(streamed.voice.Underruns(), 0u);
    }
}

TEST(SampleVoice, RefusesWhatItCannotPlay)
{
    struct Case {
        const char* name;
        PcmFormat format;
        Result result;
    };
    const Case cases[] = {
        {"three channels", {3, 44100, 16}, BadFormat},
        {"12 bits", {2, 44100, 12}, BadFormat},
        {"16-bit float", {1, 44100, 16, SampleEncoding::Float}, BadFormat},
        {"above 192 kHz", {2, HighestMaterialRate + 1, 16}, BadFormat},
        {"below 8 kHz", {1, LowestMaterialRate - 1, 16}, BadFormat},
    };
    for (const Case& c : cases) {
        VoiceRig rig(c.format, Pcm16({1, 2, 3, 4}));
        EXPECT_EQ(rig.made, c.result) << c.name;
        EXPECT_TRUE(rig.sound.Empty()) << c.name;
    }
    VoiceRig rig({1, 44100, 16}, Pcm16({1, 2}), 2);
    ASSERT_EQ(rig.opened, NoError);
    EXPECT_EQ(rig.voice.Open(rig.audio.mixer, rig.sound, 2, rig.streamer), Allocated);
    EXPECT_EQ(rig.voice.Play(2, 1.0f, AtFrame(rig.audio, 0.0)), InvalidHandle);
    rig.audio.backend.FailOpenWith(NoDriver);
    rig.voice.Close();
    EXPECT_EQ(rig.voice.Open(rig.audio.mixer, rig.sound, 2, rig.streamer), NoDriver);
}

// The spoken count's voice: each word begins on its own frame and cuts the one before it
// there, fading it out over a few frames.
TEST(WordVoice, EachWordStartsOnItsFrameAndCutsTheOneBefore)
{
    OfflineRig audio;
    SampleSound words[2];
    const std::string long_ = Pcm16(std::vector<std::int16_t>(4000, 8000));
    const std::string short_ = Pcm16(std::vector<std::int16_t>(500, -16000));
    for (auto [sound, bytes] : {std::pair{&words[0], &long_}, std::pair{&words[1], &short_}})
        ASSERT_EQ(sound->Make({1, 44100, 16}, reinterpret_cast<const std::uint8_t*>(bytes->data()),
                              static_cast<std::uint32_t>(bytes->size()), 44100),
                  NoError);
    const SampleSound* list[] = {&words[0], &words[1]};
    WordVoice voice;
    ASSERT_EQ(voice.Open(audio.mixer, list, 2), NoError);
    ASSERT_EQ(voice.Play(0, 1.0f, AtFrame(audio, 1000.0)), NoError);
    ASSERT_EQ(voice.Play(1, 0.5f, AtFrame(audio, 2000.0)), NoError);
    EXPECT_EQ(voice.Play(2, 1.0f, AtFrame(audio, 2100.0)), InvalidHandle);
    audio.backend.Pull(8000, 256);
    const float unit = 1.0f / 32768.0f;
    EXPECT_EQ(Left(audio, 999), 0.0f);
    EXPECT_FLOAT_EQ(Left(audio, 1000), 8000 * unit);
    EXPECT_FLOAT_EQ(Left(audio, 1999), 8000 * unit);
    EXPECT_LT(Left(audio, 2000), 0.0f); // the new word, and the old one fading out
    EXPECT_GT(Left(audio, 2000), -8000 * unit);
    EXPECT_FLOAT_EQ(Left(audio, 2000 + WordVoice::FadeFrames), -8000 * unit);
    EXPECT_FLOAT_EQ(Left(audio, 2499), -8000 * unit);
    EXPECT_EQ(Left(audio, 2500), 0.0f); // the first word does not come back
    EXPECT_EQ(voice.StartedWords(), 2u);
}
