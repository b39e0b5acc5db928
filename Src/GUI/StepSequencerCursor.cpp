// The step sequencer's playback cursor: an inverted bar swept over a copy of the grid image
// at the times the rhythm's steps are heard, and the pictures the control draws for itself.
#include "Configuration/ConfigurationData.h"
#include "Core/Engine/BeatStrategies.h"
#include "GUI/StepSequencerControl.h"
#include "Platform/Clock.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace GUI {

namespace {

constexpr int BarWidth = 3;
constexpr int FollowJump = 200;

} // namespace

int StepSequencerControl::CursorFramesPerColumn(int bpm, int stepsPerBeat)
{
    const bool fine = stepsPerBeat <= 2;
    if (bpm < 50)
        return fine ? 20 : 16;
    if (bpm < 100)
        return fine ? 16 : 12;
    if (bpm < 200)
        return fine ? 12 : 8;
    return fine ? 8 : 4;
}

void StepSequencerControl::StartCursor(const Configuration::ConfigurationData& record)
{
    StopCursor();
    const int stepsPerBeat = std::max(Core::RhythmStepsPerBeat(record), 1);
    framesPerColumn_ = CursorFramesPerColumn(record.Bpm, stepsPerBeat);
    // The step's length at the rhythm's tempo (a step sequencer run keeps its tempo).
    const double stepNanoseconds = 60e9 / (std::max(record.Bpm, 1) * static_cast<double>(stepsPerBeat));
    framePeriod_ = static_cast<std::int64_t>(stepNanoseconds / framesPerColumn_);
    cursorFrame_ = -1;
    cursorShown_ = false;
    barX_ = -1;
    lastStep_ = -1;
    stepsPosted_.store(0, std::memory_order_relaxed);
    playing_ = true;
    // As for the beat lamp: on a busy machine a normal thread waits for a processor for tens
    // of milliseconds, and the bar is to reach its column when the step is heard.
    guiPriority_.Raise();
    ComputeCursorGeometry();
    cursorX_ = FirstColumnX - step_;
}

void StepSequencerControl::StopCursor()
{
    steps_.Clear();
    const bool shown = cursorShown_;
    playing_ = false;
    refresh_ = false;
    cursorShown_ = false;
    guiPriority_.Restore();
    if (shown)
        update();
}

void StepSequencerControl::SignalCursor() noexcept
{
    const std::uint32_t index = stepsPosted_.fetch_add(1, std::memory_order_relaxed);
    steps_.Post(static_cast<std::int32_t>(index & 0x7FFFFFFFu));
}

void StepSequencerControl::ComputeCursorGeometry()
{
    barHeight_ = std::max(height() - ScrollBarHeight() - HeaderHeight, 0);
    step_ = static_cast<double>(columnWidth_) / framesPerColumn_;
    framesPerLoop_ = std::max(grid_.ColumnCount() * framesPerColumn_, 1);
    refresh_ = true;
}

void StepSequencerControl::InvertBar(int x, int barHeight)
{
    // A checkerboard of inverted pixels: drawn twice at the same place it is gone again.
    const int left = std::max(x, 0);
    const int right = std::min(x + BarWidth, cursorImage_.width());
    const int bottom = std::min(HeaderHeight + barHeight, cursorImage_.height());
    for (int y = HeaderHeight; y < bottom; ++y) {
        auto* row = reinterpret_cast<QRgb*>(cursorImage_.scanLine(y));
        for (int column = left; column < right; ++column) {
            if (((column + y) & 1) == 0)
                row[column] ^= 0x00FFFFFFu;
        }
    }
}

void StepSequencerControl::AdvanceCursor()
{
    if (!playing_ || lastStep_ < 0)
        return;
    // The frames after a step's own come at the tempo's pace, but the bar waits at the last
    // one for the next step to be heard.
    const std::int64_t since = Platform::Clock::Now() - lastStepHeard_;
    const auto within = static_cast<int>(
        std::clamp<std::int64_t>(framePeriod_ > 0 ? since / framePeriod_ : 0, 0, framesPerColumn_ - 1));
    const auto first = static_cast<std::int64_t>(framesPerColumn_) * lastStep_;
    ShowFrame(static_cast<int>((first + within) % framesPerLoop_));
    steps_.WakeAt(within + 1 < framesPerColumn_ ? lastStepHeard_ + (within + 1) * framePeriod_ : 0);
}

void StepSequencerControl::ShowFrame(int frame)
{
    // After frames per loop the bar starts again at the first column.
    cursorFrame_ = frame;
    const double position = FirstColumnX + static_cast<double>(frame) * step_;
    cursorX_ = position;

    // Follow the bar: a jump to the right when it leaves the view, back to the start when it
    // wraps.
    const int offset = scrollOffset_;
    if (position > offset + width())
        ScrollTo(ThumbPosition, std::min(scrollMaximum_, std::max(offset + FollowJump, 0)));
    else if (position < offset)
        ScrollTo(ThumbPosition, 0);

    if (refresh_) {
        if (cursorImage_.size() != image_.size())
            cursorImage_ = QImage(image_.size(), QImage::Format_RGB32);
        std::memcpy(cursorImage_.bits(), image_.constBits(), static_cast<std::size_t>(image_.sizeInBytes()));
        refresh_ = false;
    } else if (barX_ >= 0) {
        InvertBar(barX_, drawnBarHeight_);
    }
    barX_ = static_cast<int>(std::trunc(position));
    drawnBarHeight_ = barHeight_;
    InvertBar(barX_, drawnBarHeight_);
    cursorShown_ = true;
    // Painted now: the frame is due now, not after another trip through the event loop.
    repaint();
}

// Pictures --------------------------------------------------------------------------------

QPixmap StepSequencerControl::PasteMarker()
{
    // A small downward triangle in dark blue, pointing at the column's line.
    QImage image(10, 10, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath triangle;
    triangle.moveTo(0.5, 1.5);
    triangle.lineTo(9.5, 1.5);
    triangle.lineTo(5.0, 9.0);
    triangle.closeSubpath();
    painter.fillPath(triangle, QColor(36, 46, 103));
    painter.end();
    return QPixmap::fromImage(image);
}

QCursor StepSequencerControl::DragCursor()
{
    // An arrow with a dotted box below it; the arrow's tip is the hot spot.
    QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath arrow;
    arrow.moveTo(16, 8);
    arrow.lineTo(16, 24);
    arrow.lineTo(19.5, 20.5);
    arrow.lineTo(22, 26);
    arrow.lineTo(24, 25);
    arrow.lineTo(21.5, 19.5);
    arrow.lineTo(26, 19.5);
    arrow.closeSubpath();
    painter.setPen(QPen(Qt::white, 1.2));
    painter.setBrush(Qt::black);
    painter.drawPath(arrow);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(20, 22, 10, 8));
    painter.end();
    return QCursor(QPixmap::fromImage(image), 16, 8);
}

QCursor StepSequencerControl::NoDropCursor()
{
    // A red ring with a bar across it, centred on the hot spot.
    QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::white, 5));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QPointF(15.5, 15.5), 10, 10);
    painter.drawLine(QPointF(8.5, 22.5), QPointF(22.5, 8.5));
    painter.setPen(QPen(QColor(200, 30, 30), 3));
    painter.drawEllipse(QPointF(15.5, 15.5), 10, 10);
    painter.drawLine(QPointF(8.5, 22.5), QPointF(22.5, 8.5));
    painter.end();
    return QCursor(QPixmap::fromImage(image), 15, 15);
}

} // namespace GUI
