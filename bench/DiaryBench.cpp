// The practice diary's checks and figures (bench/RESULTS.md, make reliability):
//   bench_diary kills N FOLDER   N times: a process writing session after session (the
//                                program's own keeper, each session one transaction) is killed
//                                with SIGKILL at a random moment; the diary must open, pass
//                                PRAGMA integrity_check and hold every session whose write
//                                had returned.
//   bench_diary make FOLDER ROWS  a diary of ROWS sessions in FOLDER/tolvane/ (for the checks
//                                of bench/Reliability.sh).
//   bench_diary shots FOLDER PICTURES LANG  the manual's pictures of the statistics window, on
//                                a diary of four weeks made in FOLDER (LANG: the language files).
//   bench_diary size FOLDER [ROWS]  a diary of ROWS sessions (10,000: ten years and more of
//                                daily practice): the time a session's write takes on top of
//                                it, and the time the statistics window takes to open on it
//                                (QT_QPA_PLATFORM=offscreen).
// Without arguments (make bench): kills 500 and size 10,000 in a temporary folder.
// One line per check on stdout, starting with "ok" or "FAILED"; exit status 1 on a failure.
#include "Configuration/FileConfiguration.h"
#include "Diary/Keeper.h"
#include "GUI/Dialogs/DiaryDialog.h"
#include "System/CurrentLanguage.h"
#include "System/LanguageFileReader.h"

#include <QApplication>
#include <QDateTime>
#include <QPixmap>
#include <QTabWidget>
#include <QTableView>

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <filesystem>
#include <random>
#include <set>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Writes sessions one after another through the program's keeper and reports each one's row
// number on the descriptor once its write has returned. Never returns.
[[noreturn]] void WriteForever(const std::string& path, int report)
{
    Configuration::FileConfiguration settings("");
    auto now = Clock::time_point{};
    Diary::Keeper keeper(settings, path, [&now] { return now; });
    for (;;) {
        keeper.Started(settings.GetData(), 120);
        now += 11s;
        const auto session = keeper.Stopped();
        if (!session)
            _exit(2);
        const std::int64_t id = session->id;
        if (write(report, &id, sizeof id) != sizeof id)
            _exit(3);
    }
}

struct Verdict {
    bool opened = true, intact = true;
    std::size_t missing = 0, rows = 0;
};

Verdict Inspect(const std::string& path, const std::set<std::int64_t>& written)
{
    Verdict verdict;
    Diary::Store store;
    if (!store.Open(path, false)) {
        verdict.opened = false;
        std::fprintf(stderr, "%s\n", store.Problem().c_str());
        return verdict;
    }
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* check = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &check, nullptr);
    verdict.intact = sqlite3_step(check) == SQLITE_ROW
                     && std::string(reinterpret_cast<const char*>(sqlite3_column_text(check, 0))) == "ok";
    sqlite3_finalize(check);
    sqlite3_close(db);
    std::set<std::int64_t> present;
    for (const Diary::Session& s : store.Sessions())
        present.insert(s.id);
    verdict.rows = present.size();
    for (const std::int64_t id : written)
        verdict.missing += present.count(id) == 0;
    return verdict;
}

int Kills(int kills, const std::string& folder)
{
    const std::string path = folder + "/tolvane/diary.sqlite3";
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> delayUs(0, 30000);
    std::set<std::int64_t> written;
    int opened = 0, intact = 0, complete = 0;
    std::size_t lost = 0;
    for (int round = 0; round < kills; ++round) {
        int pipes[2];
        if (pipe(pipes) != 0)
            return 1;
        const pid_t child = fork();
        if (child == 0) {
            close(pipes[0]);
            WriteForever(path, pipes[1]);
        }
        close(pipes[1]);
        usleep(static_cast<useconds_t>(delayUs(random)));
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        std::int64_t id = 0;
        while (read(pipes[0], &id, sizeof id) == sizeof id)
            written.insert(id);
        close(pipes[0]);
        const Verdict verdict = Inspect(path, written);
        opened += verdict.opened;
        intact += verdict.intact;
        complete += verdict.missing == 0;
        lost += verdict.missing;
    }
    const bool ok = opened == kills && intact == kills && complete == kills;
    std::printf("%s  diary: %d SIGKILLs at random moments of a process ending session after session: opened %d, "
                "integrity_check ok %d, every ended session there %d; %zu sessions written, %zu lost\n",
                ok ? "ok     " : "FAILED ", kills, opened, intact, complete, written.size(), lost);
    return ok ? 0 : 1;
}

double Load()
{
    double load = 0;
    if (std::FILE* file = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(file, "%lf", &load) != 1)
            load = 0;
        std::fclose(file);
    }
    return load;
}

double Milliseconds(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

int Size(int argc, char** argv, const std::string& folder, int rows)
{
    const std::string path = folder + "/tolvane/diary.sqlite3";
    Configuration::FileConfiguration settings("");
    {
        // Ten years and more of daily sessions, names from a few presets, tempos rising.
        Diary::Store store;
        if (!store.Open(path)) {
            std::printf("FAILED  diary: %s\n", store.Problem().c_str());
            return 1;
        }
        const std::int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                                     std::chrono::system_clock::now().time_since_epoch())
                                     .count();
        for (int i = 0; i < rows; ++i) {
            Diary::Session s;
            s.start = now - static_cast<std::int64_t>(rows - i) * 86400 * 10 / 27;
            s.end = s.start + 1500;
            s.secondsPlaying = 600 + (i * 37) % 1800;
            s.name = i % 5 == 0 ? std::string() : "Etude " + std::to_string(i % 7);
            s.tempoStart = 60 + (i % 40);
            s.tempoMin = s.tempoStart;
            s.tempoMax = s.tempoStart + (i % 30);
            if (i % 3 == 0) {
                s.meanMs = -5.0 + (i % 11);
                s.sdMs = 8.0 + (i % 7);
                s.hits = 300;
            }
            store.Write(s);
        }
    }
    std::vector<double> writes;
    {
        auto now = Clock::time_point{};
        Diary::Keeper keeper(settings, path, [&now] { return now; });
        for (int i = 0; i < 200; ++i) {
            keeper.Started(settings.GetData(), 100);
            now += 20s;
            const auto begin = Clock::now();
            keeper.Stopped();
            writes.push_back(Milliseconds(Clock::now() - begin));
        }
    }
    std::sort(writes.begin(), writes.end());
    const double writeMedian = writes[writes.size() / 2], writeWorst = writes.back();

    QApplication application(argc, argv);
    Diary::Keeper keeper(settings, path);
    std::vector<double> opens, cpu;
    std::size_t shown = 0;
    const auto threadCpu = [] {
        timespec t {};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1e6;
    };
    for (int i = 0; i < 5; ++i) {
        const double cpuBegin = threadCpu();
        const auto begin = Clock::now();
        GUI::DiaryDialog window(nullptr, settings, &keeper);
        window.Initialise(0);
        window.show();
        QApplication::processEvents();
        window.grab();
        opens.push_back(Milliseconds(Clock::now() - begin));
        cpu.push_back(threadCpu() - cpuBegin);
        shown = window.Sessions().size();
    }
    const double openFirst = opens.front();
    std::sort(opens.begin(), opens.end());
    const double openMedian = opens[opens.size() / 2], openWorst = opens.back();
    std::sort(cpu.begin(), cpu.end());
    const bool ok = writeWorst < 5.0 && openMedian < 200.0 && shown == static_cast<std::size_t>(rows) + 200;
    std::printf("%s  diary of %zu sessions: a session's write %.2f ms median, %.2f ms at most (of 200); the "
                "statistics window open and painted %.0f ms the first time, %.0f ms median, %.0f ms at most (of 5; "
                "GUI thread CPU %.0f ms median); load average %.1f\n",
                ok ? "ok     " : "FAILED ", shown, writeMedian, writeWorst, openFirst, openMedian, openWorst,
                cpu[cpu.size() / 2], Load());
    return ok ? 0 : 1;
}

// Four weeks of practice as the manual shows it: a rhythm whose tempo rises, a speed trainer
// that climbs further each week, the current settings now and then; timing figures that
// tighten. Each window's tab in English, German and French as NAME-TAB[.LANG].png.
int Shots(int argc, char** argv, const std::string& folder, const QString& pictures, const std::string& languages)
{
    const std::string path = folder + "/tolvane/diary.sqlite3";
    {
        Diary::Store store;
        if (!store.Open(path))
            return 1;
        const QDate today = QDate::currentDate();
        for (int day = 27; day >= 0; --day) {
            if (day % 6 == 4)
                continue; // a day off now and then
            const int week = (27 - day) / 7;
            Diary::Session s;
            s.start = QDateTime(today.addDays(-day), QTime(18, 30)).toSecsSinceEpoch();
            s.secondsPlaying = 900 + (day * 137) % 1500;
            s.end = s.start + static_cast<std::int64_t>(s.secondsPlaying) + 120;
            s.name = "Rock beat";
            s.tempoStart = 90 + (27 - day) / 2;
            s.tempoMin = s.tempoStart;
            s.tempoMax = s.tempoStart + 4;
            s.meanMs = 9.0 - (27 - day) * 0.25 + (day % 3);
            s.sdMs = 18.0 - (27 - day) * 0.35;
            s.hits = 400;
            store.Write(s);
            if (day % 2 == 0) {
                Diary::Session t;
                t.start = s.end + 600;
                t.secondsPlaying = 600;
                t.end = t.start + 600;
                t.name = "Trainer 80 to 120";
                t.tempoStart = t.tempoMin = 80;
                t.tempoMax = 96 + week * 8;
                t.trainerFrom = 80;
                t.trainerTo = 120;
                t.trainerLevel = (t.tempoMax - 80) / 4;
                store.Write(t);
            }
            if (day % 5 == 1) {
                Diary::Session c;
                c.start = s.start - 1800;
                c.secondsPlaying = 420;
                c.end = c.start + 420;
                c.tempoStart = c.tempoMin = c.tempoMax = 120;
                store.Write(c);
            }
        }
    }
    QApplication application(argc, argv);
    Configuration::FileConfiguration settings("");
    Diary::Keeper keeper(settings, path);
    for (const char* language : {"", "de", "fr"}) {
        const std::string code = language;
        if (code.empty())
            System::SetCurrentLanguage(System::BuiltInLanguage());
        else
            System::SetCurrentLanguage(System::LoadLanguageFile(languages + "/" + code + ".lng"));
        const std::u16string name(code.begin(), code.end());
        std::copy(name.begin(), name.end(), settings.GetLanguage());
        settings.GetLanguage()[name.size()] = u'\0';
        GUI::DiaryDialog window(nullptr, settings, &keeper);
        window.Initialise(0);
        window.resize(window.minimumSize().expandedTo(QSize(760, 560)));
        window.show();
        const char* tabs[] = {"minutes", "tempo", "timing", "sessions"};
        for (int tab = 0; tab < 4; ++tab) {
            window.Tabs()->setCurrentIndex(tab);
            QApplication::processEvents();
            const QString file = QStringLiteral("%1/PracticeDiary-%2%3.png")
                                     .arg(pictures, QString::fromLatin1(tabs[tab]),
                                          code.empty() ? QString() : QStringLiteral(".") + QString::fromStdString(code));
            window.grab().save(file);
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "kills" && argc == 4)
        return Kills(std::atoi(argv[2]), argv[3]);
    if (mode == "make" && argc == 4) {
        // A diary of a few sessions for the program's checks.
        Configuration::FileConfiguration settings("");
        auto now = Clock::time_point{};
        Diary::Keeper keeper(settings, std::string(argv[2]) + "/tolvane/diary.sqlite3", [&now] { return now; });
        for (int i = 0; i < std::atoi(argv[3]); ++i) {
            keeper.Started(settings.GetData(), 100);
            now += 30s;
            if (!keeper.Stopped())
                return 1;
        }
        return 0;
    }
    if (mode == "shots" && argc == 5)
        return Shots(argc, argv, argv[2], QString::fromLocal8Bit(argv[3]), argv[4]);
    if (mode == "size" && argc >= 3)
        return Size(argc, argv, argv[2], argc > 3 ? std::atoi(argv[3]) : 10000);
    if (argc == 1) {
        // make bench: both checks in a folder of their own, removed afterwards.
        char pattern[] = "/tmp/tolvane-diary-bench-XXXXXX";
        const std::string folder = mkdtemp(pattern);
        qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
        const int failed = Kills(500, folder + "/kills") | Size(argc, argv, folder + "/size", 10000);
        std::filesystem::remove_all(folder);
        return failed;
    }
    std::fprintf(stderr, "usage: bench_diary kills N FOLDER | make FOLDER ROWS | size FOLDER [ROWS]\n");
    return 2;
}
