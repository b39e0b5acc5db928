#pragma once
// The main window's ways of setting the tempo without the mouse: the logarithmic scale of the
// tempo slider, the arrow and page keys, and tempos typed as digits.
#include "Core/Engine/TapTempo.h"

#include <QObject>
#include <QTimer>

#include <array>
#include <cstdint>
#include <optional>

namespace GUI {

class ApplicationWindow;

/// Tempo slider scale: the slider runs over the base-2 logarithm of (tempo + 128) in
/// thousandths, so that slow tempos get more room than fast ones.
constexpr int TempoSliderMinimum = 7109; ///< position of 10 bpm
constexpr int TempoSliderMaximum = 9044; ///< position of 400 bpm

/// Slider position of tempo (bpm); not clamped to the slider's range.
int TempoSliderPosition(int tempo);
/// Tempo (bpm) of a slider position; every position of the slider's range gives 10..400.
int TempoForSliderPosition(int position);

/// Smallest and largest tempo the arrow and page keys reach.
constexpr int KeyboardTempoMinimum = 4;
constexpr int KeyboardTempoMaximum = 1000;

/// The tempo change of one key press: Page Up/Down by 10, Up/Right/keypad plus and
/// Down/Left/keypad minus by 1, each doubled with Ctrl and doubled again with Shift, times
/// the repeat count. nullopt for any other key. key is a Qt::Key, modifiers Qt modifiers.
std::optional<int> KeyboardTempoChange(int key, Qt::KeyboardModifiers modifiers, int repeatCount);

/// Collects a tempo typed as up to three digits on the main keyboard. The second digit gives
/// a two-digit tempo above 10; a third digit gives a three-digit tempo (at most 400) when the
/// first digit is 0 to 4 and otherwise starts a new entry. Four seconds without a digit start
/// afresh. GUI thread only.
class TempoKeyEntry : public QObject {
    Q_OBJECT
public:
    /// How long a partial entry waits for its next digit.
    static constexpr int TimeoutMs = 4000;

    explicit TempoKeyEntry(QObject* parent = nullptr);

    /// Offers a key (a Qt::Key, with its modifiers). Keys other than the main keyboard's
    /// digits are not taken and leave the entry as it is. Returns the tempo the digits so far
    /// give, if any.
    std::optional<int> Key(int key, Qt::KeyboardModifiers modifiers);
    /// Empties the entry and stops its timer.
    void Reset();
    /// True while digits wait for more.
    bool Pending() const { return digits_[0] >= 0; }

private:
    std::array<int, 3> digits_{-1, -1, -1};
    QTimer timer_;
};

/// The tap-tempo series timer on the GUI thread's event loop.
class QtTapSeriesTimer final : public Core::ITapSeriesTimer {
public:
    QtTapSeriesTimer();
    bool Start(std::uint32_t intervalMs, std::function<void()> onTimer) override;
    void Stop() override;

private:
    QTimer timer_;
    std::function<void()> onTimer_;
};

/// The main window's tempo input besides the slider: the arrow and page keys, tempos typed as
/// digits and taps. A tempo found goes to the window's SetTempo, the slider following. While
/// a speed-trainer run owns the tempo, keys are taken and do nothing, and taps do nothing.
/// GUI thread only.
class TempoInput {
public:
    explicit TempoInput(ApplicationWindow& window);

    /// A key reaching the window (itself, or forwarded by the Start/Stop button and the
    /// sliders): a Qt::Key with its modifiers and its repeat count. True when the key was used.
    bool Key(int key, Qt::KeyboardModifiers modifiers, int repeatCount);
    /// A tap (the Tap button or "t"), with the modifiers held (see Core::TapTempo::Tap), made
    /// now or at `at` (Platform::Clock nanoseconds; 0: now).
    void Tap(Qt::KeyboardModifiers held, std::int64_t at = 0);

private:
    ApplicationWindow& window_;
    TempoKeyEntry entry_;
    QtTapSeriesTimer tapTimer_;
    Core::TapTempo tapTempo_;
};

} // namespace GUI
