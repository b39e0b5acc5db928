#include "System/ErrorReport.h"

#include "Platform/SystemError.h"
#include "Platform/Text.h"
#include "System/Log.h"

#include <cstdarg>
#include <cstring>

namespace System {

void ReportSystemError(const char16_t* file, const char16_t* function, int line, const char16_t* format, ...)
{
    // The error number first, before anything below can change it.
    const int code = Platform::LastError();

    va_list arguments;
    va_start(arguments, format);
    const std::u16string text = Platform::Text::FormatWide(256, format, arguments);
    va_end(arguments);

    std::u16string description = Platform::Text::Utf8ToUtf16(Platform::ErrorText(code));
    if (const auto lineBreak = description.find(u'\r'); lineBreak != std::u16string::npos)
        description.resize(lineBreak);
    if (description.size() > 1023)
        description.resize(1023);

    Log().WriteWide(Error,
                    u"System error: %s\r\n\tFile: %s\r\n\tFunction: %s\r\n\tLine: %d\r\n\tError Code %u\r\n\tDescription: %s",
                    text.c_str(), file, function, line, static_cast<unsigned>(code), description.c_str());
}

bool ReportThreadCreationError()
{
    const std::string text = Platform::ErrorText(Platform::LastError());
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, "%s", text.c_str());
    if (char* lineFeed = std::strchr(buffer, '\n'))
        *lineFeed = 0;
    Log().Write(Error, "Error calling _beginThreadEx: %s", buffer);
    return false;
}

} // namespace System
