// The pieces of the wave players that need no output: how many players a sound gets,
// volume rescaling of both sample formats, and how a sound is cut into buffers.
#include "Core/WaveFiles/AudioSoundEngine.h"
#include "Core/WaveFiles/WaveFile.h"
#include "Core/WaveFiles/WavePlayer.h"

#include <gtest/gtest.h>

using Core::WaveFile;
using Core::WavePlayer;

namespace {

Configuration::ConfigurationData Settings(std::int32_t bpm, std::int32_t subdivision)
{
    Configuration::ConfigurationData settings;
    settings.Bpm = bpm;
    settings.BeatType = Configuration::BeatKind::Simple;
    settings.Subdivision1 = subdivision;
    return settings;
}

std::int32_t Players(std::uint32_t fileSize, const Configuration::ConfigurationData& settings)
{
    return WaveFile::PlayerCount(fileSize, Core::AudioSoundEngine::ExtraPlayers(settings));
}

std::int16_t Scaled16(std::int16_t sample, std::uint32_t volume)
{
    const std::uint8_t in[2] = {static_cast<std::uint8_t>(sample & 0xFF), static_cast<std::uint8_t>((sample >> 8) & 0xFF)};
    std::uint8_t out[2] = {};
    WavePlayer::Rescale(in, out, 2, 16, volume);
    return static_cast<std::int16_t>(out[0] | out[1] << 8);
}

std::uint8_t Scaled8(std::uint8_t sample, std::uint32_t volume)
{
    std::uint8_t out = 0;
    WavePlayer::Rescale(&sample, &out, 1, 8, volume);
    return out;
}

} // namespace

TEST(WavePlayerCount, GrowsWithFileTempoAndSubdivisionUpToTwenty)
{
    EXPECT_EQ(Players(50 * 1024, Settings(120, 0)), 2);
    EXPECT_EQ(Players(3 * 1024 * 1024, Settings(400, 0)), 20);
    EXPECT_EQ(Players(102399, Settings(199, 3)), 2);
    EXPECT_EQ(Players(102400, Settings(200, 4)), 5);
    // Compound bars count a subdivision of 3; custom rhythms their own.
    auto compound = Settings(120, 8);
    compound.BeatType = Configuration::BeatKind::BeatsPerBar;
    compound.CompoundTime = 1;
    EXPECT_EQ(Players(0, compound), 2);
    auto rhythm = Settings(120, 0);
    rhythm.BeatType = Configuration::BeatKind::CustomRhythm;
    rhythm.CrSubdivision = 4;
    EXPECT_EQ(Players(0, rhythm), 3);
    EXPECT_EQ(WaveFile::PlayerCount(0, -5), 1); // never fewer than one
}

TEST(WavePlayerRescale, SixteenBitSignedAndEightBitAroundItsMidpoint)
{
    EXPECT_EQ(Scaled16(32767, 64), 16512);
    EXPECT_EQ(Scaled16(-32768, 64), -16513); // -16513.008, truncated toward zero
    EXPECT_EQ(Scaled16(-32768, 127), -32768);
    EXPECT_EQ(Scaled16(12345, 127), 12345);
    EXPECT_EQ(Scaled16(32767, 0), 0);
    EXPECT_EQ(Scaled16(1000, 500), 1000) << "volumes above 127 play at full scale";

    // 8-bit samples are unsigned: silence is 128, and scaling shrinks toward it.
    EXPECT_EQ(Scaled8(255, 127), 255);
    EXPECT_EQ(Scaled8(255, 64), 192);
    EXPECT_EQ(Scaled8(0, 64), 64);
    EXPECT_EQ(Scaled8(128, 64), 128);
    EXPECT_EQ(Scaled8(0, 0), 128);
    EXPECT_EQ(Scaled8(255, 0), 128);

    // Odd 16-bit data keeps its last byte; every sample pair is scaled in place order.
    const std::uint8_t in[5] = {0xFF, 0x7F, 0x00, 0x80, 0x42};
    std::uint8_t out[5] = {};
    WavePlayer::Rescale(in, out, 5, 16, 64);
    EXPECT_EQ(out[0] | out[1] << 8, 16512);
    EXPECT_EQ(static_cast<std::int16_t>(out[2] | out[3] << 8), -16513);
    EXPECT_EQ(out[4], 0x42);
}

TEST(WavePlayerBuffers, TwentyThousandBytesQueueAsTwoFullBuffersAndAShortOne)
{
    std::vector<std::uint8_t> sound(20000);
    for (std::size_t i = 0; i < sound.size(); ++i)
        sound[i] = static_cast<std::uint8_t>(i % 251 + 1);
    std::vector<std::uint8_t> buffer(WavePlayer::BufferBytes, 0xEE);
    std::uint32_t position = 0;
    std::vector<std::uint32_t> lengths;
    std::vector<std::uint8_t> joined;
    while (position < sound.size()) {
        lengths.push_back(WavePlayer::FillBuffer(sound.data(), 20000, position, buffer.data()));
        joined.insert(joined.end(), buffer.begin(), buffer.begin() + lengths.back());
    }
    EXPECT_EQ(lengths, (std::vector<std::uint32_t>{8192, 8192, 3616}));
    EXPECT_EQ(joined, sound);
    for (std::size_t i = 3616; i < buffer.size(); ++i)
        ASSERT_EQ(buffer[i], 0) << "byte " << i << " after the short piece";
    EXPECT_EQ(WavePlayer::FillBuffer(sound.data(), 20000, position, buffer.data()), 0u);
}
