#pragma once
#include <string>

namespace GUI {

/// True when a kernel release string as uname gives it ("6.1.0-13-amd64") names Linux 3.2 or
/// later. A release that does not start with a version number is refused.
bool KernelReleaseSupported(const char* release);

/// True when name can be a language file's name: not empty, and no folder separator or other
/// way out of the language folder.
bool SafeLanguageName(const std::u16string& name);

} // namespace GUI
