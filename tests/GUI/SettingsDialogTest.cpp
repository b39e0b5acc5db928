// The settings dialog on the real settings store: the Options page's edits and their limits,
// applying with OK and its refusals; every page in every shipped language (fitting, no Alt+letter twice), what the Sound Settings lists show, and the
// Audio Files page's check of the files when OK is pressed; the Practice page's values and its swing.
#include "GUI/Dialogs/AudioFilesDialog.h"
#include "GUI/Dialogs/OptionsDialog.h"
#include "GUI/Dialogs/PracticeDialog.h"
#include "GUI/Dialogs/SoundSetupDialog.h"
#include "GUI/StepSequencerDialog.h"
#include "WaveFiles/WaveFixtures.h"
#include "WindowTestSupport.h"

#include <QtTest>

#include <QAccessible>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

using Configuration::BeatKind;
using GUI::OptionsDialog;
using GUI::SettingsDialog;
using Source = Configuration::SoundSource;

class SettingsDialogTest : public QObject, private WindowTest::SettingsRig {
    Q_OBJECT

private:
    template <typename T>
    static T* Control(SettingsDialog& dialog, int id) { return qobject_cast<T*>(dialog.Options().Control(id)); }
    static QLineEdit* Edit(SettingsDialog& dialog, int id) { return Control<QLineEdit>(dialog, id); }
    static void Type(QLineEdit* edit, const QString& text)
    {
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }
    static GUI::AudioFilesDialog& Files(SettingsDialog& dialog)
    {
        return static_cast<GUI::AudioFilesDialog&>(*dialog.PageAt(SettingsDialog::AudioFilesPage));
    }
    void SetFile(int voice, const std::u16string& path) { Current().File[voice] = path; }
    std::u16string Wave(const std::string& name, std::size_t bytes)
    {
        TestSupport::WriteFile(*folder_ / name, WaveFixtures::WaveOfSize({}, bytes));
        return WaveFixtures::Wide(*folder_ / name);
    }

private slots:
    void init() { Begin(); }
    void cleanup() { End(); }

    void EditsKeepTheirLimits()
    {
        Current().From = 0.5F;
        Current().Duration = 5.0F;
        Current().SpeedTrainer = Configuration::TrainerMode::On;
        SettingsDialog& dialog = OpenSettings(0);
        QCOMPARE(Edit(dialog, 1211)->text(), QStringLiteral("50.00%"));
        QCOMPARE(Edit(dialog, 1217)->text(), QStringLiteral("5.00"));
        QCOMPARE(Control<QComboBox>(dialog, OptionsDialog::Subdivision1Id)->currentText(), QStringLiteral("0"));

        Control<QRadioButton>(dialog, OptionsDialog::CustomPatternId)->click();
        const struct {
            int id;
            const char* typed;
            const char* shown;
        } cases[] = {
            {1211, "150", "100.00%"}, {1221, "1500", "1000.00"}, {1213, "7a%", "7%"}, {1210, "3+x3", "3+3"},
        };
        for (const auto& entry : cases) {
            Type(Edit(dialog, entry.id), QString::fromLatin1(entry.typed));
            QCOMPARE(Edit(dialog, entry.id)->text(), QString::fromLatin1(entry.shown));
        }
    }

    void OkAppliesOrRefuses()
    {
        struct Case {
            const char* name;
            std::function<void(SettingsDialog&)> change;
            bool closes;
            std::function<bool(const Configuration::ConfigurationData&)> check;
            const char* message = nullptr;
        };
        const auto pattern = [](int beatType, const char* text) {
            return [beatType, text](SettingsDialog& dialog) {
                Control<QRadioButton>(dialog, OptionsDialog::SimpleBeatId + beatType)->click();
                Edit(dialog, 1210)->setText(QString::fromLatin1(text));
            };
        };
        const std::u16string p332 = u"3+3+2";
        const Case cases[] = {
            {"From 150 gives 1.0", [](SettingsDialog& d) {
                 Control<QCheckBox>(d, OptionsDialog::TrainerId)->click();
                 Type(Edit(d, 1211), QStringLiteral("150"));
             }, true,
             [](const auto& s) { return s.From == 1.0F && s.SpeedTrainer == Configuration::TrainerMode::On && s.Name[0] == u'@'; }},
            // 66.67 % on the page; the engine, which truncates, starts at 80 exactly.
            {"To typed as 80 bpm of 120", [](SettingsDialog& d) {
                 Control<QCheckBox>(d, OptionsDialog::TrainerId)->click();
                 Type(Edit(d, OptionsDialog::FromBpmEditId + 1), QStringLiteral("80"));
             },
             true, [](const auto& s) { return s.Bpm == 120 && static_cast<int>(120.0F * s.To) == 80; }},
            {"a typed 75 beats becomes 60", [](SettingsDialog& d) {
                 Control<QRadioButton>(d, OptionsDialog::BeatsPerBarId)->click();
                 Edit(d, OptionsDialog::BarsEditId)->setText(QStringLiteral("75"));
             }, true, [](const auto& s) { return s.BeatType == BeatKind::BeatsPerBar && s.BeatsPerBar == 60; }},
            {"custom pattern checked", pattern(2, "3+3+2"), true,
             [p332](const auto& s) { return s.BeatType == BeatKind::CustomPattern && s.CustomPattern == p332; }},
            {"broken pattern refused", pattern(2, "3++2"), false, [](const auto& s) { return s.BeatType == BeatKind::Simple; },
             "Invalid Custom Pattern"},
            {"broken pattern stored unchecked", pattern(0, "3++2"), true,
             [](const auto& s) { return s.BeatType == BeatKind::Simple && std::u16string(s.CustomPattern) == u"3++2"; }},
            {"audio files without files", [](SettingsDialog& d) { Control<QRadioButton>(d, OptionsDialog::AudioFilesId)->click(); }, false,
             [](const auto& s) { return s.SoundEngineType == Configuration::SoundSource::Midi; }, "No Audio Files Selected"},
        };
        for (const Case& entry : cases) {
            init();
            SettingsDialog& dialog = OpenSettings(3);
            dialog.findChild<QTabWidget*>()->setCurrentIndex(0);
            entry.change(dialog);
            dialog.findChild<QTabWidget*>()->setCurrentIndex(3);
            WindowTest::MessageCatcher messages;
            dialog.Accept();
            QVERIFY2(dialog.isVisible() != entry.closes, entry.name);
            QVERIFY2(entry.check(Current()), entry.name);
            if (entry.message) {
                QTRY_COMPARE(messages.shown.size(), std::size_t{1});
                QVERIFY2(messages.shown[0].title.startsWith(QString::fromLatin1(entry.message)),
                         qPrintable(messages.shown[0].title));
                QCOMPARE(dialog.CurrentPage(), 0);
            }
            if (std::string(entry.name) == "broken pattern refused")
                QCOMPARE(Edit(dialog, 1210)->selectedText(), QStringLiteral("3++2"));
            cleanup();
        }
    }

    void EveryShippedLanguageFits_data() { WindowTest::ShippedLanguageRows(); }
    void EveryShippedLanguageFits()
    {
        QFETCH(QString, language);
        Current().SpeedTrainer = Configuration::TrainerMode::On;
        for (int voice = 0; voice < Configuration::VoiceCount; ++voice) {
            Current().Instrument[voice] = 3 * voice;
            Current().Volume[voice] = 127 - 9 * voice;
            Current().Size[voice] = voice % 8;
            Current().Colour[voice] = voice;
        }
        Current().File[0] = std::u16string(u"/home/me/Sounds/click-high.wav");
        Current().File[1] = std::u16string(u"/home/me/Sounds/click-low.wav");
        Current().Name = std::u16string(u"Rock");
        Current().Description = std::u16string(u"Straight eighths, accent on two and four");
        configuration_->AddPreset(Current());
        SettingsDialog& dialog = OpenSettings(0);
        WindowTest::UseShippedLanguage(language);
        dialog.Initialise(0);
        // The dialog fits a 1280 x 800 screen; each text fits its control, each control lies
        // inside its page and the dialog and has its help as status tip, and each control the
        // keyboard reaches has a name.
        QVERIFY2(dialog.width() <= 1280 && dialog.height() <= 800,
                 qPrintable(QStringLiteral("%1 x %2").arg(dialog.width()).arg(dialog.height())));
        const char* pageNames[] = {"options", "sounds", "audio-files", "presets", "practice"};
        for (int index = 0; index < 5; ++index) {
            GUI::TabDialog& page = *dialog.PageAt(index);
            dialog.findChild<QTabWidget*>()->setCurrentIndex(index);
            WindowTest::Screenshot(dialog, QStringLiteral("settings-") + QLatin1String(pageNames[index]));
            QCOMPARE(WindowTest::Unfitting(page), QString());
            // No two of its controls (nor OK and Close) share an Alt+letter.
            QList<QWidget*> texted = page.findChildren<QWidget*>();
            texted << dialog.Control(SettingsDialog::OkId) << dialog.Control(SettingsDialog::CloseId);
            QStringList letters;
            for (QWidget* control : texted) {
                const auto* button = qobject_cast<QAbstractButton*>(control);
                const auto* label = qobject_cast<QLabel*>(control);
                const QString text = button != nullptr ? button->text() : label != nullptr ? label->text() : QString();
                const QString letter = QKeySequence::mnemonic(text).toString();
                QVERIFY2(letter.isEmpty() || !letters.contains(letter), qPrintable(text));
                letters << letter;
            }
            QVERIFY(page.mapTo(&dialog, page.rect().bottomRight()).x() < dialog.width());
            for (QWidget* control : page.Controls()) {
                const int id = control->property("controlId").toInt();
                QVERIFY2(control->statusTip() == page.Help().Text(id), qPrintable(QString::number(id)));
                QVERIFY2(page.Help().Index(id) < 0 || !control->statusTip().isEmpty(), qPrintable(QString::number(id)));
                if (control->focusPolicy() != Qt::NoFocus)
                    QVERIFY2(!QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name).isEmpty(),
                             qPrintable(QString::number(id)));
            }
        }
        for (const int id : {SettingsDialog::OkId, SettingsDialog::CloseId})
            QVERIFY(dialog.Control(id)->sizeHint().width() <= dialog.Control(id)->width());
    }

    // The Practice page applies what it shows; a stored value it does not offer becomes the nearest it does.
    void PracticeValuesRoundTripClamped()
    {
        using Values = std::array<float, 10>; // CountIn, sound, mode, play, mute, share, rise, seed, downbeat, swing
        const std::pair<Values, Values> cases[] = {
            {{5, 12, 1, 3, 2, 45, 8, 12345, 1, 66.7F}, {5, 12, 1, 3, 2, 45, 8, 12345, 1, 66.7F}},
            {{4, 43, 2, 16, 16, 95, 0, 0, 0, 50}, {4, 43, 2, 16, 16, 95, 0, 0, 0, 50}},
            {{3, 99, 7, 0, 40, 33, 99, -5, 2, 90}, {4, 46, 2, 1, 16, 35, 64, 0, 1, 75}},
        };
        for (const auto& [stored, applied] : cases) {
            init();
            Configuration::ConfigurationData& s = Current();
            std::int32_t* fields[] = {&s.CountIn, &s.CountInInstrument, &s.GapMode, &s.GapPlay, &s.GapMute,
                                      &s.GapPercent, &s.GapRamp, &s.GapSeed, &s.GapDownbeat};
            for (std::size_t i = 0; i < 9; ++i)
                *fields[i] = static_cast<std::int32_t>(stored[i]);
            s.Swing = stored[9];
            OpenSettings(SettingsDialog::PracticePage).Accept();
            for (std::size_t i = 0; i < 9; ++i)
                QCOMPARE(*fields[i], static_cast<std::int32_t>(applied[i]));
            QCOMPARE(s.Swing, applied[9]);
            cleanup();
        }
        init();
        Current().GapMode = Configuration::GapRandom;
        SettingsDialog& dialog = OpenSettings(SettingsDialog::PracticePage);
        Type(qobject_cast<QLineEdit*>(dialog.Practice().Control(GUI::PracticeDialog::GapSeedId)), QStringLiteral("99999999999"));
        dialog.Accept();
        QCOMPARE(Current().GapSeed, 2147483647);
    }

    // Swing is offered only on a grid of 2 or 4 steps to a beat, as the Options page shows it.
    void SwingOnlyOnGridsThatSwing()
    {
        const struct {
            BeatKind type;
            int subdivision, secondary, compound, beats, bpm, rhythmSteps, rhythmCompound;
            bool swings;
        } cases[] = {
            {BeatKind::Simple, 2, 0, 0, 4, 120, 0, 0, true},       {BeatKind::Simple, 3, 0, 0, 4, 120, 0, 0, false},
            {BeatKind::Simple, 4, 3, 0, 4, 120, 0, 0, false},      {BeatKind::Simple, 2, 0, 0, 4, 320, 0, 0, false},
            {BeatKind::BeatsPerBar, 2, 0, 1, 6, 120, 0, 0, false}, {BeatKind::BeatsPerBar, 4, 0, 1, 4, 120, 0, 0, true},
            {BeatKind::CustomRhythm, 0, 0, 0, 4, 120, 4, 0, true}, {BeatKind::CustomRhythm, 0, 0, 0, 4, 120, 2, 1, false},
        };
        for (const auto& entry : cases) {
            init();
            Configuration::ConfigurationData& s = Current();
            std::tie(s.BeatType, s.Subdivision1, s.Subdivision2, s.CompoundTime, s.BeatsPerBar, s.Bpm) =
                std::tuple(entry.type, entry.subdivision, entry.secondary, entry.compound, entry.beats, entry.bpm);
            std::tie(s.CrSubdivision, s.CrCompoundTime) = std::tuple(entry.rhythmSteps, entry.rhythmCompound);
            SettingsDialog& dialog = OpenSettings(SettingsDialog::PracticePage);
            QCOMPARE(dialog.Practice().Control(GUI::PracticeDialog::SwingId)->isEnabled(), entry.swings);
            cleanup();
        }
        // The Options page's choice counts before it is applied.
        init();
        SettingsDialog& dialog = OpenSettings(0);
        Control<QComboBox>(dialog, OptionsDialog::Subdivision1Id)->setCurrentIndex(3); // 4 steps
        dialog.findChild<QTabWidget*>()->setCurrentIndex(SettingsDialog::PracticePage);
        QVERIFY(dialog.Practice().Control(GUI::PracticeDialog::SwingId)->isEnabled());
    }

    // The page's Step Sequencer button works for a custom rhythm and opens one window, which
    // takes the page's values.
    void StepSequencerIsThePagesOneWindowWithItsValues()
    {
        Current().Bpm = 90;
        SettingsDialog& dialog = OpenSettings(0);
        std::vector<GUI::StepSequencerDialog*> shown;
        QTimer closer;
        connect(&closer, &QTimer::timeout, [&] {
            if (auto* sequencer = qobject_cast<GUI::StepSequencerDialog*>(QApplication::activeModalWidget())) {
                shown.push_back(sequencer);
                sequencer->done(1);
            }
        });
        closer.start(10);
        Control<QComboBox>(dialog, 1208)->setCurrentIndex(3);
        Control<QRadioButton>(dialog, OptionsDialog::CustomRhythmId)->click();
        Control<QPushButton>(dialog, OptionsDialog::StepSequencerId)->click();
        Control<QPushButton>(dialog, OptionsDialog::StepSequencerId)->click();
        QCOMPARE(shown.size(), std::size_t{2});
        QVERIFY(shown[0] == shown[1] && shown[0] == dialog.Options().StepSequencer());
        QCOMPARE(window_->findChildren<GUI::StepSequencerDialog*>().size(), 1);
        const Configuration::ConfigurationData& record = shown[0]->Record();
        QCOMPARE(record.Subdivision1, 4);
        QCOMPARE(record.Bpm, 90);
    }
    // Each list shows its source's names and the voice's choice for that source; what the user
    // chooses survives switching the source there and back, and OK keeps both choices.
    void SoundListsShowTheSourcesNamesAndChoices()
    {
        SetFile(0, u"/home/me/kick.wav");
        SetFile(2, u"C:\\Sounds\\rim.shot.wav");
        const int instruments[] = {11, 12, 46}; // 12 and 46 beyond the twelve files
        const int others[] = {5, 2, 40};
        for (int voice = 0; voice < 3; ++voice) {
            Current().Instrument[voice] = instruments[voice];
            Current().OtherInstrument[voice] = others[voice];
        }
        const QStringList files = {"kick.wav", "", "rim.shot.wav", "", "", "", "", "", "", "", "", ""};
        const struct {
            const char* name;
            Source stored;
            int switchTo; // -1: as stored; else the Options page's sound source radio button
            int selected[3];
        } cases[] = {
            {"audio files", Source::AudioFiles, -1, {11, 0, 0}},
            {"switched to audio files", Source::Midi, 1028, {5, 2, 0}},
            {"switched back to MIDI", Source::AudioFiles, 1027, {5, 2, 40}},
        };
        for (const auto& entry : cases) {
            Current().SoundEngineType = entry.stored;
            SettingsDialog& dialog = OpenSettings(0);
            if (entry.switchTo > 0)
                qobject_cast<QAbstractButton*>(dialog.Options().Control(entry.switchTo))->click();
            const bool audio = (entry.switchTo > 0 ? entry.switchTo == 1028 : entry.stored == Source::AudioFiles);
            for (int voice = 0; voice < Configuration::VoiceCount; ++voice) {
                QComboBox* list = dialog.Sounds().SoundList(voice);
                QCOMPARE(list->count(), audio ? 12 : 47);
                if (audio) {
                    for (int item = 0; item < 12; ++item)
                        QVERIFY2(list->itemText(item) == files[item], entry.name);
                }
                if (voice < 3)
                    QVERIFY2(list->currentIndex() == entry.selected[voice], entry.name);
            }
            QVERIFY2(dialog.Sounds().ShownSource() == (audio ? Source::AudioFiles : Source::Midi), entry.name);
            dialog.reject();
        }

        Current().SoundEngineType = Source::Midi;
        SettingsDialog& dialog = OpenSettings(0);
        const auto choose = [&](int index) {
            QComboBox* list = dialog.Sounds().SoundList(0);
            list->setCurrentIndex(index);
            emit list->activated(index);
        };
        const auto source = [&](int radio) { qobject_cast<QAbstractButton*>(dialog.Options().Control(radio))->click(); };
        choose(20);
        source(1028);
        choose(2);
        source(1027);
        QCOMPARE(dialog.Sounds().SoundList(0)->currentIndex(), 20);
        source(1028);
        QCOMPARE(dialog.Sounds().SoundList(0)->currentIndex(), 2);
        source(1027);
        Configuration::ConfigurationData record;
        QVERIFY(dialog.Options().Apply(record) && dialog.Sounds().Apply(record));
        QCOMPARE(record.SoundEngineType, Source::Midi);
        QCOMPARE(record.Instrument[0], 20);
        QCOMPARE(record.OtherInstrument[0], 2);
    }

    void ChosenOrTypedFilesReachTheSoundLists()
    {
        const std::u16string first = Wave("first.wav", 1000);
        Wave("second.wav", 1000);
        SetFile(1, first);
        Current().SoundEngineType = Source::AudioFiles;
        SettingsDialog& dialog = OpenSettings(SettingsDialog::AudioFilesPage);
        // "..." opens in the folder of the path there; the chosen file goes into the edit.
        QString title, folder;
        QTimer::singleShot(0, [&] {
            auto* files = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            title = files->windowTitle();
            folder = files->directory().absolutePath() + u'/';
            files->selectFile(QString::fromStdString(*folder_ / "second.wav"));
            static_cast<QDialog*>(files)->accept();
        });
        Files(dialog).Browse(1);
        QCOMPARE(title, QStringLiteral("Open Audio File"));
        QCOMPARE(folder, QString::fromStdString(folder_->Path()));
        QCOMPARE(dialog.Sounds().SoundList(5)->itemText(1), QStringLiteral("second.wav"));
        // A typed path reaches the lists when its edit loses the focus.
        dialog.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QLineEdit* third = Files(dialog).PathEdit(2);
        third->setFocus();
        third->setText(QStringLiteral("C:\\Old\\third.wav"));
        Files(dialog).PathEdit(0)->setFocus();
        QCOMPARE(dialog.Sounds().SoundList(0)->itemText(2), QStringLiteral("third.wav"));
    }

    void OkChecksTheFiles()
    {
        constexpr std::size_t Large = 1048576 + 100;
        const struct {
            const char* name;
            int files[4];    // per voice: 0 none, 1 usable, 2 large, 3 missing
            bool clearEdits; // every edit emptied before OK
            bool closes;
            QStringList titles;
            int focused = -1; // the voice whose edit is selected and focused
        } cases[] = {
            {"cleared without a check", {3, 3, 0, 0}, true, true, {}},
            {"two large files, one message", {2, 1, 2, 0}, false, true, {"Large Audio File"}},
            {"a missing file refuses", {1, 2, 3, 2}, false, false, {"Large Audio File", "Audio File Not Found"}, 2},
        };
        for (const auto& entry : cases) {
            init();
            for (int voice = 0; voice < 4; ++voice) {
                const std::string name = "voice" + std::to_string(voice) + ".wav";
                const int kind = entry.files[voice];
                SetFile(voice, kind == 0   ? u""
                               : kind == 3 ? WaveFixtures::Wide(*folder_ / name)
                                           : Wave(name, kind == 2 ? Large : 1000));
            }
            SettingsDialog& dialog = OpenSettings(0);
            if (entry.clearEdits) {
                for (int voice = 0; voice < Configuration::VoiceCount; ++voice)
                    Files(dialog).PathEdit(voice)->clear();
            }
            WindowTest::MessageCatcher messages;
            dialog.Accept();
            QVERIFY2(dialog.isVisible() != entry.closes, entry.name);
            QCOMPARE(WindowTest::Titles(messages), entry.titles);
            if (entry.clearEdits)
                QVERIFY2(Current().File[0][0] == 0 && Current().File[1][0] == 0, entry.name);
            if (entry.focused >= 0) {
                QLineEdit* edit = Files(dialog).PathEdit(entry.focused);
                QCOMPARE(dialog.CurrentPage(), int(SettingsDialog::AudioFilesPage));
                QCOMPARE(edit->selectedText(), edit->text());
                QCOMPARE(dialog.focusWidget(), edit);
            }
        }
    }
};

QTEST_MAIN(SettingsDialogTest)
#include "SettingsDialogTest.moc"
