#pragma once
#include "GUI/Dialogs/TabDialog.h"

#include <array>
#include <string>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace GUI {

struct DialogContext;

/// The Practice page of the settings dialog: the count-in and its sound, muted bars (periodic
/// or random, with the random rule's rise and seed, and the option to keep a muted bar's
/// downbeat) and swing. Values out of their ranges are shown, and applied, at the nearest
/// value the page offers. Swing is disabled, with the reason, while the grid chosen on the
/// Options page cannot swing; its value is kept. The spoken count (off, the count-in, or the
/// count-in and every beat; a bar's groups counted through or each from one) sits with the
/// count-in. The output offset of the output playing now and the MIDI input's latency (both
/// program-wide, kept per output and per input), with the offset's tap calibration
/// (TapCalibration), sit below swing. GUI thread only.
class PracticeDialog final : public TabDialog {
    Q_OBJECT
public:
    // Control identifiers, in Tab order.
    static constexpr int CountInId = 1400;
    static constexpr int CountInSoundId = 1401;
    static constexpr int GapOffId = 1402;
    static constexpr int GapPeriodicId = 1403;
    static constexpr int GapPlayId = 1404;
    static constexpr int GapMuteId = 1405;
    static constexpr int GapRandomId = 1406;
    static constexpr int GapPercentId = 1407;
    static constexpr int GapRiseId = 1408;
    static constexpr int GapRampId = 1409;
    static constexpr int GapSeedId = 1410;
    static constexpr int NewSeedId = 1411;
    static constexpr int GapDownbeatId = 1412;
    static constexpr int SwingId = 1413;
    static constexpr int CountVoiceId = 1414;
    static constexpr int CountThroughId = 1415;
    static constexpr int OffsetId = 1416;
    static constexpr int CalibrateId = 1417;
    static constexpr int InputLatencyId = 1418;

    PracticeDialog(const DialogContext& context, IParentWindow& frame, HelpTable help);
    ~PracticeDialog() override;

    void Load(const Configuration::ConfigurationData& settings) override;
    bool Apply(Configuration::ConfigurationData& record) override;

    /// The count-in's sound list serves MIDI; with audio files it is disabled and the page says
    /// that voice 1's file plays.
    void FollowSoundSource(bool audioFiles);
    /// Enables swing when the grid these settings give can swing (Core::SwingGridSteps).
    void FollowGrid(const Configuration::ConfigurationData& settings);

protected:
    void NameControls() override;

private:
    void CreateControls();
    void LayOutControls();
    void ShowTexts();
    void EnableGapControls();
    void Calibrate();

    const DialogContext& context_;
    std::array<QGroupBox*, 4> groups_{}; // count-in, muted bars, swing, output offset
    QLabel* countInLabel_ = nullptr;
    QComboBox* countIn_ = nullptr;
    QLabel* soundLabel_ = nullptr;
    QComboBox* sound_ = nullptr;
    QLabel* countVoiceLabel_ = nullptr;
    QComboBox* countVoice_ = nullptr;
    QCheckBox* countThrough_ = nullptr;
    QLabel* soundNote_ = nullptr;
    std::array<QRadioButton*, 3> gapModes_{}; // off, periodic, random
    QLabel* playLabel_ = nullptr;
    QSpinBox* play_ = nullptr;
    QLabel* muteLabel_ = nullptr;
    QSpinBox* mute_ = nullptr;
    QLabel* percentLabel_ = nullptr;
    QSpinBox* percent_ = nullptr;
    QCheckBox* rise_ = nullptr;
    QSpinBox* ramp_ = nullptr;
    QLabel* rampUnit_ = nullptr;
    QLabel* seedLabel_ = nullptr;
    QLineEdit* seed_ = nullptr;
    QPushButton* newSeed_ = nullptr;
    QCheckBox* downbeat_ = nullptr;
    QLabel* swingLabel_ = nullptr;
    QDoubleSpinBox* swing_ = nullptr;
    QLabel* swingNote_ = nullptr;
    bool swingPossible_ = true;
    QLabel* output_ = nullptr;
    QLabel* offsetLabel_ = nullptr;
    QSpinBox* offset_ = nullptr;
    QPushButton* calibrate_ = nullptr;
    QLabel* latencyLabel_ = nullptr;
    QSpinBox* latency_ = nullptr;
    std::string outputName_; // the output the offset shown is for; empty: none open
    std::string inputName_;
};

} // namespace GUI
