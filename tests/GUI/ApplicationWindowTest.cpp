// The main window on a controller that plays nothing: what each menu and toolbar command
// opens, the tempo from the sliders, keys, typed digits and taps, the speed trainer owning the
// tempo, the controller's reports from other threads, messages, status texts, language
// switches, help and shutdown.
#include "Configuration/FileConfiguration.h"
#include "Core/Engine/TimerFlags.h"
#include "GUI/ApplicationWindow.h"
#include "GUI/BeatsPerMinuteDisplay.h"
#include "GUI/Dialogs/SettingsDialog.h"
#include "GUI/MetronomeEventQueue.h"
#include "GUI/ProgramFont.h"
#include "GUI/StartupChecks.h"
#include "GUI/Statusbar.h"
#include "GUI/Dialogs/OptionsDialog.h"
#include "GUI/Dialogs/SettingsDialog.h"
#include "GUI/StepSequencerDialog.h"
#include "GUI/Toolbar.h"
#include "System/CurrentLanguage.h"
#include "TestSupport.h"
#include "WindowTestSupport.h"

#include <QtTest>

#include <QAccessible>
#include <QAction>
#include <QDesktopServices>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QToolButton>
#include <QToolTip>

#include <memory>
#include <thread>

using GUI::ApplicationWindow;
using WindowTest::FakeMetronome;
using WindowTest::MessageCatcher;

namespace {

const char* const TestLanguageFile = "\xEF\xBB\xBF@lng\n"
                                     "[Language]\n"
                                     "LangEnglish = Test\n"
                                     "Language = Test\n"
                                     "[Menu]\n"
                                     "1 = &Fil\n"
                                     "[MenuItems]\n"
                                     "2 = &Avslutt\n"
                                     "[Control]\n"
                                     "1 = Spill\n"
                                     "3 = Trykk\n"
                                     "4 = Takt\n"
                                     "5 = Lydstyrke\n"
                                     "[StatusInfo]\n"
                                     "13 = Stiller tempoet\n"
                                     "[Text]\n"
                                     "1 = Tolvane NO\n"
                                     "2 = Metronom\n";

} // namespace

class ApplicationWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TestSupport::TempFolder> folder_;
    std::unique_ptr<TestSupport::ScopedLog> log_;
    std::unique_ptr<Configuration::FileConfiguration> configuration_;
    std::unique_ptr<FakeMetronome> metronome_;
    std::unique_ptr<ApplicationWindow> window_;

    ApplicationWindow& Open()
    {
        GUI::ApplicationWindowOptions options;
        options.singleInstance = false;
        options.languageFolder = folder_->Path();
        options.helpFolder = folder_->Path();
        window_ = std::make_unique<ApplicationWindow>(*metronome_, *configuration_, options);
        if (!window_->Startup())
            qFatal("start-up failed");
        return *window_;
    }
    template <typename T = QWidget>
    T* Control(int id)
    {
        return qobject_cast<T*>(window_->Control(id));
    }
    QSlider* TempoSlider() { return Control<QSlider>(ApplicationWindow::TempoSliderId); }
    int Bpm() { return configuration_->GetData().Bpm; }
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

public slots:
    void OpenUrl(const QUrl& url) { openedUrl_ = url; } // the desktop's file handler, in tests

private:
    QUrl openedUrl_;

private slots:
    void init()
    {
        folder_ = std::make_unique<TestSupport::TempFolder>();
        log_ = std::make_unique<TestSupport::ScopedLog>();
        configuration_ = std::make_unique<Configuration::FileConfiguration>(*folder_ / "Tolvane.conf");
        metronome_ = std::make_unique<FakeMetronome>();
        System::SetCurrentLanguage(nullptr);
    }
    void cleanup()
    {
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        window_.reset();
        System::SetCurrentLanguage(nullptr);
        log_.reset();
    }

    void EveryCommandOpensItsDialogPageOrManual()
    {
        ApplicationWindow& window = Open();
        // Every command of the menu, and of the toolbar for the four pages, is enabled and opens
        // its dialog, its page or the manual; Exit closes the window.
        TestSupport::WriteFile(*folder_ / "Tolvane.pdf", "%PDF-1.4\n");
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "OpenUrl");
        MessageCatcher messages;
        const struct {
            int command;
            bool dialog;   // else the manual, or for Exit nothing
            int page = -1; // the settings dialog's page, which is also the toolbar button
        } commands[] = {
            {32771, true},    {32773, true, 0}, {32774, true, 1}, {32775, true, 2}, {32776, true, 3},
            {32777, false},   {32778, true},    {32772, false},
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
                        static_cast<QDialog*>(opened)->reject();
                    }
                });
                openedUrl_.clear();
                control == button ? button->click() : window.MenuAction(entry.command)->trigger();
                QCoreApplication::processEvents();
                QVERIFY(opened == (entry.dialog ? window.DialogFor(entry.command) : nullptr) && page == entry.page);
                QCOMPARE(openedUrl_.fileName(), entry.command == ApplicationWindow::HelpCommand ? "Tolvane.pdf" : "");
            }
        }
        QVERIFY(messages.shown.empty());
        QVERIFY(!window.isVisible());
    }

    void SliderMovesSetTheTempo()
    {
        ApplicationWindow& window = Open();
        TempoSlider()->setValue(TempoSlider()->minimum());
        QCOMPARE(Bpm(), 10);
        QCOMPARE(window.TempoDisplay()->Tempo(), 10);
        TempoSlider()->setValue(TempoSlider()->maximum());
        QCOMPARE(Bpm(), 400);
        for (int position = 7109; position <= 9044; ++position) {
            const int tempo = GUI::TempoForSliderPosition(position);
            QVERIFY(tempo >= 10 && tempo <= 400);
        }

        window.OnCommand(ApplicationWindow::StartStopId);
        TempoSlider()->setValue(GUI::TempoSliderPosition(200));
        QCOMPARE(metronome_->tempos.back(), 200u);
        Control<QSlider>(ApplicationWindow::VolumeSliderId)->setValue(40);
        QCOMPARE(configuration_->GetData().GlobalVolume, 40);
        QCOMPARE(metronome_->volumes.back(), 40u);
        auto* volume = Control<QSlider>(ApplicationWindow::VolumeSliderId);
        volume->setSliderDown(true); // dragging the thumb shows its value
        volume->setValue(55);
        QTRY_COMPARE(QToolTip::text(), QStringLiteral("55"));
        volume->setSliderDown(false);

        // A preset loaded into the settings: the window follows when told to.
        configuration_->GetData().Bpm = 90;
        configuration_->GetData().GlobalVolume = 70;
        window.RefreshFromSettings();
        QCOMPARE(TempoSlider()->value(), GUI::TempoSliderPosition(90));
        QCOMPARE(Control<QSlider>(ApplicationWindow::VolumeSliderId)->value(), 70);
        QCOMPARE(window.TempoDisplay()->Tempo(), 90);
    }

    void KeyboardTempoLimits()
    {
        ApplicationWindow& window = Open();
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
            QCOMPARE(window.TempoDisplay()->Tempo(), c.to);
        }
        window.SetTempo(988, true);
        QCOMPARE(TempoSlider()->value(), TempoSlider()->maximum()); // beyond the slider: clamped

        // Keys pressed on the Tap button stay with it.
        window.SetTempo(70, true);
        QKeyEvent up(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier);
        QApplication::sendEvent(window.Control(ApplicationWindow::TapId), &up);
        QKeyEvent digit(QEvent::KeyPress, Qt::Key_5, Qt::NoModifier, QStringLiteral("5"));
        QApplication::sendEvent(window.Control(ApplicationWindow::TapId), &digit);
        QApplication::sendEvent(window.Control(ApplicationWindow::TapId), &digit);
        QCOMPARE(Bpm(), 70);
    }

    void TypedTempo()
    {
        Open();
        // Digits typed in turn, and the tempo after each group; "05" and "10" wait for a third
        // digit, no three-digit tempo starts with 5 or more, and 450 is cut to 400.
        const struct {
            const char* digits;
            int bpm;
        } steps[] = {{"12", 12}, {"0", 120}, {"05", 120}, {"0", 50}, {"10", 50}, {"0", 100},
                     {"45", 45}, {"0", 400}, {"90", 90},  {"6", 90}, {"6", 66}};
        for (const auto& step : steps) {
            Digits(step.digits);
            QVERIFY2(Bpm() == step.bpm, step.digits);
        }
    }

    void TypedTempoStartsAfreshAfterAPause()
    {
        Open();
        Digits("1");
        QTest::qWait(GUI::TempoKeyEntry::TimeoutMs + 300);
        Digits("50");
        QCOMPARE(Bpm(), 50);
    }

    void SpeedTrainerOwnsTheTempo()
    {
        ApplicationWindow& window = Open();
        configuration_->GetData().SpeedTrainer = Configuration::TrainerMode::On;
        metronome_->trainerTempo = 60;
        window.OnCommand(ApplicationWindow::StartStopId);
        QVERIFY(window.Running());
        QCOMPARE(ButtonText(), QStringLiteral("Stop"));
        QCOMPARE(window.TempoDisplay()->Tempo(), 60);
        QVERIFY(!TempoSlider()->isEnabled());

        Digits("90");
        Key(Qt::Key_Up);
        window.OnCommand(ApplicationWindow::TapId);
        window.OnCommand(ApplicationWindow::TapId);
        window.OnCommand(ApplicationWindow::TapId);
        QVERIFY(!window.SetTempoRequest(100));
        QCOMPARE(Bpm(), 120);
        QVERIFY(metronome_->tempos.empty());

        window.OnCommand(ApplicationWindow::SpaceCommand);
        window.OnCommand(ApplicationWindow::SpaceCommand);
        QCOMPARE(metronome_->pauses, 2);
        QVERIFY(window.Running());

        // A trainer step reported from the timer thread.
        std::thread([&] { metronome_->Handler()->OnBeat(Core::TimerFlags::TempoChanged, 66); }).join();
        QTRY_COMPARE(window.TempoDisplay()->Tempo(), 66);
        QCOMPARE(TempoSlider()->value(), GUI::TempoSliderPosition(66));
        QCOMPARE(Bpm(), 120);

        // The run ends by itself: the settings' tempo comes back and the slider is free again.
        std::thread([&] { metronome_->EndRun(); }).join();
        QTRY_VERIFY(!window.Running());
        QCOMPARE(window.TempoDisplay()->Tempo(), 120);
        QCOMPARE(TempoSlider()->value(), 7954);
        QVERIFY(TempoSlider()->isEnabled());
        QCOMPARE(ButtonText(), QStringLiteral("Start"));
    }

    void StopShowsTheTempoTheNextStartPlays()
    {
        ApplicationWindow& window = Open();
        window.SetTempo(150, true);
        window.OnCommand(ApplicationWindow::StartStopId);
        Key(Qt::Key_PageUp);
        Key(Qt::Key_PageUp);
        Key(Qt::Key_PageUp);
        window.OnCommand(ApplicationWindow::StartStopId);
        QVERIFY(!window.Running());
        QCOMPARE(Bpm(), 180);
        QCOMPARE(window.TempoDisplay()->Tempo(), 180);
        QCOMPARE(TempoSlider()->value(), GUI::TempoSliderPosition(180));
    }

    void SpaceStopsAPlainRunAndDialogsStopFirst()
    {
        ApplicationWindow& window = Open();
        window.OnCommand(ApplicationWindow::SpaceCommand);
        QVERIFY(window.Running());
        window.OnCommand(ApplicationWindow::SpaceCommand);
        QVERIFY(!window.Running());
        QCOMPARE(metronome_->pauses, 0);

        QTimer closer; // closes the dialogs that open
        QObject::connect(&closer, &QTimer::timeout, [] {
            if (QWidget* shown = QApplication::activeModalWidget())
                qobject_cast<QDialog*>(shown)->reject();
        });
        closer.start(10);
        for (int command : {32771, 32773, 32774, 32775, 32776}) {
            window.OnCommand(ApplicationWindow::StartStopId);
            QVERIFY(window.Running());
            window.OnCommand(command);
            QVERIFY2(!window.Running(), qPrintable(QString::number(command)));
            QVERIFY(!metronome_->inRun);
            QCOMPARE(ButtonText(), QStringLiteral("Start"));
        }
        const int stops = metronome_->stops;
        window.OnCommand(ApplicationWindow::StartStopId);
        window.OnCommand(ApplicationWindow::UnusedCommand);
        QVERIFY(window.Running());
        QCOMPARE(metronome_->stops, stops + 1); // only the one before the start
    }

    void StepSequencerIsTheOptionsPagesOneWindow()
    {
        ApplicationWindow& window = Open();
        window.SetTempo(90, true);
        window.OnCommand(ApplicationWindow::StartStopId);
        // The settings dialog opens its page's Step Sequencer button twice; each window shown
        // is closed as soon as it is seen.
        GUI::SettingsDialog* settings = nullptr;
        std::vector<GUI::StepSequencerDialog*> sequencers;
        QTimer closer;
        connect(&closer, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* sequencer = qobject_cast<GUI::StepSequencerDialog*>(modal)) {
                sequencers.push_back(sequencer);
                sequencer->done(1);
            } else if ((settings = qobject_cast<GUI::SettingsDialog*>(modal))) {
                GUI::OptionsDialog& page = settings->Options();
                if (sequencers.size() < 2) { // the button works for a custom rhythm; outside this slot: it runs modally
                    QTimer::singleShot(0, &page, [&page] {
                        qobject_cast<QRadioButton*>(page.Control(GUI::OptionsDialog::CustomRhythmId))->click();
                        qobject_cast<QPushButton*>(page.Control(GUI::OptionsDialog::StepSequencerId))->click();
                    });
                } else {
                    settings->done(1);
                }
            }
        });
        closer.start(10);
        window.OnCommand(ApplicationWindow::OptionsCommand);
        QVERIFY(!window.Running() && !metronome_->inRun); // stopped before it opened
        QCOMPARE(sequencers.size(), std::size_t{2});
        QCOMPARE(sequencers[0], sequencers[1]);
        QCOMPARE(sequencers[0], settings->Options().StepSequencer());
        QCOMPARE(window.findChildren<GUI::StepSequencerDialog*>().size(), 1);
        QCOMPARE(sequencers[0]->Record().Bpm, 90);
    }

    void StartWaitsForSoundsStillBeingPrepared()
    {
        ApplicationWindow& window = Open();
        QVERIFY(metronome_->preparations > 0); // begun at start-up
        metronome_->soundsPrepared = false;
        // Pressed twice while the sounds are not ready: the second press takes the start back.
        window.OnCommand(ApplicationWindow::StartStopId);
        QCOMPARE(metronome_->starts, 0);
        QCOMPARE(window.cursor().shape(), Qt::BusyCursor);
        window.OnCommand(ApplicationWindow::StartStopId);
        metronome_->soundsPrepared = true;
        QTest::qWait(100);
        QCOMPARE(metronome_->starts, 0);
        QVERIFY(!window.Running());
        // Pressed once: it plays as soon as they are ready.
        metronome_->soundsPrepared = false;
        const int asked = metronome_->preparations;
        window.OnCommand(ApplicationWindow::StartStopId);
        QTest::qWait(50);
        QCOMPARE(metronome_->starts, 0);
        QTRY_VERIFY(metronome_->preparations > asked + 1); // asked again while waiting
        metronome_->soundsPrepared = true;
        QTRY_VERIFY_WITH_TIMEOUT(window.Running(), 10000);
        QCOMPARE(metronome_->starts, 1);
        QCOMPARE(window.cursor().shape(), Qt::ArrowCursor);
    }

    void ShortcutsReachTheirCommands()
    {
        ApplicationWindow& window = Open();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(&window, Qt::Key_S);
        QVERIFY(window.Running());
        QTest::keyClick(&window, Qt::Key_F5, Qt::ControlModifier);
        QVERIFY(window.Running());
        QTest::keyClick(&window, Qt::Key_Return);
        QVERIFY(!window.Running());
        QTest::keyClick(&window, Qt::Key_S, Qt::ShiftModifier); // "S" is not "s"
        QVERIFY(!window.Running());
        QTest::keyClick(&window, Qt::Key_Space);
        QVERIFY(window.Running());

        // The volume slider keeps its own keys; digits typed there still set the tempo.
        auto* volume = Control<QSlider>(ApplicationWindow::VolumeSliderId);
        QTest::keyClick(volume, Qt::Key_Left);
        QCOMPARE(configuration_->GetData().GlobalVolume, 99);
        QTest::keyClicks(volume, "96");
        QCOMPARE(Bpm(), 96);
        QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier); // in every language
        QVERIFY(!window.isVisible());
        QVERIFY(!window.Running());
    }

    void ErrorFromTheTimerThreadIsShown()
    {
        ApplicationWindow& window = Open();
        window.OnCommand(ApplicationWindow::StartStopId);
        MessageCatcher catcher;
        std::thread([&] {
            metronome_->EndRun();
            metronome_->Handler()->OnError(22);
        }).join();
        QTRY_COMPARE(catcher.shown.size(), std::size_t(1));
        QCOMPARE(catcher.shown[0].title, QStringLiteral("Metronome Unable To Play"));
        QCOMPARE(catcher.shown[0].text, GUI::FromTableText(System::CurrentLanguage()->GetMessage(22)));
        QCOMPARE(catcher.shown[0].icon, QMessageBox::Critical);
        QVERIFY(!window.Running());
        QCOMPARE(ButtonText(), QStringLiteral("Start"));
    }

    void StartErrorsAreExplained()
    {
        ApplicationWindow& window = Open();
        const auto language = System::CurrentLanguage();
        const struct {
            std::uint32_t code;
            const char* title;
            int text;
        } cases[] = {
            {5, "Unable To Initialise Sound Source", 7}, {6, "Invalid Custom Pattern", 8},
            {8, "Invalid Custom Pattern", 9},           {9, "Invalid Custom Pattern", 10},
            {10, "Invalid Custom Rhythm", 11},          {11, "Invalid Custom Rhythm", 12},
            {7, nullptr, 0},                            {2, nullptr, 0},
        };
        for (const auto& entry : cases) {
            metronome_->startResult = entry.code;
            MessageCatcher catcher;
            window.OnCommand(ApplicationWindow::StartStopId);
            QVERIFY(!window.Running());
            QCOMPARE(ButtonText(), QStringLiteral("Start"));
            if (!entry.title) {
                QTest::qWait(50);
                QVERIFY2(catcher.shown.empty(), qPrintable(QString::number(entry.code)));
                continue;
            }
            QCOMPARE(catcher.shown.size(), std::size_t(1));
            QCOMPARE(catcher.shown[0].title, QString::fromLatin1(entry.title));
            QCOMPARE(catcher.shown[0].text, GUI::FromTableText(language->GetMessage(entry.text)));
            QCOMPARE(catcher.shown[0].icon, QMessageBox::Warning);
        }
    }

    void StatusTextsForControlsMenusAndToolbar()
    {
        ApplicationWindow& window = Open();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        GUI::Statusbar& status = *window.StatusLine();
        QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), QPointF(2, 2), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(TempoSlider(), &move);
        QCOMPARE(status.Text(), QStringLiteral("Sets the tempo for the metronome"));
        QCOMPARE(QApplication::focusWidget(), TempoSlider());
        QApplication::sendEvent(window.centralWidget(), &move);
        QCOMPARE(status.Text(), QString());
        window.MenuAction(32772)->hover();
        QCOMPARE(status.Text(), QStringLiteral("Exits the application"));
        emit window.ToolBar()->HotItemChanged(0, 32776, false);
        QCOMPARE(status.Text(), QStringLiteral("Creates or loads metronome presets"));
        emit window.ToolBar()->HotItemChanged(32776, 0, true);
        QCOMPARE(status.Text(), QString());
    }

    void LanguageSwitchAndItsFailure()
    {
        TestSupport::WriteFile(*folder_ / "no.lng", TestLanguageFile);
        TestSupport::WriteFile(*folder_ / "bad.lng", "\xEF\xBB\xBF" "lng\n[Control]\n1001 = X\n");
        ApplicationWindow& window = Open();
        QCOMPARE(window.LanguageKind(), 1);

        QVERIFY2(window.SwitchLanguage(u"no"), log_->Content().c_str());
        QCOMPARE(window.LanguageKind(), 2);
        QCOMPARE(ButtonText(), QStringLiteral("Spill"));
        QCOMPARE(Control<QLabel>(ApplicationWindow::VolumeLabelId)->text(), QStringLiteral("Lydstyrke"));
        QCOMPARE(window.MenuAction(32772)->text(), QStringLiteral("&Avslutt\tCtrl+Q"));
        QCOMPARE(window.TempoDisplay()->Label(), QStringLiteral("Metronom"));
        QCOMPARE(ApplicationWindow::StatusText(1203), QStringLiteral("Stiller tempoet"));

        std::u16string name = u"bad";
        std::copy(name.begin(), name.end() + 1, configuration_->GetLanguage());
        QVERIFY(!window.SwitchLanguage(name));
        QCOMPARE(window.LanguageKind(), 1);
        QVERIFY(System::CurrentLanguage()->IsDefault());
        QCOMPARE(configuration_->GetLanguage()[0], u'\0');
        QCOMPARE(ButtonText(), QStringLiteral("Spill")); // the controls keep their texts
        const std::string log = log_->Content();
        QVERIFY(log.find("Invalid file signature") != std::string::npos);
        QVERIFY(log.find("Unable to initialise language. There may be an issue with the selected language file.")
                != std::string::npos);

        // Back to the built-in tables: every text in English again, Exit with its Ctrl+Q.
        QVERIFY(window.SwitchLanguage(u""));
        QCOMPARE(ButtonText(), QStringLiteral("Start"));
        QCOMPARE(window.MenuAction(32772)->text(), QStringLiteral("E&xit\tCtrl+Q"));
        // A name that would leave the language folder is never opened.
        TestSupport::WriteFile(*folder_ / "outside.lng", TestLanguageFile);
        QVERIFY(!window.SwitchLanguage(u"../" + std::u16string(u"outside")));
    }

    void EveryShippedLanguageFitsAndNamesItsControls_data()
    {
        QTest::addColumn<QString>("language");
        QTest::newRow("en") << QString();
        for (const QString& file : QDir(QStringLiteral(TOLVANE_LANG_SOURCE_DIR)).entryList({QStringLiteral("*.lng")}))
            QTest::newRow(qPrintable(file.chopped(4))) << file.chopped(4);
    }
    void EveryShippedLanguageFitsAndNamesItsControls()
    {
        QFETCH(QString, language);
        if (!language.isEmpty())
            QFile::copy(QStringLiteral(TOLVANE_LANG_SOURCE_DIR "/") + language + QStringLiteral(".lng"),
                        QString::fromStdString(*folder_ / language.toStdString() + ".lng"));
        ApplicationWindow& window = Open();
        QVERIFY(window.SwitchLanguage(language.toStdU16String()));
        if (language.isEmpty())
            QCOMPARE(window.frameGeometry().size(), QSize(400, 300));
        if (const QString folder = qEnvironmentVariable("TOLVANE_SCREENSHOTS"); !folder.isEmpty()) {
            window.StatusLine()->SetText(ApplicationWindow::StatusText(ApplicationWindow::TapId)); // the longest
            window.grab().save(folder + QStringLiteral("/main-%1.png").arg(language.isEmpty() ? "en" : language));
            for (QAction* menu : window.menuBar()->actions()) {
                menu->menu()->adjustSize();
                menu->menu()->grab().save(folder + QStringLiteral("/main-%1-menu%2.png")
                                                       .arg(language.isEmpty() ? "en" : language)
                                                       .arg(window.menuBar()->actions().indexOf(menu)));
            }
            window.StatusLine()->SetText({});
        }

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
        for (int position = 0; position < GUI::Toolbar::ButtonCount; ++position) {
            QToolButton* button = window.ToolBar()->Button(position);
            QVERIFY2(fits(button, button->text(), button->width() - 10), qPrintable(button->text()));
            QVERIFY(button->mapTo(&window, QPoint(button->width(), 0)).x() <= window.width());
        }
        for (const int id : {32771, 32772, 32773, 32774, 32775, 32776, 32777, 32778, 1201, 1202, 1001, 1203, 1204, 1003})
            QVERIFY2(fits(window.StatusLine(), ApplicationWindow::StatusText(id), window.StatusLine()->width() - 8),
                     qPrintable(ApplicationWindow::StatusText(id)));

        // Every control has a name and a description for assistive technology; the read-out
        // gives its tempo.
        std::vector<QWidget*> controls;
        for (const int id : {1201, 1202, -1, 1001, 1203, 1004, 1204, 1005, 1003})
            controls.push_back(window.Control(id));
        for (int position = 0; position < GUI::Toolbar::ButtonCount; ++position)
            controls.push_back(window.ToolBar()->Button(position));
        for (QWidget* control : controls) {
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
            QVERIFY(accessible);
            QVERIFY2(!accessible->text(QAccessible::Name).isEmpty(), control->metaObject()->className());
            QVERIFY2(!accessible->text(QAccessible::Description).isEmpty(), control->metaObject()->className());
        }
        QAccessibleInterface* readOut = QAccessible::queryAccessibleInterface(window.TempoDisplay());
        QCOMPARE(readOut->text(QAccessible::Value), QStringLiteral("120 ") + window.TempoDisplay()->Label());
        // (The change is announced through QAccessible::updateAccessibility, which the offscreen
        // platform, having no accessibility bridge, never passes on.)
        window.SetTempo(96, true);
        QCOMPARE(readOut->text(QAccessible::Value), QStringLiteral("96 ") + window.TempoDisplay()->Label());
    }

    void MissingLanguageFileAtStartUpFallsBackToEnglish()
    {
        TestSupport::WriteFile(*folder_ / "Tolvane.conf", "\xEF\xBB\xBFLanguage = xx\nBpm = 133\n");
        ApplicationWindow& window = Open();
        QCOMPARE(window.LanguageKind(), 1);
        QCOMPARE(configuration_->GetLanguage()[0], u'\0');
        QCOMPARE(ButtonText(), QStringLiteral("Start"));
        QVERIFY(log_->Content().find("Unable to initialise language.") != std::string::npos);

        TestSupport::WriteFile(*folder_ / "no.lng", TestLanguageFile);
        TestSupport::WriteFile(*folder_ / "Tolvane.conf", "\xEF\xBB\xBFLanguage = no\n");
        window_.reset();
        Open();
        QCOMPARE(window_->LanguageKind(), 2);
        QCOMPARE(ButtonText(), QStringLiteral("Spill"));
    }

    void HelpWithoutItsDocument()
    {
        ApplicationWindow& window = Open();
        MessageCatcher catcher;
        window.OnCommand(ApplicationWindow::HelpCommand);
        QCOMPARE(catcher.shown.size(), std::size_t(1));
        QCOMPARE(catcher.shown[0].title, QStringLiteral("Help File Not Found"));
        QVERIFY(catcher.shown[0].text.contains(QStringLiteral("Tolvane.pdf")));
        QCOMPARE(catcher.shown[0].icon, QMessageBox::Information);
    }

    void ClosingWhilePlayingStopsAndSaves()
    {
        ApplicationWindow& window = Open();
        window.SetTempo(97, true);
        window.OnCommand(ApplicationWindow::StartStopId);
        QVERIFY(window.Running());
        window.OnCommand(ApplicationWindow::ExitCommand);
        QVERIFY(!window.isVisible());
        QVERIFY(!metronome_->inRun);
        const std::string saved = TestSupport::ReadFile(*folder_ / "Tolvane.conf");
        QVERIFY(saved.find("Bpm = 97") != std::string::npos);
    }

    void PlatformAndLanguageNameChecks()
    {
        for (const char* release : {"6.1.0-13-amd64", "3.2.0", "10.0"})
            QVERIFY2(GUI::KernelReleaseSupported(release), release);
        for (const char* release : {"3.1.99", "2.6.32-754.el6", "unknown", ""})
            QVERIFY2(!GUI::KernelReleaseSupported(release), release);
        QVERIFY(GUI::SafeLanguageName(u"de"));
        for (const char16_t* name : {u"", u"..", u"a/b", u"a\\b"})
            QVERIFY(!GUI::SafeLanguageName(name));
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

    void RequestedTempoRange()
    {
        ApplicationWindow& window = Open();
        QVERIFY(!window.SetTempoRequest(3));
        QVERIFY(!window.SetTempoRequest(1001));
        QCOMPARE(Bpm(), 120);
        QVERIFY(window.SetTempoRequest(4));
        QCOMPARE(Bpm(), 4);
        QCOMPARE(TempoSlider()->value(), TempoSlider()->minimum());
        QVERIFY(window.SetTempoRequest(1000));
        QCOMPARE(window.TempoDisplay()->Tempo(), 1000);
    }
};

QTEST_MAIN(ApplicationWindowTest)
#include "ApplicationWindowTest.moc"
