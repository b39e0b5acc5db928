// The step sequencer control's pictures: the off-screen grid image, the slice shown, the paste
// marker and the rubber band.
#include "GUI/MarkerPalette.h"
#include "GUI/StepSequencerControl.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScreen>

#include <algorithm>
#include <cstring>

namespace GUI {

using StepSequencer::StepSequencerGrid;

namespace {

constexpr QRgb White = qRgb(255, 255, 255);
constexpr QRgb OddRow = qRgb(0xF0, 0xF0, 0xF0);
constexpr QRgb Border = qRgb(0x20, 0x20, 0x20);
constexpr QRgb BeatLine = qRgb(0xC0, 0xC0, 0xC0);
constexpr QRgb StepLine = qRgb(0xE4, 0xE4, 0xE4);
constexpr QRgb SelectedHit = qRgb(0xC0, 0xC0, 0xC0);
constexpr QRgb BandFill = qRgb(0xD8, 0xD8, 0xD8);
constexpr QRgb BandEdge = qRgb(0xA0, 0xA0, 0xA0);
constexpr int MarkerLeft = 141; // marker's left edge for column 0
constexpr int MarkerTop = 20;
constexpr int MarkerSize = 10;

} // namespace

void StepSequencerControl::EnsureImages()
{
    const QSize screenSize = screen() ? screen()->size() : QSize();
    const int neededWidth =
        std::max({grid_.ColumnCount() * 20 + FirstColumnX, width(), screenSize.width(), 1});
    const int neededHeight = std::max({height(), screenSize.height(), 1});
    if (neededWidth <= image_.width() && neededHeight <= image_.height())
        return;
    const int newWidth = std::max(neededWidth, image_.width());
    const int newHeight = std::max(neededHeight, image_.height());
    image_ = QImage(newWidth, newHeight, QImage::Format_RGB32);
    image_.fill(White);
    cursorImage_ = QImage(newWidth, newHeight, QImage::Format_RGB32);
    cursorImage_.fill(White);
    if (CursorRunning())
        refresh_ = true;
    redrawMode_ = PaintAll;
}

void StepSequencerControl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const int sliceHeight = std::max(height() - ScrollBarHeight(), 0);
    if (redrawMode_ == PaintAll) {
        PaintImage(0, height());
    } else if (dirtyBottom_ > dirtyTop_) {
        // Only the bands that edits asked for are painted again; any other paint (the cursor
        // moved, the window was uncovered) finds the image current and only copies it.
        PaintImage(dirtyTop_, dirtyBottom_);
    }
    dirtyTop_ = dirtyBottom_ = 0;
    redrawMode_ = PaintInvalid;

    const bool cursorCurrent = cursorShown_ && !refresh_;
    const QImage& source = bandShown_ || cursorCurrent ? cursorImage_ : image_;
    painter.drawImage(QPoint(0, 0), source, QRect(scrollOffset_, 0, width(), sliceHeight));
}

void StepSequencerControl::PaintImage(int top, int bottom)
{
    bottom = std::min(bottom, image_.height());
    if (bottom <= top)
        return;
    // The cursor's copy no longer matches the grid.
    if (CursorRunning())
        refresh_ = true;

    const int right = image_.width();
    {
        QPainter painter(&image_);
        painter.setClipRect(QRect(0, top, right, bottom - top));
        painter.fillRect(QRect(0, top, right, bottom - top), QColor(White));
        for (int d = 1; d < grid_.VisibleRowCount(); d += 2) {
            const QRect band(NameColumnWidth, HeaderHeight + d * rowHeight_, right - NameColumnWidth, rowHeight_);
            if (band.top() < bottom && band.bottom() >= top)
                painter.fillRect(band, QColor(OddRow));
        }
        PaintHeader(painter, top, bottom);

        painter.setFont(font_);
        painter.setPen(QColor(Qt::black));
        for (int d = 0; d < grid_.VisibleRowCount(); ++d) {
            const StepSequencerGrid::Row& row = grid_.GetRow(grid_.RowOfDisplayRow(d));
            const QString name = QString::fromUtf16(row.name, static_cast<qsizetype>(row.nameLength));
            painter.drawText(QRect(5, d * rowHeight_ + rowHeight_ / 2 + 21, NameColumnWidth - 5, rowHeight_),
                             Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, name);
        }
    }
    // The discs are written straight into the pixels, with no painter open on the image.
    PaintHits(top, bottom);
    if (top < HeaderHeight) {
        QPainter painter(&image_);
        PaintPasteMarker(painter);
    }
}

void StepSequencerControl::PaintHeader(QPainter& painter, int top, int bottom)
{
    painter.setPen(QColor(Border));
    painter.drawLine(NameColumnWidth, height(), NameColumnWidth, HeaderHeight);
    painter.drawLine(NameColumnWidth, HeaderHeight, image_.width(), HeaderHeight);

    const int lineTop = std::max(HeaderHeight, top);
    const bool labels = top < HeaderHeight;
    painter.setFont(font_);
    const auto line = [&](int column, QRgb colour, int label) {
        const int x = FirstColumnX + column * columnWidth_;
        painter.setPen(QColor(colour));
        painter.drawLine(x, lineTop, x, bottom);
        if (label > 0 && labels) {
            painter.setPen(QColor(Qt::black));
            painter.drawText(QRect(x - 3, 5, 40, 20), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                             QString::asprintf("%d", label));
        }
    };

    const int beatsPerBar = std::max(grid_.BeatsPerBar(), 1);
    if (grid_.Subdivision() == 0) {
        for (int c = 0; c < grid_.ColumnCount(); ++c)
            line(c, Border, c % beatsPerBar + 1);
        return;
    }
    // A beat's columns, or in compound time a group of three columns (the bar's last group
    // holds what is left over).
    int column = 0;
    for (int bar = 0; bar < grid_.BarCount(); ++bar) {
        const int groups = grid_.Compound() ? (beatsPerBar + 2) / 3 : beatsPerBar;
        for (int group = 0; group < groups; ++group) {
            int size = grid_.Subdivision();
            if (grid_.Compound())
                size = group + 1 < groups || beatsPerBar % 3 == 0 ? 3 : beatsPerBar % 3;
            for (int step = 0; step < size && column < grid_.ColumnCount(); ++step, ++column)
                line(column, step == 0 ? BeatLine : StepLine, step == 0 ? group + 1 : 0);
        }
    }
}

void StepSequencerControl::PaintHits(int top, int bottom)
{
    for (int d = 0; d < grid_.VisibleRowCount(); ++d) {
        const int centreY = d * rowHeight_ + rowHeight_ / 2 + HeaderHeight;
        if (centreY < top - 5 || centreY > bottom + 5)
            continue;
        const StepSequencerGrid::Row& row = grid_.GetRow(grid_.RowOfDisplayRow(d));
        const QRgb background = d % 2 != 0 ? OddRow : White;
        const QRgb colour = MarkerColour(static_cast<int>(row.colour));
        for (int c = 0; c < grid_.ColumnCount(); ++c) {
            const std::uint8_t cell = row.cells[static_cast<std::size_t>(c)];
            if (!StepSequencerGrid::IsHit(cell))
                continue;
            hits_.Draw(image_, StepSequencerGrid::IsSelected(cell) ? SelectedHit : colour, background,
                       FirstColumnX + c * columnWidth_, centreY);
        }
    }
}

void StepSequencerControl::PaintPasteMarker(QPainter& painter)
{
    painter.drawPixmap(grid_.PasteColumn() * columnWidth_ + MarkerLeft, MarkerTop, PasteMarker());
}

void StepSequencerControl::MovePasteMarker(int column)
{
    grid_.SetPasteColumn(column);
    {
        QPainter painter(&image_);
        painter.fillRect(QRect(NameColumnWidth, MarkerTop, image_.width() - NameColumnWidth, MarkerSize),
                         QColor(White));
        PaintPasteMarker(painter);
    }
    if (redrawMode_ != PaintAll)
        redrawMode_ = CopyOnly;
    repaint();
}

void StepSequencerControl::DrawBand()
{
    const int offset = scrollOffset_;
    const int sliceHeight = std::min(height(), image_.height());
    const int sliceWidth = std::min(width(), image_.width() - offset);
    if (sliceWidth <= 0 || sliceHeight <= 0)
        return;
    {
        // Only the slice on screen is prepared: that is all the band image ever shows.
        const auto bytes = static_cast<std::size_t>(sliceWidth) * 4;
        for (int y = 0; y < sliceHeight; ++y)
            std::memcpy(cursorImage_.scanLine(y) + static_cast<std::ptrdiff_t>(offset) * 4,
                        image_.constScanLine(y) + static_cast<std::ptrdiff_t>(offset) * 4, bytes);
        const QRect band = QRect(bandOrigin_, bandEnd_).normalized() & cursorImage_.rect();
        {
            QPainter painter(&cursorImage_);
            painter.fillRect(band, QColor(BandFill));
            painter.setPen(QColor(BandEdge));
            painter.drawRect(band.adjusted(0, 0, -1, -1));
        }
        // Half of the band's grey over half of the grid, so that the hits show through.
        for (int y = band.top(); y <= band.bottom(); ++y) {
            std::uint8_t* mixed = cursorImage_.scanLine(y);
            const std::uint8_t* grid = image_.constScanLine(y);
            for (int x = band.left() * 4; x < (band.right() + 1) * 4; ++x)
                mixed[x] = static_cast<std::uint8_t>((mixed[x] * 128 + grid[x] * 127) / 256);
        }
    }
    bandShown_ = true;
    if (redrawMode_ != PaintAll)
        redrawMode_ = CopyOnly;
    update();
}

void StepSequencerControl::FinishBand()
{
    const QRect band = QRect(bandOrigin_, bandEnd_).normalized().adjusted(-2, -2, 2, 2);
    for (int d = 0; d < grid_.VisibleRowCount(); ++d) {
        const int centreY = d * rowHeight_ + rowHeight_ / 2 + HeaderHeight;
        for (int c = 0; c < grid_.ColumnCount(); ++c) {
            if (band.contains(FirstColumnX + c * columnWidth_, centreY))
                grid_.SelectHit(d, c);
        }
    }
    bandOrigin_ = QPoint();
    bandShown_ = false;
    Redraw(StepSequencerGrid::AllRows);
}

} // namespace GUI
