#pragma once
#include <string>

namespace Platform {

/// The calling thread's last system error number (errno).
int LastError() noexcept;
/// Sets the calling thread's last system error number.
void SetLastError(int code) noexcept;
/// The system's description of an error number, one line, no trailing line break.
std::string ErrorText(int code);

} // namespace Platform
