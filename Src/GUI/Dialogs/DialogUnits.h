#pragma once
#include <QRect>

class QFont;

namespace GUI {

/// Converts the dialog units that window layouts are written in into pixels. A dialog unit is
/// a quarter of the font's average character width across and an eighth of its height down,
/// so a layout grows with its font and keeps its proportions: with an average width of 6 and a
/// height of 13 pixels, 4 × 8 units are 6 × 13 pixels. Each value is converted on its own and
/// rounded to the nearest pixel, halves away from zero.
class DialogUnits {
public:
    /// Base units in pixels: the font's average character width and its height.
    constexpr explicit DialogUnits(int averageCharWidth = 6, int fontHeight = 13)
        : averageCharWidth_(averageCharWidth), fontHeight_(fontHeight)
    {
    }
    /// The base units of font: the average width of the 52 letters A..Z and a..z, halved and
    /// rounded up from the width of 26 of them, and the font's height. GUI thread only.
    static DialogUnits Of(const QFont& font);

    /// Horizontal units (positions and widths) in pixels.
    int X(int units) const;
    /// Vertical units (positions and heights) in pixels.
    int Y(int units) const;
    /// A rectangle given in dialog units, in pixels.
    QRect Rect(int x, int y, int width, int height) const { return {X(x), Y(y), X(width), Y(height)}; }

    int AverageCharWidth() const { return averageCharWidth_; }
    int FontHeight() const { return fontHeight_; }

private:
    int averageCharWidth_;
    int fontHeight_;
};

} // namespace GUI
