#pragma once
#include "GUI/Circle.h"
#include "GUI/HeardTimeline.h"
#include "Platform/Thread.h"
#include "StepSequencer/StepSequencerGrid.h"

#include <QCursor>
#include <QFont>
#include <QImage>
#include <QPixmap>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <optional>

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
/// While the dialog plays the rhythm a cursor sweeps a 3-pixel inverted bar across a second
/// image and the view scrolls to follow it. Each column's step is posted by the timer thread
/// (SignalCursor) to a HeardTimeline, and the GUI thread puts the bar on the column's line when
/// the step is heard (the mixer's clock map and output latency for the step's frame), not when
/// the timer hands it over some tens of milliseconds earlier. Between two steps the bar moves
/// on in CursorFramesPerColumn equal frames, woken by the same timer of the GUI thread, and
/// never past the next column before its step is heard. While the cursor runs the GUI thread
/// runs at the prompt real-time priority where the system allows it. Mouse editing is refused while the
/// cursor runs; keys still edit.
///
/// Threads: SignalCursor on one thread at a time (the timer thread), without locking,
/// allocating or calling Qt. Everything else on the GUI thread.
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
    /// Stops the cursor.
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

    /// Starts the cursor for a rhythm about to play from record.
    void StartCursor(const Configuration::ConfigurationData& record);
    /// Stops the cursor and removes the bar; steps not shown yet are dropped.
    void StopCursor();
    /// One step of the rhythm played: the bar reaches the next column when the step is heard
    /// (the current tick's heard time; now, when called outside a tick). One thread at a time
    /// (the timer thread); wait-free.
    void SignalCursor() noexcept;
    /// True from StartCursor to StopCursor.
    bool CursorRunning() const { return playing_; }
    /// Frames the bar takes from one column to the next at a tempo and steps per beat: more
    /// for slow steps, so that the bar moves about as smoothly at every tempo.
    static int CursorFramesPerColumn(int bpm, int stepsPerBeat);

    /// The names, the header, one row and the scroll bar; the control takes whatever room its
    /// window's layout gives it beyond that.
    QSize minimumSizeHint() const override;

    StepSequencer::StepSequencerGrid& Grid() { return grid_; }
    const StepSequencer::StepSequencerGrid& Grid() const { return grid_; }
    int RowHeight() const { return rowHeight_; }
    int ColumnWidth() const { return columnWidth_; }
    int ScrollOffset() const { return scrollOffset_; }
    int ScrollMaximum() const { return scrollMaximum_; }
    int ClientWidth() const { return width(); }
    int ClientHeight() const { return height(); }
    QScrollBar* ScrollBar() const { return scrollBar_; }
    /// The bar's frame within the loop (columns x frames per column), -1 before the first step
    /// is heard.
    int CursorFrame() const { return cursorFrame_; }
    /// Cursor bar's x in image coordinates.
    double CursorX() const { return cursorX_; }
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
    /// The frame due now after the last step heard; asks the timer for the next one.
    void AdvanceCursor();
    void ShowFrame(int frame);
    void ComputeCursorGeometry();
    /// Inverts the bar's checkerboard at x in cursorImage_.
    void InvertBar(int x, int barHeight);

    void SetScrollOffset(int offset);
    int ScrollBarHeight() const;

    StepSequencer::StepSequencerGrid grid_;
    DiscStamps hits_{7.0f, 2.0f, 1.0f}; // radius, ring and fading edge of a hit
    QFont font_;
    QScrollBar* scrollBar_ = nullptr;

    QImage image_;                  // the painted grid
    QImage cursorImage_;            // the grid plus the cursor bar or the rubber band
    int redrawMode_ = PaintAll;
    int dirtyTop_ = 0;    // rows of image_ that edits left to paint (image coordinates)
    int dirtyBottom_ = 0;
    int rowHeight_ = 12;
    int columnWidth_ = 20;
    int scrollOffset_ = 0;
    int scrollMaximum_ = 0;

    // Rubber band in image coordinates; bandOrigin_.x() == 0: none.
    QPoint bandOrigin_;
    QPoint bandEnd_;
    bool bandShown_ = false;
    bool pointerChanged_ = false;
    std::optional<QCursor> savedCursor_;

    // Cursor.
    bool playing_ = false;
    bool refresh_ = false;          // cursorImage_ must be copied from image_ again
    bool cursorShown_ = false;      // cursorImage_ holds a bar
    int framesPerColumn_ = 1;
    int framesPerLoop_ = 1;
    double step_ = 1.0;             // pixels per frame
    std::int64_t framePeriod_ = 0;  // nanoseconds per frame at the rhythm's tempo
    int barHeight_ = 0;
    int barX_ = -1;                 // where the bar is drawn in cursorImage_, -1: nowhere
    int drawnBarHeight_ = 0;        // the height it was drawn with
    int cursorFrame_ = -1;
    double cursorX_ = 0.0;
    std::int64_t lastStep_ = -1;    // index of the last step heard
    std::int64_t lastStepHeard_ = 0; // when it was heard (clock nanoseconds)
    std::atomic<std::uint32_t> stepsPosted_{0}; // the timer thread's count of steps
    HeardTimeline steps_;
    Platform::PromptPriorityLoan guiPriority_; // the GUI thread's, while the cursor runs
};

} // namespace GUI
