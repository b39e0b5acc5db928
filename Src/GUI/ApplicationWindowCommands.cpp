// The main window's behaviour: commands, the tempo from the sliders and from TempoInput, the
// metronome's reports, start errors and help.

#include "GUI/ApplicationWindow.h"

#include "Core/Engine/TrainerGate.h"
#include "Core/Timing/OutputOffset.h"
#include "GUI/Dialogs/OffsetTexts.h"
#include "Platform/Audio/Mixer.h"

#include "Core/Engine/Practice.h"

#include "Configuration/IConfiguration.h"
#include "Core/Engine/BeatPatterns.h"
#include "Core/Engine/TimerFlags.h"
#include "GUI/BeatView.h"
#include "Diary/Keeper.h"
#include "GUI/BeatsPerMinuteDisplay.h"
#include "GUI/Dialogs/AudioFilesDialog.h"
#include "GUI/Dialogs/SetlistDialog.h"
#include "GUI/Dialogs/SongTexts.h"
#include "GUI/Dialogs/TimingSummary.h"
#include "GUI/LiveTiming.h"
#include "GUI/ProgramFont.h"
#include "GUI/Statusbar.h"
#include "Platform/Files.h"
#include "System/CurrentLanguage.h"
#include "System/Log.h"

#include <QLayout>
#include <QAction>
#include <QDesktopServices>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <QUrl>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

namespace GUI {

namespace {

// Message title and text numbers of the refused-start messages, by result code.
struct StartMessage {
    std::uint32_t code;
    int title;
    int text;
};
constexpr StartMessage StartMessages[] = {
    {5, 6, 7}, {6, 7, 8}, {8, 7, 9}, {9, 7, 10}, {10, 8, 11}, {11, 8, 12},
};

// The longest a Start waits for the sounds' preparation before it says it cannot play.
constexpr std::chrono::milliseconds StartWaitLimit{4500};
// How often a waiting Start looks whether the preparation has finished: every look it misses
// is time added to the first click, and a look costs next to nothing.
constexpr int PreparedLookMs = 4;

constexpr int PlaybackFailedTitle = 15; // "Metronome Unable To Play"
constexpr int CountInBeatsText = 46, TrainerLevelText = 47; // "In", "%1 bpm · bars left: %2"
constexpr int HelpMissingTitle = 20, HelpMissingText = 51;
constexpr int HelpFailedTitle = 21, HelpFailedText = 52;

void ShowMessage(QWidget* owner, QMessageBox::Icon icon, const char16_t* title, const char16_t* text)
{
    QMessageBox box(icon, FromTableText(title), FromTableText(text), QMessageBox::Ok, owner);
    box.exec();
}

} // namespace

void ApplicationWindow::OnCommand(int command)
{
    if (QAction* action = MenuAction(command))
        action->trigger();
}

void ApplicationWindow::StopIfRunning()
{
    CancelWaitingStart();
    if (!running_.load())
        return;
    running_.store(false);
    paused_ = false;
    ShowStartStopText();
    metronome_.Stop();
}

void ApplicationWindow::ToggleStartStop()
{
    if (startWaiting_) {
        CancelWaitingStart();
        ReturnFocus();
        return;
    }
    if (paused_) {
        // The button reads Resume while Space holds a trainer run.
        SpaceCommandPressed();
        ReturnFocus();
        return;
    }
    if (running_.load()) {
        running_.store(false);
        ShowStartStopText();
        TransportStopped(true);
        LinkStopped(true);
        metronome_.Stop();
        ReturnFocus();
        return;
    }
    if (TransportStartWanted() || LinkStartWanted()) {
        ReturnFocus();
        return;
    }
    // A run that ended by itself may still have reports on their way: take them first, so
    // none of them lands on the new run.
    metronome_.Stop();
    events_.Drain();
    // The sounds are normally prepared long before the first press; if not, the window may
    // wait a moment for them, but never long enough to seem frozen.
    metronome_.PrepareSounds(Settings());
    startPressed_ = std::chrono::steady_clock::now();
    const auto giveUp = startPressed_ + std::chrono::milliseconds(40);
    while (!metronome_.SoundsPrepared(Settings()) && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    if (!metronome_.SoundsPrepared(Settings())) {
        startWaiting_ = true;
        setCursor(Qt::BusyCursor);
        QTimer::singleShot(PreparedLookMs, this, [this] { StartWhenPrepared(); });
        ReturnFocus();
        return;
    }
    StartNow();
}

void ApplicationWindow::StartWhenPrepared()
{
    if (!startWaiting_ || startup_.ShutDown())
        return;
    if (!metronome_.SoundsPrepared(Settings())) {
        // A preparation ends by itself, failed or not, within its own limits (each output's
        // deadline, the kit helper's time-out); this one is for what nobody foresaw. The
        // preparation goes on and a later Start finds what it made.
        if (std::chrono::steady_clock::now() - startPressed_ > StartWaitLimit) {
            CancelWaitingStart();
            System::Log().Write(System::Error, "Start gave up waiting %lld ms for the sounds to be prepared",
                                static_cast<long long>(StartWaitLimit.count()));
            ShowStartError(this, Core::StartResult::SoundEngineFailed);
            ReturnFocus();
            return;
        }
        QTimer::singleShot(PreparedLookMs, this, [this] { StartWhenPrepared(); });
        return;
    }
    CancelWaitingStart();
    StartNow();
}

void ApplicationWindow::CancelWaitingStart()
{
    if (!startWaiting_)
        return;
    startWaiting_ = false;
    unsetCursor();
}

std::string ApplicationWindow::MidiInputName() const
{
    return liveTiming_ != nullptr ? liveTiming_->InputName() : std::string();
}

void ApplicationWindow::ApplyOutputOffset()
{
    const Configuration::ProgramSwitches& switches = configuration_.GetSwitches();
    if (Platform::Audio::Mixer* output = Output()) {
        const Core::Timing::PerDeviceValues offsets(-Core::Timing::OutputOffsetLimitMs,
                                                    Core::Timing::OutputOffsetLimitMs, switches.OutputOffsets);
        output->SetHeardOffset(std::int64_t{offsets.Get(output->OutputIdentity())} * 1'000'000);
    }
    const Core::Timing::PerDeviceValues latencies(0, Core::Timing::InputLatencyLimitMs, switches.InputLatencies);
    if (liveTiming_ != nullptr)
        liveTiming_->SetInputLatency(latencies.Get(liveTiming_->InputName()));
}

void ApplicationWindow::RestoreViewSwitches()
{
    const Configuration::ProgramSwitches switches = configuration_.GetSwitches();
    actions_.at(StrongFlashCommand)->setChecked(switches.StrongFlashes != 0);
    beatView_->SetStrong(switches.StrongFlashes != 0);
    if (switches.VisualOnly != 0) {
        actions_.at(VisualOnlyCommand)->setChecked(true);
        statusbar_->SetText(FromTableText(System::CurrentLanguage()->GetText(OffsetText::VisualOnlyKept)));
    }
}

void ApplicationWindow::ArmTrainerGate()
{
    Core::TrainerGate* gate = options_.trainerGate;
    if (gate == nullptr)
        return;
    const Configuration::ConfigurationData& settings = Settings();
    const bool waits = settings.TrainerGate != 0 && settings.SpeedTrainer == Configuration::TrainerMode::On
                       && !songs_.HasSong();
    if (waits && liveTiming_->Listening()) {
        gate->Arm({static_cast<double>(settings.GateMean), static_cast<double>(settings.GateSpread), settings.GateRepeats});
        return;
    }
    gate->Disarm();
    if (waits)
        statusbar_->SetText(FromTableText(System::CurrentLanguage()->GetText(OffsetText::GateIdle)));
}

void ApplicationWindow::StartNow()
{
    ClearPositions();
    ApplyOutputOffset();
    // Visual only: the run plays at no volume, so that it still counts, and shows every beat.
    Configuration::ConfigurationData run = Settings();
    if (VisualOnly())
        run.GlobalVolume = 0;
    const bool timing = configuration_.GetSwitches().TimingFeedback != 0;
    ShowTimingStrip(timing);
    liveTiming_->Begin(timing);
    PrepareTransportRun(run, songs_.HasSong() ? songs_.TempoAt(songs_.Start().fromPart, 1, 1) : 0.0);
    const std::uint32_t result = songs_.HasSong() ? metronome_.StartSong(this, run, songs_.Song(), songs_.Start())
                                                  : metronome_.Start(this, run);
    songStep_ = 0;
    if (result == 0) {
        running_.store(true);
        if (songs_.HasSong())
            ShowSong(); // the setlist window marks the song
        paused_ = false;
        const Configuration::ProgramSwitches& switches = configuration_.GetSwitches();
        if (const QString listening = liveTiming_->Listen(midiIn_, switches.TimingInput == 1, switches.AudioRoundTrips);
            !listening.isEmpty())
            statusbar_->SetText(listening);
        ArmTrainerGate();
        if (options_.diary)
            options_.diary->Started(Settings(), Settings().Bpm);
        ShowStartStopText();
    } else {
        liveTiming_->End();
        ShowStartError(this, result, &Settings());
    }
    ReturnFocus();
}

void ApplicationWindow::SpaceCommandPressed()
{
    if (TrainerOwnsTempo()) {
        metronome_.TogglePause();
        paused_ = !paused_;
        if (options_.diary)
            options_.diary->PauseToggled();
        ShowStartStopText();
    } else {
        ToggleStartStop();
    }
}

void ApplicationWindow::ShowStartStopText()
{
    const auto language = System::CurrentLanguage();
    const char16_t* text =
        paused_ ? language->GetText(ResumeTextId) : language->GetControlText(running_.load() ? StopTextId : StartStopId);
    if (text == nullptr)
        return;
    startStop_->setText(FromTableText(text));
    // Cut on a screen too narrow for it (FitToTexts): the whole text as the tooltip.
    startStop_->setToolTip(startStop_->property(CutProperty).toBool() ? startStop_->text().remove(QLatin1Char('&'))
                                                                       : QString());
}

void ApplicationWindow::ShowStartError(QWidget* owner, std::uint32_t code, const Configuration::ConfigurationData* settings)
{
    if (code == Core::StartResult::SoundEngineFailed && settings != nullptr
        && settings->SoundEngineType == Configuration::SoundSource::AudioFiles
        && AudioFilesDialog::TellRefusedFile(owner, *settings))
        return;
    for (const StartMessage& message : StartMessages) {
        if (message.code == code) {
            const auto language = System::CurrentLanguage();
            ShowMessage(owner, QMessageBox::Warning, language->GetMessageTitle(message.title),
                        language->GetMessage(message.text));
            return;
        }
    }
}

bool ApplicationWindow::TrainerOwnsTempo() const
{
    return running_.load() && configuration_.GetData().SpeedTrainer != Configuration::TrainerMode::Off;
}

int ApplicationWindow::Tempo() const
{
    return configuration_.GetData().Bpm;
}

void ApplicationWindow::ReturnFocus()
{
    if (client_)
        client_->setFocus(Qt::OtherFocusReason);
}

void ApplicationWindow::MoveTempoSlider(int tempo)
{
    // Moving the slider from here is no user's move: it must not set the tempo again.
    const QSignalBlocker quiet(tempoSlider_);
    tempoSlider_->setValue(TempoSliderPosition(tempo));
}

void ApplicationWindow::ShowTempo(int tempo, bool announce)
{
    display_->ShowTempo(tempo, announce);
    beatView_->SetTempo(tempo);
    if (const char16_t* marking = System::CurrentLanguage()->GetText(System::TempoMarkingText(tempo)))
        marking_->setText(FromTableText(marking));
}

void ApplicationWindow::SetTempo(int tempo, bool sliderFollows)
{
    Settings().Bpm = tempo;
    ShowTempo(tempo, true);
    if (sliderFollows)
        MoveTempoSlider(tempo);
    if (running_.load()) {
        metronome_.ChangeTempo(static_cast<std::uint32_t>(tempo));
        if (options_.diary && !TrainerOwnsTempo())
            options_.diary->TempoChanged(tempo);
    }
}

bool ApplicationWindow::SetTempoRequest(int tempo)
{
    if (tempo < KeyboardTempoMinimum || tempo > KeyboardTempoMaximum || TrainerOwnsTempo() || !display_)
        return false;
    SetTempo(tempo, true);
    return true;
}

bool ApplicationWindow::LoadPresetRequest(const QString& name)
{
    const std::u16string preset = name.toStdU16String();
    if (!display_ || SettingsDialogOpen() || !configuration_.PresetExists(preset.c_str()))
        return false;
    // As when the Presets page loads one: the metronome never plays while its settings change.
    StopIfRunning();
    configuration_.LoadPreset(preset.c_str());
    RefreshFromSettings();
    return true;
}

bool ApplicationWindow::StartRequest()
{
    // A start that waits for the sounds counts as taken, as does one asked of the Link session.
    if (display_ && !running_.load() && !startWaiting_) {
        if (LinkStartWanted())
            return true;
        ToggleStartStop();
    }
    return running_.load() || startWaiting_;
}

bool ApplicationWindow::PracticeRequest(const QString& option)
{
    const qsizetype space = option.indexOf(QLatin1Char(' '));
    if (!display_ || SettingsDialogOpen() || space < 0
        || (running_.load() && configuration_.GetData().SpeedTrainer != Configuration::TrainerMode::Off))
        return false;
    return Core::ApplyPracticeOption(option.left(space).toStdString(), option.mid(space + 1).toStdString(),
                                     configuration_.GetData());
}

bool ApplicationWindow::ViewRequest(const QString& wish)
{
    if (wish == QLatin1String("fullscreen"))
        ShowFullScreenView(true);
    else if (wish == QLatin1String("visual-only"))
        actions_.at(VisualOnlyCommand)->setChecked(true);
    else
        return false;
    return true;
}

bool ApplicationWindow::VisualOnly() const
{
    return actions_.at(VisualOnlyCommand)->isChecked();
}

void ApplicationWindow::ShowFullScreenView(bool shown)
{
    if (!shown) {
        beatView_->hide();
        activateWindow();
        ReturnFocus();
        return;
    }
    // On the screen the main window is on.
    beatView_->setGeometry(screen()->geometry());
    beatView_->showFullScreen();
    beatView_->raise();
    beatView_->activateWindow();
    beatView_->setFocus(Qt::OtherFocusReason);
}

bool ApplicationWindow::SongRequest(const QString& request)
{
    if (!display_ || SettingsDialogOpen())
        return false;
    QString error;
    bool loaded = false;
    if (request.startsWith(QLatin1String("setlist "))) {
        StopIfRunning();
        loaded = songs_.LoadSetlist(request.mid(8).toStdString(), error);
    } else {
        const QStringList fields = request.mid(5).split(QLatin1Char('\t'));
        if (fields.size() != 3)
            return false;
        StopIfRunning();
        loaded = songs_.LoadSong(fields[2].toStdString(), fields[1].toStdString(), fields[0].toDouble() / 100.0, error);
    }
    if (!loaded) {
        std::fprintf(stderr, "tolvane: %s\n", qPrintable(error));
        return false;
    }
    ShowSong();
    // A line of the song that cannot be read is named in the status line too (the song
    // editor shows them all).
    for (const Core::SongLine& line : songs_.Song().lines) {
        if (!line.isPart && !line.problem.Empty()) {
            statusbar_->SetText(SongText::Get(SongText::Problem)
                                    .arg(QFileInfo(QString::fromStdString(songs_.SongPath())).fileName())
                                    .arg(line.number)
                                    .arg(SongText::ProblemText(line.problem)));
            break;
        }
    }
    return true;
}

void ApplicationWindow::ShowSong()
{
    songLine_->setText(songs_.IdleText());
    songLine_->setVisible(songs_.HasSong());
    for (QToolButton* button : partButtons_)
        button->setVisible(songs_.HasSong());
    if (setlistDialog_)
        setlistDialog_->MarkPlaying(running_.load() ? songs_.SongPath() : std::string());
}

void ApplicationWindow::PlayLoadedSong()
{
    StopIfRunning();
    ShowSong();
    StartNow();
}

void ApplicationWindow::MoveInSong(int direction, bool wholeSong, bool atOnce)
{
    if (!songs_.HasSong())
        return;
    if (!metronome_.PlayingSong()) {
        if (wholeSong && songs_.StepSong(direction))
            ShowSong();
        return;
    }
    if (wholeSong) {
        // The song ends with this bar (or beat); its end starts the other one.
        songStep_ = direction;
        metronome_.MoveInSong(Core::SongMove::End, atOnce);
    } else {
        metronome_.MoveInSong(direction > 0 ? Core::SongMove::NextPart : Core::SongMove::PreviousPart, atOnce);
    }
}

bool ApplicationWindow::CarryOutRequest(const QString& request)
{
    if (request.startsWith(QLatin1String("view ")))
        return ViewRequest(request.mid(5));
    if (request.startsWith(QLatin1String("song ")) || request.startsWith(QLatin1String("setlist ")))
        return SongRequest(request);
    if (request.startsWith(QLatin1String("practice ")))
        return PracticeRequest(request.mid(9));
    if (request.startsWith(QLatin1String("preset ")))
        return LoadPresetRequest(request.mid(7));
    if (request.startsWith(QLatin1String("osc "))) {
        bool number = false;
        const int port = request.mid(4).toInt(&number);
        return number && port >= 0 && port <= 65535 && ListenForOsc(port);
    }
    if (request.startsWith(QLatin1String("clock "))) {
        static const QString modes[] = {QStringLiteral("off"), QStringLiteral("send"), QStringLiteral("follow")};
        const auto mode = std::find(std::begin(modes), std::end(modes), request.mid(6));
        if (mode == std::end(modes))
            return false;
        SetMidiClock(static_cast<int>(mode - std::begin(modes)));
        return true;
    }
    if (request.startsWith(QLatin1String("transport "))) {
        const QString mode = request.mid(10);
        const int index = mode == QLatin1String("off") ? 0 : mode == QLatin1String("follow") ? 1 : mode == QLatin1String("lead") ? 2 : -1;
        if (index < 0)
            return false;
        SetTransportMode(index);
        return true;
    }
    if (request == QLatin1String("link on") || request == QLatin1String("link off")) {
        SetLink(request.endsWith(QLatin1String("on")));
        return true;
    }
    if (request.startsWith(QLatin1String("tempo "))) {
        bool number = false;
        const int tempo = request.mid(6).toInt(&number);
        return number && SetTempoRequest(tempo);
    }
    return request == QLatin1String("start") && StartRequest();
}

void ApplicationWindow::ApplyOutputOffsetWhenPrepared(int triesLeft)
{
    // The output is known once its stream is open: soon after start-up, in the background.
    if (triesLeft <= 0 || metronome_.SoundsPrepared(Settings())) {
        ApplyOutputOffset();
        return;
    }
    QTimer::singleShot(100, this, [this, triesLeft] { ApplyOutputOffsetWhenPrepared(triesLeft - 1); });
}

void ApplicationWindow::RefreshFromSettings()
{
    ApplyOutputOffset(); // the offset may have changed, for the step sequencer's runs too
    MoveTempoSlider(Settings().Bpm);
    {
        const QSignalBlocker quiet(volumeSlider_);
        volumeSlider_->setValue(Settings().GlobalVolume);
    }
    ShowTempo(Settings().Bpm, true);
    if (!running_.load())
        ShowTimingStrip(configuration_.GetSwitches().TimingFeedback != 0);
}

void ApplicationWindow::ShowTimingSummary()
{
    const auto& score = liveTiming_->Score();
    if (!score || score->figures.hits == 0 || !isVisible())
        return;
    if (!timingSummary_)
        timingSummary_ = new TimingSummaryDialog(this);
    timingSummary_->ShowTake(liveTiming_->Live()->Grid(), *score);
}

void ApplicationWindow::ShowTimingStrip(bool shown)
{
    if (timingStrip_->isVisibleTo(this) == shown)
        return;
    timingStrip_->setVisible(shown);
    // The window grows by the strip (and gives the room back at its least size).
    client_->layout()->activate();
    FitOuterSize();
}

void ApplicationWindow::OnTempoSliderMoved(int position)
{
    const int tempo = TempoForSliderPosition(position);
    Settings().Bpm = tempo;
    ShowTempo(tempo, true);
    if (running_.load()) {
        metronome_.ChangeTempo(static_cast<std::uint32_t>(tempo));
        if (options_.diary && !TrainerOwnsTempo())
            options_.diary->TempoChanged(tempo);
    }
}

void ApplicationWindow::OnVolumeSliderMoved(int position)
{
    Settings().GlobalVolume = position;
    if (running_.load() && !VisualOnly())
        metronome_.ChangeVolume(Settings().Volume, static_cast<std::uint32_t>(position));
    // The slider's value tip in per cent, as long as the thumb is held: above the slider, where
    // it hides no help text of the status line below. A tip appears about 16 pixels below and
    // right of the point it is given.
    if (volumeSlider_->isSliderDown()) {
        const int tipHeight = QFontMetrics(QToolTip::font()).height() + 8;
        const QPoint above(volumeSlider_->width() * (position - volumeSlider_->minimum())
                               / std::max(1, volumeSlider_->maximum() - volumeSlider_->minimum()),
                           -16 - tipHeight);
        QToolTip::showText(volumeSlider_->mapToGlobal(above), QStringLiteral("%1\u00A0%").arg(position), volumeSlider_);
    }
}

void ApplicationWindow::keyPressEvent(QKeyEvent* event)
{
    if (!tempoInput_.Key(event->key(), event->modifiers(), event->count()))
        QMainWindow::keyPressEvent(event);
}

void ApplicationWindow::Tap()
{
    // A key brings its own modifiers (noted by the action's filter); a click takes those held now.
    QAction* action = actions_.at(TapId);
    const QVariant byKey = action->property(TapKeyHeldProperty);
    action->setProperty(TapKeyHeldProperty, QVariant());
    tempoInput_.Tap(byKey.isValid() ? Qt::KeyboardModifiers(byKey.toInt()) : QGuiApplication::keyboardModifiers());
    ReturnFocus();
}

std::string ApplicationWindow::LanguageFolder() const
{
    return options_.languageFolder.empty() ? Platform::LanguageFolder() : options_.languageFolder;
}

std::string ApplicationWindow::ManualFolder() const
{
    return options_.helpFolder.empty() ? Platform::ManualFolder() : options_.helpFolder;
}

void ApplicationWindow::ShowHelp()
{
    // The manual in the program's language (Tolvane.de.pdf for de.lng), else the English one.
    const QString folder = QString::fromStdString(ManualFolder());
    const QString code = QString::fromUtf16(configuration_.GetLanguage());
    const QString translated = folder + QStringLiteral("Tolvane.%1.pdf").arg(code);
    const QString path = !code.isEmpty() && QFileInfo(translated).isFile() ? translated : folder + QStringLiteral("Tolvane.pdf");
    const auto language = System::CurrentLanguage();
    if (!QFileInfo(path).isFile()) {
        ShowMessage(this, QMessageBox::Information, language->GetMessageTitle(HelpMissingTitle),
                    language->GetMessage(HelpMissingText));
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        ShowMessage(this, QMessageBox::Information, language->GetMessageTitle(HelpFailedTitle),
                    language->GetMessage(HelpFailedText));
}

// Metronome reports. From the GUI thread (inside Start and Stop) they are carried out at once,
// after anything still queued; from the timer thread they are queued without waiting.

void ApplicationWindow::OnTrainerStarted(std::uint32_t tempo, bool /*warmUp*/)
{
    Report({MetronomeEvent::TrainerStarted, 0, tempo});
}

void ApplicationWindow::OnBeat(std::uint8_t flags, std::uint32_t tempo)
{
    // Only a tempo step of the speed trainer changes anything here; every other beat passes
    // without a word to the GUI thread.
    if (flags & Core::TimerFlags::TempoChanged)
        Report({MetronomeEvent::Beat, flags, tempo});
}

void ApplicationWindow::OnPosition(const Core::BarPosition& position)
{
    const std::uint32_t slot = positionNext_++ % PositionSlots;
    positionRing_[slot] = position;
    positions_.Post(static_cast<std::int32_t>(slot));
    beatView_->PostPosition(position); // the full-screen view queues it for the same heard time
    liveTiming_->OnPosition(position);
    LeadBeat(position);
}

void ApplicationWindow::OnSounded(bool heard)
{
    liveTiming_->OnSounded(heard);
}

void ApplicationWindow::ShowPosition(std::int32_t slot)
{
    if (!running_.load())
        return; // a beat of a run that has just been stopped
    shownPosition_ = positionRing_[static_cast<std::uint32_t>(slot) % PositionSlots];
    if (barCounter_)
        barCounter_->setText(BarCounterText());
    // A song's position: its name, the part and the bar within it.
    if (const Core::BarPosition& at = *shownPosition_; at.part >= 0 && songs_.HasSong()) {
        songLine_->setText(songs_.PositionText(at.part, at.bar, at.partBars, at.countIn));
        // The read-out follows the song's tempo, beat by beat through a change.
        if (!at.countIn)
            ShowTempo(songs_.TempoAt(at.part, at.bar, at.beat), false); // the marking too
    }
}

void ApplicationWindow::ClearPositions()
{
    positions_.Clear();
    shownPosition_.reset();
    if (barCounter_)
        barCounter_->clear();
}

QString ApplicationWindow::BarCounterText() const
{
    if (!shownPosition_)
        return {};
    const Core::BarPosition& at = *shownPosition_;
    const auto language = System::CurrentLanguage();
    if (at.countIn) // the bars before the first ("−2", "−1"), or a count-in of two beats
        return at.bar < 0 ? QStringLiteral("\u2212%1").arg(-at.bar) : FromTableText(language->GetText(CountInBeatsText));
    QString text = QStringLiteral("%1 \u00B7 %2").arg(at.bar).arg(at.beat);
    if (at.barsLeft >= 0)
        text += u'\n' + FromTableText(language->GetText(TrainerLevelText)).arg(at.tempo).arg(at.barsLeft);
    return text;
}

void ApplicationWindow::OnStopped(std::uint32_t tempo)
{
    Report({MetronomeEvent::Stopped, 0, tempo});
}

void ApplicationWindow::OnError(std::uint32_t messageIndex)
{
    Report({MetronomeEvent::Error, 0, messageIndex});
}

void ApplicationWindow::Report(const MetronomeEvent& event)
{
    if (OnGuiThread()) {
        events_.Drain();
        Deliver(event);
    } else {
        events_.Post(event);
    }
}

void ApplicationWindow::Deliver(const MetronomeEvent& event)
{
    if (!display_)
        return;
    const auto language = System::CurrentLanguage();
    const int tempo = static_cast<int>(event.value);
    switch (event.kind) {
    case MetronomeEvent::TrainerStarted:
        trainerTempo_ = tempo;
        ShowTempo(tempo, false);
        MoveTempoSlider(tempo);
        tempoSlider_->setEnabled(false);
        if (options_.diary)
            options_.diary->TrainerTempo(tempo);
        break;
    case MetronomeEvent::Beat:
        if (Core::TrainerGate* gate = options_.trainerGate; gate != nullptr && gate->Armed() && gate->Repeated() > 0) {
            const Core::LevelFigures figures = gate->LastFigures();
            statusbar_->SetText(FromTableText(language->GetText(OffsetText::LevelRepeated))
                                    .arg(gate->Repeated())
                                    .arg(gate->Limits().repeats)
                                    .arg(figures.hits)
                                    .arg(QString::asprintf("%+.1f", figures.meanMs))
                                    .arg(QString::asprintf("%.1f", figures.spreadMs)));
        }
        if (tempo > 0)
            trainerTempo_ = tempo;
        ShowTempo(tempo, false);
        MoveTempoSlider(tempo);
        if (options_.diary)
            options_.diary->TrainerTempo(tempo);
        break;
    case MetronomeEvent::Stopped: {
        // A run that ended on the timer thread left its engine and lamp for this thread.
        const bool endedByItself = running_.load();
        metronome_.Stop();
        TransportStopped(false);
        LinkStopped(false);
        liveTiming_->End();
        // The session ends here, however the run ended: Stop, its own end, the window closing.
        if (options_.diary) {
            if (const auto& score = liveTiming_->Score(); score && score->figures.hits > 0) {
                const Core::Timing::TakeFigures& f = score->figures;
                options_.diary->TimingFigures(f.all.meanMs, f.all.sdMs,
                                              f.muted ? std::optional(f.muted->meanMs) : std::nullopt,
                                              f.muted ? std::optional(f.muted->sdMs) : std::nullopt, f.hits);
            }
            options_.diary->Stopped();
        }
        ShowTimingSummary();
        if (Core::TrainerGate* gate = options_.trainerGate; gate != nullptr && gate->Stopped() && gate->Armed()) {
            // The run ended because a level was not played well enough: say why.
            const Core::LevelFigures figures = gate->LastFigures();
            const Core::GateLimits limits = gate->Limits();
            auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("Tolvane"),
                                        FromTableText(language->GetText(OffsetText::GateStopped))
                                            .arg(trainerTempo_)
                                            .arg(limits.repeats + 1)
                                            .arg(limits.meanMs)
                                            .arg(limits.spreadMs)
                                            .arg(figures.hits)
                                            .arg(QString::asprintf("%+.1f", figures.meanMs))
                                            .arg(QString::asprintf("%.1f", figures.spreadMs)),
                                        QMessageBox::Ok, this);
            box->setObjectName(QStringLiteral("trainerGateStopped"));
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->open();
        }
        if (options_.trainerGate != nullptr)
            options_.trainerGate->Disarm();
        // The settings' tempo, which is what the next Start plays: a tempo changed while
        // playing stays, and a speed-trainer run (which never writes it) gives way to it.
        ShowTempo(Settings().Bpm, false);
        MoveTempoSlider(Settings().Bpm);
        running_.store(false);
        paused_ = false;
        ShowStartStopText();
        tempoSlider_->setEnabled(true);
        ClearPositions();
        if (songs_.HasSong()) {
            // A song that ended by itself goes on to the next of its setlist when it says so,
            // or to the one a song step asked for.
            const int step = songStep_ != 0 ? songStep_ : songs_.GoesOnToNext() ? 1 : 0;
            songStep_ = 0;
            if (endedByItself && step != 0 && songs_.StepSong(step))
                QTimer::singleShot(0, this, [this] { StartNow(); });
            ShowSong();
        }
        break;
    }
    case MetronomeEvent::Error:
        running_.store(false);
        paused_ = false;
        ClearPositions();
        ShowStartStopText();
        ShowMessage(this, QMessageBox::Critical, language->GetMessageTitle(PlaybackFailedTitle),
                    language->GetMessage(static_cast<int>(event.value)));
        break;
    }
}

} // namespace GUI
