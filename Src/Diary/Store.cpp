#include "Diary/Store.h"

#include "Platform/PrivateFolder.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Diary {

namespace {

// Version 1: the sessions as played. Version 2: the figures of timing feedback.
constexpr const char* MigrationSteps[] = {
    "CREATE TABLE sessions("
    " id INTEGER PRIMARY KEY,"
    " start INTEGER NOT NULL," // seconds since 1970 UTC
    " finish INTEGER NOT NULL,"
    " seconds_playing REAL NOT NULL,"
    " name TEXT NOT NULL,"     // '' for the current settings
    " tempo_start INTEGER NOT NULL, tempo_min INTEGER NOT NULL, tempo_max INTEGER NOT NULL,"
    " trainer_from INTEGER, trainer_to INTEGER, trainer_level INTEGER,"
    " count_in INTEGER NOT NULL, gap_mode INTEGER NOT NULL, gap_play INTEGER NOT NULL,"
    " gap_mute INTEGER NOT NULL, gap_percent INTEGER NOT NULL, swing REAL NOT NULL);"
    "CREATE INDEX sessions_by_start ON sessions(start);",
    "ALTER TABLE sessions ADD COLUMN mean_ms REAL;"
    "ALTER TABLE sessions ADD COLUMN sd_ms REAL;"
    "ALTER TABLE sessions ADD COLUMN muted_mean_ms REAL;"
    "ALTER TABLE sessions ADD COLUMN muted_sd_ms REAL;"
    "ALTER TABLE sessions ADD COLUMN hits INTEGER;",
};
static_assert(std::size(MigrationSteps) == Store::Version);

constexpr const char* Columns =
    "start, finish, seconds_playing, name, tempo_start, tempo_min, tempo_max, trainer_from, trainer_to,"
    " trainer_level, count_in, gap_mode, gap_play, gap_mute, gap_percent, swing, mean_ms, sd_ms,"
    " muted_mean_ms, muted_sd_ms, hits";

// A locked diary (another copy writing, a backup tool) is waited for this long at most: the
// program writes on its window's thread.
constexpr int BusyTimeoutMs = 250;

// One prepared statement, finalised when it goes.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr); }
    ~Statement() { sqlite3_finalize(statement_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    sqlite3_stmt* operator*() const { return statement_; }
    explicit operator bool() const { return statement_ != nullptr; }

private:
    sqlite3_stmt* statement_ = nullptr;
};

template <typename T>
void BindOptional(sqlite3_stmt* statement, int index, const std::optional<T>& value)
{
    if (!value)
        sqlite3_bind_null(statement, index);
    else if constexpr (std::is_floating_point_v<T>)
        sqlite3_bind_double(statement, index, *value);
    else
        sqlite3_bind_int64(statement, index, *value);
}

template <typename T>
std::optional<T> ColumnOptional(sqlite3_stmt* statement, int index)
{
    if (sqlite3_column_type(statement, index) == SQLITE_NULL)
        return std::nullopt;
    if constexpr (std::is_floating_point_v<T>)
        return sqlite3_column_double(statement, index);
    else
        return static_cast<T>(sqlite3_column_int64(statement, index));
}

Store::Trouble TroubleOfErrno(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
        return Store::Trouble::NoAccess;
    case ENOSPC:
    case EDQUOT:
        return Store::Trouble::Full;
    default:
        return Store::Trouble::Other;
    }
}

Store::Trouble TroubleOfSql(int code)
{
    switch (code & 0xff) {
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
    case SQLITE_FORMAT:
        return Store::Trouble::Damaged;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return Store::Trouble::InUse;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_CANTOPEN:
    case SQLITE_AUTH:
        return Store::Trouble::NoAccess;
    case SQLITE_FULL:
        return Store::Trouble::Full;
    default:
        return Store::Trouble::Other;
    }
}

// Makes each missing folder on the way to path (not path itself) with mode 0700.
void MakeParents(const std::string& path)
{
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
        ::mkdir(path.substr(0, slash).c_str(), S_IRWXU);
}

} // namespace

Store::~Store()
{
    Close();
}

std::string Store::DefaultPath()
{
    std::string data;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && *xdg == '/')
        data = xdg;
    else if (const char* home = std::getenv("HOME"); home != nullptr && *home == '/')
        data = std::string(home) + "/.local/share";
    return data.empty() ? std::string{} : data + "/tolvane/diary.sqlite3";
}

std::span<const char* const> Store::Migrations()
{
    return MigrationSteps;
}

void Store::Close()
{
    if (db_ != nullptr)
        sqlite3_close_v2(db_);
    db_ = nullptr;
}

bool Store::Fail(const std::string& what, Trouble trouble)
{
    problem_ = "The practice diary " + path_ + " " + what;
    trouble_ = trouble;
    Close();
    return false;
}

bool Store::FailSql(const std::string& what)
{
    return Fail(what + sqlite3_errmsg(db_), TroubleOfSql(sqlite3_extended_errcode(db_)));
}

bool Store::Execute(const char* sql)
{
    return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool Store::Open(const std::string& path, bool create)
{
    Close();
    path_ = path;
    problem_.clear();
    trouble_ = Trouble::None;
    if (path.empty() || path.front() != '/')
        return Fail("has no folder: neither XDG_DATA_HOME nor HOME names one", Trouble::NoFolder);
    const std::size_t slash = path.rfind('/');
    const std::string folder = path.substr(0, slash);
    if (create && slash > 0) {
        MakeParents(folder);
        const std::size_t parentEnd = folder.rfind('/');
        std::string folderProblem;
        if (Platform::MakePrivateFolder(folder.substr(0, parentEnd), folder.substr(parentEnd + 1), folderProblem).empty())
            return Fail("cannot be kept: " + folderProblem, Trouble::NoAccess);
    }

    bool made = false;
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        const int error = errno;
        if (error != ENOENT || !create)
            return Fail(std::string("cannot be opened: ") + std::strerror(error), TroubleOfErrno(error));
        // Made here with the mode it keeps: SQLite would make it readable by everybody.
        const int descriptor = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
        if (descriptor < 0) {
            const int error = errno;
            return Fail(std::string("cannot be made: ") + std::strerror(error), TroubleOfErrno(error));
        }
        ::close(descriptor);
        made = true;
    } else if (!S_ISREG(info.st_mode)) {
        return Fail("is not a regular file", Trouble::Damaged);
    } else if (info.st_uid != ::geteuid()) {
        return Fail("belongs to user " + std::to_string(info.st_uid), Trouble::OtherUser);
    }

    const bool opened = [&] {
        if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW | SQLITE_OPEN_NOMUTEX,
                            nullptr) != SQLITE_OK) {
            if (db_ == nullptr)
                return Fail("cannot be opened: out of memory", Trouble::Other);
            return FailSql("cannot be opened: ");
        }
        sqlite3_busy_timeout(db_, BusyTimeoutMs);
        // Nothing is written before the file has shown itself a diary of a version known here.
        int version = -1;
        int tables = -1;
        {
            Statement query(db_, "SELECT (SELECT user_version FROM pragma_user_version),"
                                 " (SELECT count(*) FROM sqlite_master)");
            if (!query || sqlite3_step(*query) != SQLITE_ROW)
                return FailSql("cannot be read: ");
            version = sqlite3_column_int(*query, 0);
            tables = sqlite3_column_int(*query, 1);
        }
        if (version > Version)
            return Fail("was written by a newer Tolvane (diary version " + std::to_string(version)
                        + "; this one knows up to " + std::to_string(Version) + ")",
                        Trouble::Newer);
        if (version == 0 && tables > 0)
            return Fail("is a database of another program", Trouble::Damaged);
        {
            Statement wal(db_, "PRAGMA journal_mode=WAL");
            if (!wal || sqlite3_step(*wal) != SQLITE_ROW
                || std::strcmp(reinterpret_cast<const char*>(sqlite3_column_text(*wal, 0)), "wal") != 0)
                return FailSql("cannot keep its write-ahead log: ");
        }
        // A session written survives the process being killed; only a power cut may lose the
        // last ones (never the file).
        Execute("PRAGMA synchronous=NORMAL");
        return Migrate(version);
    }();
    if (!opened && made)
        ::unlink(path.c_str()); // the empty file this call made, nobody else's
    return opened;
}

bool Store::Migrate(int from)
{
    for (int version = from; version < Version; ++version) {
        const std::string step = std::string("BEGIN IMMEDIATE;") + MigrationSteps[version]
                                 + "PRAGMA user_version=" + std::to_string(version + 1) + ";COMMIT;";
        if (!Execute(step.c_str())) {
            const Trouble trouble = TroubleOfSql(sqlite3_errcode(db_));
            const std::string reason = sqlite3_errmsg(db_);
            Execute("ROLLBACK");
            return Fail("cannot be brought to version " + std::to_string(version + 1) + ": " + reason, trouble);
        }
    }
    return true;
}

bool Store::Write(Session& session)
{
    if (db_ == nullptr)
        return false;
    if (!Execute("BEGIN IMMEDIATE"))
        return FailSql("cannot be written: ");
    bool written = false;
    {
        const std::string sql = std::string("INSERT INTO sessions(") + Columns
                                + ") VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)";
        Statement insert(db_, sql.c_str());
        if (insert) {
            sqlite3_stmt* s = *insert;
            sqlite3_bind_int64(s, 1, session.start);
            sqlite3_bind_int64(s, 2, session.end);
            sqlite3_bind_double(s, 3, session.secondsPlaying);
            sqlite3_bind_text(s, 4, session.name.data(), static_cast<int>(session.name.size()), SQLITE_STATIC);
            sqlite3_bind_int(s, 5, session.tempoStart);
            sqlite3_bind_int(s, 6, session.tempoMin);
            sqlite3_bind_int(s, 7, session.tempoMax);
            BindOptional(s, 8, session.trainerFrom);
            BindOptional(s, 9, session.trainerTo);
            BindOptional(s, 10, session.trainerLevel);
            sqlite3_bind_int(s, 11, session.countIn);
            sqlite3_bind_int(s, 12, session.gapMode);
            sqlite3_bind_int(s, 13, session.gapPlay);
            sqlite3_bind_int(s, 14, session.gapMute);
            sqlite3_bind_int(s, 15, session.gapPercent);
            sqlite3_bind_double(s, 16, session.swing);
            BindOptional(s, 17, session.meanMs);
            BindOptional(s, 18, session.sdMs);
            BindOptional(s, 19, session.mutedMeanMs);
            BindOptional(s, 20, session.mutedSdMs);
            BindOptional(s, 21, session.hits);
            written = sqlite3_step(s) == SQLITE_DONE;
        }
    }
    if (written && Execute("COMMIT")) {
        session.id = sqlite3_last_insert_rowid(db_);
        return true;
    }
    const Trouble trouble = TroubleOfSql(sqlite3_errcode(db_));
    const std::string reason = sqlite3_errmsg(db_);
    Execute("ROLLBACK");
    return Fail("cannot be written: " + reason, trouble);
}

std::vector<Session> Store::Sessions()
{
    std::vector<Session> sessions;
    if (db_ == nullptr)
        return sessions;
    const std::string sql = std::string("SELECT id, ") + Columns + " FROM sessions ORDER BY start, id";
    Statement select(db_, sql.c_str());
    if (!select) {
        FailSql("cannot be read: ");
        return sessions;
    }
    sqlite3_stmt* s = *select;
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(s)) == SQLITE_ROW) {
        Session& session = sessions.emplace_back();
        session.id = sqlite3_column_int64(s, 0);
        session.start = sqlite3_column_int64(s, 1);
        session.end = sqlite3_column_int64(s, 2);
        session.secondsPlaying = sqlite3_column_double(s, 3);
        if (const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, 4)))
            session.name.assign(text, static_cast<std::size_t>(sqlite3_column_bytes(s, 4)));
        session.tempoStart = sqlite3_column_int(s, 5);
        session.tempoMin = sqlite3_column_int(s, 6);
        session.tempoMax = sqlite3_column_int(s, 7);
        session.trainerFrom = ColumnOptional<std::int32_t>(s, 8);
        session.trainerTo = ColumnOptional<std::int32_t>(s, 9);
        session.trainerLevel = ColumnOptional<std::int32_t>(s, 10);
        session.countIn = sqlite3_column_int(s, 11);
        session.gapMode = sqlite3_column_int(s, 12);
        session.gapPlay = sqlite3_column_int(s, 13);
        session.gapMute = sqlite3_column_int(s, 14);
        session.gapPercent = sqlite3_column_int(s, 15);
        session.swing = sqlite3_column_double(s, 16);
        session.meanMs = ColumnOptional<double>(s, 17);
        session.sdMs = ColumnOptional<double>(s, 18);
        session.mutedMeanMs = ColumnOptional<double>(s, 19);
        session.mutedSdMs = ColumnOptional<double>(s, 20);
        session.hits = ColumnOptional<std::int32_t>(s, 21);
    }
    if (step != SQLITE_DONE) {
        problem_ = "The practice diary " + path_ + " cannot be read: " + sqlite3_errmsg(db_);
        sessions.clear();
    }
    return sessions;
}

bool Store::Delete(std::int64_t id)
{
    if (db_ == nullptr)
        return false;
    Statement remove(db_, "DELETE FROM sessions WHERE id = ?");
    if (remove) {
        sqlite3_bind_int64(*remove, 1, id);
        if (sqlite3_step(*remove) == SQLITE_DONE)
            return true;
    }
    problem_ = "The practice diary " + path_ + " cannot be changed: " + sqlite3_errmsg(db_);
    return false;
}

bool Store::DeleteAll()
{
    if (db_ != nullptr && Execute("DELETE FROM sessions"))
        return true;
    if (db_ != nullptr)
        problem_ = "The practice diary " + path_ + " cannot be changed: " + sqlite3_errmsg(db_);
    return false;
}

} // namespace Diary
