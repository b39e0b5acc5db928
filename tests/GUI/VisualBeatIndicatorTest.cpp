// The beat lamp and its disc renderer: the discs' solid pixels, their fading edge, the
// untouched fourth byte, clipping at the surface's borders and the copied discs; the lamp's
// beats shown at their heard time by the GUI thread alone, the empty lamp after a clear, a
// stop or an unasked repaint.
#include "GUI/VisualBeatIndicator.h"

#include "Configuration/ConfigurationData.h"
#include "GUI/BeatView.h"
#include "GUI/Circle.h"
#include "GUI/FlashLimiter.h"
#include "GUI/MarkerPalette.h"
#include "Platform/Clock.h"
#include "TestSupport.h"

#include <QtTest>


namespace {

using TestSupport::ThreadCount;

const QRgb Background = qRgb(240, 240, 240);
constexpr int Alpha = 0x37; // a fourth byte the renderer must never touch

QImage Surface(int size = 32)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(qRgba(qRed(Background), qGreen(Background), qBlue(Background), Alpha));
    return image;
}

QRgb Opaque(QRgb pixel) { return pixel | 0xff000000u; }

bool IsEmptyLamp(const QImage& image, QRgb face)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (Opaque(image.pixel(x, y)) != Opaque(face))
                return false;
    return true;
}

// Rightmost pixel of the centre row that has the disc's own colour.
int SolidRightEdge(const QImage& image, QRgb disc, int centre = 16)
{
    int edge = -1;
    for (int x = centre; x < image.width(); ++x)
        if (Opaque(image.pixel(x, centre)) == Opaque(disc))
            edge = x;
    return edge;
}

// Voice v (0..6) gets size v + 1 and colour v + 1.
Configuration::ConfigurationData MarkerSettings()
{
    Configuration::ConfigurationData settings;
    for (int voice = 0; voice < 7; ++voice) {
        settings.Size[voice] = voice + 1;
        settings.Colour[voice] = voice + 1;
    }
    return settings;
}

} // namespace

class VisualBeatIndicatorTest : public QObject {
    Q_OBJECT

private slots:
    // The full-screen view's flashes: every beat up to 180 a minute, then downbeats up to 180
    // bars a minute, then none.
    void FlashesStayAtThreeASecond()
    {
        const struct {
            double bpm;
            int beatsPerBar;
            bool downbeat, flashes;
        } cases[] = {
            {120, 4, false, true},  {180, 4, false, true}, {181, 4, false, false}, {200, 4, true, true},
            {400, 4, true, true},   {400, 2, true, false}, {720, 4, true, true},   {724, 4, true, false},
            {200, 0, true, false},  {200, 1, true, false}, {60, 1, true, true},    {400, 3, false, false},
        };
        for (const auto& c : cases)
            QVERIFY2(GUI::BeatFlashes(c.bpm, c.beatsPerBar, c.downbeat) == c.flashes,
                     qPrintable(QStringLiteral("%1 bpm, %2 beats").arg(c.bpm).arg(c.beatsPerBar)));
    }

    void DiscsAtTheExtremesAndBorders()
    {
        // Pixels probed after one disc (blended towards white): 'D' the disc's colour, 'B' the
        // surface untouched, '~' a blend.
        const struct {
            const char* name;
            float radius, x, y, edge;
            int size;
            std::vector<std::pair<QPoint, char>> probes;
        } cases[] = {
            {"solid to the radius, then a fading edge", 13, 16, 16, 2, 32,
             {{{16, 3}, 'D'}, {{25, 25}, 'D'}, {{16, 2}, '~'}, {{2, 16}, '~'}, {{16, 1}, 'B'}, {{27, 27}, 'B'}}},
            {"size 0", -1, 16, 16, 2, 32, {{{15, 15}, 'D'}, {{16, 16}, 'D'}, {{14, 16}, 'B'}, {{17, 17}, 'B'}}},
            {"an edge of one pixel blends", 8, 16, 16, 1, 32, {{{16, 7}, '~'}, {{16, 6}, 'B'}, {{16, 8}, 'D'}}},
            {"clipped; last row and column outside", 13, 2, 30, 2, 32, {{{0, 30}, 'D'}, {{0, 0}, 'B'}, {{2, 31}, 'B'}}},
            {"centre beyond the corner", 13, 36, 36, 2, 32, {{{28, 28}, 'D'}}},
            {"wider than 32", 24, 32, 32, 2, 64, {{{8, 32}, 'D'}, {{56, 32}, 'D'}, {{5, 32}, 'B'}, {{59, 32}, 'B'}}},
        };
        const QRgb disc = qRgb(0, 0, 0);
        for (const auto& entry : cases) {
            QImage image = Surface(entry.size);
            GUI::Circle().Draw(image, disc, qRgb(255, 255, 255), entry.radius, entry.x, entry.y, 2.0f, entry.edge);
            for (const auto& [point, expected] : entry.probes) {
                const QRgb pixel = image.pixel(point);
                const bool matches = expected == 'D'   ? Opaque(pixel) == disc
                                     : expected == 'B' ? Opaque(pixel) == Background
                                                       : qRed(pixel) > 0 && qRed(pixel) < 255;
                QVERIFY2(matches && qAlpha(pixel) == Alpha, entry.name);
            }
        }
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
            {qRgb(200, 30, 30), Background, 30, 20},
            {qRgb(30, 30, 200), qRgb(255, 255, 255), 45, 19},
            {qRgb(200, 30, 30), Background, 14, 21}, // the first pair again: its kept stamp
            {qRgb(30, 200, 30), Background, 3, 38},  // across two borders
        };
        for (const auto& disc : discs) {
            circle.Draw(drawn, disc.disc, disc.background, 7.0f, float(disc.x), float(disc.y), 2.0f, 1.0f);
            stamps.Draw(stamped, disc.disc, disc.background, disc.x, disc.y);
        }
        QCOMPARE(stamped, drawn);
        // Palette indices outside the range take the nearest colour.
        QCOMPARE(GUI::MarkerColour(-4), GUI::MarkerColour(0));
        QCOMPARE(GUI::MarkerColour(12), GUI::MarkerColour(11));
    }

    void BeatsShowTheVoicesDiscsInTheirSizes()
    {
        GUI::VisualBeatIndicator lamp;
        const QRgb face = lamp.palette().color(QPalette::Button).rgb();
        lamp.StartDrawing(MarkerSettings());
        QVERIFY(lamp.IsDrawing());
        for (int voice = 0; voice < 7; ++voice) {
            const QRgb disc = GUI::MarkerColour(voice + 1);
            lamp.ShowBeat(voice, Core::BeatLook::Normal);
            QTRY_VERIFY(Opaque(lamp.ShownImage().pixel(16, 16)) == Opaque(disc));
            // Radius 2 x size - 1: the solid colour reaches exactly that far from the centre.
            QTRY_COMPARE(SolidRightEdge(lamp.ShownImage(), disc), 16 + 2 * (voice + 1) - 1);
            QCOMPARE(Opaque(lamp.ShownImage().pixel(0, 0)), Opaque(face));
        }
        // The picture a beat hands over is what the next paint shows; a paint nobody asked
        // for (the window uncovered, say) shows the empty lamp.
        QCOMPARE(Opaque(lamp.grab().toImage().pixel(16, 16)), Opaque(GUI::MarkerColour(7)));
        QVERIFY(IsEmptyLamp(lamp.grab().toImage(), face) && IsEmptyLamp(lamp.ShownImage(), face));
        // A lamp five times as large while it plays: voice 7's disc of radius 13 becomes 65, its
        // ring 10 pixels wide (half of it outside the radius, less half the 2-pixel fading edge).
        lamp.SetSide(160);
        lamp.ShowBeat(6, Core::BeatLook::Normal);
        QTRY_VERIFY(Opaque(lamp.ShownImage().pixel(80, 80)) == Opaque(GUI::MarkerColour(7)));
        QVERIFY(qAbs(SolidRightEdge(lamp.ShownImage(), GUI::MarkerColour(7), 80) - (80 + 65 + 4)) <= 1);
        lamp.StopDrawing();
    }

    void BeatsAreShownWhenHeardByTheGuiThreadAlone()
    {
        const int threadsBefore = ThreadCount();
        GUI::VisualBeatIndicator lamp;
        GUI::BeatView view;
        lamp.SetFollower(&view);
        const QRgb face = lamp.palette().color(QPalette::Button).rgb();
        Configuration::ConfigurationData off = MarkerSettings();
        off.VisualIndicator = 0;
        lamp.StartDrawing(off); // a run with the lamp off: nothing shown, nor flashed
        lamp.ShowBeat(0, Core::BeatLook::Normal);
        QCoreApplication::processEvents();
        QVERIFY(!lamp.IsDrawing() && IsEmptyLamp(lamp.ShownImage(), face) && !view.Flashing());

        lamp.StartDrawing(MarkerSettings());
        // A beat handed over inside a tick is shown when the tick is heard, not before.
        Platform::TickContext tick;
        tick.heardTime = Platform::Clock::Now() + 300'000'000;
        Platform::SetCurrentTick(&tick);
        lamp.ShowBeat(3, Core::BeatLook::Normal);
        Platform::SetCurrentTick(nullptr);
        while (Platform::Clock::Now() < tick.heardTime - 50'000'000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            QVERIFY(IsEmptyLamp(lamp.ShownImage(), face));
        }
        QTRY_VERIFY_WITH_TIMEOUT(!IsEmptyLamp(lamp.ShownImage(), face), 20000);
        QVERIFY(Platform::Clock::Now() >= tick.heardTime);
        QCOMPARE(ThreadCount(), threadsBefore); // no thread of its own
        lamp.ClearBeat();
        QTRY_VERIFY(IsEmptyLamp(lamp.ShownImage(), face));
        lamp.ShowBeat(1, Core::BeatLook::Normal);
        QTRY_VERIFY(Opaque(lamp.ShownImage().pixel(16, 16)) == Opaque(GUI::MarkerColour(2)));
        // Stop darkens the lamp at once, without waiting for the event loop.
        lamp.StopDrawing();
        QVERIFY(!lamp.IsDrawing() && IsEmptyLamp(lamp.ShownImage(), face));
    }

    // A beat and its bar position are heard at one moment through two timelines: the full-screen
    // view paints them in one picture (a second full-screen paint would come a paint late).
    void TheViewPaintsABeatAndItsPositionAtOnce()
    {
        struct CountingView final : GUI::BeatView {
            int paints = 0;
            void paintEvent(QPaintEvent* event) override
            {
                ++paints;
                GUI::BeatView::paintEvent(event);
            }
        } view;
        view.resize(320, 240);
        view.SetTempo(60);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.StartDrawing(MarkerSettings());
        QTRY_VERIFY(view.paints > 0);
        QCoreApplication::processEvents();
        const int before = view.paints;
        Platform::TickContext tick;
        tick.heardTime = Platform::Clock::Now() + 100'000'000;
        Platform::SetCurrentTick(&tick);
        view.ShowBeat(0, Core::BeatLook::Normal);
        Core::BarPosition position;
        position.bar = 2;
        position.beat = 3;
        view.PostPosition(position);
        Platform::SetCurrentTick(nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(view.ShownBeat() == 3 && view.Flashing(), 20000);
        QCoreApplication::processEvents();
        QCOMPARE(view.paints - before, 1);
        view.StopDrawing();
    }
};

QTEST_MAIN(VisualBeatIndicatorTest)
#include "VisualBeatIndicatorTest.moc"
