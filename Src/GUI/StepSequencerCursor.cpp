// The step sequencer's playback cursor: a thread that sweeps an inverted bar over a copy of
// the grid image, one frame per timer tick, and the pictures the control draws for itself.
#include "Configuration/ConfigurationData.h"
#include "Core/Engine/StepSequencerTimerStrategy.h"
#include "GUI/StepSequencerControl.h"
#include "Platform/AutoResetEvent.h"
#include "Platform/Clock.h"
#include "Platform/Thread.h"
#include "System/ErrorReport.h"

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

bool StepSequencerControl::StartCursor(const Configuration::ConfigurationData& record)
{
    StopCursor();
    // The same frames per step as the timer strategy that will tick for this record.
    framesPerColumn_.store(std::max(Core::StepSequencerTimerStrategy::FramesPerColumn(record), 1));
    cursorFrame_.store(-1);
    cursorShown_.store(false);
    Tick stale{};
    while (ticks_.Pop(stale)) {
    }
    tickCount_.store(0);
    requestedOffset_.store(-1);
    flags_.store(PlayingFlag | RefreshFlag);
    ComputeCursorGeometry();
    cursorX_.store(FirstColumnX - step_.load());
    const std::uint32_t seen = tickSignal_.load(std::memory_order_acquire);
    if (!Platform::StartThread(cursorThread_, [this, seen] { CursorThread(seen); })) {
        flags_.store(0);
        return System::ReportThreadCreationError();
    }
    return true;
}

void StepSequencerControl::StopCursor()
{
    flags_.fetch_and(~PlayingFlag);
    SignalCursor();
    // The thread has left its loop, and touches nothing more, before anything is released.
    if (cursorThread_.joinable())
        cursorThread_.join();
    flags_.store(0);
    if (cursorShown_.exchange(false))
        update();
}

void StepSequencerControl::SignalCursor() noexcept
{
    const std::int64_t heard = Platform::CurrentTickHeardTime();
    const std::uint32_t index = tickCount_.fetch_add(1, std::memory_order_relaxed);
    ticks_.Push(Tick{index, heard != 0 ? heard : Platform::Clock::Now()});
    tickSignal_.fetch_add(1, std::memory_order_release);
    tickSignal_.notify_one();
}

void StepSequencerControl::ComputeCursorGeometry()
{
    const int framesPerColumn = framesPerColumn_.load();
    barHeight_.store(std::max(height() - ScrollBarHeight() - HeaderHeight, 0));
    viewWidth_.store(width());
    step_.store(static_cast<double>(columnWidth_) / framesPerColumn);
    framesPerLoop_.store(std::max(grid_.ColumnCount() * framesPerColumn, 1));
    flags_.fetch_or(RefreshFlag);
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

void StepSequencerControl::CursorThread(std::uint32_t seen)
{
    int barX = -1;     // where the bar is drawn in cursorImage_, -1: nowhere
    int barHeight = 0; // the height it was drawn with
    for (;;) {
        Tick tick{};
        if (!ticks_.Pop(tick)) {
            tickSignal_.wait(seen, std::memory_order_acquire);
            seen = tickSignal_.load(std::memory_order_acquire);
            if ((flags_.load() & PlayingFlag) == 0)
                break;
            continue;
        }
        // Wait until the tick is heard; later ticks queue up meanwhile, and StopCursor ends
        // the wait.
        while ((flags_.load() & PlayingFlag) != 0 && Platform::Clock::Now() < tick.heardTime) {
            Platform::WaitWhileEqualUntil(tickSignal_, seen, tick.heardTime);
            seen = tickSignal_.load(std::memory_order_acquire);
        }
        if ((flags_.load() & PlayingFlag) == 0)
            break;
        ShowFrame(tick.index, barX, barHeight);
    }
}

void StepSequencerControl::ShowFrame(std::uint32_t tickIndex, int& barX, int& barHeight)
{
    // The frame follows from the tick's index, so a lost picture never puts the bar behind
    // the sound; after frames per loop it starts again at the first column.
    const auto frame = static_cast<int>(tickIndex % static_cast<std::uint32_t>(framesPerLoop_.load()));
    cursorFrame_.store(frame);
    const double position = FirstColumnX + static_cast<double>(frame) * step_.load();
    cursorX_.store(position);

    // Follow the bar: a jump to the right when it leaves the view, back to the start when it
    // wraps. The GUI thread moves the view; until it has, the request stands.
    const int requested = requestedOffset_.load();
    const int offset = requested >= 0 ? requested : scrollOffset_.load();
    int target = offset;
    if (position > offset + viewWidth_.load())
        target = std::min(scrollMaximum_.load(), std::max(offset + FollowJump, 0));
    else if (position < offset)
        target = 0;
    if (target != offset) {
        requestedOffset_.store(target);
        QMetaObject::invokeMethod(
            this,
            [this, target] {
                ScrollTo(ThumbPosition, target);
                requestedOffset_.store(-1);
            },
            Qt::QueuedConnection);
    }

    {
        std::lock_guard lock(imageMutex_);
        if (flags_.load() & RefreshFlag) {
            if (cursorImage_.size() != image_.size())
                cursorImage_ = QImage(image_.size(), QImage::Format_RGB32);
            std::memcpy(cursorImage_.bits(), image_.constBits(), static_cast<std::size_t>(image_.sizeInBytes()));
            flags_.fetch_and(~RefreshFlag);
        } else if (barX >= 0) {
            InvertBar(barX, barHeight);
        }
        barX = static_cast<int>(std::trunc(position));
        barHeight = barHeight_.load();
        InvertBar(barX, barHeight);
        cursorShown_.store(true);
    }
    PublishCursor();
}

void StepSequencerControl::PublishCursor()
{
    if (!repaintQueued_.exchange(true)) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                repaintQueued_.store(false);
                update();
            },
            Qt::QueuedConnection);
    }
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
