#pragma once
#include "Configuration/ConfigurationData.h"
#include "Core/Engine/IMetronomeEventHandler.h"
#include "Platform/SpscQueue.h"

#include <QDialog>
#include <QTimer>

#include <atomic>
#include <cstdint>
#include <optional>
#include <vector>

class QLabel;
class QPushButton;

namespace Core {
class IMetronome;
}
namespace Platform::Audio {
class Mixer;
}

namespace GUI {

/// The output offset's tap calibration: plays 16 clicks at 80 bpm (voice 1's sound of the
/// settings, nothing else of them), the player taps along to what they hear (any key but Tab
/// and Escape, or the mouse, anywhere in the window), and the median of the taps' distances
/// from the clicks' heard times (Core::Timing::EstimateTapOffset) is proposed. While it plays,
/// the output's offset is 0, so what is measured is the whole delay the output does not report;
/// the offset it had is put back at the end. Proposed() has the value once the player accepted
/// it; too few taps say so and propose nothing. GUI thread; the clicks' heard times come from
/// the timer thread through a lock-free queue.
class TapCalibration final : public QDialog, public Core::IMetronomeEventHandler {
    Q_OBJECT
public:
    static constexpr int Bpm = 80;
    static constexpr int PadId = 1430, StartId = 1431, UseId = 1432, CloseId = 1433;

    TapCalibration(Core::IMetronome& metronome, Platform::Audio::Mixer* output,
                   const Configuration::ConfigurationData& settings, QWidget* parent);
    ~TapCalibration() override;

    /// The accepted offset, ms; none when the player did not accept one.
    std::optional<int> Proposed() const { return accepted_; }
    /// Starts the clicks (the Start button).
    void Begin();
    /// A tap now (a key or the mouse).
    void Tap();

    // IMetronomeEventHandler, on the timer thread except as noted there.
    void OnTrainerStarted(std::uint32_t, bool) override {}
    void OnBeat(std::uint8_t, std::uint32_t) override {}
    void OnSounded(bool heard) override;
    void OnStopped(std::uint32_t) override { stopped_.store(true); }
    void OnError(std::uint32_t) override { stopped_.store(true); }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void reject() override;

private:
    void Poll();
    void Finish();
    void End();

    Core::IMetronome& metronome_;
    Platform::Audio::Mixer* output_;
    Configuration::ConfigurationData run_;
    QLabel* instructions_;
    QPushButton* pad_;
    QLabel* progress_;
    QPushButton* start_;
    QPushButton* use_;
    QPushButton* close_;
    QTimer poll_;
    Platform::SpscQueue<std::int64_t> heard_{64};
    std::atomic<int> sounded_{0};
    std::atomic<bool> stopped_{false};
    std::vector<std::int64_t> clicks_;
    std::vector<std::int64_t> taps_;
    std::int64_t keptOffset_ = 0;
    bool playing_ = false;
    std::optional<double> estimate_;
    std::optional<int> accepted_;
};

} // namespace GUI
