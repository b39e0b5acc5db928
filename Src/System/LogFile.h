#pragma once
#include "System/ILog.h"

#include <atomic>
#include <mutex>
#include <string>

namespace System {

/// The log file: one entry per append, each entry
/// "Date: DD/MM/YYYY  Time: hh:mm:ss  [Level]  message\r\n", at most 1023 bytes.
/// The file is opened and closed for every entry, so it may be read or deleted while the
/// program runs. Above 2 MiB it is renamed to "DDMMYYYYhhmmss.log" in the same folder and a
/// new file begins. Formatting runs on the caller's thread; the append is serialised.
/// The file is created with mode 0600; a link or anything but a regular file in its place is
/// not written to.
class LogFile final : public ILog {
public:
    /// Logs to "Tolvane.log" in the program's data folder (Platform::DataFolder), or to the
    /// standard error stream when there is no safe data folder.
    LogFile();
    /// Logs to the given file; an empty path logs to the standard error stream.
    explicit LogFile(std::string path);

    void WriteWideV(int level, const char16_t* format, va_list arguments) override;
    void WriteV(int level, const char* format, va_list arguments) override;
    void SetLevel(int level) override;

    const std::string& Path() const { return path_; }

    /// Size above which the file is rotated before the next entry.
    static constexpr long long RotationSize = 2'097'152;
    /// Longest entry in bytes, line end included.
    static constexpr std::size_t MaximumEntry = 1023;

private:
    static std::string DefaultPath();
    void WriteMessage(int level, const char* message);
    void Append(const std::string& entry);
    void Rotate();

    std::string path_;
    std::atomic<int> threshold_{Information};
    std::mutex appendMutex_;
};

} // namespace System
