#include "GUI/MarkerPalette.h"

#include <algorithm>
#include <array>

namespace GUI {

namespace {

constexpr std::array<QRgb, MarkerColourCount> Palette = {
    qRgb(74, 120, 200),  // 0 steel blue
    qRgb(192, 0, 0),     // 1 red
    qRgb(76, 80, 208),   // 2 blue
    qRgb(224, 224, 0),   // 3 yellow
    qRgb(64, 128, 160),  // 4 teal
    qRgb(100, 100, 128), // 5 slate
    qRgb(142, 6, 6),     // 6 dark red
    qRgb(150, 70, 150),  // 7 purple
    qRgb(220, 140, 50),  // 8 orange
    qRgb(68, 208, 68),   // 9 green
    qRgb(160, 102, 50),  // 10 brown
    qRgb(84, 84, 192),   // 11 indigo
};

} // namespace

QRgb MarkerColour(int index) noexcept
{
    return Palette[static_cast<std::size_t>(std::clamp(index, 0, MarkerColourCount - 1))];
}

} // namespace GUI
