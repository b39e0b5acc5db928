// The offline backend's capture saved as a WAV file: header fields and samples, byte for byte.
#include "AudioTestSupport.h"
#include "TestSupport.h"

#include "Platform/Audio/WaveOut.h"

#include <gtest/gtest.h>

using namespace Platform::Audio;

namespace {
std::uint32_t LittleEndian(const std::string& bytes, std::size_t at, int size)
{
    std::uint32_t value = 0;
    for (int i = 0; i < size; ++i)
        value |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[at + i])) << (8 * i);
    return value;
}
} // namespace

TEST(OfflineCapture, SavedAsASixteenBitStereoWaveFile)
{
    AudioTest::OfflineRig rig;
    WaveOut out(rig.mixer);
    ASSERT_EQ(out.Open(WaveFormat{2, 44100, 16}, nullptr, nullptr), NoError);
    // Full scale, half scale negative, the most negative value and silence: 16-bit material
    // comes back out unchanged.
    const std::uint8_t samples[] = {0xFF, 0x7F, 0x00, 0xC0, 0x00, 0x80, 0x00, 0x00};
    WaveHeader header;
    header.data = samples;
    header.length = sizeof samples;
    out.Prepare(header);
    out.Write(header, rig.TimeOf(0));
    EXPECT_EQ(out.Write(header), StillPlaying);
    rig.backend.Pull(1000, 256);

    TestSupport::TempFolder folder;
    ASSERT_TRUE(rig.backend.SaveWav(folder / "capture.wav"));
    const std::string bytes = TestSupport::ReadFile(folder / "capture.wav");
    ASSERT_EQ(bytes.size(), 44u + 1000 * 4);
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(LittleEndian(bytes, 4, 4), 36u + 4000);
    EXPECT_EQ(bytes.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(LittleEndian(bytes, 20, 2), 1u);      // PCM
    EXPECT_EQ(LittleEndian(bytes, 22, 2), 2u);      // channels
    EXPECT_EQ(LittleEndian(bytes, 24, 4), 44100u);
    EXPECT_EQ(LittleEndian(bytes, 28, 4), 176400u); // bytes per second
    EXPECT_EQ(LittleEndian(bytes, 32, 2), 4u);      // bytes per frame
    EXPECT_EQ(LittleEndian(bytes, 34, 2), 16u);
    EXPECT_EQ(bytes.substr(36, 4), "data");
    EXPECT_EQ(LittleEndian(bytes, 40, 4), 4000u);

    const std::size_t first = 44 + 4 * static_cast<std::size_t>(rig.mixer.LatencyFrames());
    EXPECT_EQ(LittleEndian(bytes, first - 4, 4), 0u);
    EXPECT_EQ(static_cast<std::int16_t>(LittleEndian(bytes, first, 2)), 32767);
    EXPECT_EQ(static_cast<std::int16_t>(LittleEndian(bytes, first + 2, 2)), -16384);
    EXPECT_EQ(static_cast<std::int16_t>(LittleEndian(bytes, first + 4, 2)), -32768);
    EXPECT_EQ(static_cast<std::int16_t>(LittleEndian(bytes, first + 6, 2)), 0);
}
