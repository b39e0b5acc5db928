#pragma once
#include <QFont>
#include <QString>

namespace GUI {

/// A font in the face of the desktop's menu font at a size given in points and a weight on the
/// 100..900 scale (400 normal, 700 bold, 900 black). The size is fixed in pixels as for a
/// 96-dots-per-inch screen (8 points become 11 pixels), so the program's fixed-size controls
/// keep their layout whatever the desktop's font scaling. GUI thread only.
QFont ProgramFont(int points, int weight);

/// A table text as a QString; none (nullptr) gives the empty text.
QString FromTableText(const char16_t* text);

} // namespace GUI
