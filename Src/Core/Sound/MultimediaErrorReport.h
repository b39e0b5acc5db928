#pragma once
#include <cstdint>

namespace Core {

/// Writes an Error entry for a failed audio or MIDI device call:
///   Multimedia error: <text>
///   	File: <file>
///   	Function: <function>
///   	Line: <line>
///   	Error Code <code>
///   	Description: <[Message] text of MessageForResultCode(code) in the current text tables>
/// text is formatted from format and arguments (%s takes const char16_t*). Never fails and
/// never shows anything. Control threads only: it formats text, reads the current text tables
/// under their lock and writes the log, none of which the timer thread may do (a sound engine
/// keeps a failed sound as a code and reports it at its next Close).
void ReportMultimediaError(const char16_t* file, const char16_t* function, int line, std::uint32_t code,
                           const char16_t* format, ...);

} // namespace Core
