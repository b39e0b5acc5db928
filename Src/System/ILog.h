#pragma once
#include <cstdarg>

namespace System {

/// Log levels; a line is written when its level is at most the threshold.
enum LogLevel : int {
    Emergency = 0,
    Alert = 1,
    Critical = 2,
    Error = 3,
    Warn = 4,
    Notice = 5,
    Information = 6,
    Debug = 7,
};

/// The program's log. Every thread may write; entries never interleave.
class ILog {
public:
    virtual ~ILog() = default;

    /// Formats a UTF-16 format with its arguments (%s takes const char16_t*) and writes it
    /// as one entry.
    void WriteWide(int level, const char16_t* format, ...);
    /// Formats an 8-bit (UTF-8) printf format with its arguments and writes it as one entry.
    void Write(int level, const char* format, ...) __attribute__((format(printf, 3, 4)));

    virtual void WriteWideV(int level, const char16_t* format, va_list arguments) = 0;
    virtual void WriteV(int level, const char* format, va_list arguments) = 0;
    /// Sets the highest level that is written.
    virtual void SetLevel(int level) = 0;
};

/// The level's name as it appears in the log ("Error", "Warn", ...); "" when out of range.
const char* LevelName(int level) noexcept;

} // namespace System
