#pragma once
#include "GUI/CommandLine.h"

namespace GUI {

/// Carries out `tolvane --export FILE ...` in this process: the user's settings (read, never
/// saved), the preset, tempo and practice options of the command line, then the click track
/// written without a window, a display or a sound server, never handed to a running copy.
/// Returns the exit status: 0 when the file was written, 1 with one line on stderr (in the
/// settings' language) when not. SIGINT and SIGTERM cancel the export, leaving no file.
int RunExportCommand(const CommandLine::ExportWish& wish);

} // namespace GUI
