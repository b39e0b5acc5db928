#pragma once

namespace GUI {

/// Registers the program's built-in pictures (toolbar icons, the error sign) under ":/icons".
/// Safe to call more than once. GUI thread only.
void InitialiseResources();

} // namespace GUI
