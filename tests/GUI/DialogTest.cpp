// The base every dialog builds on: dialog units, the language's texts and their way back to
// English, control help in the help line, and accessible names, shown on the smallest dialog;
// the language chooser over a folder of language files, and the About window's licence view.
#include "Diary/Keeper.h"
#include "GUI/Dialogs/AboutDialog.h"
#include "GUI/Dialogs/DiaryDialog.h"
#include "GUI/Dialogs/Dialog.h"
#include "GUI/Dialogs/ExportDialog.h"
#include "GUI/Dialogs/LanguageDialog.h"
#include "GUI/Dialogs/TimingSummary.h"
#include "Core/Timing/TakeGrid.h"
#include "WindowTestSupport.h"

#include <QtTest>

#include <QAccessible>
#include <QComboBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTabWidget>

using GUI::DialogUnits;
using GUI::LanguageDialog;

namespace {

// A dialog as small as a dialog can be: a labelled edit, a button and a help line.
class ExampleDialog final : public GUI::Dialog {
public:
    static constexpr GUI::HelpEntry HelpTexts[] = {{1206, 5}, {1070, 1}};

    ExampleDialog()
        : Dialog(nullptr, 102, QStringLiteral("Settings"), GUI::HelpTable(HelpTexts, GUI::HelpSource::Information))
    {
        auto* grid = new QGridLayout(this);
        auto* label = Tag(new QLabel(QStringLiteral("&Beats Per Bar"), this), 1031);
        label->setBuddy(Tag(new QLineEdit(this), 1206));
        grid->addWidget(label, 0, 0);
        grid->addWidget(label->buddy(), 0, 1);
        grid->addWidget(Tag(new QPushButton(QStringLiteral("OK"), this), 1070), 1, 0);
        auto* help = Tag(new QLabel(QStringLiteral("Move the mouse here"), this), 1073);
        grid->addWidget(help, 2, 0, 1, 2);
        SetHelpLine(help);
    }
    int prepared = -1;

protected:
    void Prepare(int argument) override { prepared = argument; }
};

std::string LanguageFile(const std::string& english, const std::string& native)
{
    return WindowTest::LanguageFile("[Language]\nLangEnglish = " + english + "\nLanguage = " + native
                                    + "\n[Text]\n1 = Tolvane-" + native + "\n");
}

} // namespace

class DialogTest : public QObject, private WindowTest::SettingsRig {
    Q_OBJECT

private:
    GUI::DialogContext Context(const std::string& languageFolder)
    {
        GUI::ApplicationWindowOptions options;
        options.singleInstance = false;
        options.languageFolder = languageFolder;
        window_ = std::make_unique<GUI::ApplicationWindow>(*metronome_, *configuration_, options);
        return {*configuration_, *metronome_, *window_};
    }

private slots:
    void init() { Begin(); }
    void cleanup() { End(); }

    void DialogUnitsRoundToTheNearestPixel()
    {
        const struct {
            DialogUnits units;
            int x, y;
            QPoint pixels;
        } cases[] = {
            {DialogUnits(6, 13), 1, 1, {2, 2}},        {DialogUnits(6, 13), 424, 289, {636, 470}},
            {DialogUnits(6, 13), -3, -4, {-5, -7}},    {DialogUnits(7, 15), 3, 3, {5, 6}},
        };
        for (const auto& entry : cases)
            QCOMPARE(QPoint(entry.units.X(entry.x), entry.units.Y(entry.y)), entry.pixels);
    }

    void TextsComeFromTheLanguageAndGoBackToEnglish()
    {
        TestSupport::WriteFile(*folder_ / "de.lng",
                               WindowTest::LanguageFile("[Language]\nLangEnglish = German\nLanguage = Deutsch\n"
                                                        "[Dialog]\n2 = Einstellungen\n"
                                                        "[Control]\n31 = &Schl\xC3\xA4ge pro Takt\n70 = Anwenden\n"));
        ExampleDialog dialog;
        dialog.Initialise(3);
        QCOMPARE(dialog.prepared, 3);

        System::SetCurrentLanguage(System::LoadLanguageFile(*folder_ / "de.lng"));
        dialog.Initialise(0);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Einstellungen"));
        QCOMPARE(qobject_cast<QPushButton*>(dialog.Control(1070))->text(), QStringLiteral("Anwenden"));
        QCOMPARE(QAccessible::queryAccessibleInterface(dialog.Control(1206))->text(QAccessible::Name),
                 QStringLiteral("Schläge pro Takt"));

        System::SetCurrentLanguage(nullptr);
        dialog.Initialise(0);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Settings"));
        QCOMPARE(qobject_cast<QPushButton*>(dialog.Control(1070))->text(), QStringLiteral("OK"));
        QCOMPARE(qobject_cast<QLabel*>(dialog.Control(1031))->text(), QStringLiteral("&Beats Per Bar"));
    }

    void HoverShowsHelpAndTheSurfaceClearsIt()
    {
        ExampleDialog dialog;
        dialog.Initialise(0);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* help = qobject_cast<QLabel*>(dialog.Control(1073));
        const auto move = [](QWidget* widget) { QTest::mouseMove(widget, QPoint(3, 3)); };
        move(dialog.Control(1206));
        QTRY_COMPARE(help->text(), QStringLiteral("Sets the number of beats per bar"));
        move(&dialog);
        QTRY_COMPARE(help->text(), QString());
        move(dialog.Control(1070));
        QTRY_COMPARE(help->text(), QStringLiteral("Saves all the current settings and closes this window"));
        QCOMPARE(QAccessible::queryAccessibleInterface(dialog.Control(1206))->text(QAccessible::Description),
                 QStringLiteral("Sets the number of beats per bar"));
    }
    void ChooserListsSelectsAndSwitches()
    {
        const QStringList shipped{"English (English)", "French (Français)", "German (Deutsch)"};
        const struct {
            const char* folder; // "-": no language folder
            const char16_t* inUse;
            QStringList listed;
            const char* selected;
            const char* chosen; // null: Cancel
            const char16_t* stored;
            int languageKind; // 0: no switch happened
        } cases[] = {
            {"-", u"", {"English (English)"}, "English (English)", "English (English)", u"", 0},
            {"", u"", shipped, "English (English)", "German (Deutsch)", u"de", 2},
            {"", u"de", shipped, "German (Deutsch)", "German (Deutsch)", u"de", 0},
            {"", u"de", shipped, "German (Deutsch)", "English (English)", u"", 1},
            {"", u"de", shipped, "German (Deutsch)", nullptr, u"de", 0},
            // A file en.lng is a language of its own, not the built-in English.
            {"en", u"fr", QStringList{"English (English)", "English (Own file)"} + shipped.mid(1), "French (Français)",
             "English (Own file)", u"en", 2},
        };
        for (const auto& entry : cases) {
            init();
            TestSupport::WriteFile(*folder_ / "de.lng", LanguageFile("German", "Deutsch"));
            TestSupport::WriteFile(*folder_ / "fr.lng", LanguageFile("French", "Français"));
            TestSupport::WriteFile(*folder_ / "deut.lng", LanguageFile("Deutsch", "Lang")); // name too long
            TestSupport::WriteFile(*folder_ / "x.y.lng", LanguageFile("Dotted", "Stem"));   // loads as "x"
            TestSupport::WriteFile(*folder_ / "bad.lng", "\xEF\xBB\xBF@lnx\n[Language]\n");
            TestSupport::WriteFile(*folder_ / "body.lng", LanguageFile("Broken", "Body") + "[Text]\nno value\n");
            if (std::string(entry.folder) == "en")
                TestSupport::WriteFile(*folder_ / "en.lng", LanguageFile("English", "Own file"));
            std::u16string(entry.inUse).copy(configuration_->GetLanguage(), 4);
            auto& dialog
                = *new LanguageDialog(Context(std::string(entry.folder) == "-" ? *folder_ / "none/" : folder_->Path()));
            dialog.Initialise(0); // the window owns the dialog

            QStringList listed;
            for (int i = 0; i < dialog.List()->count(); ++i)
                listed << dialog.List()->itemText(i);
            QCOMPARE(listed, entry.listed);
            QCOMPARE(dialog.List()->currentText(), QString::fromUtf8(entry.selected));

            if (entry.chosen)
                dialog.List()->setCurrentText(QString::fromUtf8(entry.chosen));
            qobject_cast<QPushButton*>(dialog.Control(entry.chosen ? LanguageDialog::OkId : LanguageDialog::CancelId))
                ->click();
            QCOMPARE(QString::fromStdU16String(configuration_->GetLanguage()), QString::fromStdU16String(entry.stored));
            QCOMPARE(window_->LanguageKind(), entry.languageKind);
            if (entry.languageKind == 2)
                QCOMPARE(QString::fromStdU16String(System::CurrentLanguage()->GetText(0)),
                         "Tolvane-" + QString::fromUtf8(entry.chosen).section(QLatin1Char('('), 1).chopped(1));
            cleanup();
        }
    }

    void LanguageAndAboutFitEveryShippedLanguage_data() { WindowTest::ShippedLanguageRows(); }
    void LanguageAndAboutFitEveryShippedLanguage()
    {
        QFETCH(QString, language);
        const GUI::DialogContext context = Context(folder_->Path());
        WindowTest::UseShippedLanguage(language);
        const std::pair<GUI::Dialog*, const char*> dialogs[] = {{new LanguageDialog(context), "language"},
                                                                 {new GUI::AboutDialog(context), "about"}};
        for (const auto& [dialog, name] : dialogs) {
            dialog->Initialise(0); // the window owns the dialog
            dialog->show();
            QVERIFY(QTest::qWaitForWindowExposed(dialog));
            QCOMPARE(WindowTest::Unfit(*dialog, QLatin1String(name)), QString());
            dialog->close();
        }
    }

    // Timing feedback's summary of a take with muted bars in each language: nothing cut, the
    // muted bars' figures apart, every hit in the CSV.
    void TimingSummaryFitsAndSavesEveryHit_data() { WindowTest::ShippedLanguageRows(); }
    void TimingSummaryFitsAndSavesEveryHit()
    {
        QFETCH(QString, language);
        WindowTest::UseShippedLanguage(language);
        Configuration::ConfigurationData settings;
        settings.BeatType = Configuration::BeatKind::BeatsPerBar;
        settings.BeatsPerBar = 4;
        settings.GapMode = 1, settings.GapPlay = 1, settings.GapMute = 1;
        const Core::Timing::TakeGrid grid = Core::Timing::PlanGrid(settings, 48000, 30 * 48000.0);
        std::vector<double> hits;
        for (const Core::Timing::GridPosition& p : grid.positions)
            hits.push_back(p.frame + (p.muted ? -960.0 : 480.0) + (p.beat == 3 ? 200.0 : 0.0));
        GUI::TimingSummaryDialog dialog(nullptr);
        dialog.ShowTake(grid, Core::Timing::ScoreTake(grid, hits));
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(WindowTest::Unfit(dialog, QStringLiteral("timing-summary")), QString());
        QCOMPARE(dialog.FiguresText().count(u'\n'), 3); // counts, all, clicked bars, muted bars
        const QString csv = QString::fromStdString(*folder_ / "hits.csv");
        QVERIFY(dialog.SaveCsv(csv, true) && dialog.SavePng(QString::fromStdString(*folder_ / "charts.png"), true));
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll().count('\n'), static_cast<qsizetype>(hits.size() + 1));
        QVERIFY(!dialog.SaveCsv(QString::fromStdString(*folder_ / "missing/hits.csv"), true));
    }

    // The export window in each language: nothing cut, every control named and explained; a
    // preset's MIDI file written in the background.
    void ExportWindowFitsAndWritesInTheBackground_data() { WindowTest::ShippedLanguageRows(); }
    void ExportWindowFitsAndWritesInTheBackground()
    {
        QFETCH(QString, language);
        WindowTest::UseShippedLanguage(language);
        Configuration::ConfigurationData preset;
        preset.Name = u"Slow";
        preset.Bpm = 60;
        QVERIFY(configuration_->AddPreset(preset));
        GUI::ExportDialog dialog(nullptr, *configuration_);
        dialog.Prepare();
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(WindowTest::Unfit(dialog, QStringLiteral("export")), QString());
        for (const char* name : {"what", "format", "rate", "amount", "unit", "file", "browse", "export", "progress"}) {
            auto* control = dialog.findChild<QWidget*>(QLatin1String(name));
            QVERIFY2(!control->accessibleName().isEmpty() && !control->statusTip().isEmpty(), name);
        }
        auto* what = dialog.findChild<QComboBox*>(QStringLiteral("what"));
        QCOMPARE(what->count(), 3); // the current settings, the preset, "A song file..."
        what->setCurrentIndex(1);
        dialog.findChild<QLineEdit*>(QStringLiteral("file"))->setText(QString::fromStdString(*folder_ / "slow.wav"));
        dialog.findChild<QComboBox*>(QStringLiteral("format"))->setCurrentIndex(5); // MIDI: the name follows
        dialog.StartExport();
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.Exporting(), 60000);
        QVERIFY(TestSupport::ReadFile(*folder_ / "slow.mid").starts_with("MThd"));

        // The choices come back in the next run, from the settings file.
        QVERIFY(configuration_->Save());
        Configuration::FileConfiguration nextRun(*folder_ / "Tolvane.conf");
        QVERIFY(nextRun.Load());
        GUI::ExportDialog again(nullptr, nextRun);
        again.Prepare();
        QCOMPARE(again.findChild<QComboBox*>(QStringLiteral("what"))->currentIndex(), 1);
        QCOMPARE(again.findChild<QComboBox*>(QStringLiteral("format"))->currentIndex(), 5);
        QCOMPARE(again.findChild<QLineEdit*>(QStringLiteral("file"))->text(), QString::fromStdString(*folder_ / "slow.mid"));
    }

    // The diary window in each language at the size the manual shows it: nothing cut, and the
    // table of sessions whole, without scrolling sideways.
    void DiaryWindowShowsTheWholeTable_data() { WindowTest::ShippedLanguageRows(); }
    void DiaryWindowShowsTheWholeTable()
    {
        QFETCH(QString, language);
        WindowTest::UseShippedLanguage(language);
        const std::string path = *folder_ / "tolvane/diary.sqlite3";
        {
            Diary::Store store;
            QVERIFY(store.Open(path));
            Diary::Session session;
            session.start = 1764000000;
            session.end = session.start + 1260;
            session.secondsPlaying = 1200;
            session.name = "Trainer 80 to 120";
            session.tempoStart = session.tempoMin = 80;
            session.tempoMax = 120;
            session.meanMs = 3.5;
            session.sdMs = 10.7;
            QVERIFY(store.Write(session));
        }
        Diary::Keeper keeper(*configuration_, path);
        GUI::DiaryDialog window(nullptr, *configuration_, &keeper);
        window.Initialise(0);
        window.resize(760, 560);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.Tabs()->setCurrentIndex(3);
        QCOMPARE(WindowTest::Unfit(window, QStringLiteral("diary")), QString());
        QTRY_VERIFY(window.Table()->isVisible());
        QVERIFY(!window.Table()->horizontalScrollBar()->isVisible());
    }

    void AboutShowsTheBuildsVersionAndALicenceThatOnlyScrolls()
    {
        auto& about = *new GUI::AboutDialog(Context(folder_->Path()));
        about.Initialise(0);
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QCOMPARE(qobject_cast<QLabel*>(about.Control(GUI::AboutDialog::VersionId))->text(),
                 QStringLiteral("Tolvane Version " TOLVANE_VERSION));
        QPlainTextEdit* view = about.LicenceView();
        QVERIFY(view->toPlainText().startsWith(QStringLiteral("MIT License")));

        about.Tabs()->setCurrentIndex(1);
        view->setFocus();
        QScrollBar* bar = view->verticalScrollBar();
        const QString text = view->toPlainText();
        const struct {
            Qt::Key key;
            int scrolled; // -1 up, 0 not at all, 1 down
        } keys[] = {{Qt::Key_PageDown, 1}, {Qt::Key_Down, 0},   {Qt::Key_Up, 0},
                    {Qt::Key_X, 0},        {Qt::Key_Delete, 0}, {Qt::Key_PageUp, -1}};
        for (const auto& entry : keys) {
            const int before = bar->value();
            QTest::keyClick(view, entry.key);
            QCOMPARE((bar->value() > before) - (bar->value() < before), entry.scrolled);
        }
        QTest::keyClicks(view, "typed");
        QCOMPARE(view->toPlainText(), text);
        QVERIFY(about.isVisible());
        QTest::keyClick(view, Qt::Key_Escape);
        QVERIFY(!about.isVisible());
    }
};

QTEST_MAIN(DialogTest)
#include "DialogTest.moc"
