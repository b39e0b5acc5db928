#pragma once
#include "Core/Engine/IMetronome.h"
#include "Core/Engine/IMetronomeEventHandler.h"
#include "GUI/ApplicationWindowStartup.h"
#include "Core/Control/RemoteCommand.h"
#include "GUI/ControlSubClasser.h"
#include "GUI/Dialogs/Dialog.h"
#include "GUI/HeardTimeline.h"
#include "GUI/MetronomeEventQueue.h"
#include "GUI/SongControl.h"
#include "GUI/TempoControl.h"

#include <QMainWindow>
#include <QStringList>

#include <array>
#include <atomic>
#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QSlider;
class QSpacerItem;
class QToolButton;

namespace Configuration {
class IConfiguration;
}
namespace Core {
class BeatGrid;
}
namespace Diary {
class Keeper;
}
namespace Core {
class TrainerGate;
}
namespace Platform {
class LinkSession;
}
namespace Platform::Audio {
class Mixer;
}

namespace GUI {

class BeatView;
class ClockFollow;
class ExportDialog;
class SetlistDialog;
class SongEditorDialog;

class BeatsPerMinuteDisplay;
class MidiInPump;
class RemoteControl;
class LiveTiming;
class TimingSummaryDialog;
class TimingStrip;
class SingleInstance;
class Statusbar;
class Toolbar;
class VisualBeatIndicator;

/// Property of the tap command's action: the modifiers of the key that fired it, until the tap.
inline constexpr const char* TapKeyHeldProperty = "tapKeyHeld";

/// What the main window works with besides the metronome and the settings store. Every
/// member has a default for the program; tests give their own.
struct ApplicationWindowOptions {
    /// Keep the program to one copy (see SingleInstance).
    bool singleInstance = true;
    /// The single-instance socket; empty: SingleInstance::DefaultName().
    QString instanceName;
    /// Folder of the language files, with a trailing '/'; empty: Platform::LanguageFolder().
    std::string languageFolder;
    /// Folder of the manuals Tolvane.pdf and Tolvane.LANG.pdf, with a trailing '/'; empty:
    /// Platform::ManualFolder().
    std::string helpFolder;
    /// Requests from the command line (instance socket lines, see SingleInstance): sent to a
    /// copy that runs already, else carried out once the window is up.
    QStringList requests;
    /// The practice diary that keeps this window's runs (outlives the window); null: none.
    Diary::Keeper* diary = nullptr;
    /// The output whose MIDI input (and the ALSA sequencer port, stamped on its clock) the
    /// window reads (see MidiInPump); null: no MIDI input.
    Platform::Audio::Mixer* midiInput = nullptr;
    /// Where a MIDI clock that comes in publishes its beats for the runs to follow (the
    /// metronome follows this grid; outlives the window); null: the clock is never followed.
    Core::BeatGrid* clockGrid = nullptr;
    /// The speed trainer's gate the live scorer feeds (the trainer that waits); null: none.
    Core::TrainerGate* trainerGate = nullptr;
    /// The Ableton Link session the window joins while the settings ask for it (outlives the
    /// window); null: no Link.
    Platform::LinkSession* link = nullptr;
};

/// The program's main window: tempo read-out, beat lamp, Start/Stop and Tap buttons, tempo and
/// volume sliders, toolbar, status line and menu. It starts and stops the metronome and takes
/// its reports, and it runs the program's start-up, language switch and shutdown.
///
/// Every control carries its numeric identifier in the dynamic property "controlId". Every
/// command is a QAction of the window (objectName its name, data and "controlId" its number)
/// with its keys, shown by the menu, the toolbar or a button.
///
/// Threads: the metronome reports (IMetronomeEventHandler) may come on any thread; reports
/// from another thread are queued and carried out on the GUI thread, without blocking the
/// caller. Everything else runs on the GUI thread.
class ApplicationWindow : public QMainWindow, public ControlSubClasser, public Core::IMetronomeEventHandler {
    Q_OBJECT
public:
    /// The window's outer size in English, its least; a translation that needs more room
    /// widens it. The user may make the window larger.
    static constexpr int OuterWidth = 400;
    static constexpr int OuterHeight = 300;
    /// Set on Start/Stop while the screen is too narrow for its text (its tooltip shows it whole).
    static constexpr const char* CutProperty = "textCut";

    // Control identifiers.
    static constexpr int StartStopId = 1001;
    /// The Start/Stop button's text while playing, and (a text of the language) while paused.
    static constexpr int StopTextId = 1002;
    static constexpr int ResumeTextId = 23;
    static constexpr int TapId = 1003;
    static constexpr int TempoLabelId = 1004;
    static constexpr int VolumeLabelId = 1005;
    static constexpr int TempoSliderId = 1203;
    static constexpr int VolumeSliderId = 1204;
    static constexpr int GroupBoxId = -1;
    /// The tempo marking (Largo ... Presto) under the read-out.
    static constexpr int TempoMarkingId = 1006;
    static constexpr int BarCounterId = 1205;
    // Commands besides the controls'.
    static constexpr int SpaceCommand = 1325;
    static constexpr int LanguageCommand = 32771;
    static constexpr int ExitCommand = 32772;
    static constexpr int OptionsCommand = 32773;
    static constexpr int SoundSettingsCommand = 32774;
    static constexpr int AudioFilesCommand = 32775;
    static constexpr int PresetsCommand = 32776;
    static constexpr int HelpCommand = 32777;
    static constexpr int AboutCommand = 32778;
    static constexpr int UnusedCommand = 32779; ///< Ctrl+F5: taken and ignored
    /// The View menu's commands: the full-screen beat view (F11), sound off, strong flashes.
    static constexpr int FullScreenCommand = 32780;
    static constexpr int VisualOnlyCommand = 32781;
    static constexpr int StrongFlashCommand = 32782;
    /// The [Text] entries of the View menu: its title, then its three items, then their help.
    static constexpr int ViewMenuText = 48;
    static constexpr int ExportCommand = 32783; ///< File → Export Click Track (Ctrl+E)
    static constexpr int DiaryCommand = 32784;  ///< Tools > Practice Diary (Ctrl+D)
    static constexpr int SongEditorCommand = 32800; ///< Tools > Song Editor (Ctrl+G)
    static constexpr int SetlistCommand = 32801;    ///< Tools > Setlist (Ctrl+Shift+G)

    /// metronome: the controller the window starts and stops; configuration: the settings
    /// store. Both must outlive the window.
    ApplicationWindow(Core::IMetronome& metronome, Configuration::IConfiguration& configuration,
                      ApplicationWindowOptions options = {});
    ~ApplicationWindow() override;

    /// Runs start-up: the single-instance check, loading the settings, the text tables of the
    /// configured language, the platform check, the window and its controls, control help and
    /// shortcuts. False when the program should end (another copy runs, or the platform is
    /// refused, after telling the user); the window is then not shown.
    bool Startup() { return startup_.Run(); }

    /// Makes the text tables of language name (empty: the built-in English tables) current.
    /// False, with the reason in the log, when the language file cannot be used; the previous
    /// tables stay current then.
    bool InitialiseLanguage(const std::u16string& name) { return startup_.InitialiseLanguage(name); }
    /// Switches the program to language name, which the caller has already stored in the
    /// settings: new tables, then the menu, toolbar, read-out label, control texts and title.
    /// When the file cannot be used the built-in English tables take over, the language setting
    /// is emptied and the controls keep their texts; returns false then.
    bool SwitchLanguage(const std::u16string& name);

    /// Carries out a command by triggering its action, as its menu item, key, button or
    /// toolbar button does. Unknown commands do nothing.
    void OnCommand(int command);
    /// Carries out a command of the window's dialog table: stops a playing metronome first
    /// when the dialog edits the settings, then opens the dialog modally. False when the
    /// command has no dialog (yet).
    bool OpenDialog(int command);
    /// File → Export Click Track: the export window, made at its first opening and kept (its
    /// choices stay for the next), opened modally.
    void OpenExport();
    /// The export window once it has been opened (for tests), else null.
    ExportDialog* ExportWindow() const { return exportDialog_.get(); }
    /// Tools → Song Editor and Tools → Setlist, shown beside the window (made on first use).
    void OpenSongEditor();
    void OpenSetlist();
    SongEditorDialog* SongEditorWindow() const { return songEditor_.get(); }
    SetlistDialog* SetlistWindow() const { return setlistDialog_.get(); }
    /// The dialog that command opens, made on first use and kept while the window lives;
    /// null when the command has none.
    Dialog* DialogFor(int command);
    /// Start or stop, as the Start/Stop button. When the sounds are still being prepared after
    /// a short wait, the start happens once they are ready, with a busy cursor meanwhile; a
    /// second press in that time takes the start back.
    void ToggleStartStop();
    /// Sets the tempo (bpm) in the settings and the read-out, moves the slider when
    /// sliderFollows, and passes it to a playing metronome. The tempo is taken as it is.
    void SetTempo(int tempo, bool sliderFollows);
    /// A tempo sent by another process. Taken (true) when it lies in 4..1000 and no speed
    /// trainer run owns the tempo.
    bool SetTempoRequest(int tempo);
    /// Loads the preset called name into the current settings (stopping a playing metronome
    /// first) and shows it. False when there is no such preset, or while a dialog that edits
    /// the settings is open: its OK would save its own values over half of the preset's.
    bool LoadPresetRequest(const QString& name);
    /// Starts playing unless playing already. True when playing afterwards.
    bool StartRequest();
    /// A practice option sent by another process ("count-in 2", "gap 3:1", "gap-random 30",
    /// "seed 42", "swing 66", as Core::ApplyPracticeOption reads them): taken into the settings
    /// for the next Start. Refused while a speed-trainer run plays or the settings dialog is
    /// open, or for a value out of range.
    bool PracticeRequest(const QString& option);
    /// A view wish of the command line: "fullscreen" shows the full-screen beat view,
    /// "visual-only" mutes the sound. Always taken.
    bool ViewRequest(const QString& wish);
    /// Shows or leaves the full-screen beat view.
    void ShowFullScreenView(bool shown);
    /// True while the sound is muted for the beat to be only seen.
    bool VisualOnly() const;
    BeatView* FullScreenView() const { return beatView_; }
    /// Carries out a command that came from outside the window (OSC, a MIDI controller).
    /// Commands the window refuses now (a tempo out of range, a preset that does not exist)
    /// do nothing.
    void CarryOutRemote(const Core::RemoteCommand& command);
    /// Starts taking commands from outside as the control settings say: MIDI input through
    /// the MIDI map, OSC when a port is set. Once; at start-up.
    void StartRemoteControl();
    /// Listens for OSC commands on port (0: stops listening) at the address the control
    /// settings give, and keeps the port in them. False when the port cannot be opened.
    bool ListenForOsc(int port);
    /// Leaves the JACK transport alone (0), follows it (1) or leads it (2), and keeps that in
    /// the control settings.
    void SetTransportMode(int mode);
    /// Joins or leaves the Ableton Link session and keeps that in the control settings.
    void SetLink(bool on);
    /// The Link session; null without one (tests).
    Platform::LinkSession* Link() const { return options_.link; }
    /// "Link: 2 peers" in the language shown.
    static QString LinkPeersText(std::int32_t peers);
    /// What receives commands from outside; made at start-up (null before).
    RemoteControl* Remote() const { return remote_; }
    /// The program's MIDI input, for whoever listens to it; made at start-up (null before).
    MidiInPump* MidiInput() const { return midiIn_; }
    /// The MIDI clock: Configuration::MidiClockOff, MidiClockSend (through the JACK client's
    /// midi_out port, without JACK the ALSA sequencer's) or MidiClockFollow (the clock that
    /// comes in); kept in the settings. tell: a clock that cannot be sent is told on the status line.
    void SetMidiClock(int mode, bool tell = true);
    /// The clock being followed; null before start-up.
    ClockFollow* ClockFollower() const { return clockFollow_; }
    /// The output the runs play into (its audio input is the timing feedback's); null without
    /// one (tests).
    Platform::Audio::Mixer* Output() const { return options_.midiInput; }
    /// Carries out one request line of the command line ("preset NAME", "practice OPTION",
    /// "tempo N", "view WISH", "start").
    bool CarryOutRequest(const QString& request);
    /// The command-line requests that were refused, by this window (once its event loop
    /// runs) or by the running copy they went to; each is also told on stderr.
    const QStringList& RefusedRequests() const { return startup_.RefusedRequests(); }
    /// Moves the sliders and the read-out to the current settings (after a preset was loaded).
    void RefreshFromSettings();
    /// The MIDI input a run would read now (LiveTiming::InputName), whose latency is kept.
    std::string MidiInputName() const;
    /// Gives the output the offset kept for it and the MIDI input its latency (at each Start,
    /// when the output playing is known).
    void ApplyOutputOffset();
    /// ApplyOutputOffset once the sounds are prepared (the output's stream open), looking
    /// every 100 ms at most triesLeft times: the step sequencer's runs start without the window.
    void ApplyOutputOffsetWhenPrepared(int triesLeft);
    /// Arms the trainer's gate for a run whose settings ask it to wait, when it listens to a
    /// MIDI input; says on the status line when it cannot wait.
    void ArmTrainerGate();
    /// Puts the full-screen view's strength and Visual Only back as the settings file keeps
    /// them; Visual Only restored is said on the status line (a silent metronome surprises).
    void RestoreViewSwitches();
    /// Shows or hides timing feedback's strip under the sliders, the window growing to hold it.
    void ShowTimingStrip(bool shown);
    /// The summary of the run just stopped, when timing feedback scored hits in it.
    void ShowTimingSummary();
    /// Stops a playing run (or a Start waiting for its sounds), as the Stop command does.
    void StopIfRunning();
    /// Brings the window to the front (another copy of the program asked for it).
    void ActivateFromOtherCopy();

    /// Shows the message box for a refused start (result code of IMetronome::Start) owned by
    /// owner; codes without a message show nothing. With the settings that failed to start on
    /// audio files, a file they name that is refused is told instead, with its voice.
    static void ShowStartError(QWidget* owner, std::uint32_t code,
                               const Configuration::ConfigurationData* settings = nullptr);
    /// Opens the manual of the settings' language (Tolvane.LANG.pdf), the English Tolvane.pdf
    /// where that language has none, or tells why it cannot.
    void ShowHelp();
    /// Folder of the language files, with a trailing '/'.
    std::string LanguageFolder() const;
    /// Folder of the manuals, with a trailing '/'.
    std::string ManualFolder() const;

    /// Saves the settings when the program ends without its window closing (the display
    /// connection was lost and the windowing system ends the process). Does nothing once the
    /// window has shut down. GUI thread.
    void SaveOnAbruptEnd() { startup_.SaveOnAbruptEnd(); }

    /// True while the metronome plays.
    bool Running() const { return running_.load(); }
    /// True while a speed-trainer run plays: the tempo is the trainer's, not the user's.
    bool TrainerOwnsTempo() const;
    /// True while Space holds a speed-trainer run.
    bool Paused() const { return paused_; }
    /// The tempo of the settings (bpm): what the next start plays.
    int Tempo() const;
    /// The control with identifier id among the window's controls, or null.
    QWidget* Control(int id) const;
    /// The action of a command, or null.
    QAction* MenuAction(int command) const;
    Statusbar* StatusLine() const { return statusbar_; }
    Toolbar* ToolBar() const { return toolbar_; }
    BeatsPerMinuteDisplay* TempoDisplay() const { return display_; }
    VisualBeatIndicator* BeatIndicator() const { return lamp_; }
    SingleInstance* Instance() const { return startup_.Instance(); }
    /// The practice diary keeping the runs, or null.
    Diary::Keeper* DiaryKeeper() const { return options_.diary; }
    /// 0 none yet, 1 built-in English tables, 2 a language file.
    int LanguageKind() const { return startup_.LanguageKind(); }

    // Core::IMetronomeEventHandler
    void OnTrainerStarted(std::uint32_t tempo, bool warmUp) override;
    void OnBeat(std::uint8_t flags, std::uint32_t tempo) override;
    void OnStopped(std::uint32_t tempo) override;
    void OnError(std::uint32_t messageIndex) override;
    /// A beat begins: the bar counter and the full-screen view show it when the beat is heard.
    /// Timer thread.
    void OnPosition(const Core::BarPosition& position) override;
    void OnSounded(bool heard) override;
    /// The JACK transport's grid while following it (and it is there), else null.
    const Platform::ExternalTimeline* FollowedTimeline() override;
    /// What the bar counter shows now: "12 · 3", during a count-in "−2", "−1" or "In"; with
    /// the speed trainer a second line with the level's tempo and the bars left in it. Empty
    /// while stopped.
    QString BarCounterText() const;

    /// A song or setlist sent by the command line: "song SCALE\tLABEL\tPATH" (scale in percent,
    /// an empty label for the first part) or "setlist PATH". Loaded for the next Start (a
    /// song that plays is stopped first); false, with a message, when it cannot be read.
    bool SongRequest(const QString& request);
    /// Moves in the song that plays: to the next (1) or previous (-1) part, or song when
    /// wholeSong, at the end of the bar or at once. Without a run a song step loads that song.
    void MoveInSong(int direction, bool wholeSong, bool atOnce);
    /// The song line under the read-out (hidden without a song).
    QLabel* SongLine() const { return songLine_; }

    /// The status line text for a control or command (empty when it has none).
    static QString StatusText(int id);
    /// The status line's help table: the commands and controls that have a text.
    static const HelpTable& StatusHelp();

protected:
    /// A status tip (of a control, menu item or toolbar button under the mouse) goes to the
    /// status line.
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    friend class ClientArea;
    friend class ApplicationWindowStartup;

    void CreateInterface();
    void CreateActions();
    void CreateMenu();
    void CreateControls();
    void ControlHelp();
    void ApplyMenuTexts();
    /// The View menu's title, items and help lines in the current language.
    void ApplyViewTexts();
    /// Puts the current text tables' texts on the menu, toolbar, read-out, controls and title.
    void ShowLanguage();
    /// Puts the controls in the client area's layout (once, when they are made).
    void LayOutControls();
    /// The window's least size: the English outer size, or what the layout needs, at most the
    /// screen's room. A window at its least size takes the new one (centred on the desktop when
    /// centre is set); a larger one only grows to it where it is smaller.
    void FitOuterSize(bool centre = false);
    /// Shows the window where and as large as the settings keep it (maximised when it was),
    /// on a first start at its least size in the middle of the desktop. A kept position that
    /// lies on no screen now is left to the window manager.
    void ShowPlaced();
    /// Puts the window's place, size and maximised state into the settings.
    void KeepPlacement();
    /// Sizes the read-out, the lamp and the sliders for the room the window has beyond its
    /// least size.
    void ScaleToRoom();
    /// The buttons' and the status line's least widths for the current language's texts, then
    /// FitOuterSize.
    void FitToTexts();
    /// Status tips, names and descriptions of the controls and commands in the language shown.
    void DescribeControls();
    /// False for a command whose dialog is not part of the program yet: its menu item,
    /// toolbar button and shortcut stay disabled.
    static bool CommandAvailable(int command);
    /// True while a dialog of the table that edits the settings is shown.
    bool SettingsDialogOpen() const;
    void Tap();
    void SpaceCommandPressed();
    /// Start/Stop reads Start, Stop or Resume, as the run stands, in the current language.
    void ShowStartStopText();
    void MoveTempoSlider(int tempo);
    /// Shows tempo on the read-out and its marking under it; announced to assistive
    /// technology only when the user changed it (announce), not on a trainer's steps.
    void ShowTempo(int tempo, bool announce);
    void OnTempoSliderMoved(int position);
    void OnVolumeSliderMoved(int position);
    void ShowStatus(int id);
    void ReturnFocus();
    /// Starts playing now and shows the result.
    void StartNow();
    /// Starts a waiting start once the sounds are prepared; otherwise looks again shortly.
    void StartWhenPrepared();
    /// Ends a waiting start without playing.
    void CancelWaitingStart();
    /// Carries out a metronome report: at once on the GUI thread (after anything still
    /// queued), queued from any other thread.
    void Report(const MetronomeEvent& event);
    void Deliver(const MetronomeEvent& event);
    bool OnGuiThread() const;
    Configuration::ConfigurationData& Settings();

    ApplicationWindowOptions options_;
    ApplicationWindowStartup startup_{*this};
    RemoteControl* remote_ = nullptr; // a child of the window
    MidiInPump* midiIn_ = nullptr;    // a child of the window
    ClockFollow* clockFollow_ = nullptr; // a child of the window, with the MIDI input
    Configuration::IConfiguration& configuration_;
    Core::IMetronome& metronome_;
    TempoInput tempoInput_;
    MetronomeEventQueue events_;
    // Reports may come from the timer thread, which must not call into Qt to tell threads apart.
    const std::thread::id guiThread_ = std::this_thread::get_id();

    QWidget* client_ = nullptr;
    Toolbar* toolbar_ = nullptr;
    Statusbar* statusbar_ = nullptr;
    BeatsPerMinuteDisplay* display_ = nullptr;
    VisualBeatIndicator* lamp_ = nullptr;
    QGroupBox* groupBox_ = nullptr;
    QPushButton* startStop_ = nullptr;
    QLabel* barCounter_ = nullptr;
    TimingStrip* timingStrip_ = nullptr; // timing feedback's last hits, under the sliders
    LiveTiming* liveTiming_ = nullptr;
    TimingSummaryDialog* timingSummary_ = nullptr; // made at the first summary, a child of the window
    QSlider* tempoSlider_ = nullptr;
    QLabel* tempoLabel_ = nullptr;
    QSlider* volumeSlider_ = nullptr;
    QLabel* volumeLabel_ = nullptr;
    QLabel* marking_ = nullptr; // the tempo marking under the read-out
    QPushButton* tap_ = nullptr;
    QSpacerItem* sliderGap_ = nullptr; // the room above the sliders in a larger window
    QLabel* songLine_ = nullptr;
    std::array<QToolButton*, 2> partButtons_{}; // previous and next part, beside the song line
    /// The song line and its buttons for the song loaded, and the setlist window's mark.
    void ShowSong();
    /// Stops what plays and starts the song loaded (from the editor or the setlist window).
    void PlayLoadedSong();
    SongControl songs_;
    int trainerTempo_ = 0; // the trainer's tempo last reported
    int songStep_ = 0; // a song step asked for at the end of the song that plays: 1 or -1
    std::array<QMenu*, 3> menus_{};
    QMenu* viewMenu_ = nullptr;
    BeatView* beatView_ = nullptr; // the full-screen beat view, a window of its own
    std::map<int, QAction*> actions_;

    // The bar counter's positions go from the timer thread into a ring, their slots through a
    // heard timeline (as the lamp's beats), so that each shows when its beat is heard. The
    // ring is twice the timeline's capacity: no slot is written again while it waits there.
    static constexpr std::uint32_t PositionSlots = 2 * HeardTimeline::Capacity;
    std::array<Core::BarPosition, PositionSlots> positionRing_{};
    std::uint32_t positionNext_ = 0; // timer thread
    std::optional<Core::BarPosition> shownPosition_;
    HeardTimeline positions_{[this](const HeardTimeline::Entry& entry) { ShowPosition(entry.value); }};
    void ShowPosition(std::int32_t slot);
    /// Forgets the positions of a run that is over and empties the counter.
    void ClearPositions();

    // The JACK transport (ApplicationWindowTransport.cpp).
    bool FollowingTransport() const;
    void WatchTransport();
    /// Start pressed while following a transport that stands: true when it was asked to roll
    /// instead (the run starts when it does).
    bool TransportStartWanted();
    /// A run ends (byUser: the Stop command): a led transport stops, a followed one too when
    /// the user stopped.
    void TransportStopped(bool byUser);
    /// Before a run starts: a led transport is told, a followed one gives its metre and no
    /// count-in; firstTempo is the run's first beat's tempo (0: the settings').
    void PrepareTransportRun(Configuration::ConfigurationData& run, double firstTempo);
    /// Timer thread, inside the tick: a beat of a run that leads the transport.
    void LeadBeat(const Core::BarPosition& position);
    QTimer* transportWatch_ = nullptr;
    bool transportHeld_ = false; // stopped by the user while the followed transport still rolls

    // The Ableton Link session (ApplicationWindowLink.cpp): followed unless the JACK transport
    // or a MIDI clock is.
    bool FollowingLink() const;
    void WatchLink();
    /// Shows the session's peers on the status line (hidden while Link is off).
    void ShowLinkPeers();
    /// As TransportStartWanted and TransportStopped, for the session's start and stop.
    bool LinkStartWanted();
    void LinkStopped(bool byUser);
    QTimer* linkWatch_ = nullptr;
    QLabel* linkPeers_ = nullptr; // on the status line
    std::int32_t linkPeersShown_ = -1;
    bool linkHeld_ = false;       // stopped by the user while the session still plays
    int linkToldBpm_ = 0;         // the tempo last told to or taken from the session
    double linkSessionBpm_ = 0;   // the session's tempo last seen

    std::atomic<bool> running_{false};
    bool paused_ = false; // Space holds a speed-trainer run; Start/Stop reads Resume
    bool startWaiting_ = false; // a start waits for the sounds to be prepared
    std::chrono::steady_clock::time_point startPressed_{}; // when the waiting start was asked for
    bool fitted_ = false;
    bool sized_ = false;  // the window's least size is set (FitOuterSize)
    bool placed_ = false; // the window took its place from the settings

    // The dialogs made so far, by the maker of their table row; destroyed first.
    std::vector<std::pair<DialogMaker, std::unique_ptr<Dialog>>> dialogs_;
    std::unique_ptr<ExportDialog> exportDialog_;
    std::unique_ptr<SongEditorDialog> songEditor_;
    std::unique_ptr<SetlistDialog> setlistDialog_;
};

} // namespace GUI
