#pragma once
// A log for the fuzz targets: formats every entry (so a wrong argument list would show under
// the sanitizers) and throws it away, so fuzzing writes no log file.
#include "Platform/Text.h"
#include "System/ILog.h"

#include <cstdio>

namespace FuzzSupport {

class DiscardingLog final : public System::ILog {
public:
    void WriteWideV(int, const char16_t* format, va_list arguments) override
    {
        Platform::Text::FormatWide(1024, format, arguments);
    }
    void WriteV(int, const char* format, va_list arguments) override
    {
        char buffer[1024];
        std::vsnprintf(buffer, sizeof buffer, format, arguments);
    }
    void SetLevel(int) override {}
};

} // namespace FuzzSupport
