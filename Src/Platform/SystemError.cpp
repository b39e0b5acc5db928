#include "Platform/SystemError.h"

#include <cerrno>
#include <cstring>

namespace Platform {

int LastError() noexcept
{
    return errno;
}

void SetLastError(int code) noexcept
{
    errno = code;
}

std::string ErrorText(int code)
{
    char buffer[256] = {};
    // GNU strerror_r may return a static string instead of filling the buffer.
    const char* text = strerror_r(code, buffer, sizeof buffer);
    std::string result = text ? text : "";
    const auto lineBreak = result.find_first_of("\r\n");
    if (lineBreak != std::string::npos)
        result.resize(lineBreak);
    return result;
}

} // namespace Platform
