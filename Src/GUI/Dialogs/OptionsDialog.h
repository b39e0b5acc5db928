#pragma once
#include "Configuration/ConfigurationData.h"
#include "GUI/Dialogs/Dialog.h"
#include "GUI/Dialogs/TabDialog.h"

#include <array>
#include <memory>
#include <optional>
#include <string>

class QCheckBox;
class QSpinBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace GUI {

class AudioCalibration;
class StepSequencerDialog;
class UpDown;

/// The Options page of the settings dialog: beat type (simple beat, beats per bar, custom
/// pattern, custom rhythm and its step sequencer), sound source, the two beat subdivisions,
/// compound time, the beat lamp and the speed trainer. Applying checks a custom pattern with
/// the metronome's own reader and refuses an audio-file source without files.
///
/// The page keeps its step sequencer window between openings. GUI thread only.
class OptionsDialog final : public TabDialog {
    Q_OBJECT
public:
    // Control identifiers.
    static constexpr int SimpleBeatId = 1021;
    static constexpr int BeatsPerBarId = 1022;
    static constexpr int CustomPatternId = 1023;
    static constexpr int CustomRhythmId = 1024;
    static constexpr int StepSequencerId = 1025;
    static constexpr int MidiId = 1027;
    static constexpr int AudioFilesId = 1028;
    static constexpr int CompoundTimeId = 1032;
    static constexpr int VisualIndicatorId = 1034;
    static constexpr int DiaryId = 1516; ///< keep a practice diary (the program's switch)
    static constexpr int TimingFeedbackId = 1517; ///< timing feedback (the program's switch)
    static constexpr int TimingInputId = 1540;    ///< where its hits come from: the MIDI or the audio input
    static constexpr int CalibrateId = 1541;      ///< the audio input's round-trip calibration
    static constexpr int TimingInputLabelId = 1542;
    static constexpr int CalibrationStateId = 1543; ///< what the last calibration found
    /// The trainer that waits: its switch, the mean, the spread and the repeats.
    static constexpr int GateId = 1544, GateMeanId = 1545, GateSpreadId = 1546, GateRepeatsId = 1547;
    static constexpr int TrainerId = 1036;
    static constexpr int LogarithmicId = 1037;
    static constexpr int DurationsInBarsId = 1038;
    static constexpr int BeepId = 1039;
    static constexpr int BarsEditId = 1206;
    static constexpr int BarsUpDownId = 1207;
    static constexpr int Subdivision1Id = 1208;
    static constexpr int Subdivision2Id = 1209;
    static constexpr int PatternEditId = 1210;
    /// The speed trainer's edits are 1211, 1213 .. 1221, each with its up-down one above.
    static constexpr int FromEditId = 1211;
    /// From and To in beats per minute: 1223 and 1224.
    static constexpr int FromBpmEditId = 1223;
    /// The largest beats per bar the page applies; a larger typed number becomes this.
    static constexpr int MaxBeatsPerBar = 60;

    OptionsDialog(const DialogContext& context, IParentWindow& frame, HelpTable help);
    ~OptionsDialog() override;

    void Load(const Configuration::ConfigurationData& settings) override;
    bool Apply(Configuration::ConfigurationData& record) override;

    bool MidiChosen() const;
    /// Writes what decides the beat's grid as the page shows it, applied or not: the beat type,
    /// beats per bar, compound time and the two subdivisions.
    void WriteGrid(Configuration::ConfigurationData& record) const;
    /// The step sequencer window, once the page has opened it; null before.
    StepSequencerDialog* StepSequencer() const { return stepSequencer_.get(); }
    /// The Step Sequencer button: the sequencer's record takes every page's values and the
    /// current rhythm, then the window opens modally. show: false readies the window without
    /// showing it (for tests, which show it themselves).
    void OpenStepSequencer(bool show = true);

protected:
    bool event(QEvent* event) override;

private:
    struct TrainerEdit {
        QLabel* label;
        QLineEdit* edit;
        UpDown* upDown;
        bool percent;
        QLineEdit* bpm; ///< From and To: the same tempo in beats per minute; null for the others
        QLabel* unit;   ///< "bpm", or what Duration, Warm Up and Warm Down count
    };

    void CreateControls();
    void LayOutControls();
    void Connect();
    void EnableBeatTypeControls();
    void EnableTrainerControls();
    Configuration::BeatKind CheckedBeatType() const;
    void LimitBeatsPerBar();
    void TrainerEditChanged(const TrainerEdit& field);
    static void ShowTrainerValue(const TrainerEdit& field, double value);
    /// From and To as tempos of the main tempo the page was loaded with.
    void ShowTrainerBpm(const TrainerEdit& field);
    void TrainerBpmEdited(const TrainerEdit& field);
    /// Minutes or bars, as the engine counts each duration.
    void ShowTrainerUnits();
    bool ApplyPattern(Configuration::ConfigurationData& record, bool check);
    /// The Calibrate button: plays the calibration clicks and listens to the audio input.
    void Calibrate();
    void Calibrated(std::optional<double> roundTripMs);

    DialogContext context_;
    std::array<QRadioButton*, 4> beatTypes_{};
    QLineEdit* beatsPerBar_ = nullptr;
    UpDown* barsUpDown_ = nullptr;
    QLineEdit* pattern_ = nullptr;
    QPushButton* stepButton_ = nullptr;
    QRadioButton* midi_ = nullptr;
    QRadioButton* audioFiles_ = nullptr;
    std::array<QLabel*, 2> subdivisionLabels_{};
    std::array<QComboBox*, 2> subdivisions_{};
    QCheckBox* compound_ = nullptr;
    QCheckBox* indicator_ = nullptr;
    QCheckBox* diary_ = nullptr;
    QCheckBox* timingFeedback_ = nullptr;
    QLabel* timingInputLabel_ = nullptr;
    QComboBox* timingInput_ = nullptr;
    QPushButton* calibrate_ = nullptr;
    QLabel* calibrationState_ = nullptr;
    std::unique_ptr<AudioCalibration> calibration_;
    std::string roundTrips_; // the round trips as they will be applied (with this opening's calibration)
    QCheckBox* trainer_ = nullptr;
    QCheckBox* durationsInBars_ = nullptr;
    QCheckBox* logarithmic_ = nullptr;
    QCheckBox* beep_ = nullptr;
    QCheckBox* gate_ = nullptr;
    std::array<QLabel*, 3> gateLabels_{};
    std::array<QSpinBox*, 3> gateValues_{}; // mean, spread (ms), repeats
    std::array<QGroupBox*, 4> groups_{}; // beat type, sound source, subdivision, options
    QGroupBox* trainerGroup_ = nullptr;
    std::array<TrainerEdit, 6> trainerEdits_{};
    int mainTempo_ = 0;
    std::array<bool, 2> bpmTyped_{}; // From and To were last typed as tempos: applied from them
    bool showingBpm_ = false;        // a tempo typed is being shown as its percentage
    std::unique_ptr<StepSequencerDialog> stepSequencer_;
    bool opened_ = false;
};

} // namespace GUI
