#pragma once

namespace System {

/// Writes an Error entry for a failed system call: reads the calling thread's last error
/// (errno) first, formats the text from format and arguments (at most 255 characters; %s
/// takes const char16_t*), and logs
///   System error: <text>
///   	File: <file>
///   	Function: <function>
///   	Line: <line>
///   	Error Code <code>
///   	Description: <system description>
/// Never fails and never shows anything.
void ReportSystemError(const char16_t* file, const char16_t* function, int line, const char16_t* format, ...);

/// Writes the Error entry for a thread that could not be created, with the description of
/// the current errno. Always returns false, for the caller to return.
bool ReportThreadCreationError();

} // namespace System
