// The toolbar and the tempo read-out: the buttons' pictures, commands and hot-item reports,
// their texts and tooltips from a language file; where the read-out's digits and unit label
// land in its picture, and its label after a switch.
#include "GUI/BeatsPerMinuteDisplay.h"
#include "GUI/Toolbar.h"
#include "System/CurrentLanguage.h"
#include "System/LanguageFileReader.h"
#include "TestSupport.h"

#include <QtTest>

#include <QToolButton>

#include <array>
#include <vector>

namespace {

// The read-out's ink: the large digits (the columns whose ink reaches the upper half), and
// the unit label to their right with the lowest ink of its first glyph ("b").
struct Ink {
    int left = 1000, right = -1, top = 1000, bottom = -1;
    int labelLeft = 1000, labelGlyphBottom = -1;
};

Ink FindInk(GUI::BeatsPerMinuteDisplay& display)
{
    const QImage image = display.grab().toImage().convertToFormat(QImage::Format_RGB32);
    std::vector<std::array<int, 3>> columns; // x, top and bottom ink row, inside the frame
    for (int x = 1; x < image.width() - 1; ++x) {
        int top = -1, bottom = -1;
        for (int y = 1; y < image.height() - 1; ++y) {
            if (qGray(image.pixel(x, y)) < 110) {
                top = top < 0 ? y : top;
                bottom = y;
            }
        }
        if (top >= 0)
            columns.push_back({x, top, bottom});
    }
    Ink ink;
    for (const auto& [x, top, bottom] : columns) {
        if (top < image.height() / 2) {
            ink.left = std::min(ink.left, x);
            ink.right = std::max(ink.right, x);
        }
    }
    bool firstGlyph = true;
    int labelEnd = -1;
    for (const auto& [x, top, bottom] : columns) {
        if (x <= ink.right && x >= ink.left) {
            ink.top = std::min(ink.top, top);
            ink.bottom = std::max(ink.bottom, bottom);
        } else if (x > ink.right) {
            firstGlyph = firstGlyph && (labelEnd < 0 || x == labelEnd + 1);
            if (firstGlyph)
                ink.labelGlyphBottom = std::max(ink.labelGlyphBottom, bottom);
            ink.labelLeft = std::min(ink.labelLeft, x);
            labelEnd = x;
        }
    }
    return ink;
}

} // namespace

class ToolbarTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { System::SetCurrentLanguage(nullptr); }

    void ButtonsHavePicturesAndNameTheirCommands()
    {
        QWidget window;
        window.resize(400, 300);
        auto* toolbar = new GUI::Toolbar(&window);
        toolbar->setGeometry(0, 0, 400, 56);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        for (int position = 0; position < GUI::Toolbar::ButtonCount; ++position) {
            const QImage image = toolbar->Button(position)->icon().pixmap(24, 24).toImage();
            int drawn = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    drawn += image.pixelColor(x, y).alpha() > 128 ? 1 : 0;
            QVERIFY2(drawn > 60, qPrintable(QString::number(drawn)));
        }
        QVERIFY(toolbar->Button(4) == nullptr);

        QSignalSpy commands(toolbar, &GUI::Toolbar::CommandTriggered);
        QTest::mouseClick(toolbar->Button(3), Qt::LeftButton);
        QCOMPARE(commands.size(), 1);
        QCOMPARE(commands.at(0).at(0).toInt(), 32776);
        QSignalSpy hot(toolbar, &GUI::Toolbar::HotItemChanged);
        QTest::mouseMove(toolbar->Button(1), QPoint(40, 20));
        QTRY_VERIFY(!hot.isEmpty());
        QCOMPARE(hot.last().at(1).toInt(), 32774);
        QCOMPARE(hot.last().at(2).toBool(), false);
        QTest::mouseMove(&window, QPoint(200, 200));
        QTRY_COMPARE(hot.last(), (QList<QVariant>{32774, 0, true}));
    }

    void LanguageFileRelabelsTheButtonsAndTheReadOut()
    {
        GUI::Toolbar toolbar;
        GUI::BeatsPerMinuteDisplay display(120);
        TestSupport::TempFolder folder;
        TestSupport::WriteFile(folder / "nb.lng",
                               "\xEF\xBB\xBF@lng\n[Language]\nLangEnglish = Norwegian\nLanguage = Norsk\n"
                               "[Toolbar]\n1 = Innstillinger\n2 = Lyd\n3 = Lydfiler\n4 = Valg\n"
                               "[Tooltip]\n4 = Lag eller last inn valg\n[Text]\n2 = slag/min\n");
        System::SetCurrentLanguage(System::LoadLanguageFile(folder / "nb.lng"));
        toolbar.SetTexts();
        QStringList texts;
        for (int position = 0; position < GUI::Toolbar::ButtonCount; ++position)
            texts << toolbar.Button(position)->text();
        QCOMPARE(texts, (QStringList{"Innstillinger", "Lyd", "Lydfiler", "Valg"}));
        QCOMPARE(toolbar.Button(3)->toolTip(), QStringLiteral("Lag eller last inn valg"));
        display.ReloadLabel();
        QCOMPARE(display.Label(), QStringLiteral("slag/min"));
        // A toolbar made while the file's table is current starts with its texts.
        QCOMPARE(GUI::Toolbar().Button(0)->text(), QStringLiteral("Innstillinger"));
    }

    void TempoIsCentredFivePixelsLeftWithTheLabelOnItsBaseline()
    {
        GUI::BeatsPerMinuteDisplay display(120);
        const Ink ink = FindInk(display);
        QVERIFY(ink.right > ink.left);
        QVERIFY2(std::abs((ink.left + ink.right) / 2 - 95) <= 4, qPrintable(QString::number(ink.left + ink.right)));
        QVERIFY(ink.top > 3 && ink.bottom < 76);
        const int gap = ink.labelLeft - ink.right;
        QVERIFY2(gap >= 4 && gap <= 12, qPrintable(QString::number(gap)));
        QVERIFY2(std::abs(ink.labelGlyphBottom - ink.bottom) <= 1,
                 qPrintable(QStringLiteral("%1 %2").arg(ink.labelGlyphBottom).arg(ink.bottom)));

        // A narrower tempo is centred again, and the label follows it.
        display.ShowTempo(8);
        const Ink narrow = FindInk(display);
        QVERIFY(narrow.right - narrow.left < ink.right - ink.left);
        QVERIFY(std::abs((narrow.left + narrow.right) / 2 - 95) <= 4);
        QVERIFY(narrow.labelLeft < ink.labelLeft);
    }
};

QTEST_MAIN(ToolbarTest)
#include "ToolbarTest.moc"
