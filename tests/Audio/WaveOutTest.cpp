// Wave output through the offline backend: placement of the first buffer, gapless
// following buffers, completion in order, reset and close, formats and result codes.
#include "AudioTestSupport.h"

#include "Platform/Audio/WaveOut.h"

#include <gtest/gtest.h>

#include <deque>

using namespace Platform::Audio;
using AudioTest::OfflineRig;

namespace {

// What the completion callback saw, in order. The callback runs on the mixer's notice thread
// or inside Reset/Close; the test reads it only after FlushNotices or those calls.
struct Completions {
    std::vector<std::uintptr_t> done;
    static void Callback(void* instance, WaveHeader& header)
    {
        static_cast<Completions*>(instance)->done.push_back(header.user);
    }
};

// One buffer of 16-bit stereo frames whose left sample is the frame's number within the whole
// sound (scaled) and whose right sample is its negative.
struct Buffer {
    Buffer(std::uint32_t frames, std::uint32_t firstValue, std::uintptr_t id)
    {
        for (std::uint32_t i = 0; i < frames; ++i) {
            const auto value = static_cast<std::int16_t>(firstValue + i);
            for (const std::int16_t sample : {value, static_cast<std::int16_t>(-value)}) {
                bytes.push_back(static_cast<std::uint8_t>(sample & 0xFF));
                bytes.push_back(static_cast<std::uint8_t>((sample >> 8) & 0xFF));
            }
        }
        header.data = bytes.data();
        header.length = static_cast<std::uint32_t>(bytes.size());
        header.user = id;
    }
    std::vector<std::uint8_t> bytes;
    WaveHeader header;
};

float Left(const std::vector<float>& capture, std::size_t frame) { return capture[2 * frame]; }
float Right(const std::vector<float>& capture, std::size_t frame) { return capture[2 * frame + 1]; }

struct OpenWave {
    OpenWave(OfflineRig& rig, WaveFormat format = {}) : out(rig.mixer)
    {
        EXPECT_EQ(out.Open(format, &Completions::Callback, &completions), NoError);
    }
    Completions completions;
    WaveOut out;
};

} // namespace

TEST(WaveOutPlayback, FirstBufferStartsAtItsStampAndTheOthersFollowWithoutAGap)
{
    for (const std::uint32_t blockFrames : {64u, 256u, 1000u}) {
        OfflineRig rig;
        OpenWave wave(rig);
        std::deque<Buffer> buffers;
        buffers.emplace_back(1000, 1, 0);
        buffers.emplace_back(333, 1001, 1);
        buffers.emplace_back(500, 1334, 2);
        const double stampFrame = 4321.4;
        for (Buffer& buffer : buffers) {
            ASSERT_EQ(wave.out.Prepare(buffer.header), NoError);
            ASSERT_EQ(wave.out.Write(buffer.header, rig.TimeOf(stampFrame)), NoError);
        }
        rig.backend.Pull(10000, blockFrames);
        rig.mixer.FlushNotices();

        const auto& capture = rig.backend.Captured();
        const std::size_t start = 4321 + static_cast<std::size_t>(rig.mixer.LatencyFrames());
        EXPECT_EQ(Left(capture, start - 1), 0.0f);
        for (std::size_t i = 0; i < 1833; ++i) {
            ASSERT_FLOAT_EQ(Left(capture, start + i), static_cast<float>(i + 1) / 32768.0f) << "frame " << i;
            ASSERT_FLOAT_EQ(Right(capture, start + i), -static_cast<float>(i + 1) / 32768.0f) << "frame " << i;
        }
        EXPECT_EQ(Left(capture, start + 1833), 0.0f);
        EXPECT_EQ(wave.completions.done, (std::vector<std::uintptr_t>{0, 1, 2}));
        for (Buffer& buffer : buffers) {
            EXPECT_EQ(buffer.header.Flags(), WaveHeader::Prepared | WaveHeader::Done);
            EXPECT_EQ(wave.out.Unprepare(buffer.header), NoError);
        }
        EXPECT_EQ(rig.mixer.LateCount(), 0u);
    }
}

TEST(WaveOutPlayback, ResetHandsBackEveryQueuedBufferAndTheNextWriteStartsAtItsOwnStamp)
{
    OfflineRig rig;
    OpenWave wave(rig);
    std::deque<Buffer> buffers;
    for (std::uintptr_t id = 0; id < 4; ++id) {
        buffers.emplace_back(1000, 1, id);
        wave.out.Prepare(buffers.back().header);
        wave.out.Write(buffers.back().header, rig.TimeOf(0));
    }
    // Frames 882 .. 2381 play: buffer 0 is done, buffer 1 half played.
    rig.backend.Pull(882 + 1500, 256);
    rig.mixer.FlushNotices();
    EXPECT_EQ(wave.completions.done, (std::vector<std::uintptr_t>{0}));
    EXPECT_EQ(buffers[1].header.Flags(), WaveHeader::Prepared | WaveHeader::InQueue);

    ASSERT_EQ(wave.out.Reset(), NoError);
    EXPECT_EQ(wave.completions.done, (std::vector<std::uintptr_t>{0, 1, 2, 3}));
    for (Buffer& buffer : buffers)
        EXPECT_EQ(buffer.header.Flags(), WaveHeader::Prepared | WaveHeader::Done);

    // Nothing more of the old sound; the buffer written now starts at its own stamp.
    ASSERT_EQ(wave.out.Write(buffers[0].header, rig.TimeOf(5000)), NoError);
    rig.backend.Pull(10000, 256);
    rig.mixer.FlushNotices();
    const auto& capture = rig.backend.Captured();
    EXPECT_EQ(AudioTest::Peak(capture, 2382, 5882), 0.0f);
    EXPECT_EQ(AudioTest::Onset(capture, 2382, 0.0f), std::optional<std::size_t>(5882));
    EXPECT_EQ(wave.completions.done.size(), 5u);
    EXPECT_EQ(rig.mixer.LateCount(), 0u);

    // Close hands back what is still queued, and a second Close does nothing.
    ASSERT_EQ(wave.out.Write(buffers[1].header, rig.TimeOf(20000)), NoError);
    wave.out.Close();
    EXPECT_EQ(wave.completions.done.back(), 1u);
    EXPECT_FALSE(rig.backend.IsOpen());
    wave.out.Close();
}

TEST(WaveOutFormats, EightBitUnsignedMonoPlaysOnBothChannels)
{
    OfflineRig rig;
    OpenWave wave(rig, WaveFormat{1, 44100, 8});
    const std::uint8_t samples[] = {0, 64, 128, 192, 255};
    WaveHeader header;
    header.data = samples;
    header.length = sizeof samples;
    wave.out.Prepare(header);
    wave.out.Write(header, rig.TimeOf(100));
    rig.backend.Pull(2000, 256);
    const auto& capture = rig.backend.Captured();
    const std::size_t start = 100 + static_cast<std::size_t>(rig.mixer.LatencyFrames());
    const float expected[] = {-1.0f, -0.5f, 0.0f, 0.5f, 127.0f / 128.0f};
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_FLOAT_EQ(Left(capture, start + i), expected[i]) << i;
        EXPECT_FLOAT_EQ(Right(capture, start + i), expected[i]) << i;
    }
}

TEST(WaveOutFormats, LowerRatesAreConvertedToTheMixerRate)
{
    // 0.1 s of a 441 Hz sine at 22050 Hz, 16-bit mono, in two buffers.
    OfflineRig rig;
    OpenWave wave(rig, WaveFormat{1, 22050, 16});
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < 2205; ++i) {
        const auto value = static_cast<std::int16_t>(std::lround(16000 * std::sin(2 * M_PI * 441.0 * i / 22050.0)));
        bytes.push_back(static_cast<std::uint8_t>(value & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
    }
    WaveHeader first;
    WaveHeader second;
    first.data = bytes.data();
    first.length = 2000;
    second.data = bytes.data() + 2000;
    second.length = static_cast<std::uint32_t>(bytes.size()) - 2000;
    wave.out.Prepare(first);
    wave.out.Prepare(second);
    wave.out.Write(first, rig.TimeOf(1000));
    wave.out.Write(second);
    rig.backend.Pull(10000, 256);
    rig.mixer.FlushNotices();
    EXPECT_EQ(wave.completions.done.size(), 2u);

    const auto& capture = rig.backend.Captured();
    const std::size_t start = 1000 + static_cast<std::size_t>(rig.mixer.LatencyFrames());
    EXPECT_LT(AudioTest::Peak(capture, 0, start - 8), 0.01f);
    // 4410 frames at 44.1 kHz, 44 periods: 88 sign changes, and the level kept.
    int crossings = 0;
    for (std::size_t f = start + 20; f < start + 4390; ++f)
        crossings += (Left(capture, f) < 0) != (Left(capture, f + 1) < 0);
    EXPECT_NEAR(crossings, 87, 2);
    EXPECT_NEAR(AudioTest::Peak(capture, start + 100, start + 4300), 16000.0f / 32768.0f, 0.02f);
    EXPECT_LT(AudioTest::Peak(capture, start + 4500, 10000), 0.01f);
    // The converted sine starts where the stamp says: its first rise lies at the start.
    EXPECT_NEAR(static_cast<double>(*AudioTest::Onset(capture, 0, 0.02f)), start + 2.0, 3.0);
}

TEST(WaveOutResults, FormatsHeadersAndClosedOutputs)
{
    OfflineRig rig;
    WaveOut out(rig.mixer);
    Completions completions;
    EXPECT_EQ(out.Open(WaveFormat{3, 44100, 16}, &Completions::Callback, &completions), BadFormat);
    EXPECT_EQ(out.Open(WaveFormat{2, 44100, 24}, &Completions::Callback, &completions), BadFormat);
    EXPECT_EQ(out.Open(WaveFormat{2, 48000, 16}, &Completions::Callback, &completions), BadFormat);
    EXPECT_FALSE(rig.backend.IsOpen());

    Buffer buffer(100, 1, 0);
    EXPECT_EQ(out.Prepare(buffer.header), InvalidHandle);
    EXPECT_EQ(out.Write(buffer.header), InvalidHandle);
    EXPECT_EQ(out.Reset(), InvalidHandle);

    ASSERT_EQ(out.Open(WaveFormat{}, &Completions::Callback, &completions), NoError);
    EXPECT_EQ(out.Open(WaveFormat{}, &Completions::Callback, &completions), Allocated);
    EXPECT_EQ(out.Write(buffer.header), Unprepared);
    WaveHeader empty;
    EXPECT_EQ(out.Prepare(empty), InvalidParameter);
    ASSERT_EQ(out.Prepare(buffer.header), NoError);
    ASSERT_EQ(out.Write(buffer.header), NoError);
    EXPECT_EQ(out.Write(buffer.header), StillPlaying);
    EXPECT_EQ(out.Unprepare(buffer.header), StillPlaying);
    ASSERT_EQ(out.Reset(), NoError);
    EXPECT_EQ(out.Unprepare(buffer.header), NoError);
    EXPECT_EQ(out.Write(buffer.header), Unprepared);
}
