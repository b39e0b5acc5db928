// Timing feedback: the grid a run plays, hits matched to it and a take's figures, the onset
// detector on generated takes, and the MIDI file reader.
#include "TakeSignals.h"

#include "Core/Timing/Calibration.h"
#include "Core/Timing/LiveScore.h"
#include "Core/Timing/OnsetDetector.h"
#include "Core/Timing/TakeFile.h"
#include "Core/Timing/TakeGrid.h"
#include "Core/Timing/TimingScore.h"
#include "Platform/Audio/AlsaMidiInput.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace Core::Timing;
using Configuration::ConfigurationData;

namespace {

constexpr double Rate = 48000;

ConfigurationData Bars(int beats, int subdivision = 0)
{
    ConfigurationData settings;
    settings.BeatType = Configuration::BeatKind::BeatsPerBar;
    settings.BeatsPerBar = beats;
    settings.Subdivision1 = subdivision;
    settings.Bpm = 120;
    return settings;
}

} // namespace

// The planned grid is the run's own: subdivisions, swung eighths at their exact frames, the
// count-in marked, muted bars marked and silent, the trainer's steps.
TEST(TakeGrid, FollowsTheRun)
{
    const struct {
        const char* name;
        ConfigurationData settings;
        int position;
        double frame;
        const char* label;
        bool countIn, muted;
        int perBar;
    } cases[] = {
        {"4/4 quarters", Bars(4), 5, 5 * 24000.0, "2", false, false, 4},
        {"eighths", Bars(3, 2), 3, 36000.0, "2.2", false, false, 6},
        {"swung 66", [] { auto s = Bars(4, 2); s.Swing = 66; return s; }(), 1, 0.66 * 24000, "1.2", false, false, 8},
        {"count-in 1 bar", [] { auto s = Bars(3); s.CountIn = 1; return s; }(), 3, 3 * 24000.0, "1", false, false, 3},
        {"count-in's beat", [] { auto s = Bars(3); s.CountIn = 1; return s; }(), 2, 2 * 24000.0, "3", true, false, 3},
        {"gap 1:1, bar 2", [] { auto s = Bars(4); s.GapMode = 1, s.GapPlay = 1, s.GapMute = 1; return s; }(), 6,
         6 * 24000.0, "3", false, true, 4},
        {"trainer from 60 bpm in steps of 30, second level", [] {
             auto s = Bars(4); s.SpeedTrainer = Configuration::TrainerMode::On, s.Warmup = 0, s.From = 0.5f, s.Step = 0.5f,
             s.Duration = 1, s.DurationsInBars = 1; return s; }(), 5, 4 * 48000.0 + 32000.0, "2", false, false, 4},
    };
    for (const auto& c : cases) {
        const TakeGrid grid = PlanGrid(c.settings, Rate, 20 * Rate);
        ASSERT_EQ(grid.startResult, 0u) << c.name;
        ASSERT_GT(grid.positions.size(), static_cast<std::size_t>(c.position)) << c.name;
        const GridPosition& p = grid.positions[static_cast<std::size_t>(c.position)];
        EXPECT_NEAR(p.frame, c.frame, 1e-6) << c.name;
        EXPECT_EQ(grid.Label(p.indexInBar), c.label) << c.name;
        EXPECT_EQ(p.countIn, c.countIn) << c.name;
        EXPECT_EQ(p.muted, c.muted) << c.name;
        EXPECT_EQ(p.sounds, !c.muted) << c.name;
        EXPECT_EQ(grid.positionsPerBar, c.perBar) << c.name;
    }
}

// Hits at known offsets give back their figures: mean, spread, per-position bias, drift,
// muted bars apart, strays, second hits, missed positions and the count-in left out.
TEST(TimingScore, FiguresOfKnownTakes)
{
    auto muted = Bars(4);
    muted.GapMode = 1, muted.GapPlay = 1, muted.GapMute = 1, muted.CountIn = 1;
    const struct {
        const char* name;
        ConfigurationData settings;
        double (*offsetMs)(int index, const GridPosition&); // NAN: no hit
        int extra; // hits added 200 ms after the first positions (stray)
        int hits, strays, missed;
        double mean, sd, drift, beat4, mutedMean;
    } cases[] = {
        {"constant +12 ms", Bars(4), [](int, const GridPosition&) { return 12.0; }, 0, 40, 0, 0, 12, 0, 0, 12, NAN},
        {"beat 4 early", Bars(4), [](int, const GridPosition& p) { return p.beat == 4 ? -8.0 : 0.0; }, 0, 40, 0, 0, -2,
         3.50823, -2.70169, -8, NAN},
        {"drifting 6 ms per minute", Bars(4), [](int i, const GridPosition&) { return i * 0.05; }, 0, 40, 0, 0, 0.975,
         0.58452, 6, 1.05, NAN},
        {"rushing in muted bars", muted, [](int, const GridPosition& p) { return p.muted ? -20.0 : 0.0; }, 0, 36, 0, 0,
         -8.88889, 10.07905, 0, -8.88889, -20},
        {"strays and misses", Bars(4), [](int i, const GridPosition&) { return i % 10 == 3 ? NAN : 5.0; }, 3, 36, 3, 4,
         5, 0, 0, 5, NAN},
    };
    for (const auto& c : cases) {
        const TakeGrid grid = PlanGrid(c.settings, Rate, 19.9 * Rate);
        std::vector<double> hits;
        int index = 0;
        for (const GridPosition& p : grid.positions) {
            if (!p.countIn) {
                const double offset = c.offsetMs(index++, p);
                if (!std::isnan(offset))
                    hits.push_back(p.frame + offset * Rate / 1000);
                if (index <= c.extra)
                    hits.push_back(p.frame + 0.2 * Rate);
            } else {
                hits.push_back(p.frame + 30 * Rate / 1000); // shown, never scored
            }
        }
        hits.push_back(grid.positions[10].frame + 20 * Rate / 1000); // a second, further hit on a position: stray
        const TakeFigures f = ScoreTake(grid, hits).figures;
        EXPECT_EQ(f.hits, c.hits) << c.name;
        EXPECT_EQ(f.strays, c.strays + 1) << c.name;
        EXPECT_EQ(f.missed, c.missed) << c.name;
        EXPECT_NEAR(f.all.meanMs, c.mean, 1e-3) << c.name;
        EXPECT_NEAR(f.all.sdMs, c.sd, 1e-3) << c.name;
        EXPECT_NEAR(f.driftMsPerMin, c.drift, 1e-4) << c.name;
        ASSERT_EQ(f.perPosition.size(), 4u) << c.name;
        EXPECT_NEAR(f.perPosition[3].meanMs, c.beat4, 1e-3) << c.name;
        EXPECT_EQ(f.muted.has_value(), !std::isnan(c.mutedMean)) << c.name;
        if (f.muted) {
            EXPECT_NEAR(f.muted->meanMs, c.mutedMean, 1e-6) << c.name;
        }
    }
}

// Generated takes: every hit found within 1 ms, the mean bias within 0.25 ms, through noise
// and with the click leaking in (on the beat and apart from it), and no leak taken for a hit,
// nor a later attack within the click's own sound; in a whole recording and in a live input fed
// in blocks of any size (the first bar's clicks, as in a count-in, or none, and the last second's
// without hits).
TEST(OnsetDetector, PlacesHitsAndIgnoresClickLeak)
{
    const struct {
        const char* name;
        double rate;
        float noise;
        float leak;
        double sdMs; // of the hits around the clicks
        float echo;  // a second attack 12.5 ms into the click's sound, against its first
        double lateMs = 0;
        std::size_t countIn = 4; // clicks without hits
    } cases[] = {
        {"clean, 48 kHz", 48000, 0, 0, 8, 0},
        {"noise at -40 dB, 44.1 kHz", 44100, 0.01f, 0, 8, 0},
        {"leak at -6 dB", 48000, 0.003f, 0.5f, 8, 0},
        {"leak as loud as the hits, 96 kHz", 96000, 0.003f, 1.0f, 15, 0},
        {"leak at -12 dB with a second attack", 48000, 0.003f, 0.25f, 8, 0.7f},
        {"leak as loud as the hits, hits 6 ms late from the first click", 48000, 0.003f, 1.0f, 1, 0, 6, 0},
    };
    for (const auto& c : cases) {
        const std::vector<float> hit = TakeSignals::Hit(c.rate), click = TakeSignals::Click(c.rate);
        std::vector<float> take(static_cast<std::size_t>(c.rate * 16));
        std::mt19937 random(3);
        std::normal_distribution<double> spread(0, c.sdMs);
        std::vector<double> truth, clicks;
        for (double beat = 0.5; beat < 15.5; beat += 0.375) {
            clicks.push_back(std::round(beat * c.rate));
            TakeSignals::Mix(take, click, clicks.back(), 0.5f * c.leak);
            TakeSignals::Mix(take, click, clicks.back() + 0.0125 * c.rate, 0.5f * c.leak * c.echo);
            if (clicks.size() <= c.countIn || beat > 14.5)
                continue;
            const double frame = std::round((beat + (c.lateMs + spread(random)) / 1000) * c.rate);
            truth.push_back(frame);
            TakeSignals::Mix(take, hit, frame, 0.5f);
        }
        TakeSignals::AddNoise(take, c.noise);
        OnsetOptions options;
        options.rate = c.rate;
        if (c.leak > 0)
            options.clickFrames = clicks;
        std::vector<Onset> live;
        OnsetStream stream(c.rate);
        for (double frame : clicks) // heard or not
            stream.Click(frame);
        std::uniform_int_distribution<std::size_t> blocks(1, 3000);
        for (std::size_t at = 0; at < take.size();) {
            const std::size_t block = std::min(take.size() - at, blocks(random));
            stream.Feed(std::span(take).subspan(at, block));
            at += block;
            for (Onset onset; stream.Take(onset);)
                live.push_back(onset);
        }
        for (const auto& [how, onsets] : {std::pair{"recorded", DetectOnsets(take, options)}, std::pair{"live", live}}) {
            ASSERT_EQ(onsets.size(), truth.size()) << c.name << ", " << how;
            double sum = 0, worst = 0;
            for (std::size_t i = 0; i < truth.size(); ++i) {
                const double errorMs = (onsets[i].frame - truth[i]) * 1000 / c.rate;
                sum += errorMs;
                worst = std::max(worst, std::abs(errorMs));
            }
            EXPECT_LE(worst, 1.0) << c.name << ", " << how;
            EXPECT_LE(std::abs(sum / static_cast<double>(truth.size())), 0.25) << c.name << ", " << how;
        }
    }
}

// The calibration's clicks found again in an input: the shift that lines up most of them, to
// the median of their shifts, through jitter, lost clicks and stray onsets; none when fewer
// than six in eight line up.
TEST(Calibration, FindsTheRoundTripOrNothing)
{
    const struct {
        const char* name;
        double shiftMs;
        std::size_t lost;   // the last clicks not found
        std::size_t strays; // onsets found that are no click
        bool found;
    } cases[] = {
        {"clean", 23.4, 0, 0, true},
        {"before the reported latencies", -6.0, 0, 0, true},
        {"two lost, noise around", 180.0, 2, 12, true},
        {"three lost", 40.0, 3, 0, false},
        {"nothing but noise", 40.0, 8, 20, false},
    };
    for (const auto& c : cases) {
        std::vector<double> played = CalibrationFrames(Rate), found;
        std::mt19937 random(9);
        std::uniform_real_distribution<double> jitter(-0.3, 0.3), anywhere(-0.5 * Rate, 4 * Rate);
        for (double& frame : played)
            frame += 10000;
        for (std::size_t i = 0; i + c.lost < played.size(); ++i)
            found.push_back(played[i] + (c.shiftMs + jitter(random)) * Rate / 1000);
        for (std::size_t i = 0; i < c.strays; ++i)
            found.push_back(played[0] + anywhere(random));
        std::sort(found.begin(), found.end());
        const std::optional<double> estimate = EstimateRoundTrip(played, found, Rate);
        ASSERT_EQ(estimate.has_value(), c.found) << c.name;
        if (c.found) {
            EXPECT_NEAR(*estimate * 1000 / Rate, c.shiftMs, 0.3) << c.name;
        }
    }
}

// Round trips kept per pair of output and input: a new pair added, a pair measured again
// replaced, the others left as they were.
TEST(Calibration, KeepsOneRoundTripPerPair)
{
    std::string table = WithRoundTrip({}, "pulse:a>pulse:b.monitor", 12.5);
    table = WithRoundTrip(table, "jack:system:playback_1>jack:Tolvane:in_1", 3);
    table = WithRoundTrip(table, "pulse:a>pulse:b.monitor", -1.25);
    EXPECT_EQ(RoundTripOf(table, "pulse:a>pulse:b.monitor"), -1.25);
    EXPECT_EQ(RoundTripOf(table, "jack:system:playback_1>jack:Tolvane:in_1"), 3.0);
    EXPECT_EQ(RoundTripOf(table, "pulse:a>pulse:other"), std::nullopt);
    EXPECT_EQ(RoundTripOf("broken|=|x=", "x"), std::nullopt);
}

// An audio input's hits lose the round trip calibrated for their output and input, whatever the
// output offset; without one (headphones, which the microphone cannot hear), the output offset.
TEST(Calibration, HitsLoseTheRoundTripElseTheOutputOffset)
{
    const std::string table = WithRoundTrip({}, "pulse:speakers>pulse:mic", 12.5);
    const struct {
        const char* pair;
        double offsetMs, shiftMs;
    } cases[] = {
        {"pulse:speakers>pulse:mic", 0, 12.5},
        {"pulse:speakers>pulse:mic", 40, 12.5},
        {"pulse:bluez_sink.headset>pulse:mic", 180, 180},
        {"pulse:bluez_sink.headset>pulse:mic", 0, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HitShiftMs(table, c.pair, c.offsetMs), c.shiftMs) << c.pair << ", " << c.offsetMs;
}

// A two-track file at 480 ticks a quarter: 120 bpm, then 60 bpm from tick 960; running status.
TEST(TakeFile, ReadsMidiNoteOnsThroughTempoChanges)
{
    using namespace std::string_literals;
    const std::string header = "MThd\0\0\0\6\0\1\0\2\x01\xE0"s;
    const std::string tempoTrack = "MTrk\0\0\0\x13"s + "\0\xFF\x51\3\x07\xA1\x20"s + "\x87\x40\xFF\x51\3\x0F\x42\x40"s
                                   + "\0\xFF\x2F\0"s;
    const std::string notes = "MTrk\0\0\0\x10"s + "\0\x99\x25\x64"s + "\x87\x40\x25\0"s + "\x83\x60\x26\x50"s + "\0\xFF\x2F\0"s;
    std::vector<double> seconds;
    std::string error;
    ASSERT_TRUE(ReadMidiNoteOns(header + tempoTrack + notes, seconds, error)) << error;
    EXPECT_EQ(seconds, (std::vector<double>{0.0, 2.0}));
    EXPECT_FALSE(ReadMidiNoteOns(header + "MTrk\0\0\0\x40"s, seconds, error));
    EXPECT_FALSE(ReadMidiNoteOns("RIFF", seconds, error));
}

namespace {

// 48 kHz, frame 0 heard at 1 s on the clock.
class HeardClock final : public Platform::IFrameClock {
public:
    double FrameRate() const noexcept override { return 48000; }
    double AnchorFrame() const noexcept override { return 96000; }
    std::int64_t HandOverTime(double frame) const noexcept override { return HeardTime(frame); }
    std::int64_t HeardTime(double frame) const noexcept override
    {
        return 1'000'000'000 + static_cast<std::int64_t>(frame * 1e9 / 48000);
    }
};

} // namespace

// The ALSA sequencer path: without a sequencer (this machine) Open refuses and nothing reaches
// the terminal; a message is stamped with the frame heard when it arrived.
TEST(AlsaMidiInput, QuietWithoutSequencerAndStampsByHeardTime)
{
    HeardClock clock;
    Platform::Audio::AlsaMidiInput input;
    std::string failure;
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    if (!input.Open(clock, failure)) {
        EXPECT_FALSE(failure.empty());
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr(), "");
    input.Close();
    const std::uint8_t noteOn[3] = {0x99, 37, 100};
    for (const auto& [time, frame] : {std::pair{1'000'000'000LL, 0ULL}, {1'500'000'000LL, 24000ULL}, {3'000'020'833LL, 96001ULL}}) {
        input.Arrived(time, noteOn, 3);
        Platform::Audio::StampedMidi message;
        ASSERT_TRUE(input.Take(message));
        EXPECT_EQ(message.frame, frame);
        EXPECT_TRUE(message.IsNoteOn());
    }
}

// Live: ticks known a lead ahead of when they are heard, hits as they come (the first before
// the first tick, one doubled within 5 ms): each hit is matched as soon as it can be, as the
// whole take scores it, on the frames of a stream that did not start at 0.
TEST(LiveScore, MatchesEachHitAsSoonAsItCan)
{
    auto settings = Bars(4);
    settings.CountIn = 1;
    const TakeGrid grid = PlanGrid(settings, Rate, 10 * Rate);
    const double origin = 1e6, lead = 0.1 * Rate, step = 0.02 * Rate;
    const double offsetsMs[] = {-30, 12, -4, 200, 0, 7};
    std::vector<double> hits;
    for (std::size_t i = 0; i < grid.positions.size(); ++i)
        hits.push_back(origin + grid.positions[i].frame + offsetsMs[i % 6] * Rate / 1000);
    hits.insert(hits.begin() + 3, hits[2] + 0.004 * Rate); // counts once
    LiveScore live(Rate);
    std::size_t ticks = 0, arrived = 0;
    std::vector<MatchedHit> matched;
    for (double now = origin - lead; now < origin + 11 * Rate; now += step) {
        for (; ticks < grid.positions.size() && origin + grid.positions[ticks].frame - lead <= now; ++ticks) {
            PlayedTick tick;
            tick.frame = origin + grid.positions[ticks].frame;
            tick.position.bar = grid.positions[ticks].bar;
            tick.position.countIn = grid.positions[ticks].countIn;
            tick.report = static_cast<std::uint32_t>(ticks);
            live.Played(tick);
        }
        for (; arrived < hits.size() && hits[arrived] <= now; ++arrived)
            live.Hit(hits[arrived]);
        for (const MatchedHit& hit : live.Match(now)) {
            EXPECT_LE(origin + hit.frame, now) << hit.frame;
            // At once, a late one 3 times its lateness after; a stray one when the next position is known.
            if (!hit.stray) {
                EXPECT_GT(origin + hit.frame + 3 * std::max(0.0, hit.errorMs) * Rate / 1000, now - step) << hit.frame;
            }
            matched.push_back(hit);
        }
    }
    EXPECT_TRUE(live.Match(std::numeric_limits<double>::infinity()).empty());
    const TakeScore score = live.Score();
    ASSERT_EQ(matched.size(), grid.positions.size());
    ASSERT_EQ(score.hits.size(), matched.size());
    for (std::size_t i = 0; i < matched.size(); ++i) {
        EXPECT_NEAR(matched[i].errorMs, offsetsMs[i % 6], 1e-6) << i;
        EXPECT_EQ(matched[i].stray, i % 6 == 3) << i;
        EXPECT_EQ(score.hits[i].position, matched[i].position) << i;
    }
}
