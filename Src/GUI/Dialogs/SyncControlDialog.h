#pragma once
#include "GUI/Dialogs/TabDialog.h"

#include <array>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTimer;
class QTreeWidget;

namespace Configuration {
class IConfiguration;
}

namespace GUI {

class ApplicationWindow;

/// The Sync and Control page of the settings dialog: OSC (on or off, the UDP port, the address
/// it is bound to, with a warning for any other than the loopback address, and what came in
/// so far) and the MIDI map (each command with the note or controller that sets it off; Learn
/// takes the next note or pedal pressed, Clear removes it; which MIDI input is read). The MIDI
/// map changes as soon as a trigger is learnt or cleared; the MIDI clock (none, sent, or the
/// one that comes in followed, with its tempo shown), the JACK transport's mode (leave alone,
/// follow, lead; with whether it rolls), Ableton Link (on or off, with the session's peers)
/// and the OSC settings are applied on OK (ApplyControl). GUI thread only.
class SyncControlDialog final : public TabDialog {
    Q_OBJECT
public:
    // Control identifiers, in Tab order.
    static constexpr int OscOnId = 1430;
    static constexpr int OscPortId = 1431;
    static constexpr int OscAddressId = 1432;
    static constexpr int MapId = 1433;
    static constexpr int LearnId = 1434;
    static constexpr int ClearId = 1435;
    /// The MIDI clock's choice: off, send, follow (ClockOffId + Configuration::MidiClock...).
    static constexpr int ClockOffId = 1450;
    static constexpr int ClockSendId = 1451;
    static constexpr int ClockFollowId = 1452;
    /// The MIDI clock's help lines in [Text], in the order of its identifiers.
    static constexpr int ClockHelp = 394;
    static constexpr int TransportId = 1460;
    /// The JACK transport's texts in [Text] (its block 360-373): the group's title first.
    static constexpr int TransportTexts = 360;
    /// Ableton Link's check box, and its texts in [Text] (the block 380-393): the box's, then
    /// its help line.
    static constexpr int LinkId = 1470;
    static constexpr int LinkTexts = 380;
    /// The page's tab text in [Text]; the page's other texts follow it (the block 200-239).
    static constexpr int TabText = 200;
    /// Its help lines in [Text], in the order of the identifiers.
    static constexpr int FirstHelp = 228;

    SyncControlDialog(Configuration::IConfiguration& configuration, ApplicationWindow& window, IParentWindow& frame,
                      HelpTable help);
    ~SyncControlDialog() override;

    void Load(const Configuration::ConfigurationData& settings) override;
    /// OK: listens for OSC as the page says (the port kept in the settings). False, with the
    /// reason shown, when the address is no numeric address or the port cannot be opened.
    bool ApplyControl();
    /// Stops a learn that waits (the dialog closes).
    void EndLearning();

protected:
    void NameControls() override;

private:
    void ShowTexts();
    void ShowMap();
    void ShowStatus();

    Configuration::IConfiguration& configuration_;
    ApplicationWindow& window_;
    std::array<QGroupBox*, 3> groups_{}; // OSC, MIDI control, MIDI clock
    QGroupBox* transportGroup_ = nullptr;
    QLabel* transportLabel_ = nullptr;
    QComboBox* transport_ = nullptr;
    QLabel* transportStatus_ = nullptr;
    QCheckBox* link_ = nullptr;
    QLabel* linkStatus_ = nullptr;
    QCheckBox* oscOn_ = nullptr;
    QLabel* portLabel_ = nullptr;
    QSpinBox* port_ = nullptr;
    QLabel* addressLabel_ = nullptr;
    QLineEdit* address_ = nullptr;
    QLabel* warning_ = nullptr;
    QLabel* oscStatus_ = nullptr;
    QTreeWidget* map_ = nullptr;
    QPushButton* learn_ = nullptr;
    QPushButton* clear_ = nullptr;
    QLabel* midiStatus_ = nullptr;
    QButtonGroup* clockModes_ = nullptr;
    std::array<QRadioButton*, 3> clock_{}; // off, send, follow
    QLabel* clockStatus_ = nullptr;
    QTimer* status_ = nullptr;
};

} // namespace GUI
