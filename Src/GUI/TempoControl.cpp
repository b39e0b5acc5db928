#include "GUI/TempoControl.h"

#include "GUI/ApplicationWindow.h"

#include <algorithm>
#include <cmath>

namespace GUI {

int TempoSliderPosition(int tempo)
{
    return static_cast<int>(1000.0 * std::log(tempo + 128.0) / std::log(2.0) + 0.5);
}

int TempoForSliderPosition(int position)
{
    return static_cast<int>(std::pow(2.0, position / 1000.0) + 0.5) - 128;
}

std::optional<int> KeyboardTempoChange(int key, Qt::KeyboardModifiers modifiers, int repeatCount)
{
    int factor = 1;
    if (modifiers & Qt::ControlModifier)
        factor *= 2;
    if (modifiers & Qt::ShiftModifier)
        factor *= 2;
    const bool keypad = modifiers & Qt::KeypadModifier;
    const int step = factor * repeatCount;
    switch (key) {
    case Qt::Key_PageUp:
        return 10 * step;
    case Qt::Key_PageDown:
        return -10 * step;
    case Qt::Key_Up:
    case Qt::Key_Right:
        return step;
    case Qt::Key_Down:
    case Qt::Key_Left:
        return -step;
    case Qt::Key_Plus:
        return keypad ? std::optional<int>(step) : std::nullopt;
    case Qt::Key_Minus:
        return keypad ? std::optional<int>(-step) : std::nullopt;
    default:
        return std::nullopt;
    }
}

TempoKeyEntry::TempoKeyEntry(QObject* parent)
    : QObject(parent)
{
    timer_.setSingleShot(true);
    timer_.setInterval(TimeoutMs);
    connect(&timer_, &QTimer::timeout, this, &TempoKeyEntry::Reset);
}

void TempoKeyEntry::Reset()
{
    timer_.stop();
    digits_ = {-1, -1, -1};
}

std::optional<int> TempoKeyEntry::Key(int key, Qt::KeyboardModifiers modifiers)
{
    // Only the digit row: keypad digits keep their other meanings.
    if (key < Qt::Key_0 || key > Qt::Key_9 || (modifiers & Qt::KeypadModifier))
        return std::nullopt;
    const int digit = key - Qt::Key_0;
    timer_.start();

    if (digits_[0] < 0) {
        digits_[0] = digit;
        return std::nullopt;
    }
    if (digits_[1] < 0) {
        digits_[1] = digit;
        const int value = 10 * digits_[0] + digit;
        return value > 10 ? std::optional<int>(value) : std::nullopt;
    }
    if (digits_[0] > 4) {
        // No three-digit tempo starts with 5 or more: this digit begins a new entry.
        digits_ = {digit, -1, -1};
        return std::nullopt;
    }
    const int value = 100 * digits_[0] + 10 * digits_[1] + digit;
    Reset();
    return value >= 10 ? std::optional<int>(std::min(value, 400)) : std::nullopt;
}

QtTapSeriesTimer::QtTapSeriesTimer()
{
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        if (onTimer_)
            onTimer_();
    });
}

bool QtTapSeriesTimer::Start(std::uint32_t intervalMs, std::function<void()> onTimer)
{
    onTimer_ = std::move(onTimer);
    timer_.start(static_cast<int>(intervalMs));
    return true;
}

void QtTapSeriesTimer::Stop()
{
    timer_.stop();
}

TempoInput::TempoInput(ApplicationWindow& window)
    : window_(window), tapTempo_(tapTimer_)
{
}

bool TempoInput::Key(int key, Qt::KeyboardModifiers modifiers, int repeatCount)
{
    if (window_.TrainerOwnsTempo())
        return true; // the speed trainer owns the tempo: keys do nothing
    if (const auto typed = entry_.Key(key, modifiers)) {
        window_.SetTempo(*typed, true);
        return true;
    }
    const auto change = KeyboardTempoChange(key, modifiers, std::max(1, repeatCount));
    if (!change)
        return key >= Qt::Key_0 && key <= Qt::Key_9 && !(modifiers & Qt::KeypadModifier);
    const int tempo = window_.Tempo() + *change;
    if (tempo >= KeyboardTempoMinimum && tempo <= KeyboardTempoMaximum)
        window_.SetTempo(tempo, true);
    return true;
}

void TempoInput::Tap(Qt::KeyboardModifiers held, std::int64_t at)
{
    if (window_.TrainerOwnsTempo())
        return;
    const bool ctrl = held & Qt::ControlModifier;
    const bool shift = held & Qt::ShiftModifier;
    const int tempo = at != 0 ? tapTempo_.Tap(ctrl, shift, at) : tapTempo_.Tap(ctrl, shift);
    if (tempo != 0)
        window_.SetTempo(tempo, true);
}

} // namespace GUI
