// Song files: every element of the tempo-map grammar, klick's own example map, bad lines with
// their line numbers, the round trip that keeps what it does not play, and setlists.
#include "Core/Songs/SongFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

using Core::SongPart;

TEST(SongFile, ReadsEveryElementOfAPartLine)
{
    // label, bars, beats/denominator, tempo, tempo2, per-beat tempi, pattern, volume, extras
    const struct {
        const char* line;
        const char* label;
        int bars, beats, denominator;
        double tempo, tempo2;
        std::size_t tempi;
        const char* pattern;
        double volume;
    } cases[] = {
        {"intro: 8 120", "intro", 8, 4, 4, 120, 0, 0, "", 1},
        {"verse:12 4/4 120 X.x.", "verse", 12, 4, 4, 120, 0, 0, "X.x.", 1},
        {"  4 120-140 X.x. 0.8  # faster", "", 4, 4, 4, 120, 140, 0, "X.x.", 0.8},
        {"bridge: 3 7/8 140", "bridge", 3, 7, 8, 140, 0, 0, "", 1},
        {"1 3/4 100,110,120.5", "", 1, 3, 4, 100, 0, 3, "", 1},
        {"a_b-2: 2 6/8 90 .5 #tolvane: compound", "a_b-2", 2, 6, 8, 90, 0, 0, "", 0.5},
    };
    for (const auto& c : cases) {
        SongPart part;
        Core::PartProblem problem;
        ASSERT_TRUE(Core::ParsePart(c.line, part, problem)) << c.line << ": " << problem.English();
        EXPECT_EQ(part.label, c.label) << c.line;
        EXPECT_EQ(std::make_tuple(part.bars, part.beats, part.denominator), std::make_tuple(c.bars, c.beats, c.denominator)) << c.line;
        EXPECT_EQ(std::make_tuple(part.tempo, part.tempo2, part.tempi.size()), std::make_tuple(c.tempo, c.tempo2, c.tempi)) << c.line;
        EXPECT_EQ(part.pattern, c.pattern) << c.line;
        EXPECT_EQ(part.volume, c.volume) << c.line;
    }
}

TEST(SongFile, ReadsTolvanesWordsAndEndlessParts)
{
    SongPart part;
    Core::PartProblem problem;
    ASSERT_TRUE(Core::ParsePart("solo: 1 7/8 140  # vamp #tolvane: endless groups=3+2+2 subdivision=2 swing=66 gap=2:1 "
                                "preset=\"My Rock\" future=1", part, problem)) << problem.English();
    EXPECT_TRUE(part.endless);
    EXPECT_EQ(part.comment, "vamp");
    EXPECT_EQ(std::make_tuple(part.groups, part.subdivision, part.swing, part.gapPlay, part.gapMute, part.preset, part.otherExtras),
              std::make_tuple(std::string("3+2+2"), 2, 66.0, 2, 1, std::string("My Rock"), std::string("future=1")));
    // Beat levels: the groups' first beats accented.
    std::string levels;
    for (int beat = 0; beat < 7; ++beat)
        levels += "_pAB"[static_cast<int>(part.LevelOf(beat))];
    EXPECT_EQ(levels, "BppApAp");
    ASSERT_TRUE(Core::ParsePart("0 120", part, problem));
    EXPECT_TRUE(part.endless);
    EXPECT_EQ(Core::FormatPart(part), "1 120  #tolvane: endless"); // klick itself refuses 0 bars
}

TEST(SongFile, KeepsBadLinesWithTheirNumbersAndWritesEverythingBack)
{
    const std::string file = "#tolvane: count-in=2b ending=loop later=3\n"
                             "# klick's example\n"
                             "intro:    8 120           # play 8 measures at 120 bpm (4/4)\n"
                             "verse1:   12 120 X.x.     # 12 measures at 120 bpm\n"
                             "          4 120-140 X.x.  # gradually increase tempo to 140 bpm\n"
                             "bridge:   8 3/4 140 0.5   # change to 3/4 time, reduce volume\n"
                             "\n"
                             "oops: 4\n"
                             "4 5/3 120\n"
                             "4 120 XxX\n"
                             "2 3/4 100,110\n"
                             "4 120 Xxxx 11\n"
                             "4 120 Xxxy\n"
                             "4 120-130 #tolvane: endless\n"
                             "4 120 #tolvane: swing=80\n"
                             "outro: 2 140-80\n";
    Core::Song song = Core::ParseSong(file, "demo");
    EXPECT_EQ(song.Parts().size(), 5u);
    EXPECT_EQ(song.countIn, 5);
    EXPECT_EQ(song.ending, Core::SongEnding::Loop);
    EXPECT_EQ(song.FindLabel("outro"), 4);
    const std::vector<std::string> expected = {
        "line 8: the tempo is missing",
        "line 9: the metre must be 1 to 64 beats of a 1, 2, 4, 8, 16 or 32 note, such as 7/8",
        "line 10: the pattern has 3 beats, the bar 4",
        "line 11: 2 tempos for 6 beats",
        "line 12: the volume must be 0 to 10",
        "line 13: \"Xxxy\" is neither a pattern (X, x, .) nor a volume",
        "line 14: a part without end cannot change its tempo",
        "line 15: #tolvane: swing=80 is out of range",
    };
    EXPECT_EQ(song.Problems(), expected);
    EXPECT_EQ(Core::FormatSong(song), "#tolvane: count-in=2b ending=loop later=3\n" + file.substr(file.find('\n') + 1));

    // An edited part is written anew in klick's syntax; the lines around it stay.
    for (Core::SongLine& line : song.lines)
        if (line.isPart && line.part.label == "bridge")
            line.part.tempo = 150, line.part.subdivision = 2;
    const std::string written = Core::FormatSong(song);
    EXPECT_NE(written.find("\nbridge: 8 3/4 150 0.5  # change to 3/4 time, reduce volume  #tolvane: subdivision=2\n\noops: 4\n"),
              std::string::npos) << written;
    EXPECT_EQ(Core::FormatSong(Core::ParseSong(written, "demo")), written);
}

TEST(SongTiming, IntegratesRampsAndTempoListsExactly)
{
    SongPart part;
    Core::PartProblem problem;
    ASSERT_TRUE(Core::ParsePart("2 7/8 140", part, problem));
    EXPECT_DOUBLE_EQ(part.SecondsTo(14), 14 * 60.0 / 280); // an eighth at 140 quarters
    EXPECT_DOUBLE_EQ(part.SecondsTo(14, 0.8), 14 * 60.0 / 224);
    ASSERT_TRUE(Core::ParsePart("8 4/4 100-160", part, problem));
    // 32 beats, tempo linear in beats: T(x) = 60 * 32 / 60 * ln(1 + 60x / 3200)
    for (int beat : {1, 16, 32})
        EXPECT_NEAR(part.SecondsTo(beat), 32.0 * std::log(1 + 60.0 * beat / 3200), 1e-12) << beat;
    ASSERT_TRUE(Core::ParsePart("1 3/4 60,120,240", part, problem));
    EXPECT_DOUBLE_EQ(part.SecondsTo(3), 1.75);
}

TEST(Setlist, ResolvesPathsAndMarksMissingSongs)
{
    const std::string folder = ::testing::TempDir() + "setlist";
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/a.klick") << "8 120\n";
    const std::string text = "# gig\na.klick\nmissing.klick\n";
    Core::Setlist setlist = Core::ParseSetlist(text, folder);
    ASSERT_EQ(setlist.Songs().size(), 2u);
    EXPECT_EQ(setlist.Songs()[0]->path, folder + "/a.klick");
    EXPECT_FALSE(setlist.Songs()[0]->missing);
    EXPECT_TRUE(setlist.Songs()[1]->missing);
    setlist.Add(folder + "/a.klick");
    EXPECT_EQ(Core::FormatSetlist(setlist), text + "a.klick\n");
}
