#pragma once
#include "Diary/Session.h"

#include <span>
#include <string>
#include <vector>

struct sqlite3;

namespace Diary {

/// The diary's file: an SQLite database of sessions. Its schema carries a version
/// (PRAGMA user_version); a file of an earlier version is brought up to date, step by step,
/// each step in one transaction, when it is opened. Write-ahead logging; each session is
/// written in one transaction, so a process killed at any moment leaves every session whose
/// Write returned and a file that opens.
///
/// A file that cannot be used is never changed: one that is damaged, of a newer version, not
/// a diary, not a regular file, another user's, locked by another process, or in a folder
/// that cannot be written makes Open fail with the reason in Problem(). A failed write
/// (no space, a damaged page found late) rolls back; the store then refuses further writes.
///
/// One thread at a time (the GUI thread in the program).
class Store {
public:
    /// What kept the diary from being used, for telling the user in their language (the
    /// Problem() line has the details, in English, for the log).
    enum class Trouble { None, NoFolder, Damaged, Newer, OtherUser, InUse, NoAccess, Full, Other };

    /// The schema version this program writes.
    static constexpr int Version = 2;

    Store() = default;
    ~Store();
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    /// $XDG_DATA_HOME/tolvane/diary.sqlite3 (~/.local/share/ when the variable is unset or
    /// not absolute); empty when neither variable gives a folder.
    static std::string DefaultPath();

    /// Opens the diary at path (UTF-8). A missing file is made (mode 0600, in a folder of
    /// mode 0700 made as needed) when create is set, else Open fails. False, with the reason
    /// in Problem(), when the diary cannot be used; nothing is written then.
    bool Open(const std::string& path, bool create = true);
    bool IsOpen() const { return db_ != nullptr; }
    /// Why the last Open or write failed: one line for the log and the user.
    const std::string& Problem() const { return problem_; }
    Trouble Why() const { return trouble_; }
    const std::string& Path() const { return path_; }

    /// Adds session in one transaction and sets its id. False (Problem() says why) when it
    /// could not be written; the file stays as it was.
    bool Write(Session& session);
    /// Every session, oldest start first. Empty when none or on failure (Problem()).
    std::vector<Session> Sessions();
    /// Removes the session with this id, or every session.
    bool Delete(std::int64_t id);
    bool DeleteAll();

    /// The statements that make each version from the one before; [0] makes version 1 from
    /// an empty file. Exposed for tests, which build a diary of an earlier version.
    static std::span<const char* const> Migrations();

private:
    bool Fail(const std::string& what, Trouble trouble);
    /// Fail with SQLite's message and the trouble its error code names.
    bool FailSql(const std::string& what);
    bool Execute(const char* sql);
    bool Migrate(int from);
    void Close();

    sqlite3* db_ = nullptr;
    std::string path_;
    std::string problem_;
    Trouble trouble_ = Trouble::None;
};

} // namespace Diary
