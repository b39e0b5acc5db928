#pragma once
#include "System/ILanguage.h"

#include <memory>

namespace System {

/// The program's current text tables. Never null: until another table is installed it is the
/// built-in English one. Any thread may call. The caller shares ownership of the object it
/// gets, so a language switch on the window thread never frees a table another thread (the
/// multimedia error report) is still reading; hold the pointer only for the lookup at hand.
std::shared_ptr<const ILanguage> CurrentLanguage();

/// Installs another table (window thread, at start-up and on a language switch); nullptr
/// installs the built-in English tables. The old table is freed when its last reader lets go.
void SetCurrentLanguage(std::shared_ptr<const ILanguage> language);

/// The one built-in English table object.
std::shared_ptr<const ILanguage> BuiltInLanguage();

} // namespace System
