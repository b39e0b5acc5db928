// The tempo read-out: where the digits and the unit label land in the rendered picture.
#include "GUI/BeatsPerMinuteDisplay.h"

#include <QtTest>

#include <algorithm>
#include <vector>

namespace {

bool IsInk(QRgb pixel)
{
    return qGray(pixel) < 110;
}

// Ink found in one rendering: the large digits (columns whose ink reaches the upper half)
// and the small label to their right.
struct Ink {
    int digitsLeft = 1000, digitsRight = -1, digitsTop = 1000, digitsBottom = -1;
    int labelLeft = 1000, labelRight = -1;
    int labelFirstGlyphBottom = -1;
    bool labelFirstGlyphEnded = false;
};

Ink FindInk(const QImage& image)
{
    Ink ink;
    const int width = image.width(), height = image.height();
    // Columns (inside the black frame) holding ink, with their topmost and lowest ink rows.
    struct Column {
        int x, top, bottom;
    };
    std::vector<Column> columns;
    for (int x = 1; x < width - 1; ++x) {
        int top = -1, bottom = -1;
        for (int y = 1; y < height - 1; ++y) {
            if (IsInk(image.pixel(x, y))) {
                if (top < 0)
                    top = y;
                bottom = y;
            }
        }
        if (top >= 0)
            columns.push_back({x, top, bottom});
    }
    // The digits are the columns whose ink reaches the upper half, and what lies between them.
    for (const Column& column : columns) {
        if (column.top < height / 2) {
            ink.digitsLeft = std::min(ink.digitsLeft, column.x);
            ink.digitsRight = std::max(ink.digitsRight, column.x);
        }
    }
    for (const Column& column : columns) {
        if (column.x >= ink.digitsLeft && column.x <= ink.digitsRight) {
            ink.digitsTop = std::min(ink.digitsTop, column.top);
            ink.digitsBottom = std::max(ink.digitsBottom, column.bottom);
        } else if (column.x > ink.digitsRight) {
            // The label; its first glyph ("b") ends at the first column without ink.
            const bool continuesFirstGlyph = ink.labelLeft == 1000
                || (!ink.labelFirstGlyphEnded && column.x == ink.labelRight + 1);
            if (continuesFirstGlyph)
                ink.labelFirstGlyphBottom = std::max(ink.labelFirstGlyphBottom, column.bottom);
            else
                ink.labelFirstGlyphEnded = true;
            ink.labelLeft = std::min(ink.labelLeft, column.x);
            ink.labelRight = column.x;
        }
    }
    return ink;
}

QImage Render(GUI::BeatsPerMinuteDisplay& display)
{
    return display.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

class BeatsPerMinuteDisplayTest : public QObject {
    Q_OBJECT

private slots:
    void BackgroundIsAFramedBlueGradient()
    {
        const QImage background = GUI::BeatsPerMinuteDisplay::MakeBackground();
        QCOMPARE(background.size(), QSize(200, 80));
        for (const QPoint corner : {QPoint(0, 0), QPoint(199, 0), QPoint(0, 79), QPoint(199, 79), QPoint(100, 0)})
            QCOMPARE(background.pixel(corner), qRgb(0, 0, 0));
        const QRgb top = background.pixel(100, 3);
        const QRgb bottom = background.pixel(100, 77);
        QVERIFY(std::abs(qRed(top) - 216) <= 2 && std::abs(qGreen(top) - 230) <= 2 && qBlue(top) >= 253);
        QVERIFY(std::abs(qRed(bottom) - 170) <= 3 && std::abs(qGreen(bottom) - 210) <= 3 && qBlue(bottom) >= 253);
        // Slight noise: a row is not one flat colour, and the picture is the same every time.
        bool varies = false;
        for (int x = 2; x < 198 && !varies; ++x)
            varies = background.pixel(x, 40) != background.pixel(1, 40);
        QVERIFY(varies);
        QCOMPARE(GUI::BeatsPerMinuteDisplay::MakeBackground(), background);
    }

    void TempoIsCentredFivePixelsLeftWithTheLabelOnItsBaseline()
    {
        GUI::BeatsPerMinuteDisplay display(120);
        const Ink ink = FindInk(Render(display));

        QVERIFY(ink.digitsRight > ink.digitsLeft);
        const int digitsCentre = (ink.digitsLeft + ink.digitsRight) / 2;
        QVERIFY2(std::abs(digitsCentre - 95) <= 4, qPrintable(QString::number(digitsCentre)));
        QVERIFY(ink.digitsTop > 3 && ink.digitsBottom < 76);

        QVERIFY2(ink.labelRight > ink.labelLeft, "no label found");
        const int gap = ink.labelLeft - ink.digitsRight;
        QVERIFY2(gap >= 4 && gap <= 12, qPrintable(QString::number(gap)));
        QVERIFY2(std::abs(ink.labelFirstGlyphBottom - ink.digitsBottom) <= 1,
                 qPrintable(QStringLiteral("%1 %2").arg(ink.labelFirstGlyphBottom).arg(ink.digitsBottom)));

        // A narrower tempo is centred again, and the label follows it.
        display.ShowTempo(8);
        const Ink narrow = FindInk(Render(display));
        QVERIFY(narrow.digitsRight - narrow.digitsLeft < ink.digitsRight - ink.digitsLeft);
        QVERIFY(std::abs((narrow.digitsLeft + narrow.digitsRight) / 2 - 95) <= 4);
        QVERIFY(narrow.labelLeft < ink.labelLeft);
    }

};

QTEST_MAIN(BeatsPerMinuteDisplayTest)
#include "BeatsPerMinuteDisplayTest.moc"
