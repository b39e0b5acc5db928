#include "Platform/Audio/MidiClock.h"

#include "Configuration/ConfigurationData.h"
#include "Core/Control/ClockBeatIndicator.h"
#include "Core/Engine/Metronome.h"
#include "Core/Engine/StrategySet.h"
#include "Core/Export/OfflineTimer.h"
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
}

// Plays nothing; its frames are the offline clock's.
class SilentEngine final : public Core::ISoundEngine {
public:
    explicit SilentEngine(const Platform::IFrameClock& clock) : clock_(clock) {}
    const Platform::IFrameClock* FrameClock() const override { return &clock_; }
    bool Initialise(const Configuration::ConfigurationData&) override { return true; }
    bool PlaySound(std::uint32_t, std::uint32_t) override { return true; }
    void Close() override {}
    std::uint32_t GetLastErrorCode() override { return 0; }

private:
    const Platform::IFrameClock& clock_;
};

/// The MIDI clock a run of settings sends over its first frames (at 48 kHz).
std::vector<Sent> ClockOfRun(const Configuration::ConfigurationData& settings, std::int64_t frames)
{
    const Core::Export::OfflineClock clock(48000, 0, true);
    SilentEngine engine(clock);
    Core::Export::OfflineTimer timer;
    Core::StrategySet strategies;
    Core::Metronome metronome(strategies.Services(timer, [&engine](Configuration::SoundSource) -> Core::ISoundEngine* { return &engine; }));
    MidiClockOut out;
    Core::ClockBeatIndicator beats(nullptr, out);
    metronome.SetBeatIndicator(&beats);
    std::vector<Sent> sent;
    std::int64_t rendered = 0;
    EXPECT_EQ(metronome.Start(nullptr, settings), 0u);
    while (timer.IsRunning() && rendered + 256 <= frames) {
        const Core::Export::OfflineTimer::Tick tick = timer.Next();
        timer.Play(tick);
        for (; rendered + 256 <= std::min<double>(tick.frame, static_cast<double>(frames)); rendered += 256)
            out.Render(static_cast<std::uint64_t>(rendered), 256, [&](std::uint32_t offset, const std::uint8_t* bytes, std::uint32_t) {
                sent.push_back({rendered + offset, bytes[0]});
            });
    }
    metronome.Stop();
    return sent;
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
        Platform::TickContext tick;
        tick.frame = 24000.0 * static_cast<double>(beat);
        tick.frameClock = &clock;
        tick.dueTime = 1;
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

TEST(MidiClock, TheLampOnOrOffSendsTheSameClock)
{
    using Configuration::BeatKind;
    const struct {
        const char* name;
        void (*set)(Configuration::ConfigurationData&);
    } cases[] = {
        {"undivided", [](auto&) {}},
        {"three to a beat, two bars' count-in", [](auto& s) { s.Subdivision1 = 3, s.CountIn = 2; }},
        {"six-eight", [](auto& s) { s.BeatType = BeatKind::BeatsPerBar, s.BeatsPerBar = 6, s.CompoundTime = 1; }},
        {"rhythm, a step a beat", [](auto& s) { s.BeatType = BeatKind::CustomRhythm, s.CustomRhythm = u"1 2[13]", s.CrSubdivision = 0; }},
    };
    for (const auto& c : cases) {
        Configuration::ConfigurationData settings;
        settings.Bpm = 133;
        c.set(settings);
        settings.VisualIndicator = 1;
        const std::vector<Sent> lampOn = ClockOfRun(settings, 400000);
        settings.VisualIndicator = 0;
        EXPECT_GT(lampOn.size(), 24u * 8) << c.name;
        EXPECT_EQ(ClockOfRun(settings, 400000), lampOn) << c.name;
    }
}
