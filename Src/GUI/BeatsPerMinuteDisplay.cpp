#include "GUI/BeatsPerMinuteDisplay.h"

#include "GUI/ProgramFont.h"
#include "System/CurrentLanguage.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cstdint>

namespace GUI {

namespace {

constexpr int TempoPoints = 44;
constexpr int TempoWeight = 900;
constexpr int LabelPoints = 8;
constexpr int LabelWeight = 400;
constexpr int LabelTextIndex = 1; // miscellaneous text "bpm"

} // namespace

BeatsPerMinuteDisplay::BeatsPerMinuteDisplay(int tempo, QWidget* parent)
    : QWidget(parent)
    , background_(MakeBackground())
    , tempoFont_(ProgramFont(TempoPoints, TempoWeight))
    , labelFont_(ProgramFont(LabelPoints, LabelWeight))
    , tempo_(tempo)
{
    setProperty("controlId", ControlId);
    setGeometry(10, 70, Width, Height);
    setFixedSize(Width, Height);
    setAttribute(Qt::WA_OpaquePaintEvent);

    // The digits sit a little above the middle of the picture; the label shares their
    // baseline.
    const QFontMetrics tempoMetrics(tempoFont_);
    const QFontMetrics labelMetrics(labelFont_);
    const int spare = Height - tempoMetrics.height();
    tempoTop_ = spare / 2 - (spare > 2 ? 2 : 4);
    labelTop_ = tempoTop_ + tempoMetrics.ascent() - labelMetrics.ascent();

    label_ = FromTableText(System::CurrentLanguage()->GetText(LabelTextIndex));
}

BeatsPerMinuteDisplay::~BeatsPerMinuteDisplay() = default;

void BeatsPerMinuteDisplay::ShowTempo(int tempo)
{
    tempo_ = tempo;
    repaint();
}

void BeatsPerMinuteDisplay::ReloadLabel()
{
    label_ = FromTableText(System::CurrentLanguage()->GetText(LabelTextIndex));
    repaint();
}

void BeatsPerMinuteDisplay::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawImage(0, 0, background_);
    painter.setPen(Qt::black);

    const QString digits = QString::number(tempo_);
    const QFontMetrics tempoMetrics(tempoFont_);
    const int digitsWidth = tempoMetrics.horizontalAdvance(digits);
    const int x = (Width - digitsWidth) / 2;
    painter.setFont(tempoFont_);
    painter.drawText(x - 5, tempoTop_ + tempoMetrics.ascent(), digits);

    const QFontMetrics labelMetrics(labelFont_);
    painter.setFont(labelFont_);
    painter.drawText(x + digitsWidth - 1, labelTop_ + labelMetrics.ascent(), label_);
}

QImage BeatsPerMinuteDisplay::MakeBackground()
{
    QImage image(Width, Height, QImage::Format_RGB32);
    const int flatRows = Height / 5;
    std::uint32_t noise = 0x2545F491u; // fixed seed: the picture is the same on every run
    for (int y = 0; y < Height; ++y) {
        // Flat light blue over the top fifth, then a straight blend to the deeper blue.
        const float depth = y < flatRows ? 0.0f
                                         : static_cast<float>(y - flatRows) / static_cast<float>(Height - 1 - flatRows);
        const float red = 216.0f + (170.0f - 216.0f) * depth;
        const float green = 230.0f + (210.0f - 230.0f) * depth;
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < Width; ++x) {
            if (x == 0 || y == 0 || x == Width - 1 || y == Height - 1) {
                row[x] = qRgb(0, 0, 0);
                continue;
            }
            noise = noise * 1664525u + 1013904223u;
            const int jitter = static_cast<int>((noise >> 24) % 5) - 2; // -2..2
            row[x] = qRgb(std::clamp(static_cast<int>(red) + jitter, 0, 255),
                          std::clamp(static_cast<int>(green) + jitter, 0, 255),
                          std::clamp(255 + jitter, 0, 255));
        }
    }
    return image;
}

} // namespace GUI
