// The practice diary: a file of an earlier version brought up to date, a session written and
// read back (and as CSV), the keeper's off switch and playing time, files that are not ours
// to change left as they were.
#include "Configuration/FileConfiguration.h"
#include "Diary/Csv.h"
#include "Diary/Keeper.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

Diary::Session Example()
{
    Diary::Session session;
    session.start = 1796000000;
    session.end = 1796000600;
    session.secondsPlaying = 540.5;
    session.name = "Étude, \"slow\"";
    session.tempoStart = 60;
    session.tempoMin = 60;
    session.tempoMax = 96;
    session.trainerFrom = 60;
    session.trainerTo = 100;
    session.trainerLevel = 4;
    session.countIn = 2;
    session.gapMode = 1;
    session.gapPlay = 3;
    session.gapMute = 1;
    session.gapPercent = 30;
    session.swing = 62.5;
    session.meanMs = -3.25;
    session.sdMs = 11.5;
    session.hits = 412;
    return session;
}

void Exec(sqlite3* db, const std::string& sql)
{
    ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
}

class DiaryTest : public ::testing::Test {
protected:
    std::string Path() const { return folder_ / "tolvane/diary.sqlite3"; }

    TestSupport::TempFolder folder_;
    TestSupport::ScopedLog log_;
};

TEST_F(DiaryTest, FirstVersionIsBroughtUpToDateKeepingItsSessions)
{
    mkdir((folder_ / "tolvane").c_str(), 0700);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(Path().c_str(), &db), SQLITE_OK);
    Exec(db, std::string(Diary::Store::Migrations()[0]) + "PRAGMA user_version=1;"
                "INSERT INTO sessions(start, finish, seconds_playing, name, tempo_start, tempo_min, tempo_max,"
                " count_in, gap_mode, gap_play, gap_mute, gap_percent, swing)"
                " VALUES(100, 200, 90, 'Old', 80, 80, 88, 0, 0, 2, 1, 30, 50)");
    sqlite3_close(db);

    Diary::Store store;
    ASSERT_TRUE(store.Open(Path())) << store.Problem();
    const auto sessions = store.Sessions();
    ASSERT_EQ(sessions.size(), 1u);
    EXPECT_EQ(sessions[0].name, "Old");
    EXPECT_EQ(sessions[0].tempoMax, 88);
    EXPECT_FALSE(sessions[0].meanMs || sessions[0].hits || sessions[0].trainerFrom);
}

TEST_F(DiaryTest, SessionRoundTripThroughFileAndCsv)
{
    Diary::Session written = Example();
    Diary::Session bare = Example();
    bare.name.clear();
    bare.trainerFrom = bare.trainerTo = bare.trainerLevel = bare.hits = std::nullopt;
    bare.meanMs = bare.sdMs = std::nullopt;
    {
        Diary::Store store;
        ASSERT_TRUE(store.Open(Path())) << store.Problem();
        ASSERT_TRUE(store.Write(written));
        ASSERT_TRUE(store.Write(bare));
    }
    struct stat info {};
    ASSERT_EQ(stat(Path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_EQ(stat((folder_ / "tolvane").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    Diary::Store store;
    ASSERT_TRUE(store.Open(Path(), false));
    EXPECT_EQ(store.Sessions(), (std::vector<Diary::Session>{written, bare}));

    const auto lines = TestSupport::SplitLines(Diary::CsvText(store.Sessions()));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(lines[0].starts_with("start,end,seconds_playing,name,tempo_start,tempo_min,tempo_max,"));
    EXPECT_NE(lines[0].find(",mean_ms,sd_ms,"), std::string::npos);
    const std::string start = Diary::IsoTime(written.start);
    EXPECT_EQ(lines[1], start + "," + Diary::IsoTime(written.end)
                            + ",540.500,\"Étude, \"\"slow\"\"\",60,60,96,60,100,4,2,1,3,1,30,62.500,-3.250,11.500,,,412");
    EXPECT_EQ(lines[2].substr(start.size() * 2 + 2), "540.500,,60,60,96,,,,2,1,3,1,30,62.500,,,,,");
}

TEST_F(DiaryTest, KeeperWritesRunsOfTenSecondsPlayingWhenSwitchedOn)
{
    const struct {
        int diary;
        std::chrono::seconds before, paused, after;
        bool written;
    } cases[] = {
        {1, 6s, 30s, 5s, true},   // 11 s playing, a pause between
        {1, 6s, 30s, 3s, false},  // 9 s playing: no session
        {0, 60s, 0s, 0s, false},  // switched off: nothing written, no file made
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all(folder_ / "tolvane");
        Configuration::FileConfiguration settings("");
        settings.GetSwitches().Diary = c.diary;
        settings.GetData().Name = u"Rock";
        settings.GetData().Bpm = 100;
        auto now = std::chrono::steady_clock::time_point{};
        Diary::Keeper keeper(settings, Path(), [&now] { return now; });
        keeper.Started(settings.GetData(), 100);
        now += c.before;
        keeper.TempoChanged(120);
        keeper.PauseToggled();
        now += c.paused;
        keeper.PauseToggled();
        now += c.after;
        const auto session = keeper.Stopped();
        EXPECT_EQ(session.has_value(), c.written) << c.before.count();
        EXPECT_EQ(std::filesystem::exists(Path()), c.written);
        if (!session)
            continue;
        Diary::Store store;
        ASSERT_TRUE(store.Open(Path(), false));
        const auto sessions = store.Sessions();
        ASSERT_EQ(sessions.size(), 1u);
        EXPECT_EQ(sessions[0], *session);
        EXPECT_EQ(sessions[0].name, "Rock");
        EXPECT_DOUBLE_EQ(sessions[0].secondsPlaying, 11.0);
        EXPECT_EQ(sessions[0].tempoMax, 120);
    }
}

TEST_F(DiaryTest, FileNotOursToChangeIsLeftAsItWasAndToldOnce)
{
    const auto newer = [](sqlite3* db) { Exec(db, "PRAGMA journal_mode=WAL; PRAGMA user_version=9; CREATE TABLE t(x)"); };
    const auto foreign = [](sqlite3* db) { Exec(db, "CREATE TABLE accounts(x); INSERT INTO accounts VALUES(1)"); };
    const struct {
        const char* what;
        void (*make)(sqlite3*); // null: bytes that are no database
        bool readOnlyFolder;
    } cases[] = {
        {"damaged", nullptr, false},
        {"newer", newer, false},
        {"another program's", foreign, false},
        {"read-only folder", newer, true},
    };
    for (const auto& c : cases) {
        if (c.readOnlyFolder && geteuid() == 0)
            continue; // root writes anywhere
        std::filesystem::remove_all(folder_ / "tolvane");
        mkdir((folder_ / "tolvane").c_str(), 0700);
        if (c.make) {
            sqlite3* db = nullptr;
            ASSERT_EQ(sqlite3_open(Path().c_str(), &db), SQLITE_OK);
            c.make(db);
            sqlite3_close(db);
        } else {
            TestSupport::WriteFile(Path(), "SQLite format 3" + std::string(4000, '\x5a'));
        }
        if (c.readOnlyFolder)
            chmod((folder_ / "tolvane").c_str(), 0500);
        const std::string before = TestSupport::ReadFile(Path());

        Configuration::FileConfiguration settings("");
        auto now = std::chrono::steady_clock::time_point{};
        Diary::Keeper keeper(settings, Path(), [&now] { return now; });
        int told = 0;
        keeper.SetProblemHandler([&told](Diary::Store::Trouble, const std::string&) { ++told; });
        for (int run = 0; run < 2; ++run) {
            keeper.Started(settings.GetData(), 120);
            now += 20s;
            EXPECT_FALSE(keeper.Stopped()) << c.what;
        }
        EXPECT_EQ(told, 1) << c.what;
        EXPECT_FALSE(keeper.Problem().empty()) << c.what;
        chmod((folder_ / "tolvane").c_str(), 0700);
        EXPECT_EQ(TestSupport::ReadFile(Path()), before) << c.what;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_ / "tolvane"), {}), 1) << c.what;
    }
}

} // namespace
