// Wave files as people have them: each accepted sample format, rate and channel count decodes
// at the output's rate as the same sound stored in 16 bits does, and plays from its stamp's frame
// at full volume, a mono sound on both channels.
#include "WaveFixtures.h"

#include "TestSupport.h"

#include "Audio/AudioTestSupport.h"
#include "Core/WaveFiles/WaveFile.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace WaveFixtures;
using namespace std::string_literals;

namespace {

// The sample in bits of the file's kind (tag 3: float), widened as an editor stores a 16-bit
// sound; bytes of the (little-endian) machine's own order.
std::string Encode(std::int16_t sample, std::uint16_t tag, std::uint16_t bits)
{
    const auto bytesOf = [](auto value) { return std::string(reinterpret_cast<const char*>(&value), sizeof value); };
    if (tag == 3)
        return bits == 32 ? bytesOf(static_cast<float>(sample / 32768.0)) : bytesOf(sample / 32768.0);
    return bits == 8 ? std::string(1, static_cast<char>((sample >> 8) + 128))
                     : Le32(static_cast<std::uint32_t>(sample) << 16).substr(4 - bits / 8u);
}

} // namespace

TEST(WaveFormats, EachDecodesAsItsSixteenBitSoundAndPlaysOnItsFrame)
{
    const struct {
        Format format;
        bool extensible;
        int tolerance; // in 16-bit steps: 8 bits hold the top byte only (more once resampled)
    } cases[] = {
        {{1, 1, 22050, 8}, false, 400}, {{1, 2, 48000, 16}, false, 0}, {{1, 2, 48000, 24}, false, 0},
        {{1, 1, 96000, 32}, false, 0},  {{3, 2, 96000, 32}, false, 0}, {{3, 1, 192000, 64}, false, 0},
        {{1, 2, 44100, 24}, true, 0},   {{3, 1, 8000, 32}, true, 0},
    };
    TestSupport::ScopedLog log;
    TestSupport::TempFolder folder;
    for (const auto& c : cases) {
        const Format& f = c.format;
        SCOPED_TRACE(testing::Message() << f.tag << " " << f.bits << " bits " << f.rate << " Hz " << f.channels);
        // 5 ms of silence, then 30 ms of a decaying 1 kHz tone (the right channel at half level).
        std::vector<std::int16_t> click(f.rate * 35 / 1000 * f.channels);
        std::string data;
        for (std::size_t i = 0; i < click.size(); ++i) {
            const double t = static_cast<double>(i / f.channels) / f.rate - 0.005;
            if (t >= 0)
                click[i] = static_cast<std::int16_t>(20000.0 / (i % f.channels + 1) * std::exp(-t / 0.008) * std::sin(6283.2 * t));
            data += Encode(click[i], f.tag, f.bits);
        }
        std::string format = FormatChunk(c.extensible ? Format{0xFFFE, f.channels, f.rate, f.bits} : f, c.extensible ? 24 : 0);
        if (c.extensible) // the sub-format GUID of the tag
            format.replace(24, 24, Le16(22) + Le16(f.bits) + Le32(3) + Le32(f.tag) + "\0\0\x10\0\x80\0\0\xAA\0\x38\x9B\x71"s);
        TestSupport::WriteFile(folder / "sound.wav", Riff(format + Chunk("data", data)));
        TestSupport::WriteFile(folder / "16.wav", Wave({1, f.channels, f.rate, 16}, Pcm16(click)));

        AudioTest::OfflineRig rig;
        Platform::Audio::SampleStreamer streamer;
        Core::WaveFile wave, reference;
        ASSERT_TRUE(reference.ReadSound(Wide(folder / "16.wav").c_str(), 44100));
        ASSERT_TRUE(wave.LoadSound(Wide(folder / "sound.wav").c_str(), 0, rig.mixer, streamer));
        ASSERT_TRUE(wave.Play(127, Platform::SoundStamp{rig.TimeOf(1000.0), 1000.0, &rig.mixer}));
        const Platform::Audio::SampleSound& expected = *reference.Sound();
        rig.backend.Pull(1000 + expected.FrameCount() + 100, 256);
        // Silence up to the stamp's frame, then the 16-bit sound's frames (mono on both channels).
        const std::vector<float>& capture = rig.backend.Captured();
        EXPECT_EQ(AudioTest::Peak(capture, 0, 1000), 0.0f);
        EXPECT_EQ(wave.Sound()->FrameCount(), expected.FrameCount());
        float worst = 0;
        for (std::size_t i = 0; i < 2 * std::size_t{expected.FrameCount()}; ++i)
            worst = std::max(worst, std::fabs(capture[2000 + i] * 32768 - expected.Frames()[i / 2 * f.channels + i % f.channels]));
        EXPECT_LE(worst, c.tolerance);
    }
    EXPECT_EQ(log.Content(), "");
}
