// The main window on a controller that plays nothing: what each menu and toolbar command
// opens, the tempo from the sliders, keys, typed digits and taps, the speed trainer owning the
// tempo, the controller's reports from other threads, messages, status texts, language
// switches, help and shutdown.
#include "Core/Engine/TimerFlags.h"
#include "GUI/BeatsPerMinuteDisplay.h"
#include "GUI/LiveTiming.h"
#include "GUI/MetronomeEventQueue.h"
#include "GUI/ProgramFont.h"
#include "GUI/StepSequencerDialog.h"
#include "GUI/StartupChecks.h"
#include "GUI/Statusbar.h"
#include "GUI/Toolbar.h"
#include "GUI/VisualBeatIndicator.h"
#include "WindowTestSupport.h"

#include <QtTest>

#include <QAccessible>
#include <QAbstractSpinBox>
#include <QAction>
#include <QComboBox>
#include <QDesktopServices>
#include <QMenuBar>
#include <QScreen>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>
#include <QToolTip>

#include <fstream>
#include <thread>

using GUI::ApplicationWindow;
using WindowTest::MessageCatcher;

namespace {

const std::string TestLanguage = WindowTest::LanguageFile("[Language]\nLangEnglish = Test\nLanguage = Test\n"
                                                          "[Menu]\n1 = &Fil\n[MenuItems]\n2 = &Avslutt\n"
                                                          "[Control]\n1 = Spill\n");

} // namespace

class ApplicationWindowTest : public QObject, private WindowTest::SettingsRig {
    Q_OBJECT

private:
    template <typename T = QWidget>
    T* Control(int id) { return qobject_cast<T*>(window_->Control(id)); }
    QSlider* TempoSlider() { return Control<QSlider>(ApplicationWindow::TempoSliderId); }
    int Bpm() { return Current().Bpm; }
    int Shown() { return window_->TempoDisplay()->Tempo(); }
    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, int count = 1)
    {
        QKeyEvent press(QEvent::KeyPress, key, modifiers, QString(), false, static_cast<quint16>(count));
        QApplication::sendEvent(window_->Control(ApplicationWindow::StartStopId), &press);
    }
    void Digits(const char* digits)
    {
        for (const char* digit = digits; *digit; ++digit)
            Key(Qt::Key_0 + (*digit - '0'));
    }
    QString ButtonText() { return Control<QPushButton>(ApplicationWindow::StartStopId)->text(); }
    /// The test row's shipped language, copied into the window's language folder.
    QString CopyShippedLanguage()
    {
        QFETCH(QString, language);
        if (!language.isEmpty())
            QFile::copy(QStringLiteral(TOLVANE_LANG_SOURCE_DIR "/") + language + QStringLiteral(".lng"),
                        QString::fromStdString(*folder_ / language.toStdString() + ".lng"));
        return language;
    }

public slots:
    void OpenUrl(const QUrl& url) { openedUrl_ = url; } // the desktop's file handler, in tests

private:
    QUrl openedUrl_;

private slots:
    void init() { Begin(); }
    void cleanup()
    {
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        End();
    }

    void EveryCommandOpensItsDialogPageOrManual()
    {
        ApplicationWindow& window = OpenWindow();
        // Without its document, Help says so.
        MessageCatcher messages;
        window.OnCommand(ApplicationWindow::HelpCommand);
        QCOMPARE(WindowTest::Titles(messages), QStringList{"Help File Not Found"});
        QVERIFY(messages.shown[0].text.contains(QStringLiteral("Tolvane.pdf")));
        messages.shown.clear();

        // Every command of the menu, and of the toolbar for the four pages, is enabled and opens
        // its dialog, its page or the manual; the settings dialogs stop a run first. Exit, last,
        // ends the run and saves the settings.
        TestSupport::WriteFile(*folder_ / "Tolvane.pdf", "%PDF-1.4\n");
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "OpenUrl");
        // The manual of the settings' language, the English one where that has none.
        TestSupport::WriteFile(*folder_ / "Tolvane.de.pdf", "%PDF-1.4\n");
        for (const auto& [language, manual] : {std::pair{u"de", "Tolvane.de.pdf"}, std::pair{u"fr", "Tolvane.pdf"}}) {
            std::char_traits<char16_t>::copy(configuration_->GetLanguage(), language, 3);
            window.OnCommand(ApplicationWindow::HelpCommand);
            QCOMPARE(openedUrl_.fileName(), manual);
        }
        configuration_->GetLanguage()[0] = u'\0';
        window.SetTempo(97, true);
        // Another copy's preset request is refused while a settings dialog is open (the
        // saved tempo below would be the preset's).
        Configuration::ConfigurationData fast;
        fast.Name = u"Fast";
        fast.Bpm = 200;
        configuration_->AddPreset(fast);
        const struct {
            int command;
            bool dialog;   // else the manual, or for Exit nothing
            int page = -1; // the settings dialog's page, which is also the toolbar button
            bool stops = true;
        } commands[] = {
            {32771, true},    {32773, true, 0},          {32774, true, 1, false},  {32775, true, 2},
            {32776, true, 3}, {32777, false, -1, false}, {32778, true, -1, false}, {32772, false},
        };
        for (const auto& entry : commands) {
            QAbstractButton* button = entry.page >= 0 ? window.ToolBar()->Button(entry.page) : nullptr;
            for (QObject* control : {static_cast<QObject*>(window.MenuAction(entry.command)), static_cast<QObject*>(button)}) {
                if (!control)
                    continue;
                QVERIFY2(control->property("enabled").toBool(), qPrintable(QString::number(entry.command)));
                QWidget* opened = nullptr;
                int page = -1;
                QTimer::singleShot(0, [&] {
                    if ((opened = QApplication::activeModalWidget())) {
                        if (auto* settings = qobject_cast<GUI::SettingsDialog*>(opened))
                            page = settings->CurrentPage();
                        if (entry.stops)
                            window.LoadPresetRequest(QStringLiteral("Fast"));
                        static_cast<QDialog*>(opened)->reject();
                    }
                });
                openedUrl_.clear();
                if (!window.Running())
                    window.OnCommand(ApplicationWindow::StartStopId);
                control == button ? button->click() : window.MenuAction(entry.command)->trigger();
                QCoreApplication::processEvents();
                QVERIFY(opened == (entry.dialog ? window.DialogFor(entry.command) : nullptr) && page == entry.page);
                QCOMPARE(openedUrl_.fileName(), entry.command == ApplicationWindow::HelpCommand ? "Tolvane.pdf" : "");
                if (entry.stops)
                    QVERIFY2(!window.Running() && !metronome_->inRun && ButtonText() == QStringLiteral("Start"),
                             qPrintable(QString::number(entry.command)));
                else // the Sound Settings page changes a playing run instead
                    QVERIFY2(window.Running() && metronome_->inRun, qPrintable(QString::number(entry.command)));
            }
        }
        QVERIFY(messages.shown.empty());
        QVERIFY(!window.isVisible());
        QVERIFY(TestSupport::ReadFile(*folder_ / "Tolvane.conf").find("Bpm = 97") != std::string::npos);
    }

    void SlidersSetTempoAndVolume()
    {
        ApplicationWindow& window = OpenWindow();
        TempoSlider()->setValue(TempoSlider()->minimum());
        QCOMPARE(Bpm(), 10);
        QCOMPARE(Shown(), 10);
        TempoSlider()->setValue(TempoSlider()->maximum());
        QCOMPARE(Bpm(), 400);

        window.OnCommand(ApplicationWindow::StartStopId);
        TempoSlider()->setValue(GUI::TempoSliderPosition(200));
        QCOMPARE(metronome_->tempos.back(), 200u);
        auto* volume = Control<QSlider>(ApplicationWindow::VolumeSliderId);
        volume->setValue(40);
        QCOMPARE(Current().GlobalVolume, 40);
        QCOMPARE(metronome_->volumes.back(), 40u);
        volume->setSliderDown(true); // dragging the thumb shows its value
        volume->setValue(55);
        QTRY_COMPARE(QToolTip::text(), QStringLiteral("55\u00A0%"));
        // The tip leaves the status line's help text free.
        const QStatusBar* status = window.StatusLine();
        const QRect statusArea(status->mapToGlobal(QPoint(0, 0)), status->size());
        for (const QWidget* tip : QApplication::topLevelWidgets()) {
            if (tip->inherits("QTipLabel") && tip->isVisible())
                QVERIFY(!tip->geometry().intersects(statusArea));
        }
        volume->setSliderDown(false);
        // (A preset loaded into the settings moves the sliders: the Presets page's test.)
    }

    void KeysAndRequestsKeepTheTempoInRange()
    {
        ApplicationWindow& window = OpenWindow();
        const struct {
            int from;
            int key;
            Qt::KeyboardModifiers modifiers;
            int repeats;
            int to;
        } cases[] = {
            {398, Qt::Key_Up, Qt::ShiftModifier, 1, 400},
            {990, Qt::Key_PageUp, Qt::ControlModifier | Qt::ShiftModifier, 1, 990},
            {990, Qt::Key_Minus, Qt::KeypadModifier | Qt::ControlModifier, 1, 988},
            {5, Qt::Key_Down, Qt::NoModifier, 1, 4},
            {4, Qt::Key_Left, Qt::NoModifier, 1, 4},
            {100, Qt::Key_PageDown, Qt::NoModifier, 3, 70}, // an auto-repeated key counts every repeat
            {70, Qt::Key_Plus, Qt::NoModifier, 1, 70},      // the main keyboard's plus is no tempo key
        };
        for (const auto& c : cases) {
            window.SetTempo(c.from, true);
            Key(c.key, c.modifiers, c.repeats);
            QCOMPARE(Bpm(), c.to);
            QCOMPARE(Shown(), c.to);
        }
        window.SetTempo(988, true);
        QCOMPARE(TempoSlider()->value(), TempoSlider()->maximum()); // beyond the slider: clamped

        // Keys pressed on the Tap button stay with it.
        window.SetTempo(70, true);
        QKeyEvent up(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier);
        QKeyEvent digit(QEvent::KeyPress, Qt::Key_5, Qt::NoModifier, QStringLiteral("5"));
        for (QKeyEvent* key : {&up, &digit, &digit})
            QApplication::sendEvent(window.Control(ApplicationWindow::TapId), key);
        QCOMPARE(Bpm(), 70);

        // A tempo changed while playing is the one Stop shows and the next Start plays.
        window.SetTempo(150, true);
        window.OnCommand(ApplicationWindow::StartStopId);
        for (int press = 0; press < 3; ++press)
            Key(Qt::Key_PageUp);
        window.OnCommand(ApplicationWindow::StartStopId);
        QVERIFY(!window.Running());
        QCOMPARE(Bpm(), 180);
        QCOMPARE(Shown(), 180);
        QCOMPARE(TempoSlider()->value(), GUI::TempoSliderPosition(180));
    }

    void TypedTempo()
    {
        OpenWindow();
        // Digits typed in turn, and the tempo after each group; "05" and "10" wait for a third
        // digit, no three-digit tempo starts with 5 or more, 450 is cut to 400, and after a
        // pause typing starts afresh.
        const struct {
            const char* digits;
            int bpm;
            bool pauseFirst = false;
        } steps[] = {{"12", 12}, {"0", 120}, {"05", 120}, {"0", 50}, {"10", 50}, {"0", 100},      {"45", 45},
                     {"0", 400}, {"90", 90}, {"6", 90},   {"6", 66}, {"1", 66},  {"50", 50, true}};
        for (const auto& step : steps) {
            if (step.pauseFirst)
                QTest::qWait(GUI::TempoKeyEntry::TimeoutMs + 300);
            Digits(step.digits);
            QVERIFY2(Bpm() == step.bpm, step.digits);
        }
    }

    void SpeedTrainerOwnsTheTempo()
    {
        ApplicationWindow& window = OpenWindow();
        Current().SpeedTrainer = Configuration::TrainerMode::On;
        metronome_->trainerTempo = 60;
        window.OnCommand(ApplicationWindow::StartStopId);
        QVERIFY(window.Running());
        QCOMPARE(ButtonText(), QStringLiteral("Stop"));
        QCOMPARE(Shown(), 60);
        QVERIFY(!TempoSlider()->isEnabled());

        Digits("90");
        Key(Qt::Key_Up);
        for (int tap = 0; tap < 3; ++tap)
            window.OnCommand(ApplicationWindow::TapId);
        QVERIFY(!window.SetTempoRequest(100));
        QCOMPARE(Bpm(), 120);
        QVERIFY(metronome_->tempos.empty());

        window.OnCommand(ApplicationWindow::SpaceCommand);
        QCOMPARE(ButtonText(), QStringLiteral("Resume"));
        window.OnCommand(ApplicationWindow::SpaceCommand);
        QCOMPARE(ButtonText(), QStringLiteral("Stop"));
        QCOMPARE(metronome_->pauses, 2);
        QVERIFY(window.Running());

        // A trainer step reported from the timer thread.
        std::thread([&] { metronome_->Handler()->OnBeat(Core::TimerFlags::TempoChanged, 66); }).join();
        QTRY_COMPARE(Shown(), 66);
        QCOMPARE(TempoSlider()->value(), GUI::TempoSliderPosition(66));
        QCOMPARE(Bpm(), 120);
        // The bar counter shows each position from the timer thread when it is heard.
        for (const auto& [position, shown] : {std::pair{Core::BarPosition{-2, 1, -1, 0, false, true}, u"\u22122"},
                                               std::pair{Core::BarPosition{0, 2, -1, 0, false, true}, u"In"},
                                               std::pair{Core::BarPosition{3, 2, 1, 66, true, false}, u"3 \u00B7 2\n66 bpm \u00B7 bars left: 1"}}) {
            std::thread([&] { metronome_->Handler()->OnPosition(position); }).join();
            QTRY_COMPARE(window.BarCounterText(), QString::fromUtf16(shown));
        }

        // The run ends by itself: the settings' tempo comes back and the slider is free again.
        std::thread([&] { metronome_->EndRun(); }).join();
        QTRY_VERIFY(!window.Running());
        QCOMPARE(window.BarCounterText(), QString());
        QCOMPARE(Shown(), 120);
        QCOMPARE(TempoSlider()->value(), GUI::TempoSliderPosition(120));
        QVERIFY(TempoSlider()->isEnabled());
    }

    void StartWaitsForSoundsStillBeingPrepared()
    {
        ApplicationWindow& window = OpenWindow();
        QVERIFY(metronome_->preparations > 0); // begun at start-up
        metronome_->soundsPrepared = false;
        // Pressed twice while the sounds are not ready: the second press takes the start back.
        window.OnCommand(ApplicationWindow::StartStopId);
        QCOMPARE(metronome_->starts, 0);
        QCOMPARE(window.cursor().shape(), Qt::BusyCursor);
        window.OnCommand(ApplicationWindow::StartStopId);
        metronome_->soundsPrepared = true;
        // The window looks again 20 ms after a press; a timer of 20 ms set after it fires after.
        bool looked = false;
        QTimer::singleShot(20, [&looked] { looked = true; });
        QTRY_VERIFY(looked);
        QCOMPARE(metronome_->starts, 0);
        QVERIFY(!window.Running());
        // Pressed once: it plays as soon as they are ready.
        metronome_->soundsPrepared = false;
        const int asked = metronome_->preparations;
        window.OnCommand(ApplicationWindow::StartStopId);
        const int looks = metronome_->preparedAsked;
        QTRY_VERIFY(metronome_->preparedAsked > looks + 2); // the window keeps looking
        QCOMPARE(metronome_->starts, 0);
        // Asked once, at the press: a preparation takes what is asked meanwhile itself, and one
        // that failed is not started again while the window waits.
        QCOMPARE(metronome_->preparations, asked + 1);
        metronome_->soundsPrepared = true;
        QTRY_VERIFY_WITH_TIMEOUT(window.Running(), 10000);
        QCOMPARE(metronome_->starts, 1);
        QCOMPARE(window.cursor().shape(), Qt::ArrowCursor);
    }

    void ShortcutsReachTheirCommandsAndTheStatusLineFollowsTheMouse()
    {
        ApplicationWindow& window = OpenWindow();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        const struct {
            Qt::Key key;
            Qt::KeyboardModifiers modifiers;
            bool running;
        } keys[] = {
            {Qt::Key_S, {}, true},       {Qt::Key_F5, Qt::ControlModifier, true}, // Ctrl+F5 is taken and ignored
            {Qt::Key_Return, {}, false}, {Qt::Key_S, Qt::ShiftModifier, false},   // "S" is not "s"
            {Qt::Key_Space, {}, true},   {Qt::Key_Space, {}, false},              // a plain run: Space stops
            {Qt::Key_Space, {}, true},
        };
        for (const auto& entry : keys) {
            QTest::keyClick(&window, entry.key, entry.modifiers);
            QCOMPARE(window.Running(), entry.running);
        }
        QCOMPARE(metronome_->pauses, 0);
        QCOMPARE(metronome_->starts, 3);
        // t taps; with Ctrl (doubled) or Shift (halved) it still taps.
        QSignalSpy taps(window.MenuAction(ApplicationWindow::TapId), &QAction::triggered);
        for (const Qt::KeyboardModifiers held : {Qt::KeyboardModifiers{}, Qt::KeyboardModifiers{Qt::ControlModifier},
                                                 Qt::KeyboardModifiers{Qt::ShiftModifier}})
            QTest::keyClick(&window, Qt::Key_T, held);
        QCOMPARE(taps.count(), 3);

        // The status line describes the control, menu item or toolbar button under the mouse.
        QTest::mouseMove(TempoSlider(), QPoint(3, 3)); // its leaving and entering show status tips
        QTRY_COMPARE(window.StatusLine()->Text(), QStringLiteral("Sets the tempo for the metronome"));
        QTest::mouseMove(window.ToolBar()->Button(3), QPoint(3, 3));
        QTRY_COMPARE(window.StatusLine()->Text(), QStringLiteral("Creates or loads metronome presets"));
        QWidget* counter = Control(ApplicationWindow::BarCounterId);
        QTest::mouseMove(counter, QPoint(3, 3));
        QTRY_COMPARE(window.StatusLine()->Text(), QStringLiteral("Shows the bar and beat, the count-in and the trainer's level"));
        QTest::mouseMove(window.TempoDisplay()->parentWidget(), counter->geometry().bottomLeft() + QPoint(0, 8)); // the bare surface
        QTRY_COMPARE(window.StatusLine()->Text(), QString());
        window.MenuAction(32772)->showStatusText(window.menuBar()); // as the open menu does on hover
        QCOMPARE(window.StatusLine()->Text(), QStringLiteral("Exits the application"));

        // Digits typed on the volume slider still set the tempo.
        QTest::keyClicks(Control<QSlider>(ApplicationWindow::VolumeSliderId), "96");
        QCOMPARE(Bpm(), 96);
        QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier); // in every language
        QVERIFY(!window.isVisible());
        QVERIFY(!window.Running());
    }

    // A refused start, or a run ended by an error reported from the timer thread, is explained
    // by its message (none for code 7).
    void ErrorsAreExplained()
    {
        ApplicationWindow& window = OpenWindow();
        const struct {
            std::uint32_t code;
            const char* title; // null: no message
            int text;
            bool whilePlaying = false;
            QMessageBox::Icon icon = QMessageBox::Warning;
        } cases[] = {
            {5, "Unable To Initialise Sound Source", 7},
            {9, "Invalid Custom Pattern", 10},
            {11, "Invalid Custom Rhythm", 12},
            {7, nullptr, 0},
            {22, "Metronome Unable To Play", 22, true, QMessageBox::Critical},
        };
        for (const auto& entry : cases) {
            metronome_->startResult = entry.whilePlaying ? 0 : entry.code;
            MessageCatcher catcher;
            window.OnCommand(ApplicationWindow::StartStopId);
            if (entry.whilePlaying)
                std::thread([&] {
                    metronome_->EndRun();
                    metronome_->Handler()->OnError(entry.code);
                }).join();
            QTRY_COMPARE(WindowTest::Titles(catcher), entry.title ? QStringList{entry.title} : QStringList{});
            QVERIFY(!window.Running());
            QCOMPARE(ButtonText(), QStringLiteral("Start"));
            if (entry.title) {
                QCOMPARE(catcher.shown[0].text, GUI::FromTableText(System::CurrentLanguage()->GetMessage(entry.text)));
                QCOMPARE(catcher.shown[0].icon, entry.icon);
            }
        }
    }

    // The settings' language is loaded at start-up, or when its file is missing English stays and
    // the setting is emptied; a switch that fails goes back to English, and the controls keep
    // their texts until the next switch.
    void LanguageAtStartUpAndSwitched()
    {
        TestSupport::WriteFile(*folder_ / "Tolvane.conf", "\xEF\xBB\xBFLanguage = no\n");
        QCOMPARE(OpenWindow().LanguageKind(), 1);
        QCOMPARE(configuration_->GetLanguage()[0], u'\0');
        QVERIFY(log_->Has("Unable to initialise language."));
        TestSupport::WriteFile(*folder_ / "no.lng", TestLanguage);
        TestSupport::WriteFile(*folder_ / "Tolvane.conf", "\xEF\xBB\xBFLanguage = no\n");
        ApplicationWindow& window = OpenWindow();
        QCOMPARE(window.LanguageKind(), 2);
        QCOMPARE(ButtonText(), QStringLiteral("Spill"));
        QCOMPARE(window.MenuAction(32772)->text(), QStringLiteral("&Avslutt\tCtrl+Q"));

        TestSupport::WriteFile(*folder_ / "bad.lng", "\xEF\xBB\xBFlng\n[Control]\n1001 = X\n");
        std::u16string name = u"bad";
        std::copy(name.begin(), name.end() + 1, configuration_->GetLanguage());
        QVERIFY(!window.SwitchLanguage(name));
        QCOMPARE(window.LanguageKind(), 1);
        QVERIFY(System::CurrentLanguage()->IsDefault());
        QCOMPARE(configuration_->GetLanguage()[0], u'\0');
        QCOMPARE(ButtonText(), QStringLiteral("Spill")); // the controls keep their texts

        // Back to the built-in tables: every text in English again, Exit with its Ctrl+Q.
        QVERIFY(window.SwitchLanguage(u""));
        QCOMPARE(ButtonText(), QStringLiteral("Start"));
        QCOMPARE(window.MenuAction(32772)->text(), QStringLiteral("E&xit\tCtrl+Q"));
        // A name that would leave the language folder is never opened.
        TestSupport::WriteFile(*folder_ / "outside.lng", TestLanguage);
        QVERIFY(!window.SwitchLanguage(u"../" + std::u16string(u"outside")));
    }

    // A translation far too long for any screen: the main window and the settings dialog stay
    // on the screen, and the cut button shows its whole text as its tooltip.
    void HugeTextsKeepTheWindowsOnTheScreen()
    {
        const std::string huge(400, 'W');
        TestSupport::WriteFile(*folder_ / "xx.lng", WindowTest::LanguageFile("[Language]\nLangEnglish = Huge\nLanguage = Huge\n"
                                                                             "[Control]\n1 = " + huge + "\n70 = " + huge + "\n"));
        ApplicationWindow& window = OpenWindow();
        QVERIFY(window.SwitchLanguage(u"xx"));
        const QRect room = window.screen()->availableGeometry();
        QVERIFY2(room.contains(window.frameGeometry()), qPrintable(QStringLiteral("%1 wide").arg(window.frameGeometry().width())));
        auto* settings = qobject_cast<GUI::SettingsDialog*>(window.DialogFor(ApplicationWindow::OptionsCommand));
        settings->Initialise(0);
        QVERIFY(settings->width() <= room.width() && settings->height() <= room.height());
        auto* ok = qobject_cast<QPushButton*>(settings->Control(GUI::SettingsDialog::OkId));
        QVERIFY(ok->text().startsWith(QStringLiteral("WWWW")));
        QCOMPARE(ok->toolTip(), ok->text());
    }

    void EveryShippedLanguageFitsAndNamesItsControls_data() { WindowTest::ShippedLanguageRows(); }
    void EveryShippedLanguageFitsAndNamesItsControls()
    {
        const QString language = CopyShippedLanguage();
        ApplicationWindow& window = OpenWindow();
        QVERIFY(window.SwitchLanguage(language.toStdU16String()));
        window.StatusLine()->SetText(ApplicationWindow::StatusText(ApplicationWindow::TapId)); // the longest
        WindowTest::Screenshot(window, QStringLiteral("main"));
        window.StatusLine()->SetText({});

        // No text cut: each fits its control, and every control lies inside the window.
        const auto fits = [](QWidget* widget, const QString& text, int room) {
            return widget->fontMetrics().horizontalAdvance(text) <= room;
        };
        auto* tempoLabel = Control<QLabel>(ApplicationWindow::TempoLabelId);
        auto* volumeLabel = Control<QLabel>(ApplicationWindow::VolumeLabelId);
        const int labelRoom = TempoSlider()->x() - tempoLabel->x();
        QVERIFY(fits(tempoLabel, tempoLabel->text(), labelRoom) && fits(volumeLabel, volumeLabel->text(), labelRoom));
        for (const int id : {ApplicationWindow::StartStopId, ApplicationWindow::TapId}) {
            auto* button = Control<QPushButton>(id);
            QVERIFY2(fits(button, button->text(), button->width() - 8), qPrintable(button->text()));
            QVERIFY(button->geometry().right() < window.width());
        }
        QVERIFY(fits(Control<QPushButton>(1001), GUI::FromTableText(System::CurrentLanguage()->GetControlText(1002)),
                     Control<QPushButton>(1001)->width() - 8));
        std::vector<QWidget*> controls;
        for (int position = 0; position < GUI::Toolbar::ButtonCount; ++position) {
            QToolButton* button = window.ToolBar()->Button(position);
            QVERIFY2(fits(button, button->text(), button->width() - 10), qPrintable(button->text()));
            QVERIFY(button->mapTo(&window, QPoint(button->width(), 0)).x() <= window.width());
            controls.push_back(button);
        }
        for (const int id : {32771, 32772, 32773, 32774, 32775, 32776, 32777, 32778, 1201, 1202, 1001, 1203, 1204, 1003})
            QVERIFY2(fits(window.StatusLine(), ApplicationWindow::StatusText(id), window.StatusLine()->width() - 8),
                     qPrintable(ApplicationWindow::StatusText(id)));

        // Every control has a name and a description for assistive technology; the read-out
        // gives its tempo.
        for (const int id : {1201, 1202, -1, 1001, 1203, 1004, 1204, 1005, 1003})
            controls.push_back(window.Control(id));
        for (QWidget* control : controls) {
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
            QVERIFY(accessible);
            QVERIFY2(!accessible->text(QAccessible::Name).isEmpty(), control->metaObject()->className());
            QVERIFY2(!accessible->text(QAccessible::Description).isEmpty(), control->metaObject()->className());
        }
        window.SetTempo(96, true);
        QCOMPARE(QAccessible::queryAccessibleInterface(window.TempoDisplay())->text(QAccessible::Value),
                 QStringLiteral("96 ") + window.TempoDisplay()->Label());

        // Timing feedback's strip, with hits early, late, far late and stray: named, its help
        // fits the status line, and the window still holds everything.
        auto* strip = window.findChild<GUI::TimingStrip*>();
        configuration_->GetSwitches().TimingFeedback = 1;
        window.RefreshFromSettings();
        for (const auto& [ms, stray] : {std::pair{-4.0, false}, {18.0, false}, {-31.0, false}, {140.0, true}, {-7.0, false}})
            strip->Add(ms, stray, false);
        QTRY_VERIFY(strip->isVisible() && strip->geometry().bottom() < window.StatusLine()->y()
                    && window.StatusLine()->geometry().bottom() < window.height());
        WindowTest::Screenshot(window, QStringLiteral("main-timing"));
        QVERIFY(!strip->accessibleName().isEmpty());
        QVERIFY2(fits(window.StatusLine(), strip->statusTip(), window.StatusLine()->width() - 8), qPrintable(strip->statusTip()));
        configuration_->GetSwitches().TimingFeedback = 0;
        window.RefreshFromSettings();
    }

    // Every window a user can reach, walked as a screen reader would: each control that takes
    // the keyboard's focus has a name, and the tempo marking follows the tempo.
    void EveryFocusableControlIsNamed_data() { WindowTest::ShippedLanguageRows(); }
    void EveryFocusableControlIsNamed()
    {
        const QString language = CopyShippedLanguage();
        ApplicationWindow& window = OpenWindow();
        QVERIFY(window.SwitchLanguage(language.toStdU16String()));
        GUI::StepSequencerDialog sequencer(*metronome_, *configuration_);
        sequencer.Initialise(0);
        std::vector<QWidget*> windows{&window, &sequencer};
        for (const int command : {ApplicationWindow::OptionsCommand, ApplicationWindow::LanguageCommand,
                                  ApplicationWindow::AboutCommand}) {
            window.DialogFor(command)->Initialise(0);
            windows.push_back(window.DialogFor(command));
        }
        QStringList unnamed;
        for (QWidget* shown : windows) {
            for (QWidget* control : shown->findChildren<QWidget*>()) {
                // A spin box's or combo box's own edit field and list are named by their owner.
                const bool inner = qobject_cast<QAbstractSpinBox*>(control->parentWidget())
                                   || qobject_cast<QComboBox*>(control->parentWidget())
                                   || control->window()->windowType() == Qt::Popup;
                QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
                if (control->focusPolicy() != Qt::NoFocus && !inner
                    && (!accessible || accessible->text(QAccessible::Name).trimmed().isEmpty()))
                    unnamed << shown->metaObject()->className() + QStringLiteral(":")
                                   + control->metaObject()->className() + u'#'
                                   + control->property("controlId").toString();
            }
        }
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(u' ')));

        auto* marking = Control<QLabel>(ApplicationWindow::TempoMarkingId);
        QVERIFY(!marking->text().isEmpty());
        window.SetTempo(50, true);
        const QString largo = marking->text();
        window.SetTempo(130, true);
        QVERIFY(marking->text() != largo && marking->text().startsWith(QStringLiteral("Allegro")));
        QVERIFY(marking->geometry().right() < window.width()); // shown whole
        QCOMPARE(marking->sizeHint().width() <= marking->width(), true);
    }

    // The first settings line not understood is named at start-up, in the language in use.
    void UnreadSettingsLineIsNamed_data() { WindowTest::ShippedLanguageRows(); }
    void UnreadSettingsLineIsNamed()
    {
        const QString language = CopyShippedLanguage();
        TestSupport::WriteFile(*folder_ / "Tolvane.conf", "\xEF\xBB\xBFLanguage = " + language.toStdString()
                                                              + "\nBogus <b>= 1\nBpm 1\nBpm = 133\n");
        ApplicationWindow& window = OpenWindow();
        auto* box = window.findChild<QMessageBox*>(QStringLiteral("unreadLines"));
        QVERIFY(box);
        QVERIFY(QTest::qWaitForWindowExposed(box));
        WindowTest::Screenshot(*box, QStringLiteral("unread-line"));
        QVERIFY2(box->text().contains(QStringLiteral(" 2 ")) && box->text().contains(QStringLiteral("Bogus <b>= 1"))
                     && box->text().endsWith(QStringLiteral(" 2.")),
                 qPrintable(box->text()));
        QCOMPARE(Bpm(), 133);
    }

    // What the command line asked for and did not get is said in the window, not only in the
    // terminal: a preset that does not exist, a tempo the speed trainer overrides.
    void CommandLineWishesNotMetAreTold()
    {
        ApplicationWindow& window = OpenWindow({QStringLiteral("preset None such"), QStringLiteral("tempo 96")});
        Current().SpeedTrainer = Configuration::TrainerMode::On; // before the requests are carried out
        QMessageBox* box = nullptr;
        QTRY_VERIFY((box = window.findChild<QMessageBox*>(QStringLiteral("commandLine"))));
        QVERIFY2(box->text().contains(QStringLiteral("\"None such\"")) && box->text().contains(QStringLiteral("96 bpm")),
                 qPrintable(box->text()));
        QCOMPARE(window.RefusedRequests(), QStringList{QStringLiteral("preset None such")});
        QCOMPARE(Bpm(), 96);
    }

    // A song from the command line plays at the next Start, from its part and at its scale; the
    // window names the song, the part and the bar; Alt+arrows move between parts (with Shift
    // at once), with Ctrl the song ends so that the setlist's next one starts.
    void SongsFromTheCommandLineShowTheirPlaceAndMoveByKeys()
    {
        const QString folder = QString::fromStdString(folder_->Path()) + QStringLiteral("/");
        std::ofstream(QString(folder + QStringLiteral("a.klick")).toStdString()) << "intro: 2 120\nbridge: 8 7/8 140\n";
        std::ofstream(QString(folder + QStringLiteral("b.klick")).toStdString()) << "4 90\n";
        std::ofstream(QString(folder + QStringLiteral("gig.txt")).toStdString()) << "a.klick\nmissing.klick\nb.klick\n";
        ApplicationWindow& window = OpenWindow({QStringLiteral("setlist ") + folder + QStringLiteral("gig.txt"),
                                                QStringLiteral("song 80\tbridge\t") + folder + QStringLiteral("a.klick"),
                                                QStringLiteral("start")});
        QTRY_VERIFY(window.Running());
        QCOMPARE(metronome_->songStarts, std::vector<std::string>{"a 1 0.800000"});
        QVERIFY(window.SongLine()->isVisible());
        std::thread([&] {
            Core::BarPosition position;
            position.part = 1, position.bar = 3, position.partBars = 8;
            metronome_->Handler()->OnPosition(position);
        }).join();
        QTRY_COMPARE(window.SongLine()->text(), QStringLiteral("1/3 a \u00b7 2/2 bridge \u00b7 3/8"));
        QTest::keyClick(&window, Qt::Key_Right, Qt::AltModifier);
        QTest::keyClick(&window, Qt::Key_Left, Qt::AltModifier | Qt::ShiftModifier);
        QTest::keyClick(&window, Qt::Key_Right, Qt::AltModifier | Qt::ControlModifier);
        QCOMPARE(metronome_->moves, (std::vector<int>{1, -2, 3}));
        metronome_->EndRun(); // the song's end: the setlist's next song that can be read starts
        QTRY_COMPARE(metronome_->songStarts.size(), std::size_t{2});
        QCOMPARE(metronome_->songStarts.back(), std::string("b 0 0.800000"));
    }

    void KernelReleaseCheck()
    {
        for (const char* release : {"6.1.0-13-amd64", "3.2.0", "10.0"})
            QVERIFY2(GUI::KernelReleaseSupported(release), release);
        for (const char* release : {"3.1.99", "2.6.32-754.el6", "unknown", ""})
            QVERIFY2(!GUI::KernelReleaseSupported(release), release);
    }

    // A larger window scales the read-out and the lamp (the lamp up to a third of
    // the window's height) and lengthens the sliders; back at its least size all is as before.
    // The window's place, size and maximised state come back at the next start, a place on no
    // screen excepted.
    void GrowsAndKeepsItsPlace()
    {
        ApplicationWindow& window = OpenWindow();
        GUI::BeatsPerMinuteDisplay* display = window.TempoDisplay();
        GUI::VisualBeatIndicator* lamp = window.BeatIndicator();
        const QSize least = window.size();
        window.resize(1100, 450);
        QTRY_COMPARE(lamp->size(), QSize(150, 150)); // a third of the height, less than its growth
        QTRY_VERIFY(display->height() > 220);
        QVERIFY(qAbs(display->width() * 2 - display->height() * 5) <= 5); // its shape kept
        QVERIFY(TempoSlider()->width() > 2 * 280);
        QVERIFY(Control(ApplicationWindow::TapId)->geometry().right() < window.width());
        window.resize(least);
        QTRY_COMPARE(display->size(), QSize(200, 80));
        QTRY_COMPARE(lamp->size(), QSize(32, 32));
        QCOMPARE(TempoSlider()->width(), 280);

        const struct {
            QRect kept;
            int maximised;
            bool placeBack;
        } rows[] = {{{40, 50, 700, 600}, 0, true}, {{-5000, 50, 700, 600}, 0, false}, {{40, 50, 700, 600}, 1, true}};
        window.setGeometry(rows[0].kept);
        window.close();
        const Configuration::WindowPlacement& kept = configuration_->GetWindowPlacement();
        QCOMPARE(QRect(kept.Left, kept.Top, kept.Width, kept.Height), rows[0].kept);
        for (const auto& row : rows) {
            auto& placement = configuration_->GetWindowPlacement();
            placement = {row.kept.left(), row.kept.top(), row.kept.width(), row.kept.height(), row.maximised};
            QVERIFY(configuration_->Save());
            placement = {};
            ApplicationWindow& again = OpenWindow();
            QCOMPARE(again.isMaximized(), row.maximised == 1);
            if (!row.maximised) {
                QTRY_COMPARE(again.size(), row.kept.size());
                QCOMPARE(again.geometry().topLeft() == row.kept.topLeft(), row.placeBack);
            }
            again.close();
            QCOMPARE(QRect(placement.Left, placement.Top, placement.Width, placement.Height).size(), row.kept.size());
            QCOMPARE(placement.Maximised, row.maximised);
        }
    }

    void ReportsKeepTheirOrderAndAFullQueueDropsTheRest()
    {
        GUI::MetronomeEventQueue queue;
        std::vector<std::uint32_t> delivered;
        connect(&queue, &GUI::MetronomeEventQueue::Delivered,
                [&](const GUI::MetronomeEvent& event) { delivered.push_back(event.value); });
        const std::uint32_t posted = GUI::MetronomeEventQueue::Capacity + 100;
        std::thread([&] {
            for (std::uint32_t i = 0; i < posted; ++i)
                queue.Post({GUI::MetronomeEvent::Beat, 1, i});
        }).join();
        QCOMPARE(queue.Dropped(), std::uint64_t(100));
        QTRY_COMPARE(delivered.size(), GUI::MetronomeEventQueue::Capacity); // woken by the eventfd
        for (std::uint32_t i = 0; i < delivered.size(); ++i)
            QCOMPARE(delivered[i], i);
    }
};

QTEST_MAIN(ApplicationWindowTest)
#include "ApplicationWindowTest.moc"
