#include "GUI/Circle.h"

#include "System/ILog.h"
#include "System/Log.h"

#include <algorithm>
#include <cmath>
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

} // namespace GUI
