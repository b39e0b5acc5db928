#pragma once
#include "GUI/CommandLine.h"

namespace GUI {

/// Carries out `tolvane --score`: the user's settings (or a preset of theirs) with the command
/// line's changes, the take scored against them, its figures on the standard output (with
/// --json nothing but the JSON object), a failure on the standard error. Needs no display and
/// no running copy. Returns the exit status: 0 scored, 1 the take or the preset could not be
/// used.
int ScoreFromCommandLine(const CommandLine::ScoreOptions& options);

} // namespace GUI
