#pragma once
#include "Core/Engine/IBeatIndicator.h"
#include "Core/Engine/Practice.h"
#include "GUI/HeardTimeline.h"

#include <QColor>
#include <QWidget>

#include <array>
#include <atomic>
#include <cstdint>

namespace GUI {

/// The full-screen beat view: the whole screen flashes on each beat in its voice's marker
/// colour (the bar's first beat in its own), with the beat number in numerals a third of the
/// screen high or more, the bar above it and the tempo below, readable from across a room.
///
/// It follows the beat lamp (which passes every lamp call on to it) and shows each beat when it
/// is heard, through its own HeardTimeline like the lamp; bar and beat numbers come through a
/// second one from the metronome's position reports. Flashes are limited (BeatFlashes, and a
/// third of a second between two flashes at the least); the numbers change on every beat
/// whatever the limiter decides. Two strengths: strong (the marker colour) and subtle (a dark
/// shade of it). Escape or F11 leaves it (Left).
///
/// Threads: StartDrawing, StopDrawing and everything else on the GUI thread; ShowBeat, ClearBeat
/// and PostPosition on the timer thread inside a tick, without locking, allocating or calling Qt.
class BeatView : public QWidget, public Core::IBeatIndicator {
    Q_OBJECT
public:
    explicit BeatView(QWidget* parent = nullptr);
    ~BeatView() override;

    void StartDrawing(const Configuration::ConfigurationData& settings) override;
    void ShowBeat(std::int32_t voiceIndex, Core::BeatLook look) override;
    void ClearBeat() override;
    void StopDrawing() override;
    /// Where the run is, shown when the current tick is heard.
    void PostPosition(const Core::BarPosition& position);

    /// The tempo shown under the beat number (bpm); the flash limiter reckons with it.
    void SetTempo(int bpm);
    void SetStrong(bool strong);
    bool Strong() const { return strong_; }

    /// True while the screen shows a beat's flash; the number of flashes shown since the run
    /// started.
    bool Flashing() const { return flashing_; }
    int FlashCount() const { return flashes_; }
    int ShownBeat() const { return beat_; }
    int ShownBar() const { return bar_; }

signals:
    /// The user asked to leave the view (Escape or F11).
    void Left();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Flash(std::int32_t value, std::int64_t heardTime);
    void Position(std::int32_t value);
    /// A beat and its position are heard at the same moment but come from two timelines: the
    /// one that fires first takes what the other holds due by now, so both are painted at once
    /// (two full-screen paints in a row would show the second a paint late).
    template <typename Take>
    bool TakeWithOthers(HeardTimeline& others, Take take);
    bool batching_ = false;
    bool changedInBatch_ = false;

    std::array<QRgb, 12> colours_{};
    std::atomic<bool> drawing_{false};
    bool strong_ = true;
    bool flashing_ = false;
    QColor flashColour_;
    int flashes_ = 0;
    std::int64_t lastFlash_ = 0; // heard time of the last flash shown
    int beatsSinceDownbeat_ = 0;
    int beatsPerBar_ = 0; // beats between the last two downbeats, 0 until seen
    int tempo_ = 120;
    int bar_ = 0;  // 0: no run yet
    int beat_ = 0;
    bool countIn_ = false;
    HeardTimeline beats_;
    HeardTimeline positions_;
};

} // namespace GUI
