#include "Platform/Audio/MidiClock.h"

#include "Core/Control/ClockBeatIndicator.h"
#include "Configuration/ConfigurationData.h"
#include "Core/Export/OfflineTimer.h"
#include "Platform/Audio/AlsaClockOut.h"
#include "Platform/Clock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using Platform::Audio::MidiClockOut;

struct Sent {
    std::int64_t frame;
    std::uint8_t status;
    bool operator==(const Sent&) const = default;
};

/// Runs out over blocks of blockFrames from frame 0 to end, handing each beat over a lead
/// before its frame, as the timer does, and collects what it sends.
std::vector<Sent> Play(MidiClockOut& out, const std::vector<double>& beats, double framesPerBeat, int firstBar,
                       std::uint32_t blockFrames, std::int64_t end, double lead)
{
    std::vector<Sent> sent;
    std::size_t next = 0;
    for (std::int64_t block = 0; block < end; block += blockFrames) {
        while (next < beats.size() && beats[next] - lead < static_cast<double>(block + blockFrames)) {
            const double expected = next > 0 ? beats[next] - beats[next - 1] : framesPerBeat;
            out.Beat(beats[next], expected,
                     static_cast<int>(next) == firstBar ? MidiClockOut::Cue::Start : MidiClockOut::Cue::None);
            ++next;
        }
        out.Render(static_cast<std::uint64_t>(block), blockFrames,
                   [&](std::uint32_t offset, const std::uint8_t* bytes, std::uint32_t size) {
                       for (std::uint32_t i = 0; i < size; ++i)
                           if (bytes[i] & 0x80)
                               sent.push_back({block + offset, bytes[i]});
                   });
    }
    return sent;
}

TEST(MidiClock, EveryClockOnItsComputedFrameWithStartAtBarOne)
{
    const struct {
        double rate;
        double bpm;
        std::uint32_t block;
    } cases[] = {{48000, 133, 256}, {44100, 120, 1024}, {96000, 97, 64}};
    for (const auto& test : cases) {
        SCOPED_TRACE(test.bpm);
        const double beat = test.rate * 60.0 / test.bpm;
        std::vector<double> beats;
        for (int n = 0; n < 12; ++n)
            beats.push_back(1000.25 + n * beat); // a bar of four as count-in, then bar 1
        MidiClockOut out;
        const auto end = static_cast<std::int64_t>(beats.back() + beat / 2);
        const std::vector<Sent> sent = Play(out, beats, beat, 4, test.block, end, 0.1 * test.rate);
        // Every block is rendered whole: the clocks run on to the last block's end.
        const std::int64_t rendered = (end + test.block - 1) / test.block * test.block;
        std::vector<Sent> expected;
        for (int k = 0;; ++k) {
            const auto frame = std::llround(1000.25 + (k / 24) * beat + (k % 24) * beat / 24);
            if (frame >= rendered)
                break;
            if (k == 4 * 24) {
                expected.push_back({frame, 0xF2});
                expected.push_back({frame, 0xFA});
            }
            expected.push_back({frame, 0xF8});
        }
        EXPECT_EQ(sent, expected);
    }
}

TEST(MidiClock, ATempoChangeTakesEffectAtItsBeatAndStopEndsTheClock)
{
    // Five beats of 24,000 frames, the last of them cut short by a beat 12,000 frames after
    // it (twice the tempo), then beats 12,000 apart.
    const std::vector<double> beats = {0, 24000, 48000, 72000, 96000, 108000, 120000};
    MidiClockOut out;
    std::vector<Sent> sent = Play(out, beats, 24000, 0, 256, 125000, 4800);
    std::vector<std::int64_t> clocks;
    for (const Sent& message : sent)
        if (message.status == 0xF8)
            clocks.push_back(message.frame);
    ASSERT_EQ(clocks.size(), 4u * 24 + 12 + 24 + 11); // the last block ends at 125,184
    EXPECT_EQ(clocks[4 * 24 + 11], 107000); // the old tempo's clocks up to the early beat
    EXPECT_EQ(clocks[4 * 24 + 12], 108000); // the early beat on its frame
    EXPECT_EQ(clocks[4 * 24 + 13], 108500); // and the new tempo from it on
    out.Stop();
    sent.clear();
    out.Render(125000, 256, [&](std::uint32_t offset, const std::uint8_t* bytes, std::uint32_t) {
        sent.push_back({125000 + offset, bytes[0]});
    });
    EXPECT_EQ(sent, (std::vector<Sent>{{125000, 0xFC}}));
    // Going on after a pause: the beat's Song Position (step 133 = 5 + 1 x 128) and Continue
    // before its first clock.
    out.Beat(130000, 12000, MidiClockOut::Cue::Continue, 133);
    std::vector<std::uint8_t> bytes;
    out.Render(129900, 256, [&](std::uint32_t offset, const std::uint8_t* data, std::uint32_t size) {
        EXPECT_EQ(offset, 100u);
        bytes.insert(bytes.end(), data, data + size);
    });
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{0xF2, 5, 1, 0xFB, 0xF8}));
    // A beat handed over 6,000 frames after its frame: the clocks the stretch before ran on
    // with are not sent again.
    MidiClockOut late;
    late.Beat(0, 24000);
    std::vector<std::int64_t> frames;
    for (std::int64_t block = 0; block < 48000; block += 256) {
        if (block == 30000 / 256 * 256)
            late.Beat(24000, 24000);
        late.Render(static_cast<std::uint64_t>(block), 256, [&](std::uint32_t offset, const std::uint8_t*, std::uint32_t) { frames.push_back(block + offset); });
    }
    for (std::size_t k = 0; k < frames.size(); ++k)
        ASSERT_EQ(frames[k], static_cast<std::int64_t>(1000 * k)) << k;
}

/// What goes out besides the clocks (each message with its frame) when beats 24,000 frames
/// apart pass the clock's beat indicator, beat n moved to moves[n] (-1: not moved).
std::vector<std::pair<std::int64_t, std::vector<std::uint8_t>>> CuesOf(const std::vector<std::int64_t>& moves)
{
    const Core::Export::OfflineClock clock(48000, 0, true);
    MidiClockOut out;
    Core::ClockBeatIndicator beats(nullptr, out);
    beats.StartDrawing(Configuration::ConfigurationData{});
    std::vector<std::pair<std::int64_t, std::vector<std::uint8_t>>> sent;
    std::int64_t rendered = 0;
    for (std::size_t beat = 0; beat < moves.size(); ++beat) {
        const Platform::TickContext tick{1, 24000.0 * static_cast<double>(beat), 0, &clock};
        Platform::SetCurrentTick(&tick);
        if (moves[beat] >= 0)
            beats.MoveTo(moves[beat]);
        beats.ShowBeat(0, Core::BeatLook::Normal);
        Platform::SetCurrentTick(nullptr);
        // The beat is handed over 4,800 frames before its frame.
        for (; rendered < static_cast<std::int64_t>(beat + 1) * 24000 - 4800; rendered += 200)
            out.Render(static_cast<std::uint64_t>(rendered), 200, [&](std::uint32_t offset, const std::uint8_t* bytes, std::uint32_t size) {
                if (bytes[0] != 0xF8)
                    sent.push_back({rendered + offset, {bytes, bytes + size}});
            });
    }
    return sent;
}

} // namespace

TEST(MidiClock, ASongThatMovesStopsLocatesAndContinuesOnTheBeat)
{
    using Bytes = std::vector<std::uint8_t>;
    const struct {
        const char* name;
        std::vector<std::int64_t> moves;
        std::vector<std::pair<std::int64_t, Bytes>> expected;
    } cases[] = {
        // Beat 40 is Song Position 160 (0x20 + 1 x 128): Stop and the place after the last clock
        // before the beat, Continue on it.
        {"a move", {-1, -1, -1, 40, -1}, {{0, {0xF2, 0, 0}}, {0, {0xFA}}, {71000, {0xFC}}, {71000, {0xF2, 0x20, 1}}, {72000, {0xFB}}}},
        {"a move to the beat that comes anyway", {0, -1, -1, 3, -1}, {{0, {0xF2, 0, 0}}, {0, {0xFA}}}},
        {"a song started from a later part", {16, -1}, {{0, {0xF2, 64, 0}}, {0, {0xFB}}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CuesOf(c.moves), c.expected) << c.name;
}

// Without JACK the messages go out when their frames are heard: from the frame heard at the
// first look on, each with its frame's heard time.
TEST(MidiClock, WithoutJackEachMessageGoesOutWhenItsFrameIsHeard)
{
    struct Late final : Platform::IFrameClock { // heard a second after frame 0's time 0
        double FrameRate() const noexcept override { return 48000; }
        double AnchorFrame() const noexcept override { return 0; }
        std::int64_t HandOverTime(double frame) const noexcept override { return HeardTime(frame); }
        std::int64_t HeardTime(double frame) const noexcept override { return std::llround(1e9 + frame * 1e9 / 48000); }
    } late;
    MidiClockOut out;
    Platform::Audio::ClockTimes times(out, late);
    std::vector<Sent> sent; // the message's heard time in microseconds as its frame
    const auto note = [&](std::int64_t time, const std::uint8_t* bytes, std::uint32_t) { sent.push_back({time / 1000, bytes[0]}); };
    ASSERT_TRUE(times.Until(late.HeardTime(30000), note)); // frames before 30,000 are gone
    out.Beat(20000, 24000);
    out.Beat(48000, 24000, MidiClockOut::Cue::Start);
    times.Until(late.HeardTime(50000), note);
    ASSERT_GE(sent.size(), 4u);
    EXPECT_EQ(std::vector<Sent>(sent.end() - 4, sent.end()),
              (std::vector<Sent>{{2'000'000, 0xF2}, {2'000'000, 0xFA}, {2'000'000, 0xF8}, {2'020'833, 0xF8}}));
    EXPECT_EQ(sent.front(), (Sent{1'625'000, 0xF8})); // the clocks before frame 30,000 go out at once
}
