// Songs played from their map: part boundaries on bar lines, ramps, the practice tempo, moves
// at the bar's end or at once, the count-in, and the run's sounds and end on the controller.
#include "EngineFakes.h"

#include "Core/Export/OfflineTimer.h"
#include "Core/Songs/SongSchedule.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace EngineFakes;

namespace {

const char* const Benchmark = "4 4/4 120\n"
                              "3 7/8 140 X.X.X..\n"
                              "8 4/4 100-160\n"
                              "2 6/8 90 #tolvane: compound\n";

// Every tick's seconds (with its part, bar, beat, step as "p.b.k.s") until the song ends.
std::vector<std::pair<std::string, double>> Ticks(Core::SongCursor cursor, int limit = 10000)
{
    std::vector<std::pair<std::string, double>> ticks;
    do {
        const Core::SongTick& t = cursor.Current();
        ticks.emplace_back(std::to_string(t.part) + "." + std::to_string(t.bar) + "." + std::to_string(t.beat) + "."
                               + std::to_string(t.step) + (t.countIn ? "c" : ""),
                           t.seconds);
    } while (cursor.Advance() && static_cast<int>(ticks.size()) < limit);
    return ticks;
}

} // namespace

TEST(SongSchedule, PlacesEveryPartOnThePreviousPartsLastBarLine)
{
    const Core::Song song = Core::ParseSong(Benchmark, "bench");
    // Part lengths from the map: 4 bars of 0.5 s beats; 21 eighths at 280 a minute; the ramp's
    // integral, 60 s x 32 / 60 x ln(160 / 100); 12 eighths at 180 a minute.
    const double lengths[] = {8.0, 21 * 60.0 / 280, 32.0 * std::log(1.6), 12 * 60.0 / 180};
    for (const double scale : {1.0, 0.8}) {
        const auto ticks = Ticks(Core::SongCursor(song, 0, scale, false));
        ASSERT_EQ(ticks.size(), 16u + 21 + 32 + 12) << scale;
        double barLine = 0;
        std::size_t first = 0;
        for (int part = 0; part < 4; ++part) {
            EXPECT_EQ(ticks[first].first, std::to_string(part) + ".0.0.0");
            EXPECT_NEAR(ticks[first].second, barLine, 1e-9) << part;
            barLine += lengths[part] / scale;
            first += std::array<std::size_t, 4>{16, 21, 32, 12}[static_cast<std::size_t>(part)];
        }
        // The ramp's first and last beats: 0.6 s at 100, about 0.375 s near 160.
        EXPECT_NEAR(ticks[38].second - ticks[37].second, 32.0 * std::log(1 + 0.6 / 32) / scale, 1e-9);
        EXPECT_NEAR(ticks.back().second, barLine - 60.0 / 180 / scale, 1e-9); // no tick after the last beat
    }
}

TEST(SongSchedule, MovesAtTheBarsEndOrAtOnceAndCountsIn)
{
    Core::Song song = Core::ParseSong("#tolvane: count-in=1 ending=loop\n"
                                      "a: 2 4/4 120 #tolvane: subdivision=2 swing=75\n"
                                      "b: 0 3/4 60\n"
                                      "c: 1 2/4 120\n",
                                      "moves");
    Core::SongCursor cursor(song, 0, 1.0, false);
    // The count-in: one bar of a's beats at a's tempo before a's first bar line.
    EXPECT_EQ(Ticks(cursor, 5).front(), std::make_pair(std::string("0.-1.0.0c"), -2.0));
    for (int k = 0; k < 5; ++k)
        cursor.Advance();
    EXPECT_EQ(cursor.Current().step, 1);
    EXPECT_DOUBLE_EQ(cursor.Current().seconds, 0.375); // swung eighth: 75 % of the beat
    cursor.Request(Core::SongMove::NextPart, false);
    while (cursor.Current().part == 0)
        cursor.Advance();
    EXPECT_DOUBLE_EQ(cursor.Current().seconds, 2.0); // at the end of a's first bar, not its second
    // A part moved to starts at its place in the song (the MIDI clock's Song Position).
    EXPECT_TRUE(cursor.Current().moved && cursor.Current().songBeat == 8);
    for (int k = 0; k < 30; ++k)
        cursor.Advance(); // b has no end
    EXPECT_EQ(cursor.Current().part, 1);
    cursor.Advance();
    cursor.Request(Core::SongMove::NextPart, true);
    const double beforeMove = cursor.Current().seconds;
    cursor.Advance();
    EXPECT_EQ(cursor.Current().part, 2);
    EXPECT_DOUBLE_EQ(cursor.Current().seconds, beforeMove + 1.0); // the next beat, mid-bar
    EXPECT_TRUE(cursor.Current().moved && cursor.Current().songBeat == 8); // b, endless, counts none
    cursor.Request(Core::SongMove::PreviousPart, false);
    cursor.Advance(), cursor.Advance();
    EXPECT_EQ(cursor.Current().part, 1);
    cursor.Request(Core::SongMove::End, false);
    int ticks = 0;
    while (cursor.Advance())
        ++ticks;
    EXPECT_EQ(ticks, 2); // the rest of b's bar
}

TEST(SongRun, PlaysTheSongsVoicesCountInAndEndsAfterItsLastBeat)
{
    Rig rig;
    Configuration::ConfigurationData settings = Rig::VoiceSettings();
    settings.VisualIndicator = 0;
    const Core::Song song = Core::ParseSong("#tolvane: count-in=2b\n1 5/8 140 Xx.Xx 0.5\n1 3/4 90 #tolvane: endless\n", "s");
    ASSERT_EQ(rig.metronome.StartSong(&rig.handler, settings, song, Core::SongStart{0, 1.0}), 0u);
    EXPECT_TRUE(rig.metronome.PlayingSong());
    // As the timer does: the first tick is the anchor, each later one asked for its place first.
    double offset = 0;
    rig.timer.Tick();
    for (int k = 1; k < 7; ++k) {
        ASSERT_TRUE(rig.strategies.song.NextTickOffset(offset));
        rig.timer.Tick();
    }
    // The count-in with voice 1's file, then the pattern: accents on voices 1 and 3, half volume.
    std::string voices;
    for (const Sound& s : rig.engine.sounds)
        voices += std::to_string(s.sound) + ":" + std::to_string(s.volume) + " ";
    EXPECT_EQ(voices, "0:127 0:88 0:63 1:63 2:63 1:63 ");
    EXPECT_EQ(rig.handler.positions, (std::vector<std::string>{"0.1", "0.2", "1.1", "1.2", "1.3", "1.4", "1.5"}));
    ASSERT_TRUE(rig.strategies.song.NextTickOffset(offset));
    EXPECT_NEAR(offset, 1000.0 * (60.0 / 280 * 7), 1e-9); // the next part's first beat, from the count-in's first
    rig.metronome.MoveInSong(Core::SongMove::End, false);
    rig.timer.Tick(10);
    EXPECT_FALSE(rig.timer.running);
    EXPECT_EQ(rig.engine.sounds.size(), 9u); // the endless part's one bar, then the end
    EXPECT_EQ(rig.log.back(), "OnStopped 120");
}

// An export steps the same run on its offline timer: every tick on the frame the map gives it.
TEST(SongRun, AnOfflineRenderPlacesEveryTickFromTheMap)
{
    Rig rig;
    Core::Export::OfflineTimer timer;
    Core::MetronomeServices services = rig.Services();
    services.timer = &timer;
    Core::Metronome metronome(services);
    const Core::Song song = Core::ParseSong(Benchmark, "bench");
    Configuration::ConfigurationData settings = Rig::VoiceSettings();
    settings.VisualIndicator = 0;
    ASSERT_EQ(metronome.StartSong(&rig.handler, settings, song, Core::SongStart{1, 0.8}), 0u);
    std::vector<double> frames;
    while (timer.IsRunning() && frames.size() < 1000) {
        const auto tick = timer.Next();
        frames.push_back(tick.frame);
        timer.Play(tick);
    }
    const auto expected = Ticks(Core::SongCursor(song, 1, 0.8, false));
    ASSERT_EQ(frames.size(), expected.size() + 1); // and a silent one at the song's end, where the run ends
    const double rate = Platform::SteadyFrames().FrameRate();
    EXPECT_NEAR((frames.back() - frames[0]) / rate, (21 * 60.0 / 280 + 32.0 * std::log(1.6) + 12 * 60.0 / 180) / 0.8, 1e-9);
    frames.pop_back();
    // On the steady clock (frames of a nanosecond), to a nanosecond: far below a sample.
    for (std::size_t k = 0; k < frames.size(); ++k)
        EXPECT_NEAR((frames[k] - frames[0]) / rate, expected[k].second - expected[0].second, 1e-9) << expected[k].first;
}
