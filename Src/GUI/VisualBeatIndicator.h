#pragma once
#include "Core/Engine/IBeatIndicator.h"
#include "GUI/Circle.h"
#include "Platform/SpscQueue.h"
#include "Platform/Thread.h"

#include <QImage>
#include <QSocketNotifier>
#include <QWidget>

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

namespace GUI {

/// The beat lamp: a 32 x 32 pixel child at (230, 76) of its parent, control identifier 1202,
/// that shows an anti-aliased disc in the size and colour of the voice of each marked beat.
///
/// While the metronome plays with the lamp in use, a drawing thread of its own renders each
/// beat into a back buffer as soon as the beat is queued and hands the picture to the widget,
/// which paints it on the GUI thread; no thread exists while idle. A beat is shown when it is
/// heard, not when the timer hands it to the sound engine some tens of milliseconds earlier:
/// ShowBeat and ClearBeat take the tick's heard time (Platform::CurrentTickHeardTime(); "now"
/// outside a tick), and the GUI thread sets a timer of its own for that time and paints when it
/// fires. One thread wakes for a beat's picture, on its own processor's timer: handing the
/// picture over at the heard time from another thread woke two threads, and on an idle machine
/// each wake-up may come late. A repaint that no beat asked for (the lamp uncovered,
/// the window restored) shows the empty lamp until the next beat. While it shows beats, the
/// drawing thread and the GUI thread run at the prompt real-time priority where the system
/// allows it, so that a busy machine does not delay the picture.
///
/// Threads: StartDrawing on the window thread; ShowBeat and ClearBeat on any thread (the timer
/// thread), without locking or allocating; StopDrawing on any thread but the drawing thread.
/// Everything else on the GUI thread.
class VisualBeatIndicator : public QWidget, public Core::IBeatIndicator {
    Q_OBJECT
public:
    static constexpr int ControlId = 1202;
    static constexpr int Width = 32;
    static constexpr int Height = 32;

    explicit VisualBeatIndicator(QWidget* parent = nullptr);
    /// Stops a drawing thread that is still running.
    ~VisualBeatIndicator() override;

    /// Takes the voices' marker sizes and colours from settings and starts the drawing thread
    /// (after ending a thread still running from a previous run). When the thread cannot be
    /// started the log gets an Error line and the lamp stays dark for this run.
    void StartDrawing(const Configuration::ConfigurationData& settings) override;
    /// Lights the lamp with the marker of voice voiceIndex (0..11); other indices darken it.
    void ShowBeat(std::int32_t voiceIndex) override;
    /// Darkens the lamp.
    void ClearBeat() override;
    /// Ends the drawing thread and waits for it; the lamp is dark afterwards.
    void StopDrawing() override;

    /// True while a drawing thread exists.
    bool IsDrawing() const;
    /// A copy of the picture the widget shows (or is about to show). Any thread.
    QImage ShownImage() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private slots:
    /// Sets the GUI thread's timer for the staged picture's heard time.
    void ArmForStagedPicture();
    /// The timer fired: shows the staged picture once its heard time has come.
    void ShowStagedPicture();

private:
    struct Beat {
        std::int32_t voice;     // -1: dark
        std::int64_t heardTime; // clock nanoseconds
    };

    /// Draws each queued beat and stages it for the GUI thread, until drawing ends.
    void DrawingThread(std::uint32_t seen);
    /// Hands the back buffer to the GUI thread, to be shown at heardTime.
    void StageBackBuffer(std::int64_t heardTime);
    /// Queues a beat for the drawing thread and wakes it.
    void Queue(std::int32_t voiceIndex);
    /// Copies the back buffer into the picture shown and asks the GUI thread to repaint.
    void PublishBackBuffer();
    void Signal();

    Circle circle_;
    std::array<std::int32_t, 12> sizes_{};
    std::array<std::int32_t, 12> colours_{};
    QImage backBuffer_; // the drawing thread's while it runs

    std::atomic<std::uint32_t> beatSignal_{0}; // bumped per beat; the drawing thread waits on it
    // Beats on their way to the drawing thread. One producer at a time: the timer thread, or
    // the window thread while no timer thread runs (a pause).
    Platform::SpscQueue<Beat> beats_{64};
    std::atomic<bool> drawing_{false};
    std::atomic<QRgb> buttonFace_;
    std::atomic<bool> repaintQueued_{false};
    std::atomic<bool> waitingForShow_{false}; // the drawing thread waits for a staged picture to go

    mutable std::mutex frameMutex_;
    QImage frame_;            // guarded by frameMutex_: the picture the widget paints
    bool frameFresh_ = false; // guarded by frameMutex_: a beat's picture not painted yet
    QImage staged_;             // guarded by frameMutex_: the next beat's picture
    std::int64_t stagedDue_ = 0; // guarded by frameMutex_: when staged_ is heard
    bool pictureStaged_ = false; // guarded by frameMutex_: staged_ waits to be shown

    int timerFd_ = -1; // the GUI thread's timer for the staged picture (timerfd)
    QSocketNotifier* timerNotifier_ = nullptr;

    mutable std::mutex runMutex_; // serialises StartDrawing, StopDrawing and IsDrawing
    std::thread thread_;
    Platform::PromptPriorityLoan guiPriority_; // the GUI thread's, while drawing (runMutex_)
};

/// Call before the QApplication exists. On X11 Qt hands each painted picture to the display
/// server through shared memory and, before painting the next one, waits until the server has
/// taken the previous one: a display server kept busy by other programs then holds the lamp's
/// next beat back by tens of milliseconds. Plain image requests do not wait (for a window of
/// this size they cost nothing noticeable), so they are chosen unless the user has set
/// QT_XCB_NO_MITSHM already.
void PaintWithoutWaitingForTheDisplayServer();

} // namespace GUI
