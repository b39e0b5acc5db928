#include "System/LogFile.h"

#include "Platform/Files.h"
#include "Platform/LocalTime.h"
#include "Platform/Text.h"

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace System {

namespace {

constexpr std::size_t MessageBuffer = 1024;

// Cuts UTF-8 text to at most maximum bytes without leaving a partial character at the end.
void CutUtf8(std::string& text, std::size_t maximum)
{
    if (text.size() <= maximum)
        return;
    std::size_t end = maximum;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    text.resize(end);
}

bool WriteAll(int descriptor, const std::string& bytes)
{
    return Platform::WriteAll(descriptor, bytes.data(), bytes.size());
}

// The log is this user's alone (0600); a link in its place is not followed and anything but
// a regular file (a pipe would block) is not written.
int OpenForAppend(const std::string& path)
{
    const int descriptor =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, 0600);
    if (descriptor < 0)
        return -1;
    struct stat info {};
    if (::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(descriptor);
        return -1;
    }
    return descriptor;
}

} // namespace

LogFile::LogFile()
    : LogFile(DefaultPath())
{
}

std::string LogFile::DefaultPath()
{
    const std::string folder = Platform::DataFolder();
    return folder.empty() ? std::string() : folder + "Tolvane.log";
}

LogFile::LogFile(std::string path)
    : path_(std::move(path))
{
}

void LogFile::SetLevel(int level)
{
    threshold_.store(level, std::memory_order_relaxed);
}

void LogFile::WriteV(int level, const char* format, va_list arguments)
{
    if (level > threshold_.load(std::memory_order_relaxed))
        return;
    char message[MessageBuffer];
    std::vsnprintf(message, sizeof message, format, arguments);
    WriteMessage(level, message);
}

void LogFile::WriteWideV(int level, const char16_t* format, va_list arguments)
{
    if (level > threshold_.load(std::memory_order_relaxed))
        return;
    const std::u16string wide = Platform::Text::FormatWide(MessageBuffer, format, arguments);
    char message[MessageBuffer];
    Platform::Text::Utf16ToUtf8(wide, message, sizeof message);
    // The converted text is the message itself; it is not formatted again.
    WriteMessage(level, message);
}

void LogFile::WriteMessage(int level, const char* message)
{
    const Platform::LocalTime now = Platform::GetLocalTime();
    char header[96];
    std::snprintf(header, sizeof header, "Date: %02d/%02d/%04d  Time: %02d:%02d:%02d  [%s]  ", now.Day, now.Month,
                  now.Year, now.Hour, now.Minute, now.Second, LevelName(level));
    std::string entry = header;
    entry += message;
    // An over-long entry is cut, but still ends its line so the next entry starts on its own.
    CutUtf8(entry, MaximumEntry - 2);
    entry += "\r\n";
    Append(entry);
}

void LogFile::Append(const std::string& entry)
{
    std::lock_guard lock(appendMutex_);
    if (path_.empty()) {
        // No safe folder for a log file: the entries go to the standard error stream.
        WriteAll(STDERR_FILENO, entry);
        return;
    }
    int descriptor = OpenForAppend(path_);
    if (descriptor < 0)
        return; // A log that cannot be opened loses the entry; nothing reports on the log.
    struct stat info {};
    if (::fstat(descriptor, &info) == 0 && info.st_size > RotationSize) {
        ::close(descriptor);
        Rotate();
        descriptor = OpenForAppend(path_);
        if (descriptor < 0)
            return;
    }
    WriteAll(descriptor, entry);
    ::close(descriptor);
}

void LogFile::Rotate()
{
    const Platform::LocalTime now = Platform::GetLocalTime();
    char name[32];
    std::snprintf(name, sizeof name, "%02d%02d%04d%02d%02d%02d.log", now.Day, now.Month, now.Year, now.Hour,
                  now.Minute, now.Second);
    const std::string target = path_.substr(0, Platform::FileNameStart(path_)) + name;
    // When a file of that name exists the entry goes to the old log and the next entry tries again.
    Platform::MoveFileNoReplace(path_, target);
}

const char* LevelName(int level) noexcept
{
    static constexpr const char* names[] = {"Emergency", "Alert", "Critical", "Error",
                                            "Warn",      "Notice", "Information", "Debug"};
    return level >= 0 && level < 8 ? names[level] : "";
}

void ILog::WriteWide(int level, const char16_t* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    WriteWideV(level, format, arguments);
    va_end(arguments);
}

void ILog::Write(int level, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    WriteV(level, format, arguments);
    va_end(arguments);
}

} // namespace System
