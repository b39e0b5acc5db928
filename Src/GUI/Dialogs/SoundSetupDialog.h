#pragma once
#include "Configuration/ConfigurationData.h"
#include "GUI/Dialogs/TabDialog.h"

#include <array>

class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QSlider;

class QTimer;

namespace Configuration {
class IConfiguration;
}
namespace Core {
class IMetronome;
}

namespace GUI {

class VisualColourControl;

/// The Sound Settings page of the settings dialog: for each of the twelve voices what it plays
/// (its role), its sound (a MIDI instrument, or one of the twelve audio files when those are
/// the sound source), its volume, and the size and colour of its beat-lamp marker with a live
/// preview. Choosing a sound, or letting go of a volume slider (by mouse, or the last arrow
/// or page key), lets the voice be heard: while the metronome plays, the run takes the page's
/// sounds and volumes from its next beat (the dialog puts the settings' own back when it
/// closes); otherwise the voice plays once at its volume (Core::IMetronome::Preview). GUI
/// thread only.
class SoundSetupDialog final : public TabDialog {
    Q_OBJECT
public:
    static constexpr int GroupId = 1046;
    /// Column headings: sound, volume, visual size, visual colour.
    static constexpr int FirstHeadingId = 1047;
    /// Row i (voice i + 1) has these identifiers plus i.
    static constexpr int SoundId = 1230;
    static constexpr int VolumeId = 1242;
    static constexpr int SizeId = 1254;
    static constexpr int ColourId = 1266;
    static constexpr int PreviewId = 1278;

    SoundSetupDialog(Configuration::IConfiguration& configuration, Core::IMetronome& metronome,
                     IParentWindow& frame, HelpTable help);

    /// Shows settings again: the sound lists for their sound source (the file names of their
    /// audio files afresh), each voice's selection, sliders and preview. Each opening and the
    /// dialog's refresh after a preset was loaded come here.
    void Refresh(const Configuration::ConfigurationData& settings);
    void Load(const Configuration::ConfigurationData& settings) override { Refresh(settings); }
    /// Writes each voice's sound (its list position, 0 when none is chosen) and its choice
    /// for the other sound source, volume, marker size and colour. Never refuses.
    bool Apply(Configuration::ConfigurationData& record) override;
    void ShowMidiInstruments() override;
    void ShowAudioFiles(const QStringList& paths, const Configuration::ConfigurationData& settings) override;

    /// The sound source the lists show now.
    Configuration::SoundSource ShownSource() const { return source_; }
    QComboBox* SoundList(int voice) const { return rows_[static_cast<std::size_t>(voice)].sound; }
    VisualColourControl* Preview(int voice) const { return rows_[static_cast<std::size_t>(voice)].preview; }
    QLabel* Role(int voice) const { return rows_[static_cast<std::size_t>(voice)].role; }

    /// Lets voice (0..11) be heard as the page holds it now (see the class).
    void Hear(int voice);
    /// Forgets a Hear still waiting for its sounds (the dialog closes).
    void StopHearing();
    /// The settings the page would make of the current ones, with the Audio Files page's files
    /// and the sound source shown.
    Configuration::ConfigurationData HeardSettings();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    /// Names each row's role and controls by column and voice, and widens the sound lists for
    /// the language's instrument names.
    void NameControls() override;

private:
    void LayOutControls();
    /// Asks the metronome again for what Hear asked, until it is done or 3 s have passed.
    void TryHearing();
    struct Row {
        QLabel* number;
        QLabel* role;
        QComboBox* sound;
        QSlider* volume;
        QSlider* size;
        QSlider* colour;
        VisualColourControl* preview;
    };

    /// Every list shows items; each voice selects its choice for the source shown (the first
    /// item when that is beyond the list).
    void Fill(const QStringList& items);
    /// A voice's instrument or file for source, as the page holds it.
    std::int32_t& Choice(Configuration::SoundSource source, std::size_t voice);

    Configuration::IConfiguration& configuration_;
    Core::IMetronome& metronome_;
    QTimer* retry_ = nullptr;   // while the engine prepares what a Hear needs
    QTimer* settle_ = nullptr;  // a volume moved by the wheel or a click beside the thumb
    int hearing_ = -1;          // the voice of the Hear under way, -1: none
    int settling_ = -1;         // the voice settle_ hears
    int retries_ = 0;
    bool keyHeld_ = false;      // a key is down on a volume slider
    QGroupBox* group_ = nullptr;
    QGridLayout* grid_ = nullptr;
    std::array<QLabel*, 4> headings_{};
    std::array<Row, Configuration::VoiceCount> rows_{};
    Configuration::SoundSource source_ = Configuration::SoundSource::Midi;
    // Each voice's choice for MIDI (0) and for audio files (1): what the settings held, then
    // what the user chose; switching the source shows the other one's.
    std::array<std::array<std::int32_t, Configuration::VoiceCount>, 2> choices_{};
};

} // namespace GUI
