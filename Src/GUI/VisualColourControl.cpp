#include "GUI/VisualColourControl.h"

#include "GUI/MarkerPalette.h"

#include <QPainter>

#include <algorithm>

namespace GUI {

namespace {

constexpr int LargestSize = 7;
// The disc's fading edge, as on the beat lamp.
constexpr float RingWidth = 2.0F;
constexpr float EdgeWidth = 1.0F;

} // namespace

VisualColourControl::VisualColourControl(QWidget* parent, int id, int size, int colour)
    : QWidget(parent), coverage_(Width, Height, QImage::Format_RGB32),
      image_(Width, Height, QImage::Format_ARGB32_Premultiplied), size_(std::clamp(size, 0, LargestSize)),
      colour_(colour)
{
    setProperty("controlId", id);
    setFixedSize(Width, Height);
}

int VisualColourControl::Radius(int size)
{
    // The largest marker leaves a 3-pixel margin inside the square; each smaller size is one
    // pixel less.
    return Width / 2 - (LargestSize - std::clamp(size, 0, LargestSize)) - 3;
}

void VisualColourControl::SetSize(int size)
{
    size_ = std::clamp(size, 0, LargestSize);
    repaint();
}

void VisualColourControl::SetColour(int colour)
{
    colour_ = colour;
    repaint();
}

void VisualColourControl::paintEvent(QPaintEvent* /*event*/)
{
    // The disc is drawn white over black, which gives how much of each pixel it covers; the
    // marker colour is then laid over whatever the page shows behind the control (a group
    // box, a styled gradient) with that coverage, so no square of another shade shows.
    coverage_.fill(Qt::black);
    const float centre = Width / 2;
    circle_.Draw(coverage_, qRgb(255, 255, 255), qRgb(0, 0, 0), static_cast<float>(Radius(size_)), centre, centre,
                 RingWidth, EdgeWidth);
    const QRgb colour = MarkerColour(colour_);
    for (int y = 0; y < Height; ++y) {
        const auto* mask = reinterpret_cast<const QRgb*>(coverage_.constScanLine(y));
        auto* out = reinterpret_cast<QRgb*>(image_.scanLine(y));
        for (int x = 0; x < Width; ++x) {
            const int alpha = qGreen(mask[x]);
            out[x] = qRgba(qRed(colour) * alpha / 255, qGreen(colour) * alpha / 255, qBlue(colour) * alpha / 255, alpha);
        }
    }
    QPainter(this).drawImage(0, 0, image_);
}

} // namespace GUI
