#pragma once
#include "GUI/Circle.h"
#include "StepSequencer/StepSequencerGrid.h"
#include "Platform/SpscQueue.h"

#include <QCursor>
#include <QFont>
#include <QImage>
#include <QPixmap>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>

class QScrollBar;

namespace Configuration {
struct ConfigurationData;
}

namespace GUI {

/// The step sequencer's rhythm grid (control identifier 1025): instrument names on the left,
/// one column per rhythm step with beat numbers in a 30-pixel header, the hits as discs in
/// their voices' colours, and a horizontal scroll bar when the columns do not fit.
///
/// The whole grid is painted into an off-screen image as wide as the grid (or the screen);
/// scrolling only shows another slice of it and an edit repaints one row band. The mouse
/// toggles, drags, selects with a rubber band and places the paste marker; keys go to the
/// grid (select all, copy, cut, paste, undo, redo, delete).
///
/// While the dialog plays the rhythm a cursor thread sweeps a 3-pixel inverted bar across a
/// second image, one frame per timer tick, and scrolls the view to follow it. Each tick's frame
/// is shown when the tick is heard (Platform::CurrentTickHeardTime() at the tick), not when
/// the timer computes it some tens of milliseconds earlier. Mouse editing is refused while it
/// runs; keys still edit.
///
/// Threads: SignalCursor on any thread (the timer thread), without locking or allocating.
/// Everything else on the GUI thread.
class StepSequencerControl : public QWidget {
    Q_OBJECT
public:
    static constexpr int ControlId = 1025;
    /// Layout in pixels (image coordinates): names left of NameColumnWidth, column c's line
    /// at FirstColumnX + c * column width, rows below HeaderHeight.
    static constexpr int NameColumnWidth = 125;
    static constexpr int FirstColumnX = 145;
    static constexpr int HeaderHeight = 30;

    /// Scroll requests of ScrollTo; Clamp only brings the offset back into range.
    enum ScrollRequest { LineLeft, LineRight, PageLeft, PageRight, ThumbPosition, ThumbTrack, Clamp };
    /// Redraw modes.
    enum RedrawMode { PaintInvalid = 0, PaintAll = 2, CopyOnly = 3 };

    explicit StepSequencerControl(QWidget* parent = nullptr);
    /// Stops a cursor thread that still runs.
    ~StepSequencerControl() override;

    /// Loads the grid from record (length, view, names, rhythm text), scrolls to the start and
    /// lays the grid out.
    void Initialise(const Configuration::ConfigurationData& record);
    /// Scroll bar at the bottom edge, row height, column width and scroll range from the
    /// client size; repaints everything.
    void Layout();
    /// Switches between all rows and distinct instruments, then lays out again.
    void ToggleDistinctView();
    /// Repaints after a grid operation: StepSequencerGrid::NoChange nothing, AllRows
    /// everything, otherwise that display row's band.
    void Redraw(int code);
    /// Scrolls the view as the scroll bar's request asks (position for the thumb requests).
    void ScrollTo(ScrollRequest request, int position = 0);

    /// Starts the cursor thread for a rhythm about to play from record. False (with an Error
    /// line in the log) when the thread cannot be started.
    bool StartCursor(const Configuration::ConfigurationData& record);
    /// Ends the cursor thread, waiting until it has left its loop, and removes the bar.
    void StopCursor();
    /// One timer tick: the cursor moves one frame when the tick is heard (now, when called
    /// outside a tick). One thread at a time (the timer thread); lock-free, no allocation.
    void SignalCursor() noexcept;
    /// True from StartCursor to StopCursor.
    bool CursorRunning() const { return (flags_.load() & PlayingFlag) != 0; }

    StepSequencer::StepSequencerGrid& Grid() { return grid_; }
    const StepSequencer::StepSequencerGrid& Grid() const { return grid_; }
    int RowHeight() const { return rowHeight_; }
    int ColumnWidth() const { return columnWidth_; }
    int ScrollOffset() const { return scrollOffset_.load(); }
    int ScrollMaximum() const { return scrollMaximum_.load(); }
    int ClientWidth() const { return width(); }
    int ClientHeight() const { return height(); }
    QScrollBar* ScrollBar() const { return scrollBar_; }
    /// Frames the cursor has moved since StartCursor (its frame counter, -1 before the first).
    int CursorFrame() const { return cursorFrame_.load(); }
    /// Cursor bar's x in image coordinates.
    double CursorX() const { return cursorX_.load(); }
    /// The cell at a client point as (display row, column), or nothing.
    std::optional<std::pair<int, int>> HitTest(QPoint point) const;
    /// Client point of a cell's centre (for tests and the band).
    QPoint CellCentre(int displayRow, int column) const;

    /// The pictures, drawn by the program: the paste marker (10 x 10) and the drag and
    /// no-drop pointer shapes.
    static QPixmap PasteMarker();
    static QCursor DragCursor();
    static QCursor NoDropCursor();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    struct Tick {
        std::uint32_t index;    // ticks since StartCursor
        std::int64_t heardTime; // clock nanoseconds
    };
    static constexpr int PlayingFlag = 1;
    static constexpr int RefreshFlag = 2;

    // Painting (StepSequencerPainting.cpp).
    void EnsureImages();
    /// Paints the rows of image_ between top and bottom (image coordinates).
    void PaintImage(int top, int bottom);
    void PaintHeader(QPainter& painter, int top, int bottom);
    void PaintHits(int top, int bottom);
    void PaintPasteMarker(QPainter& painter);
    void MovePasteMarker(int column);
    void DrawBand();
    void FinishBand();

    // Cursor (StepSequencerCursor.cpp).
    void CursorThread(std::uint32_t seen);
    void ShowFrame(std::uint32_t tickIndex, int& barX, int& barHeight);
    void ComputeCursorGeometry();
    /// Inverts the bar's checkerboard at x in cursorImage_ (imageMutex_ held).
    void InvertBar(int x, int barHeight);
    void PublishCursor();

    void SetScrollOffset(int offset);
    int ScrollBarHeight() const;

    StepSequencer::StepSequencerGrid grid_;
    DiscStamps hits_{7.0f, 2.0f, 1.0f}; // radius, ring and fading edge of a hit
    QFont font_;
    QScrollBar* scrollBar_ = nullptr;

    mutable std::mutex imageMutex_; // image_ while a cursor thread may copy it; cursorImage_
    QImage image_;                  // the painted grid
    QImage cursorImage_;            // the grid plus the cursor bar or the rubber band
    int redrawMode_ = PaintAll;
    int dirtyTop_ = 0;    // rows of image_ that edits left to paint (image coordinates)
    int dirtyBottom_ = 0;
    int rowHeight_ = 12;
    int columnWidth_ = 20;
    std::atomic<int> scrollOffset_{0};
    std::atomic<int> scrollMaximum_{0};

    // Rubber band in image coordinates; bandOrigin_.x() == 0: none.
    QPoint bandOrigin_;
    QPoint bandEnd_;
    bool bandShown_ = false;
    bool pointerChanged_ = false;
    std::optional<QCursor> savedCursor_;

    // Cursor: written by StartCursor before the thread starts, or by Layout while it runs
    // (then read by the thread after it sees RefreshFlag).
    std::atomic<int> flags_{0};
    std::atomic<int> framesPerColumn_{1};
    std::atomic<int> framesPerLoop_{1};
    std::atomic<double> step_{1.0};
    std::atomic<int> barHeight_{0};
    std::atomic<int> viewWidth_{0}; // the client width, for the cursor thread
    std::atomic<int> cursorFrame_{-1};
    std::atomic<double> cursorX_{0.0};
    std::atomic<bool> cursorShown_{false}; // cursorImage_ holds a bar (guarded by imageMutex_ for the pixels)
    std::atomic<std::uint32_t> tickSignal_{0}; // bumped per tick and at stop; the thread waits on it
    std::atomic<std::uint32_t> tickCount_{0};
    // Ticks on their way to the cursor thread. A tick lost to a full queue only skips a
    // picture: the frame comes from the tick's index.
    Platform::SpscQueue<Tick> ticks_{256};
    std::atomic<bool> repaintQueued_{false};
    std::atomic<int> requestedOffset_{-1};
    std::thread cursorThread_;
};

} // namespace GUI
