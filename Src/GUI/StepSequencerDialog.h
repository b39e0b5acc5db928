#pragma once
#include "Configuration/ConfigurationData.h"
#include "Core/Engine/IMetronome.h"
#include "Core/Engine/IMetronomeEventHandler.h"
#include "GUI/Dialogs/Dialog.h"
#include "GUI/MetronomeEventQueue.h"

#include <thread>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace Configuration {
class IConfiguration;
}

namespace GUI {

class StepSequencerControl;

/// The resizable " Step Sequencer" window (at least MinimumWidth x MinimumHeight pixels and
/// its English size in dialog units): the rhythm's length (bars, beats per bar,
/// subdivision, compound time), the grid, a help line and the Clear, Play/Stop, Save and Cancel
/// buttons. Play runs the program's metronome on the window's own record with every grid
/// column a step, while the grid's cursor follows the steps as they are heard; Save writes the
/// rhythm, at the coarsest resolution that keeps every hit, into the current settings and
/// closes. Closing by any other way writes nothing, and every way of closing stops the sound.
///
/// The Options page owns the one window and opens it with Open, which plays and saves the
/// current settings' rhythm: it fills Record() with TakeCurrentSettings and shows the window
/// modally. An owner with a record of its own fills Record() and calls Initialise, then shows
/// the window.
///
/// Threads: the metronome's reports may come on its timer thread (OnBeat only signals the
/// cursor; the others are queued for the GUI thread; none calls Qt there). Everything else on
/// the GUI thread, the one that made the window.
class StepSequencerDialog : public Dialog, public Core::IMetronomeEventHandler {
    Q_OBJECT
public:
    static constexpr int DialogId = 103;
    static constexpr int BarsId = 1023;
    static constexpr int BeatsId = 1022;
    static constexpr int SubdivisionId = 1208;
    static constexpr int CompoundId = 1084;
    static constexpr int DistinctId = 1085;
    static constexpr int ClearId = 1062;
    static constexpr int PlayId = 1082;
    static constexpr int SaveId = 1083;
    static constexpr int CancelId = 1071;
    static constexpr int HelpId = 1073;
    static constexpr int MinimumWidth = 730;
    static constexpr int MinimumHeight = 400;

    /// metronome and configuration must outlive the window.
    StepSequencerDialog(Core::IMetronome& metronome, Configuration::IConfiguration& configuration,
                        QWidget* owner = nullptr);
    /// Stops a run the window started.
    ~StepSequencerDialog() override;

    /// The window's own settings record: what Play plays and where Save leaves its copy.
    Configuration::ConfigurationData& Record() { return record_; }
    /// Fills Record() for an opening from the current settings: tempo, volume and the rhythm's
    /// fields, with the beat lamp off and the step sequencer's timing.
    void TakeCurrentSettings(const Configuration::ConfigurationData& current);

    /// TakeCurrentSettings from the settings store, then shows the window modally. Returns 1
    /// however it was closed.
    int Open(int argument) override;

    StepSequencerControl& Grid() { return *control_; }
    bool Playing() const { return playing_; }

    // Core::IMetronomeEventHandler
    void OnTrainerStarted(std::uint32_t tempo, bool warmUp) override;
    void OnBeat(std::uint8_t flags, std::uint32_t tempo) override;
    void OnStopped(std::uint32_t tempo) override;
    void OnError(std::uint32_t messageIndex) override;

public slots:
    void done(int result) override;

protected:
    /// Sets the controls from Record() and loads the grid (each opening).
    void Prepare(int argument) override;
    /// The least size for the texts shown; the window keeps a larger size.
    void Fit() override;

private:
    void CreateControls();
    void Play();
    void StopPlaying();
    void Save();
    void LengthChanged(int controlId);
    /// Rhythm text and length from the grid and the controls into record; false (after the
    /// message) when the rhythm has too many hits.
    bool WriteRhythm(Configuration::ConfigurationData& record);
    void ShowTooManyHits();
    void Deliver(const MetronomeEvent& event);
    void ReturnFocus();

    Core::IMetronome& metronome_;
    Configuration::IConfiguration& configuration_;
    Configuration::ConfigurationData record_;
    StepSequencerControl* control_ = nullptr;
    QComboBox* bars_ = nullptr;
    QComboBox* beats_ = nullptr;
    QComboBox* subdivision_ = nullptr;
    QCheckBox* compound_ = nullptr;
    QCheckBox* distinct_ = nullptr;
    QPushButton* clear_ = nullptr;
    QPushButton* play_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QLabel* help_ = nullptr;
    MetronomeEventQueue events_;
    // Reports may come from the timer thread, which must not call into Qt to tell threads apart.
    const std::thread::id guiThread_ = std::this_thread::get_id();
    bool playing_ = false;
};

} // namespace GUI
