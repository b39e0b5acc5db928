#include "GUI/StepSequencerControl.h"

#include "Configuration/ConfigurationData.h"
#include "Core/Engine/BeatPatterns.h"
#include "GUI/ProgramFont.h"
#include "System/CurrentLanguage.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>

#include <algorithm>

namespace GUI {

using StepSequencer::StepSequencerGrid;

namespace {

constexpr int LineStep = 5;
constexpr int PageStep = 20;
constexpr int ScrollPage = 40;
constexpr int NarrowestColumn = 16;
constexpr int WidestScrolledColumn = 20;
constexpr int ScrollMargin = 200;
constexpr int NameWidth = 110;
constexpr int AutoScrollEdge = 5;

} // namespace

StepSequencerControl::StepSequencerControl(QWidget* parent)
    : QWidget(parent)
    , font_(ProgramFont(10, 400))
    , steps_([this](const HeardTimeline::Entry& step) {
          lastStep_ = step.value;
          lastStepHeard_ = step.heardTime;
          AdvanceCursor();
      },
      [this] { AdvanceCursor(); }, this)
{
    setProperty("controlId", ControlId);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    font_.setStyleStrategy(QFont::PreferAntialias);

    scrollBar_ = new QScrollBar(Qt::Horizontal, this);
    scrollBar_->setEnabled(false);
    scrollBar_->setFocusPolicy(Qt::NoFocus);
    scrollBar_->setPageStep(ScrollPage);
    // The bar's own steps are replaced by ours: 5 pixels a line, 20 a page, whatever the thumb.
    connect(scrollBar_, &QScrollBar::actionTriggered, this, [this](int action) {
        switch (action) {
        case QAbstractSlider::SliderSingleStepSub:
            ScrollTo(LineLeft);
            break;
        case QAbstractSlider::SliderSingleStepAdd:
            ScrollTo(LineRight);
            break;
        case QAbstractSlider::SliderPageStepSub:
            ScrollTo(PageLeft);
            break;
        case QAbstractSlider::SliderPageStepAdd:
            ScrollTo(PageRight);
            break;
        case QAbstractSlider::SliderMove:
            ScrollTo(ThumbTrack, scrollBar_->sliderPosition());
            break;
        default:
            break;
        }
        scrollBar_->setSliderPosition(scrollOffset_);
    });
}

StepSequencerControl::~StepSequencerControl()
{
    StopCursor();
    grid_.DiscardHistory();
}

QSize StepSequencerControl::minimumSizeHint() const
{
    return {FirstColumnX + WidestScrolledColumn, HeaderHeight + QFontMetrics(font_).height() + ScrollBarHeight()};
}

int StepSequencerControl::ScrollBarHeight() const
{
    return style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
}

void StepSequencerControl::Initialise(const Configuration::ConfigurationData& record)
{
    StopCursor();
    scrollOffset_ = 0;
    scrollBar_->setValue(0);
    grid_.LoadFromSettings(record, *System::CurrentLanguage());
    const QFontMetrics metrics(font_);
    grid_.FitNames([&metrics](std::u16string_view text) {
        return metrics.horizontalAdvance(
            QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())));
    });
    grid_.LoadRhythm(Core::FieldText(record.CustomRhythm), record.CrSubdivision);
    Layout();
}

void StepSequencerControl::Layout()
{
    // The scroll bar is placed every time: a hidden window gets its resize event late.
    const int barHeight = ScrollBarHeight();
    scrollBar_->setGeometry(0, height() - barHeight, width(), barHeight);
    EnsureImages();

    const int rows = grid_.VisibleRowCount();
    rowHeight_ = std::max((height() - barHeight - HeaderHeight) / (rows != 0 ? rows : 12), 1);
    const int columns = std::max(grid_.ColumnCount(), 1);
    const int edge = grid_.Subdivision() > 3 ? 1 : 0;
    columnWidth_ = (width() - FirstColumnX - edge) / columns;
    if (columnWidth_ < NarrowestColumn) {
        columnWidth_ = NarrowestColumn;
        const int maximum = NarrowestColumn * columns - width() + ScrollMargin;
        scrollMaximum_ = maximum;
        scrollBar_->setRange(0, maximum);
        scrollBar_->setEnabled(true);
    } else if (columnWidth_ > WidestScrolledColumn) {
        // Everything fits: no range is left to scroll, so the view returns to the start.
        scrollMaximum_ = 0;
        scrollBar_->setRange(0, 0);
        scrollBar_->setEnabled(false);
    }
    if (scrollOffset_ > scrollMaximum_)
        SetScrollOffset(scrollMaximum_);

    redrawMode_ = PaintAll;
    if (CursorRunning())
        ComputeCursorGeometry();
    update();
}

void StepSequencerControl::ToggleDistinctView()
{
    grid_.ToggleDistinctView();
    Layout();
}

void StepSequencerControl::Redraw(int code)
{
    if (code == StepSequencerGrid::NoChange)
        return;
    if (code == StepSequencerGrid::AllRows) {
        redrawMode_ = PaintAll;
        update();
        return;
    }
    // The row's band reaches over the whole grid, also the part scrolled out of view.
    const int top = HeaderHeight + code * rowHeight_;
    dirtyTop_ = dirtyBottom_ > dirtyTop_ ? std::min(dirtyTop_, top) : top;
    dirtyBottom_ = std::max(dirtyBottom_, top + rowHeight_);
    const int left = std::max(NameColumnWidth - scrollOffset_, 1);
    update(QRect(left, top, width() - left, rowHeight_));
}

void StepSequencerControl::ScrollTo(ScrollRequest request, int position)
{
    const int offset = scrollOffset_;
    int target = offset;
    switch (request) {
    case LineLeft:
        target = offset - LineStep;
        break;
    case LineRight:
        target = offset + LineStep;
        break;
    case PageLeft:
        target = offset - PageStep;
        break;
    case PageRight:
        target = offset + PageStep;
        break;
    case ThumbPosition:
    case ThumbTrack:
        target = position;
        break;
    case Clamp:
        break;
    }
    target = std::clamp(target, 0, std::max(scrollMaximum_, 0));
    if (target != offset)
        SetScrollOffset(target);
}

void StepSequencerControl::SetScrollOffset(int offset)
{
    scrollOffset_ = offset;
    // The image already holds the whole grid: only another slice is shown. A full repaint
    // still pending stays pending.
    if (redrawMode_ != PaintAll)
        redrawMode_ = CopyOnly;
    update();
    const QSignalBlocker quiet(scrollBar_);
    scrollBar_->setValue(offset);
}

std::optional<std::pair<int, int>> StepSequencerControl::HitTest(QPoint point) const
{
    const int offset = scrollOffset_;
    if (point.x() <= NameColumnWidth - offset || point.y() < HeaderHeight + 1)
        return std::nullopt;
    const int halfWidth = columnWidth_ / 2 + 4;
    const int halfHeight = rowHeight_ / 4 + 4;
    for (int d = 0; d < grid_.VisibleRowCount(); ++d) {
        const int centreY = d * rowHeight_ + rowHeight_ / 2 + HeaderHeight;
        if (point.y() <= centreY - halfHeight || point.y() >= centreY + halfHeight)
            continue;
        for (int c = 0; c < grid_.ColumnCount(); ++c) {
            const int lineX = c * columnWidth_ - offset + FirstColumnX;
            if (lineX - halfWidth < point.x() && point.x() < lineX + halfWidth)
                return std::make_pair(d, c);
        }
    }
    return std::nullopt;
}

QPoint StepSequencerControl::CellCentre(int displayRow, int column) const
{
    return {FirstColumnX + column * columnWidth_ - scrollOffset_,
            displayRow * rowHeight_ + rowHeight_ / 2 + HeaderHeight};
}

void StepSequencerControl::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Layout();
}

void StepSequencerControl::keyPressEvent(QKeyEvent* event)
{
    // Keys edit while the rhythm plays too; the sound keeps the rhythm it started with.
    const int key = event->key() == Qt::Key_Delete ? StepSequencerGrid::DeleteKey : event->key();
    const bool control = (event->modifiers() & Qt::ControlModifier) != 0;
    const int code = grid_.HandleKey(key, control);
    if (code == StepSequencerGrid::NoChange && key != StepSequencerGrid::DeleteKey && !control) {
        QWidget::keyPressEvent(event);
        return;
    }
    Redraw(code);
}

bool StepSequencerControl::focusNextPrevChild(bool)
{
    return false; // Tab is the grid's, as every other key
}

void StepSequencerControl::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || CursorRunning())
        return;
    bandOrigin_ = QPoint();
    bandShown_ = false;
    if (grid_.VisibleRowCount() == 0)
        return;
    if (const auto cell = HitTest(event->position().toPoint()))
        grid_.BeginDrag(cell->first, cell->second);
}

void StepSequencerControl::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton) || CursorRunning())
        return;
    const QPoint point = event->position().toPoint();
    const int offset = scrollOffset_;
    if (grid_.DragRow() != -1) {
        const QRect client(0, 0, width(), height() - ScrollBarHeight());
        if (!pointerChanged_) {
            savedCursor_ = testAttribute(Qt::WA_SetCursor) ? std::optional<QCursor>(cursor()) : std::nullopt;
            pointerChanged_ = true;
        }
        setCursor(client.contains(point) ? DragCursor() : NoDropCursor());
        return;
    }
    if (bandOrigin_.x() == 0 && point.x() > NameColumnWidth - offset && point.y() > HeaderHeight)
        bandOrigin_ = bandEnd_ = QPoint(offset + point.x(), point.y());
    if (bandOrigin_.x() != 0 && rect().contains(point)) {
        bandEnd_ = QPoint(offset + point.x(), point.y());
        if (point.x() < AutoScrollEdge)
            ScrollTo(ThumbPosition, offset - 1);
        else if (point.x() > width() - AutoScrollEdge)
            ScrollTo(ThumbPosition, offset + 1);
        DrawBand();
    }
}

void StepSequencerControl::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || CursorRunning())
        return;
    if (bandOrigin_.x() != 0) {
        FinishBand();
        return;
    }
    const QPoint point = event->position().toPoint();
    const bool hadSelection = grid_.SelectedCount() > 0;
    bool drop = false;
    if (grid_.DragRow() != -1 && pointerChanged_) {
        if (savedCursor_)
            setCursor(*savedCursor_);
        else
            unsetCursor();
        savedCursor_.reset();
        pointerChanged_ = false;
        drop = true;
    }
    const auto cell = HitTest(point);
    if (cell && !drop) {
        Redraw(hadSelection ? grid_.ClearSelection() : grid_.ToggleCell(cell->first, cell->second));
        grid_.EndDrag();
        return;
    }
    if (cell) {
        Redraw(grid_.Drop(cell->first, cell->second));
    } else if (point.x() > NameColumnWidth - scrollOffset_ && point.y() >= 19 && point.y() <= 29 &&
               grid_.ColumnCount() >= 1) {
        // The header strip: a click just left of a column line moves the paste marker there.
        const int offset = scrollOffset_;
        for (int c = 0; c < grid_.ColumnCount(); ++c) {
            const int line = c * columnWidth_ - offset;
            if (141 + line < point.x() && point.x() < 149 + line) {
                MovePasteMarker(c);
                break;
            }
        }
    }
    if (hadSelection)
        Redraw(grid_.ClearSelection());
    grid_.EndDrag();
}

} // namespace GUI
