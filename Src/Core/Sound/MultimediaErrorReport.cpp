#include "Core/Sound/MultimediaErrorReport.h"

#include "Core/Sound/SoundEngineMessages.h"
#include "Platform/Text.h"
#include "System/CurrentLanguage.h"
#include "System/Log.h"

#include <cstdarg>
#include <string>

namespace Core {

void ReportMultimediaError(const char16_t* file, const char16_t* function, int line, std::uint32_t code,
                           const char16_t* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    const std::u16string text = Platform::Text::FormatWide(256, format, arguments);
    va_end(arguments);

    // The table is held only for this lookup, so a language switch meanwhile cannot free it.
    std::u16string description;
    if (const auto language = System::CurrentLanguage()) {
        if (const char16_t* message = language->GetMessage(MessageForResultCode(code)))
            description = message;
    }

    System::Log().WriteWide(System::Error,
                            u"Multimedia error: %s\r\n\tFile: %s\r\n\tFunction: %s\r\n\tLine: %d\r\n\tError Code %u\r\n\tDescription: %s",
                            text.c_str(), file, function, line, static_cast<unsigned>(code), description.c_str());
}

} // namespace Core
