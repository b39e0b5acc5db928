// The beat lamp: discs drawn by its own thread for each beat, the empty lamp after a clear, a
// stop or an unasked repaint, and no thread outside a run.
#include "GUI/VisualBeatIndicator.h"

#include "Configuration/ConfigurationData.h"
#include "GUI/MarkerPalette.h"
#include "TestSupport.h"

#include <QtTest>


namespace {

using TestSupport::ThreadCount;

bool IsEmptyLamp(const QImage& image, QRgb face)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) | 0xff000000u) != (face | 0xff000000u))
                return false;
    return true;
}

// Rightmost pixel of the centre row that has the disc's own colour.
int SolidRightEdge(const QImage& image, QRgb disc)
{
    int edge = -1;
    for (int x = 16; x < image.width(); ++x)
        if ((image.pixel(x, 16) | 0xff000000u) == (disc | 0xff000000u))
            edge = x;
    return edge;
}

// Voice v (0..6) gets size v + 1 and colour v + 1; voice 7 size 0.
Configuration::ConfigurationData MarkerSettings()
{
    Configuration::ConfigurationData settings;
    for (int voice = 0; voice < 7; ++voice) {
        settings.Size[voice] = voice + 1;
        settings.Colour[voice] = voice + 1;
    }
    settings.Size[7] = 0;
    settings.Colour[7] = 9;
    return settings;
}

} // namespace

class VisualBeatIndicatorTest : public QObject {
    Q_OBJECT

private slots:
    void BeatsShowTheVoicesDiscsInTheirSizes()
    {
        GUI::VisualBeatIndicator lamp;
        const QRgb face = lamp.palette().color(QPalette::Button).rgb();
        lamp.StartDrawing(MarkerSettings());
        QVERIFY(lamp.IsDrawing());

        for (int voice = 0; voice < 7; ++voice) {
            const int size = voice + 1;
            const QRgb disc = GUI::MarkerColour(voice + 1);
            lamp.ShowBeat(voice);
            QTRY_VERIFY(lamp.ShownImage().pixel(16, 16) == (disc | 0xff000000u));
            // Radius 2 x size - 1: the solid colour reaches exactly that far from the centre.
            QTRY_COMPARE(SolidRightEdge(lamp.ShownImage(), disc), 16 + 2 * size - 1);
            QCOMPARE(lamp.ShownImage().pixel(0, 0) | 0xff000000u, face | 0xff000000u);
        }

        // The picture a beat hands over is what the next paint shows.
        lamp.ShowBeat(6);
        QTRY_COMPARE(SolidRightEdge(lamp.ShownImage(), GUI::MarkerColour(7)), 29);
        const QImage painted = lamp.grab().toImage();
        QCOMPARE(painted.pixel(16, 16) | 0xff000000u, GUI::MarkerColour(7) | 0xff000000u);

        lamp.ShowBeat(7); // size 0: the four centre pixels only
        QTRY_VERIFY(lamp.ShownImage().pixel(15, 15) == (GUI::MarkerColour(9) | 0xff000000u));
        QCOMPARE(lamp.ShownImage().pixel(14, 16) | 0xff000000u, face | 0xff000000u);
        lamp.StopDrawing();
    }

    void ClearAndStopLeaveTheEmptyLampAndNoThread()
    {
        GUI::VisualBeatIndicator lamp;
        const QRgb face = lamp.palette().color(QPalette::Button).rgb();
        const int threadsBefore = ThreadCount();

        lamp.StartDrawing(MarkerSettings());
        QCOMPARE(ThreadCount(), threadsBefore + 1);
        lamp.ShowBeat(3);
        QTRY_VERIFY(!IsEmptyLamp(lamp.ShownImage(), face));
        lamp.ClearBeat();
        QTRY_VERIFY(IsEmptyLamp(lamp.ShownImage(), face));

        lamp.ShowBeat(3);
        QTRY_VERIFY(!IsEmptyLamp(lamp.ShownImage(), face));
        lamp.StopDrawing();
        QVERIFY(!lamp.IsDrawing());
        QCOMPARE(ThreadCount(), threadsBefore);
        QVERIFY(IsEmptyLamp(lamp.ShownImage(), face));

        lamp.StopDrawing(); // a second stop is harmless
        QVERIFY(!lamp.IsDrawing());
    }

    void BeatsWithoutARunDrawNothing()
    {
        GUI::VisualBeatIndicator lamp;
        const QRgb face = lamp.palette().color(QPalette::Button).rgb();
        const int threadsBefore = ThreadCount();
        lamp.ShowBeat(0);
        lamp.ClearBeat();
        QTest::qWait(50);
        QVERIFY(!lamp.IsDrawing());
        QCOMPARE(ThreadCount(), threadsBefore);
        QVERIFY(IsEmptyLamp(lamp.ShownImage(), face));
    }

    void RestartingEndsThePreviousThread()
    {
        const int threadsBefore = ThreadCount();
        {
            GUI::VisualBeatIndicator lamp;
            lamp.StartDrawing(MarkerSettings());
            lamp.StartDrawing(MarkerSettings());
            QCOMPARE(ThreadCount(), threadsBefore + 1);
            lamp.ShowBeat(1);
            QTRY_VERIFY(lamp.ShownImage().pixel(16, 16) == (GUI::MarkerColour(2) | 0xff000000u));
            // Destroyed while drawing: the thread is ended with it.
        }
        QCOMPARE(ThreadCount(), threadsBefore);
    }

    void UnaskedRepaintShowsTheEmptyLamp()
    {
        QWidget window;
        window.resize(300, 150);
        auto* lamp = new GUI::VisualBeatIndicator(&window);
        const QRgb face = lamp->palette().color(QPalette::Button).rgb();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        lamp->StartDrawing(MarkerSettings());
        lamp->ShowBeat(4);
        QTRY_VERIFY(!IsEmptyLamp(lamp->ShownImage(), face));
        QCoreApplication::processEvents(); // the beat's own repaint
        lamp->repaint();                   // the window asks again, as after being uncovered
        QVERIFY(IsEmptyLamp(lamp->ShownImage(), face));
        QVERIFY(IsEmptyLamp(lamp->grab().toImage(), face));

        lamp->ShowBeat(4); // the next beat lights it again
        QTRY_VERIFY(!IsEmptyLamp(lamp->ShownImage(), face));
        lamp->StopDrawing();
    }
};

QTEST_MAIN(VisualBeatIndicatorTest)
#include "VisualBeatIndicatorTest.moc"
