// The main window's construction: its commands as actions with their keys, the menu, the
// controls, control help, and the window closing and coming forward for another copy.
#include "GUI/ApplicationWindow.h"

#include "Configuration/IConfiguration.h"
#include "GUI/BeatView.h"
#include "GUI/BeatsPerMinuteDisplay.h"
#include "GUI/Dialogs/ExportDialog.h"
#include "GUI/Dialogs/SetlistDialog.h"
#include "GUI/Dialogs/SongEditorDialog.h"
#include "GUI/Dialogs/SongTexts.h"
#include "GUI/LiveTiming.h"
#include "GUI/ProgramFont.h"
#include "GUI/Resources.h"
#include "GUI/ScreenFit.h"
#include "GUI/Statusbar.h"
#include "GUI/Toolbar.h"
#include "GUI/VisualBeatIndicator.h"
#include "System/CurrentLanguage.h"

#include <QAction>
#include <QCloseEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QGuiApplication>
#include <QScreen>
#include <QShortcutEvent>
#include <QSlider>
#include <QStatusTipEvent>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>

#include <algorithm>

namespace GUI {

namespace {

// The menu as the program ships it; a language file's texts replace these.
constexpr const char16_t* MenuTitles[] = {u"&File", u"&Tools", u"&Help"};
struct MenuItem {
    int menu;
    const char16_t* text; // nullptr: separator
    int command;
    int position; // of its text in the language tables (items added later come last there)
};
constexpr MenuItem MenuItems[] = {
    {0, u"&Language\tCtrl+L", ApplicationWindow::LanguageCommand, 0},
    {0, nullptr, 0, -1},
    {0, u"E&xit\tCtrl+Q", ApplicationWindow::ExitCommand, 1},
    {1, u"&Options...\tCtrl+O", ApplicationWindow::OptionsCommand, 2},
    {1, u"&Sound Settings...\tCtrl+S", ApplicationWindow::SoundSettingsCommand, 3},
    {1, u"&Audio Files...\tCtrl+A", ApplicationWindow::AudioFilesCommand, 4},
    {1, u"&Presets...\tCtrl+P", ApplicationWindow::PresetsCommand, 5},
    {1, u"Practice &Diary...\tCtrl+D", ApplicationWindow::DiaryCommand, 8},
    {2, u"&Help\tCtrl+F1", ApplicationWindow::HelpCommand, 6},
    {2, nullptr, 0, -1},
    {2, u"&About\tCtrl+F3", ApplicationWindow::AboutCommand, 7},
};

// Keeps the keys pressed on a button with the button: in Qt a key the button ignores would
// travel on to the window and change the tempo. Tab and Shift+Tab still move the focus.
class KeepKeysFilter final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Tab || key == Qt::Key_Backtab || key == Qt::Key_Space)
            return false;
        object->event(event); // the button itself still sees the key
        event->accept();
        return true;
    }
};

// Notes on the tap command's action which modifiers came with the key that fired it (Ctrl+T,
// Shift+T): when a shortcut fires, the application's modifier state may not yet hold a
// modifier pressed just before the key.
class TapKeyFilter final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (event->type() == QEvent::Shortcut) {
            const QKeySequence keys = static_cast<QShortcutEvent*>(event)->key();
            if (!keys.isEmpty())
                object->setProperty(TapKeyHeldProperty, static_cast<int>(keys[0].keyboardModifiers()));
        }
        return false;
    }
};

} // namespace

/// The window's client area: the surface every control sits on, placed by its layout. Keys that
/// reach it (from the controls that forward their keys) go to the keyboard tempo control.
class ClientArea final : public QWidget {
public:
    explicit ClientArea(ApplicationWindow& window)
        : QWidget(&window), window_(window)
    {
        setFocusPolicy(Qt::StrongFocus);
    }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (!window_.tempoInput_.Key(event->key(), event->modifiers(), event->count()))
            QWidget::keyPressEvent(event);
    }
private:
    ApplicationWindow& window_;
};

ApplicationWindow::ApplicationWindow(Core::IMetronome& metronome, Configuration::IConfiguration& configuration,
                                     ApplicationWindowOptions options)
    : options_(std::move(options)),
      configuration_(configuration),
      metronome_(metronome),
      tempoInput_(*this)
{
    connect(&events_, &MetronomeEventQueue::Delivered, this, &ApplicationWindow::Deliver);
}

ApplicationWindow::~ApplicationWindow()
{
    // The window's own reports must not reach a half-destroyed window.
    if (!startup_.ShutDown() && running_.load())
        metronome_.Stop();
}

void ApplicationWindow::CreateInterface()
{
    InitialiseResources();
    setWindowTitle(FromTableText(System::CurrentLanguage()->GetText(0)));
    QIcon icon(QStringLiteral(":/icons/2.png"));
    icon.addFile(QStringLiteral(":/icons/2-128.png"));
    setWindowIcon(icon);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);

    CreateActions();
    CreateMenu();
    if (!System::CurrentLanguage()->IsDefault())
        ApplyMenuTexts();
    CreateControls();
}

void ApplicationWindow::CreateMenu()
{
    QMenuBar* bar = menuBar();
    for (int menu = 0; menu < 3; ++menu) {
        menus_[static_cast<std::size_t>(menu)] = bar->addMenu(QString::fromStdU16String(MenuTitles[menu]));
        QMenu* popup = menus_[static_cast<std::size_t>(menu)];
        connect(popup, &QMenu::aboutToHide, this, [this] { ShowStatus(0); });
    }
    // The View menu, after Tools; its texts come from the text tables' [Text] entries.
    viewMenu_ = new QMenu(bar);
    bar->insertMenu(menus_[2]->menuAction(), viewMenu_);
    connect(viewMenu_, &QMenu::aboutToHide, this, [this] { ShowStatus(0); });
    for (const int command : {FullScreenCommand, VisualOnlyCommand, StrongFlashCommand})
        viewMenu_->addAction(actions_.at(command));
    for (const MenuItem& item : MenuItems) {
        QMenu* popup = menus_[static_cast<std::size_t>(item.menu)];
        if (!item.text) {
            popup->addSeparator();
            continue;
        }
        QAction* action = actions_.at(item.command);
        action->setText(QString::fromStdU16String(item.text));
        popup->addAction(action);
    }
    // Export Click Track, after Language: its text comes from the [Text] table, so the
    // languages' [MenuItems] keep their numbers.
    QAction* exportAction = actions_.at(ExportCommand);
    exportAction->setText(FromTableText(System::CurrentLanguage()->GetText(ExportDialog::MenuText)));
    menus_[0]->insertAction(menus_[0]->actions().value(1), exportAction);
    // Song Editor and Setlist, after Practice Diary: their texts from the [Text] table too.
    for (const auto& [command, text] : {std::pair{SongEditorCommand, SongText::EditorMenu}, std::pair{SetlistCommand, SongText::SetlistMenu}}) {
        actions_.at(command)->setText(SongText::Get(text));
        menus_[1]->addAction(actions_.at(command));
    }
}

void ApplicationWindow::CreateActions()
{
    // Every command of the window: its action's name, what it does and its keys. A button, a
    // menu item or a toolbar button shows the action; the keys work wherever the focus is in
    // the window.
    using Run = void (*)(ApplicationWindow& window, int command);
    const auto openDialog = [](ApplicationWindow& window, int command) { window.OpenDialog(command); };
    const struct {
        int command;
        const char* name;
        Run run; // null: the keys are taken and nothing happens
        std::array<QKeyCombination, 3> keys;
    } commands[] = {
        {StartStopId, "startStop", [](ApplicationWindow& w, int) { w.ToggleStartStop(); },
         {Qt::Key_S, Qt::Key_Return, Qt::Key_Enter}},
        {SpaceCommand, "space", [](ApplicationWindow& w, int) { w.SpaceCommandPressed(); }, {Qt::Key_Space}},
        // Ctrl doubles the tapped tempo and Shift halves it: the keys with them are the tap's too.
        {TapId, "tap", [](ApplicationWindow& w, int) { w.Tap(); }, {Qt::Key_T, Qt::CTRL | Qt::Key_T, Qt::SHIFT | Qt::Key_T}},
        {LanguageCommand, "language", openDialog, {Qt::CTRL | Qt::Key_L}},
        // The translated menus show Ctrl+Q for Exit; it works in every language.
        {ExitCommand, "exit", [](ApplicationWindow& w, int) { w.close(); }, {Qt::CTRL | Qt::Key_Q}},
        {OptionsCommand, "options", openDialog, {Qt::CTRL | Qt::Key_O}},
        {SoundSettingsCommand, "soundSettings", openDialog, {Qt::CTRL | Qt::Key_S}},
        {AudioFilesCommand, "audioFiles", openDialog, {Qt::CTRL | Qt::Key_A}},
        {PresetsCommand, "presets", openDialog, {Qt::CTRL | Qt::Key_P}},
        {HelpCommand, "help", [](ApplicationWindow& w, int) { w.ShowHelp(); }, {Qt::CTRL | Qt::Key_F1}},
        {AboutCommand, "about", openDialog, {Qt::CTRL | Qt::Key_F3}},
        {DiaryCommand, "diary", openDialog, {Qt::CTRL | Qt::Key_D}},
        {UnusedCommand, "unused", nullptr, {Qt::CTRL | Qt::Key_F5}},
        {FullScreenCommand, "fullScreen", [](ApplicationWindow& w, int) { w.ShowFullScreenView(!w.beatView_->isVisible()); },
         {Qt::Key_F11}},
        {VisualOnlyCommand, "visualOnly", nullptr, {}},
        {StrongFlashCommand, "strongFlashes", nullptr, {}},
        {ExportCommand, "exportClickTrack", [](ApplicationWindow& w, int) { w.OpenExport(); }, {Qt::CTRL | Qt::Key_E}},
        {SongEditorCommand, "songEditor", [](ApplicationWindow& w, int) { w.OpenSongEditor(); }, {Qt::CTRL | Qt::Key_G}},
        {SetlistCommand, "setlist", [](ApplicationWindow& w, int) { w.OpenSetlist(); },
         {Qt::CTRL | Qt::SHIFT | Qt::Key_G}},
    };
    for (const auto& entry : commands) {
        auto* action = new QAction(this);
        action->setObjectName(QString::fromLatin1(entry.name));
        action->setData(entry.command);
        action->setProperty("controlId", entry.command);
        QList<QKeySequence> keys;
        for (const QKeyCombination key : entry.keys) {
            if (key.key() != Qt::Key_unknown)
                keys.append(QKeySequence(key));
        }
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        action->setAutoRepeat(true);
        action->setEnabled(CommandAvailable(entry.command));
        if (entry.run) {
            const Run run = entry.run;
            const int command = entry.command;
            connect(action, &QAction::triggered, this, [this, run, command] { run(*this, command); });
        }
        addAction(action);
        actions_[entry.command] = action;
    }
    actions_.at(TapId)->installEventFilter(new TapKeyFilter(this));
    for (const int command : {VisualOnlyCommand, StrongFlashCommand})
        actions_.at(command)->setCheckable(true);
    actions_.at(StrongFlashCommand)->setChecked(true);
    // Both switches are kept in the settings file as they are left.
    connect(actions_.at(StrongFlashCommand), &QAction::toggled, this,
            [this](bool strong) { configuration_.GetSwitches().StrongFlashes = strong ? 1 : 0; });
    connect(actions_.at(VisualOnlyCommand), &QAction::toggled, this, [this] {
        configuration_.GetSwitches().VisualOnly = VisualOnly() ? 1 : 0;
        if (running_.load())
            metronome_.ChangeVolume(Settings().Volume, VisualOnly() ? 0u : static_cast<std::uint32_t>(Settings().GlobalVolume));
    });

    // Songs: Alt+Right and Alt+Left move to the next and previous part at the end of the bar,
    // with Ctrl to the next and previous song; with Shift at once (at the next beat).
    for (const bool wholeSong : {false, true}) {
        for (const bool atOnce : {false, true}) {
            for (const int direction : {1, -1}) {
                auto* action = new QAction(this);
                action->setObjectName(QStringLiteral("%1%2%3")
                                          .arg(direction > 0 ? QStringLiteral("next") : QStringLiteral("previous"))
                                          .arg(wholeSong ? QStringLiteral("Song") : QStringLiteral("Part"))
                                          .arg(atOnce ? QStringLiteral("AtOnce") : QString()));
                Qt::KeyboardModifiers modifiers = Qt::AltModifier;
                if (wholeSong)
                    modifiers |= Qt::ControlModifier;
                if (atOnce)
                    modifiers |= Qt::ShiftModifier;
                action->setShortcut(QKeySequence(QKeyCombination(modifiers, direction > 0 ? Qt::Key_Right : Qt::Key_Left)));
                action->setShortcutContext(Qt::WindowShortcut);
                connect(action, &QAction::triggered, this,
                        [this, direction, wholeSong, atOnce] { MoveInSong(direction, wholeSong, atOnce); });
                addAction(action);
            }
        }
    }
}

void ApplicationWindow::ApplyMenuTexts()
{
    const auto language = System::CurrentLanguage();
    for (int menu = 0; menu < 3; ++menu) {
        if (const char16_t* title = language->GetMenuTitle(menu))
            menus_[static_cast<std::size_t>(menu)]->setTitle(FromTableText(title));
    }
    for (const MenuItem& item : MenuItems) {
        if (!item.text)
            continue;
        if (auto text = language->GetMenuItemText(item.position))
            actions_[item.command]->setText(QString::fromStdU16String(*text));
    }
    if (const char16_t* text = language->GetText(ExportDialog::MenuText))
        actions_[ExportCommand]->setText(FromTableText(text));
    actions_[SongEditorCommand]->setText(SongText::Get(SongText::EditorMenu));
    actions_[SetlistCommand]->setText(SongText::Get(SongText::SetlistMenu));
}

void ApplicationWindow::CreateControls()
{
    const auto language = System::CurrentLanguage();
    const auto controlText = [&language](int id) { return FromTableText(language->GetControlText(id)); };
    const QFont font = ProgramFont(8, 400);

    client_ = new ClientArea(*this);
    setCentralWidget(client_);

    std::array<QAction*, Toolbar::ButtonCount> pages{};
    for (int position = 0; position < Toolbar::ButtonCount; ++position)
        pages[static_cast<std::size_t>(position)] = actions_.at(Toolbar::FirstCommand + position);
    toolbar_ = new Toolbar(client_, pages);
    statusbar_ = new Statusbar(client_);

    display_ = new BeatsPerMinuteDisplay(Settings().Bpm, client_);
    beatView_ = new BeatView(this);
    beatView_->setWindowFlag(Qt::Window);
    beatView_->addActions(actions()); // the window's keys work in the view too
    connect(beatView_, &BeatView::Left, this, [this] { ShowFullScreenView(false); });
    connect(actions_.at(StrongFlashCommand), &QAction::toggled, beatView_, &BeatView::SetStrong);
    marking_ = new QLabel(client_);
    marking_->setProperty("controlId", TempoMarkingId);
    marking_->setFont(font);
    marking_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    groupBox_ = new QGroupBox(client_);
    groupBox_->setProperty("controlId", GroupBoxId);
    lamp_ = new VisualBeatIndicator(groupBox_);
    lamp_->SetFollower(beatView_);

    startStop_ = new QPushButton(controlText(StartStopId), client_);
    startStop_->setProperty("controlId", StartStopId);
    startStop_->setFont(font);
    startStop_->setAutoDefault(false);
    connect(startStop_, &QPushButton::clicked, actions_.at(StartStopId), &QAction::trigger);

    barCounter_ = new QLabel(client_);
    barCounter_->setObjectName(QStringLiteral("barCounter"));
    barCounter_->setProperty("controlId", BarCounterId);
    barCounter_->setFont(ProgramFont(9, 700));
    barCounter_->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    // As wide as the room it is given, never wider: the window keeps its width.
    barCounter_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    timingStrip_ = new TimingStrip(client_);
    timingStrip_->setVisible(configuration_.GetSwitches().TimingFeedback != 0);
    liveTiming_ = new LiveTiming(options_.midiInput, *timingStrip_, this);
    liveTiming_->SetGate(options_.trainerGate);

    tempoSlider_ = new QSlider(Qt::Horizontal, client_);
    tempoSlider_->setProperty("controlId", TempoSliderId);
    tempoSlider_->setTickPosition(QSlider::NoTicks);
    tempoSlider_->setFocusPolicy(Qt::StrongFocus);
    tempoSlider_->setRange(TempoSliderMinimum, TempoSliderMaximum);
    tempoSlider_->setPageStep(100);
    MoveTempoSlider(Settings().Bpm);
    connect(tempoSlider_, &QSlider::valueChanged, this, &ApplicationWindow::OnTempoSliderMoved);

    tempoLabel_ = new QLabel(controlText(TempoLabelId), client_);
    tempoLabel_->setProperty("controlId", TempoLabelId);
    tempoLabel_->setFont(font);

    volumeSlider_ = new QSlider(Qt::Horizontal, client_);
    volumeSlider_->setProperty("controlId", VolumeSliderId);
    volumeSlider_->setTickPosition(QSlider::NoTicks);
    volumeSlider_->setFocusPolicy(Qt::StrongFocus);
    volumeSlider_->setRange(0, 100);
    {
        const QSignalBlocker quiet(volumeSlider_);
        volumeSlider_->setValue(Settings().GlobalVolume);
    }
    connect(volumeSlider_, &QSlider::valueChanged, this, &ApplicationWindow::OnVolumeSliderMoved);

    volumeLabel_ = new QLabel(controlText(VolumeLabelId), client_);
    volumeLabel_->setProperty("controlId", VolumeLabelId);
    volumeLabel_->setFont(font);

    tap_ = new QPushButton(controlText(TapId), client_);
    tap_->setProperty("controlId", TapId);
    tap_->setFont(font);
    tap_->setAutoDefault(false);
    tap_->installEventFilter(new KeepKeysFilter(tap_));
    connect(tap_, &QPushButton::clicked, actions_.at(TapId), &QAction::trigger);

    // The song, its part and the bar within it, while a song is loaded.
    songLine_ = new QLabel(client_);
    songLine_->setObjectName(QStringLiteral("songLine"));
    songLine_->setFont(font);
    songLine_->setContentsMargins(0, 4, 0, 0);
    songLine_->setVisible(false);
    // Previous and next part beside it, as Alt+Left and Alt+Right (with Shift at once).
    for (const int direction : {-1, 1}) {
        auto* button = new QToolButton(client_);
        button->setObjectName(direction < 0 ? QStringLiteral("previousPart") : QStringLiteral("nextPart"));
        button->setArrowType(direction < 0 ? Qt::LeftArrow : Qt::RightArrow);
        button->setVisible(false);
        connect(button, &QToolButton::clicked, this, [this, direction] {
            MoveInSong(direction, false, (QGuiApplication::keyboardModifiers() & Qt::ShiftModifier) != 0);
        });
        partButtons_[direction < 0 ? 0 : 1] = button;
    }

    LayOutControls();
    ShowTempo(Settings().Bpm, false); // the tempo's marking under the read-out
    DescribeControls();
    FitToTexts();
    FitWhenFramed(*this, [this] { FitOuterSize(!placed_); });
}

void ApplicationWindow::ControlHelp()
{
    SetFocusOnHover(tempoSlider_);
    SetFocusOnHover(volumeSlider_);
    SetKeysToParent(startStop_, true);
    SetKeysToParent(tempoSlider_, true);
    // The volume slider keeps its own keys while it has the focus; the keys it does not use
    // (digits) still reach the tempo control.
}

bool ApplicationWindow::event(QEvent* event)
{
    if (event->type() != QEvent::StatusTip)
        return QMainWindow::event(event);
    if (statusbar_)
        statusbar_->SetText(static_cast<QStatusTipEvent*>(event)->tip());
    return true;
}

void ApplicationWindow::closeEvent(QCloseEvent* event)
{
    startup_.Shutdown();
    event->accept();
}

void ApplicationWindow::ActivateFromOtherCopy()
{
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

void ApplicationWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!fitted_) {
        fitted_ = true;
        // The frame a window manager adds becomes known some time after the window is shown
        // (FitWhenFramed, set up with the controls, fits the window again then).
        QTimer::singleShot(0, this, [this] { FitOuterSize(!placed_); });
    }
}

void ApplicationWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    ScaleToRoom();
}

void ApplicationWindow::FitOuterSize(bool centre)
{
    const QRect frame = frameGeometry();
    const QSize frameSize(std::max(0, frame.width() - width()), std::max(0, frame.height() - height()));
    // The English outer size, larger where a translation's texts need it, but never larger
    // than the screen's room: a text longer than that is cut rather than the window pushed
    // off the screen.
    const QSize least = (QSize(OuterWidth, OuterHeight) - frameSize)
                            .expandedTo(minimumSizeHint())
                            .boundedTo(ScreenRoom(*this));
    // A window at its least size follows it (a language switch); one the user or the settings
    // made larger keeps its size where that is enough.
    const bool atLeast = sized_ ? size() == minimumSize() && !isMaximized() && !isFullScreen() : !placed_;
    sized_ = true;
    if (least != minimumSize() || (least != size() && atLeast)) {
        setMinimumSize(least);
        if (atLeast) {
            resize(least);
            if (centre)
                CentreWindowOnDesktop(this, least.width() + frameSize.width(), least.height() + frameSize.height());
        } else if (!isMaximized() && !isFullScreen()) {
            resize(size().expandedTo(least));
        }
    }
    ScaleToRoom();
}

void ApplicationWindow::ShowPlaced()
{
    const Configuration::WindowPlacement& kept = configuration_.GetWindowPlacement();
    if (kept.HasSize()) {
        placed_ = true;
        const QRect rect(kept.Left, kept.Top, kept.Width, kept.Height);
        // Some of the window's top (where its title bar is) must lie on a screen.
        const QRect top(rect.left(), rect.top(), rect.width(), std::min(rect.height(), 32));
        bool onScreen = false;
        for (const QScreen* screen : QGuiApplication::screens()) {
            const QRect shared = screen->availableGeometry().intersected(top);
            onScreen = onScreen || (shared.width() >= std::min(64, rect.width()) && shared.height() >= std::min(16, top.height()));
        }
        if (kept.HasPosition() && onScreen)
            setGeometry(rect);
        else
            resize(rect.size());
    }
    if (kept.HasSize() && kept.Maximised)
        showMaximized();
    else
        show();
    FitOuterSize(!placed_);
}

void ApplicationWindow::KeepPlacement()
{
    // Maximised, the window keeps the place and size it goes back to.
    const bool maximised = isMaximized();
    const QRect normal = maximised || isMinimized() ? normalGeometry() : geometry();
    if (normal.isEmpty())
        return;
    Configuration::WindowPlacement& kept = configuration_.GetWindowPlacement();
    kept.Left = normal.left();
    kept.Top = normal.top();
    kept.Width = normal.width();
    kept.Height = normal.height();
    kept.Maximised = maximised ? 1 : 0;
}

QWidget* ApplicationWindow::Control(int id) const
{
    if (!client_)
        return nullptr;
    for (QWidget* child : client_->findChildren<QWidget*>()) {
        if (child->property("controlId").toInt() == id && child->property("controlId").isValid())
            return child;
    }
    return nullptr;
}

QAction* ApplicationWindow::MenuAction(int command) const
{
    const auto found = actions_.find(command);
    return found == actions_.end() ? nullptr : found->second;
}

bool ApplicationWindow::OnGuiThread() const
{
    return std::this_thread::get_id() == guiThread_;
}

Configuration::ConfigurationData& ApplicationWindow::Settings()
{
    return configuration_.GetData();
}

} // namespace GUI
