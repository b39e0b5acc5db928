#pragma once
#include "GUI/Circle.h"

#include <QImage>
#include <QWidget>

namespace GUI {

/// The preview of one voice's beat-lamp marker on the Sound Settings page: a 22 × 22 pixel
/// square showing a disc of radius size + 1 in the marker colour, over the background of the
/// page it sits on. Setting the size or the colour repaints it at once, so the preview follows
/// a slider while it is dragged. Not a tab stop. GUI thread only.
class VisualColourControl final : public QWidget {
public:
    static constexpr int Width = 22;
    static constexpr int Height = 22;

    /// id: its control identifier; size 0..7 and colour 0..11 as in the settings (values
    /// outside are shown as the nearest valid one).
    VisualColourControl(QWidget* parent, int id, int size, int colour);

    void SetSize(int size);
    void SetColour(int colour);
    int Size() const { return size_; }
    int Colour() const { return colour_; }
    /// The disc's radius in pixels for a marker size.
    static int Radius(int size);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Circle circle_;
    QImage coverage_; // the disc white on black
    QImage image_;    // the disc in its colour, transparent around it
    int size_;
    int colour_;
};

} // namespace GUI
