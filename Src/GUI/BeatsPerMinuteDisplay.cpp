#include "GUI/BeatsPerMinuteDisplay.h"

#include "GUI/ProgramFont.h"
#include "System/CurrentLanguage.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
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

// What assistive technology learns of the read-out: its name (set by the owner), the tempo as
// its value ("120 bpm") and as a number.
class AccessibleReadOut final : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit AccessibleReadOut(BeatsPerMinuteDisplay* display)
        : QAccessibleWidget(display, QAccessible::StaticText), display_(display)
    {
    }
    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Value)
            return display_->ValueText();
        return QAccessibleWidget::text(kind);
    }
    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QVariant currentValue() const override { return display_->Tempo(); }
    void setCurrentValue(const QVariant&) override {} // shown, not set, here
    QVariant maximumValue() const override { return 1000; }
    QVariant minimumValue() const override { return 4; }
    QVariant minimumStepSize() const override { return 1; }

private:
    BeatsPerMinuteDisplay* display_;
};

QAccessibleInterface* ReadOutInterface(const QString& className, QObject* object)
{
    auto* display = qobject_cast<BeatsPerMinuteDisplay*>(object);
    if (className == QLatin1String("GUI::BeatsPerMinuteDisplay") && display)
        return new AccessibleReadOut(display);
    return nullptr;
}

} // namespace

BeatsPerMinuteDisplay::BeatsPerMinuteDisplay(int tempo, QWidget* parent)
    : QWidget(parent)
    , background_(MakeBackground())
    , tempo_(tempo)
{
    setProperty("controlId", ControlId);
    // Never larger than asked, smaller (to its least) only for a moment while the window
    // shrinks and its new size is not set yet.
    setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Maximum);
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(Width, Height);
    FitTexts();

    label_ = FromTableText(System::CurrentLanguage()->GetText(LabelTextIndex));
    static const bool factoryInstalled = (QAccessible::installFactory(ReadOutInterface), true);
    (void)factoryInstalled;
}

void BeatsPerMinuteDisplay::SetShownSize(QSize size)
{
    size = size.expandedTo(QSize(Width, Height));
    if (size == shownSize_)
        return;
    shownSize_ = size;
    updateGeometry();
}

void BeatsPerMinuteDisplay::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (background_.size() != size()) {
        background_ = MakeBackground(width(), height());
        FitTexts();
    }
}

void BeatsPerMinuteDisplay::FitTexts()
{
    // The fonts grow with the read-out's height (from 44 and 8 points at 80 pixels). The
    // digits sit a little above the middle of the picture; the label shares their baseline.
    const double scale = std::max(1.0, static_cast<double>(height()) / Height);
    tempoFont_ = ProgramFont(TempoPoints, TempoWeight);
    labelFont_ = ProgramFont(LabelPoints, LabelWeight);
    if (scale > 1.0) {
        for (QFont* font : {&tempoFont_, &labelFont_})
            font->setPixelSize(static_cast<int>(font->pixelSize() * scale + 0.5));
    }
    const QFontMetrics tempoMetrics(tempoFont_);
    const QFontMetrics labelMetrics(labelFont_);
    const int spare = std::max(height(), static_cast<int>(Height)) - tempoMetrics.height();
    tempoTop_ = spare / 2 - static_cast<int>((spare > 2 ? 2 : 4) * scale);
    labelTop_ = tempoTop_ + tempoMetrics.ascent() - labelMetrics.ascent();
}

BeatsPerMinuteDisplay::~BeatsPerMinuteDisplay() = default;

void BeatsPerMinuteDisplay::ShowTempo(int tempo, bool announce)
{
    const bool changed = announce && tempo != tempo_;
    tempo_ = tempo;
    repaint();
    if (changed) {
        // A screen reader announces the new tempo (as a slider does its value).
        QAccessibleValueChangeEvent event(this, tempo);
        QAccessible::updateAccessibility(&event);
    }
}

QString BeatsPerMinuteDisplay::ValueText() const
{
    return QString::number(tempo_) + QLatin1Char(' ') + label_;
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
    const int shift = static_cast<int>(5 * std::max(1.0, static_cast<double>(height()) / Height));
    const int x = (width() - digitsWidth) / 2;
    painter.setFont(tempoFont_);
    painter.drawText(x - shift, tempoTop_ + tempoMetrics.ascent(), digits);

    const QFontMetrics labelMetrics(labelFont_);
    painter.setFont(labelFont_);
    painter.drawText(x + digitsWidth - 1, labelTop_ + labelMetrics.ascent(), label_);
}

QImage BeatsPerMinuteDisplay::MakeBackground(int width, int height)
{
    const int columns = std::max(width, 2);
    const int rows = std::max(height, 2);
    QImage image(columns, rows, QImage::Format_RGB32);
    const int flatRows = rows / 5;
    std::uint32_t noise = 0x2545F491u; // fixed seed: the picture is the same on every run
    for (int y = 0; y < rows; ++y) {
        // Flat light blue over the top fifth, then a straight blend to the deeper blue.
        const float depth = y < flatRows ? 0.0f
                                         : static_cast<float>(y - flatRows) / static_cast<float>(rows - 1 - flatRows);
        const float red = 216.0f + (170.0f - 216.0f) * depth;
        const float green = 230.0f + (210.0f - 230.0f) * depth;
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < columns; ++x) {
            if (x == 0 || y == 0 || x == columns - 1 || y == rows - 1) {
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
