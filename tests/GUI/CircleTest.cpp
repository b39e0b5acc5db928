// Pixel tests of the disc renderer: the exact pixels of the lamp's extreme sizes, the fading
// edge, the untouched fourth byte, the clamping at the surface's borders, and the copied discs
// matching the drawn ones.
#include "GUI/Circle.h"
#include "GUI/MarkerPalette.h"

#include <QtTest>

#include <cmath>

namespace {

const QRgb Background = qRgb(240, 240, 240);
constexpr int Alpha = 0x37; // a fourth byte the renderer must never touch

QImage Surface(int size = 32)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(qRgba(qRed(Background), qGreen(Background), qBlue(Background), Alpha));
    return image;
}

QRgb Opaque(QRgb pixel)
{
    return pixel | 0xff000000u;
}

bool IsBetween(int value, int a, int b)
{
    return value >= std::min(a, b) && value <= std::max(a, b);
}

} // namespace

class CircleTest : public QObject {
    Q_OBJECT

private slots:
    void SmallestSizeColoursOnlyTheFourCentrePixels()
    {
        GUI::Circle circle;
        QImage image = Surface();
        const QRgb disc = GUI::MarkerColour(1);
        // Size 0 on the 32 x 32 lamp: radius -1, ring 2, edge 2.
        circle.Draw(image, disc, Background, -1.0f, 16.0f, 16.0f, 2.0f, 2.0f);

        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x) {
                const bool centre = (x == 15 || x == 16) && (y == 15 || y == 16);
                QCOMPARE(Opaque(image.pixel(x, y)), centre ? disc : Background);
                QCOMPARE(qAlpha(image.pixel(x, y)), Alpha);
            }
        }
    }

    void DefaultDiscIsSolidToThirteenAndFadesToFifteen()
    {
        GUI::Circle circle;
        QImage image = Surface();
        const QRgb disc = qRgb(84, 84, 192);
        circle.Draw(image, disc, Background, 13.0f, 16.0f, 16.0f, 2.0f, 2.0f);

        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x) {
                const QRgb pixel = image.pixel(x, y);
                QCOMPARE(qAlpha(pixel), Alpha);
                const double distance = std::hypot(x - 16, y - 16);
                if (distance <= 13.0) {
                    QCOMPARE(Opaque(pixel), disc);
                } else if (distance >= 15.0) {
                    QCOMPARE(Opaque(pixel), Background);
                } else {
                    QVERIFY(Opaque(pixel) != disc);
                    QVERIFY(IsBetween(qRed(pixel), qRed(disc), qRed(Background)));
                    QVERIFY(IsBetween(qBlue(pixel), qBlue(disc), qBlue(Background)));
                }
            }
        }
        // Halfway through the edge (distance 14) the blend is gradient entry 127:
        // 84 * 127/255 + 240 * 128/255 = 162.3 and 192 * 127/255 + 240 * 128/255 = 216.1.
        QCOMPARE(Opaque(image.pixel(16, 2)), qRgb(162, 162, 216));
        QCOMPARE(Opaque(image.pixel(2, 16)), qRgb(162, 162, 216));
    }

    void ColourPreviewEdgeOfOnePixelStillBlends()
    {
        GUI::Circle circle;
        QImage image = Surface();
        circle.Draw(image, qRgb(0, 0, 0), qRgb(255, 255, 255), 8.0f, 16.0f, 16.0f, 2.0f, 1.0f);
        // The blend band lies between distances 8.5 and 9.5; (16, 7) sits at distance 9.
        const int grey = qRed(image.pixel(16, 7));
        QVERIFY(grey > 0 && grey < 255);
        QCOMPARE(Opaque(image.pixel(16, 6)), Background); // outside the edge: untouched
        QCOMPARE(Opaque(image.pixel(16, 8)), qRgb(0, 0, 0));
    }

    void DiscsAreClippedAtTheBorders()
    {
        GUI::Circle circle;
        QImage image = Surface();
        const QRgb disc = GUI::MarkerColour(9);
        circle.Draw(image, disc, Background, 13.0f, 2.0f, 30.0f, 2.0f, 2.0f);
        QCOMPARE(Opaque(image.pixel(0, 30)), disc);
        QCOMPARE(Opaque(image.pixel(0, 0)), Background);
        // The last row and column are outside the drawing rectangle.
        QCOMPARE(Opaque(image.pixel(2, 31)), Background);

        QImage corner = Surface();
        circle.Draw(corner, disc, Background, 13.0f, 36.0f, 36.0f, 2.0f, 2.0f);
        QCOMPARE(Opaque(corner.pixel(28, 28)), disc);
    }

    void WideSurfacesGetTheWholeDisc()
    {
        GUI::Circle circle;
        QImage image = Surface(64);
        const QRgb disc = GUI::MarkerColour(3);
        circle.Draw(image, disc, Background, 24.0f, 32.0f, 32.0f, 2.0f, 2.0f);
        // More than 32 columns: both sides of the disc are drawn alike.
        QCOMPARE(Opaque(image.pixel(32 - 24, 32)), disc);
        QCOMPARE(Opaque(image.pixel(32 + 24, 32)), disc);
        QCOMPARE(Opaque(image.pixel(32 - 27, 32)), Background);
        QCOMPARE(Opaque(image.pixel(32 + 27, 32)), Background);
    }

    void StampsCopyExactlyWhatTheCircleDraws()
    {
        // A patterned surface shows any pixel touched that should have been left alone.
        QImage drawn(64, 40, QImage::Format_RGB32);
        for (int y = 0; y < drawn.height(); ++y)
            for (int x = 0; x < drawn.width(); ++x)
                drawn.setPixel(x, y, qRgb(x * 4, y * 6, (x * y) % 256));
        QImage stamped = drawn.copy();
        GUI::Circle circle;
        GUI::DiscStamps stamps(7.0f, 2.0f, 1.0f);
        const struct {
            QRgb disc, background;
            int x, y;
        } discs[] = {
            {qRgb(200, 30, 30), Background, 30, 20}, {qRgb(30, 30, 200), qRgb(255, 255, 255), 45, 19},
            {qRgb(200, 30, 30), Background, 14, 21}, // the first pair again: its kept stamp
            {qRgb(30, 200, 30), Background, 3, 38},  // across two borders
        };
        for (const auto& disc : discs) {
            circle.Draw(drawn, disc.disc, disc.background, 7.0f, float(disc.x), float(disc.y), 2.0f, 1.0f);
            stamps.Draw(stamped, disc.disc, disc.background, disc.x, disc.y);
        }
        QCOMPARE(stamped, drawn);
    }

    void PaletteIndicesOutsideTheRangeTakeTheNearestColour()
    {
        QCOMPARE(GUI::MarkerColour(-4), GUI::MarkerColour(0));
        QCOMPARE(GUI::MarkerColour(12), GUI::MarkerColour(11));
        QVERIFY(GUI::MarkerColour(0) != GUI::MarkerColour(11));
    }
};

QTEST_GUILESS_MAIN(CircleTest)
#include "CircleTest.moc"
