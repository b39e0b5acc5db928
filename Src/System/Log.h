#pragma once
#include "System/ILog.h"

namespace System {

/// The program's one log. Never null: until something else is installed it is a LogFile in
/// the program's data folder, made on first use. Any thread may call.
ILog& Log();

/// Installs another log (tests, start-up); nullptr goes back to the default log file.
/// The caller keeps ownership and keeps the object alive while it is installed.
void SetLog(ILog* log);

} // namespace System
