#include "GUI/BeatView.h"

#include "Configuration/ConfigurationData.h"
#include "GUI/FlashLimiter.h"
#include "GUI/MarkerPalette.h"
#include "GUI/ProgramFont.h"
#include "Platform/Clock.h"
#include "System/CurrentLanguage.h"

#include <QKeyEvent>
#include <QPainter>

#include <algorithm>

namespace GUI {

namespace {

constexpr std::int32_t Dark = -1;
constexpr int SubtleShare = 35; // per cent of the marker colour a subtle flash shows
constexpr std::int32_t CountInFlag = 1 << 15;
constexpr int UnitText = 1, CountInBeatsText = 46; // [Text]: "bpm", "In" (a count-in of two beats)

// A position in one value: the bar (-32768..32767) above, the beat and the count-in below.
std::int32_t PackPosition(const Core::BarPosition& position)
{
    const auto bar = static_cast<std::uint16_t>(static_cast<std::int16_t>(std::clamp(position.bar, -32768, 32767)));
    return static_cast<std::int32_t>((static_cast<std::uint32_t>(bar) << 16)
                                     | static_cast<std::uint32_t>(position.countIn ? CountInFlag : 0)
                                     | static_cast<std::uint32_t>(std::clamp(position.beat, 0, 0x7FFF)));
}

} // namespace

BeatView::BeatView(QWidget* parent)
    : QWidget(parent)
    , beats_([this](const HeardTimeline::Entry& beat) { Flash(beat.value, beat.heardTime); }, {}, this)
    , positions_([this](const HeardTimeline::Entry& position) { Position(position.value); }, {}, this)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::BlankCursor);
}

BeatView::~BeatView() = default;

void BeatView::StartDrawing(const Configuration::ConfigurationData& settings)
{
    for (std::size_t voice = 0; voice < colours_.size(); ++voice)
        colours_[voice] = MarkerColour(settings.Colour[voice]);
    beats_.Clear();
    positions_.Clear();
    flashing_ = false;
    flashes_ = 0;
    lastFlash_ = 0;
    beatsSinceDownbeat_ = beatsPerBar_ = 0;
    bar_ = beat_ = 0;
    drawing_.store(true, std::memory_order_release);
    update();
}

void BeatView::ShowBeat(std::int32_t voiceIndex, Core::BeatLook look)
{
    if (!drawing_.load(std::memory_order_acquire))
        return;
    // A muted bar's beats flash too (the player checks themselves against them), a count-in's in
    // the first voice's colour.
    const bool voice = voiceIndex >= 0 && voiceIndex < static_cast<std::int32_t>(colours_.size());
    beats_.Post(!voice ? Dark : look == Core::BeatLook::CountIn ? 0 : voiceIndex);
}

void BeatView::ClearBeat()
{
    if (drawing_.load(std::memory_order_acquire))
        beats_.Post(Dark);
}

void BeatView::PostPosition(const Core::BarPosition& position)
{
    if (drawing_.load(std::memory_order_acquire))
        positions_.Post(PackPosition(position));
}

void BeatView::StopDrawing()
{
    drawing_.store(false, std::memory_order_release);
    beats_.Clear();
    positions_.Clear();
    flashing_ = false;
    update();
}

void BeatView::SetTempo(int bpm)
{
    if (bpm == tempo_)
        return;
    tempo_ = bpm;
    update();
}

void BeatView::SetStrong(bool strong)
{
    strong_ = strong;
}

template <typename Take>
bool BeatView::TakeWithOthers(HeardTimeline& others, Take take)
{
    bool changed = take();
    if (batching_) {
        changedInBatch_ = changedInBatch_ || changed;
        return false;
    }
    batching_ = true;
    changedInBatch_ = false;
    others.Service();
    batching_ = false;
    return changed || changedInBatch_;
}

void BeatView::Flash(std::int32_t value, std::int64_t heardTime)
{
    if (!drawing_.load(std::memory_order_acquire))
        return;
    const bool paint = TakeWithOthers(positions_, [&] {
        bool flash = false;
        if (value != Dark) {
            const bool downbeat = value == 0;
            ++beatsSinceDownbeat_;
            if (downbeat) {
                beatsPerBar_ = beatsSinceDownbeat_ > 1 ? beatsSinceDownbeat_ - 1 : beatsPerBar_;
                beatsSinceDownbeat_ = 1;
            }
            flash = BeatFlashes(tempo_, beatsPerBar_, downbeat)
                    && (flashes_ == 0 || heardTime - lastFlash_ >= LeastFlashGap);
        }
        if (flash) {
            QColor colour = QColor::fromRgb(colours_[static_cast<std::size_t>(value)]);
            if (!strong_)
                colour = QColor(colour.red() * SubtleShare / 100, colour.green() * SubtleShare / 100,
                                colour.blue() * SubtleShare / 100);
            flashColour_ = colour;
            lastFlash_ = heardTime;
            ++flashes_;
        }
        const bool changed = flash || flash != flashing_;
        flashing_ = flash;
        return changed;
    });
    if (paint)
        repaint(); // now, not on a later update request, as the lamp does
}

void BeatView::Position(std::int32_t value)
{
    if (!drawing_.load(std::memory_order_acquire))
        return;
    if (TakeWithOthers(beats_, [&] {
            bar_ = static_cast<std::int16_t>(static_cast<std::uint32_t>(value) >> 16);
            beat_ = value & 0x7FFF;
            countIn_ = (value & CountInFlag) != 0;
            return true;
        }))
        repaint();
}

void BeatView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QColor background = flashing_ ? flashColour_ : QColor(Qt::black);
    painter.fillRect(rect(), background);
    // Light numerals on a dark ground, dark ones on a bright flash.
    painter.setPen(background.lightness() > 140 ? Qt::black : Qt::white);

    const int side = height();
    const auto text = [&](int pixels, int weight, const QRect& place, const QString& shown) {
        QFont font = ProgramFont(8, weight);
        font.setPixelSize(std::max(8, pixels));
        painter.setFont(font);
        painter.drawText(place, Qt::AlignCenter, shown);
    };
    if (beat_ > 0) {
        // The count-in's bars count up to the first bar: -2, -1, then "In" for two beats alone.
        QString barText = QString::number(bar_);
        if (countIn_)
            barText = bar_ < 0 ? QChar(0x2212) + QString::number(-bar_)
                               : FromTableText(System::CurrentLanguage()->GetText(CountInBeatsText));
        text(side * 16 / 100, 700, QRect(0, side * 2 / 100, width(), side * 22 / 100), barText);
        text(side * 50 / 100, 900, QRect(0, side * 22 / 100, width(), side * 58 / 100), QString::number(beat_));
    }
    const QString unit = FromTableText(System::CurrentLanguage()->GetText(UnitText));
    text(side * 9 / 100, 400, QRect(0, side * 82 / 100, width(), side * 16 / 100),
         QString::number(tempo_) + QLatin1Char(' ') + unit);
}

void BeatView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_F11) {
        emit Left();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace GUI
