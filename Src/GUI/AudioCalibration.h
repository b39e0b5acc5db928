#pragma once
#include "Core/Timing/AudioHits.h"
#include "Core/Timing/Calibration.h"

#include <QObject>
#include <QTimer>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Platform::Audio {
class Mixer;
}

namespace GUI {

/// The round-trip calibration of the audio input, on the GUI thread: plays the calibration
/// clicks (Core::Timing::CalibrationFrames) through the output, listens to the input as live
/// timing does (Core::Timing::AudioHits) and, once the last click had a second to come back,
/// tells what it found (Finished). Nothing waits: the clicks play in the mixer, the input is
/// read on its own threads, and a timer here collects what was found every 20 ms.
class AudioCalibration : public QObject {
    Q_OBJECT
public:
    explicit AudioCalibration(Platform::Audio::Mixer* mixer, QObject* parent = nullptr);
    ~AudioCalibration() override;

    /// Starts; false, with the reason (English, for the message and the log), when there is no
    /// output or no input to calibrate.
    bool Start(std::string& failure);
    bool Running() const { return poll_.isActive(); }
    /// The pair of output and input calibrated (Core::Timing::PairKey), once started.
    const std::string& Pair() const { return pair_; }

signals:
    /// The calibration ended: the round trip found (ms), or none.
    void Finished(std::optional<double> roundTripMs);

private:
    void Poll();
    void Finish();

    Platform::Audio::Mixer* mixer_;
    QTimer poll_;
    Core::Timing::AudioHits hits_;
    std::unique_ptr<Core::Timing::CalibrationVoice> voice_;
    std::vector<double> played_;
    std::vector<double> found_;
    std::string pair_;
    std::int64_t until_ = 0; // when the last click has had time to come back
    bool acquired_ = false;
};

} // namespace GUI
