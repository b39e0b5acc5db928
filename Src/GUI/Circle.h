#pragma once
#include <QImage>
#include <QRgb>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace GUI {

/// Software rasteriser for the anti-aliased discs of the beat lamp, the colour previews and
/// the step sequencer markers. It writes straight into the pixel memory of a 32-bit image
/// (QImage::Format_RGB32 or Format_ARGB32): the blue, green and red bytes of a pixel are set,
/// the fourth byte is never written.
///
/// One object per drawing surface; Draw may be called from any one thread at a time (the beat
/// lamp calls it on the GUI thread when a run starts).
class Circle {
public:
    /// Reserves room for the column distances of a 32-pixel-wide surface. When that fails the
    /// log gets an Error line and Draw does nothing.
    Circle();
    ~Circle();
    Circle(const Circle&) = delete;
    Circle& operator=(const Circle&) = delete;

    /// Renders one disc of colour disc over background into image (32 bits per pixel).
    /// radius is the disc's radius in pixels, (centreX, centreY) its centre in pixels counted
    /// from the top-left corner, ringWidth the width a that moves the fading edge outwards by
    /// a / 2, edgeWidth the width e of the band over which the disc fades into background.
    /// Pixels whose distance from the centre is below radius + a / 2 - e / 2 take the disc
    /// colour; from there to radius + a / 2 + e / 2 they blend into background; pixels further
    /// out are left as they are. The last column and the last row of the image are never
    /// touched. Images of another format are left unchanged.
    void Draw(QImage& image, QRgb disc, QRgb background, float radius, float centreX, float centreY,
              float ringWidth, float edgeWidth);

private:
    /// Fills gradient_ from background (entry 0) to disc (entry 255).
    void BuildGradient(QRgb disc, QRgb background);
    /// Makes room for columns column distances; false when memory is short.
    bool ReserveColumns(std::size_t columns);

    std::array<std::array<std::uint8_t, 4>, 256> gradient_{}; // blue, green, red, unused
    std::unique_ptr<float[]> _squareX;
    std::size_t squareXCapacity_ = 0;
};

/// Many equal discs at whole-pixel centres (the step sequencer's hits): each pair of disc and
/// background colours is rendered once by a Circle and then copied row by row, giving pixel
/// for pixel what Circle::Draw gives, at a fraction of its cost. Only opaque 32-bit images
/// (QImage::Format_RGB32) are copied to; a disc reaching a border of the image, or another
/// format, is drawn by the Circle. One thread at a time.
class DiscStamps {
public:
    /// The shape of every disc, as Circle::Draw's radius, ringWidth and edgeWidth.
    DiscStamps(float radius, float ringWidth, float edgeWidth);

    void Draw(QImage& image, QRgb disc, QRgb background, int centreX, int centreY);

private:
    struct Span {
        int dy, dx, length;  // from the centre
        std::size_t first;   // index of the span's first pixel
    };
    struct Stamp {
        QRgb disc, background;
        std::vector<Span> spans;
        std::vector<QRgb> pixels;
    };
    const Stamp& StampFor(QRgb disc, QRgb background);

    float radius_, ringWidth_, edgeWidth_;
    int reach_; // no pixel further than this from the centre, either way
    Circle circle_;
    std::vector<Stamp> stamps_; // one per colour pair in use: a handful
};

} // namespace GUI
