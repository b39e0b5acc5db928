#include "GUI/Circle.h"

#include "System/ILog.h"
#include "System/Log.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace GUI {

namespace {

constexpr std::size_t DefaultColumns = 32;

// Byte offsets of blue, green and red inside one 32-bit pixel as QImage stores it (0xAARRGGBB
// in native byte order).
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr int BlueByte = 0, GreenByte = 1, RedByte = 2;
#else
constexpr int BlueByte = 3, GreenByte = 2, RedByte = 1;
#endif

std::uint8_t Blend(int disc, int background, int step)
{
    const float share = static_cast<float>(step) / 255.0f;
    const float rest = static_cast<float>(255 - step) / 255.0f;
    return static_cast<std::uint8_t>(static_cast<float>(disc) * share + static_cast<float>(background) * rest);
}

} // namespace

Circle::Circle()
{
    if (!ReserveColumns(DefaultColumns))
        System::Log().Write(System::Error, "Unable to allocate memory for _squareX array object in Circle constructor");
}

Circle::~Circle() = default;

bool Circle::ReserveColumns(std::size_t columns)
{
    if (columns <= squareXCapacity_)
        return true;
    std::unique_ptr<float[]> larger(new (std::nothrow) float[columns]);
    if (!larger)
        return false;
    _squareX = std::move(larger);
    squareXCapacity_ = columns;
    return true;
}

void Circle::BuildGradient(QRgb disc, QRgb background)
{
    for (int i = 0; i < 256; ++i) {
        auto& entry = gradient_[static_cast<std::size_t>(i)];
        entry[0] = Blend(qBlue(disc), qBlue(background), i);
        entry[1] = Blend(qGreen(disc), qGreen(background), i);
        entry[2] = Blend(qRed(disc), qRed(background), i);
    }
}

void Circle::Draw(QImage& image, QRgb disc, QRgb background, float radius, float centreX, float centreY,
                  float ringWidth, float edgeWidth)
{
    if (!_squareX || image.depth() != 32 || image.isNull())
        return;

    const float mid = radius + ringWidth / 2;
    const float outer = mid + edgeWidth / 2;
    const float inner = mid - edgeWidth / 2;
    const float core = radius - ringWidth / 2 - edgeWidth / 2;
    const float outerSquared = outer * outer;
    const float innerSquared = inner * inner;
    const float coreSquared = core * core;

    const int width = image.width();
    const int height = image.height();
    const int x0 = std::max(static_cast<int>(centreX - mid - 1), 0);
    const int x1 = std::min(static_cast<int>(centreX + mid + 1), width - 1);
    const int y0 = std::max(static_cast<int>(centreY - mid - 1), 0);
    const int y1 = std::min(static_cast<int>(centreY + mid + 1), height - 1);
    if (x1 <= x0 || y1 <= y0)
        return;

    // A surface wider than the lamp may need more column distances than the constructor
    // reserved; without the memory nothing is drawn rather than writing past the table.
    if (!ReserveColumns(static_cast<std::size_t>(x1 - x0)))
        return;

    BuildGradient(disc, background);
    const int centreColumn = static_cast<int>(centreX);
    for (int x = x0; x < x1; ++x) {
        const float dx = static_cast<float>(x - centreColumn);
        _squareX[static_cast<std::size_t>(x - x0)] = dx * dx;
    }

    for (int y = y0; y < y1; ++y) {
        const float dy = static_cast<float>(y) - centreY;
        const float dySquared = dy * dy;
        std::uint8_t* row = image.scanLine(y);
        for (int x = x0; x < x1; ++x) {
            const float distanceSquared = dySquared + _squareX[static_cast<std::size_t>(x - x0)];
            const std::array<std::uint8_t, 4>* colour;
            if (distanceSquared < coreSquared) {
                colour = &gradient_[255];
            } else if (distanceSquared >= outerSquared) {
                continue;
            } else if (distanceSquared >= innerSquared) {
                const float fade = (mid - std::sqrt(distanceSquared)) * 2 / edgeWidth;
                const int index = std::clamp(static_cast<int>(fade * 127.5f + 127.5f), 0, 255);
                colour = &gradient_[static_cast<std::size_t>(index)];
            } else {
                colour = &gradient_[255];
            }
            std::uint8_t* pixel = row + static_cast<std::ptrdiff_t>(x) * 4;
            pixel[BlueByte] = (*colour)[0];
            pixel[GreenByte] = (*colour)[1];
            pixel[RedByte] = (*colour)[2];
        }
    }
}

DiscStamps::DiscStamps(float radius, float ringWidth, float edgeWidth)
    : radius_(radius),
      ringWidth_(ringWidth),
      edgeWidth_(edgeWidth),
      reach_(static_cast<int>(std::ceil(radius + ringWidth / 2 + edgeWidth / 2)) + 2)
{
}

const DiscStamps::Stamp& DiscStamps::StampFor(QRgb disc, QRgb background)
{
    for (const Stamp& stamp : stamps_) {
        if (stamp.disc == disc && stamp.background == background)
            return stamp;
    }
    // Drawn twice, over black and over white: the pixels the disc covers come out the same,
    // the ones it leaves alone keep their different backgrounds.
    const int size = 2 * reach_ + 3;
    const int centre = reach_ + 1;
    QImage overBlack(size, size, QImage::Format_RGB32);
    QImage overWhite(size, size, QImage::Format_RGB32);
    overBlack.fill(qRgb(0, 0, 0));
    overWhite.fill(qRgb(255, 255, 255));
    for (QImage* image : {&overBlack, &overWhite})
        circle_.Draw(*image, disc, background, radius_, static_cast<float>(centre), static_cast<float>(centre),
                     ringWidth_, edgeWidth_);
    Stamp stamp{disc, background, {}, {}};
    for (int y = 0; y < size; ++y) {
        const auto* black = reinterpret_cast<const QRgb*>(overBlack.constScanLine(y));
        const auto* white = reinterpret_cast<const QRgb*>(overWhite.constScanLine(y));
        for (int x = 0; x < size; ++x) {
            if (black[x] != white[x])
                continue;
            if (stamp.spans.empty() || stamp.spans.back().dy != y - centre ||
                stamp.spans.back().dx + stamp.spans.back().length != x - centre)
                stamp.spans.push_back({y - centre, x - centre, 0, stamp.pixels.size()});
            ++stamp.spans.back().length;
            stamp.pixels.push_back(black[x]);
        }
    }
    stamps_.push_back(std::move(stamp));
    return stamps_.back();
}

void DiscStamps::Draw(QImage& image, QRgb disc, QRgb background, int centreX, int centreY)
{
    // Circle never touches the last column and row of an image, nor anything beyond a border.
    if (image.format() != QImage::Format_RGB32 || centreX - reach_ < 0 || centreY - reach_ < 0 ||
        centreX + reach_ >= image.width() - 1 || centreY + reach_ >= image.height() - 1) {
        circle_.Draw(image, disc, background, radius_, static_cast<float>(centreX), static_cast<float>(centreY),
                     ringWidth_, edgeWidth_);
        return;
    }
    const Stamp& stamp = StampFor(disc, background);
    for (const Span& span : stamp.spans) {
        std::memcpy(image.scanLine(centreY + span.dy) + static_cast<std::ptrdiff_t>(centreX + span.dx) * 4,
                    &stamp.pixels[span.first], static_cast<std::size_t>(span.length) * 4);
    }
}

} // namespace GUI
