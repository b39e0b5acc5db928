#pragma once
#include <QRgb>

namespace GUI {

/// Number of marker colours a voice can choose from (settings field Colour, 0..11).
constexpr int MarkerColourCount = 12;

/// The marker colour of a palette index, used by the beat lamp, the colour previews and the
/// step sequencer. An index outside 0..11 (a hand-edited settings file) gives the nearest
/// valid entry. Any thread may call.
QRgb MarkerColour(int index) noexcept;

} // namespace GUI
