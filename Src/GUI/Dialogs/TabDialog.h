#pragma once
#include "GUI/Dialogs/DialogBase.h"

#include <QStringList>
#include <QWidget>

#include <cstdint>

namespace Configuration {
struct ConfigurationData;
}

namespace GUI {

class TabDialog;

/// What the settings dialog offers its pages: reports of changes that other pages must follow,
/// and requests to act for them.
class IParentWindow {
public:
    /// Notify codes.
    static constexpr std::uint32_t AudioFilesChanged = 1; ///< a file was chosen or typed
    static constexpr std::uint32_t PresetLoaded = 3;      ///< a preset went into the current settings
    static constexpr std::uint32_t SoundSourceChanged = 4; ///< argument 0 MIDI, 1 audio files
    /// Request codes.
    static constexpr std::uint32_t GatherValues = 2; ///< every page writes its values into record
    static constexpr std::uint32_t ShowPage = 3;     ///< select tab `page` and show its page

    struct RequestArgument {
        int page = 0;
        Configuration::ConfigurationData* record = nullptr;
    };

    virtual ~IParentWindow() = default;
    /// A page reports a change; other codes do nothing. Returns 1 when handled.
    virtual std::uint32_t Notify(std::uint32_t code, std::uint32_t argument) = 0;
    /// Index 0 gives the Audio Files page; every other index none.
    virtual TabDialog* GetPage(int index) = 0;
    /// GatherValues: 0 when every page took its values, 1 when one refused (after telling the
    /// user). ShowPage: 0.
    virtual std::uint32_t Request(std::uint32_t code, const RequestArgument& argument) = 0;
};

/// A page of the settings dialog. Its controls are laid out by Qt layouts, no smaller than the
/// page's English size; their status tips show in the dialog's help line. The page object lives as long as the dialog,
/// so what it holds (the Options page's step sequencer, for example) lasts between openings.
/// GUI thread only.
class TabDialog : public QWidget, public DialogBase {
public:
    /// help: the dialog's help table, which covers every page's controls.
    TabDialog(IParentWindow& frame, HelpTable help);

    /// Readies an opening: the language's texts, Load (settings), the controls' help and
    /// descriptions.
    void Initialise(const Configuration::ConfigurationData& settings);
    /// Fills the controls from settings (each opening, and after a preset was loaded).
    virtual void Load(const Configuration::ConfigurationData& settings);
    /// Writes the page's values into record. False when the page refuses them; it has then told
    /// the user why and focused the control at fault.
    virtual bool Apply(Configuration::ConfigurationData& record);

    /// Sound Settings page: its sound lists show the MIDI instruments again.
    virtual void ShowMidiInstruments() {}
    /// Sound Settings page: its sound lists show the file names of these paths (one per voice),
    /// selected from settings.
    virtual void ShowAudioFiles(const QStringList& paths, const Configuration::ConfigurationData& settings);
    /// Audio Files page: the paths its edits hold now, one per voice (empty for none).
    virtual QStringList FileNames() const { return {}; }

protected:
    IParentWindow& Frame() { return frame_; }
    /// Names the controls that DescribeControls cannot name (rows of a table, for example) in
    /// the language shown. Called at each opening, after DescribeControls.
    virtual void NameControls() {}
    /// Escape in a filtered edit closes the dialog (without applying).
    void closeEvent(QCloseEvent* event) override;

private:
    IParentWindow& frame_;
};

} // namespace GUI
