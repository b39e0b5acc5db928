#pragma once
#include "Core/Engine/IBeatIndicator.h"
#include "GUI/HeardTimeline.h"
#include "Platform/Thread.h"

#include <QImage>
#include <QWidget>

#include <array>
#include <atomic>
#include <cstdint>

namespace GUI {

/// The beat lamp: a square of 32 x 32 pixels or larger (SetSide; its size hint, which its
/// parent's layout follows), control identifier 1202, that shows an anti-aliased disc in the
/// size and colour of the voice of each marked beat, scaled with the square.
///
/// A beat is shown when it is heard, not when the timer hands it to the sound engine some
/// tens of milliseconds earlier: ShowBeat and ClearBeat post the beat to a HeardTimeline, which
/// gives it to the GUI thread at the tick's heard time (the mixer's clock map and output
/// latency for the tick's frame), from one timer of the GUI thread; the lamp then paints at
/// once. The discs are drawn when a run starts, one per voice, so a beat only copies a picture.
/// A repaint that no beat asked for (the lamp uncovered, the window restored) shows the empty
/// lamp until the next beat. While it shows beats the GUI thread runs at the prompt real-time
/// priority where the system allows it, so that a busy machine does not delay the picture.
///
/// Threads: ShowBeat and ClearBeat on any one thread at a time (the timer thread), without
/// locking, allocating or calling Qt. Everything else on the GUI thread.
class VisualBeatIndicator : public QWidget, public Core::IBeatIndicator {
    Q_OBJECT
public:
    static constexpr int ControlId = 1202;
    static constexpr int Width = 32;
    static constexpr int Height = 32;

    explicit VisualBeatIndicator(QWidget* parent = nullptr);
    ~VisualBeatIndicator() override;

    /// Draws each voice's disc in its marker size and colour from settings and starts showing
    /// beats; with the lamp off (VisualIndicator 0) shows none, nor does its follower.
    void StartDrawing(const Configuration::ConfigurationData& settings) override;
    /// Lights the lamp with the marker of voice voiceIndex (0..11) when the current tick is
    /// heard; other indices darken it. A beat of a muted bar shows the marker as a ring, a
    /// count-in beat as a small disc in the first voice's colour.
    void ShowBeat(std::int32_t voiceIndex, Core::BeatLook look) override;
    /// Darkens the lamp when the current tick is heard.
    void ClearBeat() override;
    /// Darkens the lamp at once; beats not shown yet are dropped.
    void StopDrawing() override;

    /// Passes every lamp call on to follower as well (the full-screen view), or to nothing.
    /// GUI thread, while no run plays.
    void SetFollower(Core::IBeatIndicator* follower) { follower_ = follower; }

    /// Makes the lamp side x side pixels (at least 32), its discs drawn again at that size.
    void SetSide(int side);
    int Side() const { return side_; }

    QSize sizeHint() const override { return {side_, side_}; }
    QSize minimumSizeHint() const override { return {Width, Height}; }

    /// True from StartDrawing (the lamp on) to StopDrawing.
    bool IsDrawing() const { return drawing_.load(std::memory_order_acquire); }
    /// A copy of the picture the widget shows (or is about to show).
    QImage ShownImage() const { return frame_.copy(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    /// The GUI thread's part of a beat: its picture becomes the lamp's, painted now.
    void Show(std::int32_t voice);
    /// Draws each voice's disc at the current side from the markers last given.
    void DrawDiscs();

    int side_ = Width;
    std::array<std::int32_t, 12> markerSizes_{};
    std::array<std::int32_t, 12> markerColours_{};
    // Each voice's picture, then each voice's ring (muted bars), then the count-in's small
    // disc; drawn by StartDrawing.
    static constexpr std::size_t MutedPictures = 12;
    static constexpr std::size_t CountInPicture = 24;
    std::array<QImage, 25> discs_;
    QRgb buttonFace_;
    QImage frame_;            // the picture the widget paints
    bool frameFresh_ = false; // a beat's picture not painted yet
    std::atomic<bool> drawing_{false};
    HeardTimeline beats_;
    Core::IBeatIndicator* follower_ = nullptr;
    Platform::PromptPriorityLoan guiPriority_; // the GUI thread's, while drawing
};

/// Call before the QApplication exists. On X11 Qt hands each painted picture to the display
/// server through shared memory and, before painting the next one, waits until the server has
/// taken the previous one: a display server kept busy by other programs then holds the lamp's
/// next beat back by tens of milliseconds. Plain image requests do not wait (for a window of
/// this size they cost nothing noticeable), so they are chosen unless the user has set
/// QT_XCB_NO_MITSHM already.
void PaintWithoutWaitingForTheDisplayServer();

} // namespace GUI
