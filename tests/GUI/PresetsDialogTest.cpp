// The Presets page on the real settings store: the name check, saving over a preset, updating
// onto another preset's name, loading, double-clicks, and a preset's way through the file.
#include "Configuration/FileConfiguration.h"
#include "GUI/ApplicationWindow.h"
#include "GUI/Dialogs/OptionsDialog.h"
#include "GUI/Dialogs/PresetsDialog.h"
#include "GUI/Dialogs/SettingsDialog.h"
#include "Platform/Text.h"
#include "System/CurrentLanguage.h"
#include "System/LanguageFileReader.h"
#include "TestSupport.h"
#include "WindowTestSupport.h"

#include <QtTest>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <QTreeWidget>

#include <memory>

using GUI::PresetsDialog;
using GUI::SettingsDialog;

class PresetsDialogTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TestSupport::TempFolder> folder_;
    std::unique_ptr<TestSupport::ScopedLog> log_;
    std::unique_ptr<Configuration::FileConfiguration> configuration_;
    std::unique_ptr<WindowTest::FakeMetronome> metronome_;
    std::unique_ptr<GUI::ApplicationWindow> window_;
    SettingsDialog* dialog_ = nullptr;

    Configuration::ConfigurationData& Current() { return configuration_->GetData(); }
    PresetsDialog& Page() { return static_cast<PresetsDialog&>(*dialog_->PageAt(SettingsDialog::PresetsPage)); }
    QLineEdit* Edit(int id) { return qobject_cast<QLineEdit*>(Page().Control(id)); }
    QTreeWidget* List() { return qobject_cast<QTreeWidget*>(Page().Control(PresetsDialog::ListId)); }
    void Click(int id) { qobject_cast<QAbstractButton*>(Page().Control(id))->click(); }

    void AddPreset(const char16_t* name, const char16_t* description, int bpm)
    {
        Configuration::ConfigurationData preset;
        Platform::Text::Copy(preset.Name, std::u16string_view(name));
        Platform::Text::Copy(preset.Description, std::u16string_view(description));
        preset.Bpm = bpm;
        configuration_->AddPreset(preset);
    }
    const Configuration::ConfigurationData* Stored(const char16_t* name)
    {
        return configuration_->Presets().Find(name);
    }
    void Open()
    {
        GUI::ApplicationWindowOptions options;
        options.singleInstance = false;
        options.languageFolder = folder_->Path();
        options.helpFolder = folder_->Path();
        window_ = std::make_unique<GUI::ApplicationWindow>(*metronome_, *configuration_, options);
        if (!window_->Startup())
            qFatal("start-up failed");
        dialog_ = qobject_cast<SettingsDialog*>(window_->DialogFor(GUI::ApplicationWindow::PresetsCommand));
        dialog_->Initialise(SettingsDialog::PresetsPage);
        dialog_->show();
        if (!QTest::qWaitForWindowExposed(dialog_))
            qFatal("dialog not shown");
    }
    void Type(const QString& name, const QString& description)
    {
        Edit(PresetsDialog::NameEditId)->setText(name);
        Edit(PresetsDialog::DescriptionEditId)->setText(description);
    }
    QStringList Rows()
    {
        QStringList rows;
        for (int i = 0; i < List()->topLevelItemCount(); ++i)
            rows << List()->topLevelItem(i)->text(0) + QLatin1Char('|') + List()->topLevelItem(i)->text(1);
        return rows;
    }
    void Select(int row) { List()->setCurrentItem(List()->topLevelItem(row)); }

private slots:
    void init()
    {
        folder_ = std::make_unique<TestSupport::TempFolder>();
        log_ = std::make_unique<TestSupport::ScopedLog>();
        configuration_ = std::make_unique<Configuration::FileConfiguration>(*folder_ / "Tolvane.conf");
        metronome_ = std::make_unique<WindowTest::FakeMetronome>();
        System::SetCurrentLanguage(nullptr);
    }
    void cleanup()
    {
        window_.reset();
        System::SetCurrentLanguage(nullptr);
        log_.reset();
    }

    void NameCheckRefusesAndSelects()
    {
        const struct {
            QString name;
            const char* title;
        } cases[] = {
            {QStringLiteral("Slow-Rock"), "Invalid Preset Name"},
            {QStringLiteral("Caf\u00e9"), "Invalid Preset Name"},
            {QString(), "Preset Name Required"},
            {QStringLiteral("   "), "Preset Name Required"}, // the store would keep no name
        };
        Open();
        for (const auto& entry : cases) {
            Type(entry.name, QStringLiteral("d"));
            WindowTest::MessageCatcher messages;
            Click(PresetsDialog::SaveId);
            QCOMPARE(messages.shown.size(), std::size_t{1});
            QCOMPARE(messages.shown[0].title, QString::fromLatin1(entry.title));
            QCOMPARE(Edit(PresetsDialog::NameEditId)->selectedText(),
                     QString::fromLatin1(entry.title).startsWith(u'I') ? entry.name : QString());
            QCOMPARE(configuration_->Presets().Count(), 0);
        }
    }

    void SaveOverAnExistingNameAsks()
    {
        for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
            init();
            AddPreset(u"Slow", u"old", 60);
            Current().Bpm = 100;
            Open();
            Type(QStringLiteral("Slow"), QStringLiteral("new"));
            WindowTest::MessageCatcher messages;
            messages.answer = answer;
            Click(PresetsDialog::SaveId);
            QCOMPARE(messages.shown.size(), std::size_t{1});
            QCOMPARE(messages.shown[0].title, QStringLiteral("Preset Already Exists"));
            const bool yes = answer == QMessageBox::Yes;
            QCOMPARE(std::u16string(Stored(u"Slow")->Description), yes ? u"new" : u"old");
            QCOMPARE(Stored(u"Slow")->Bpm, yes ? 100 : 60);
            QCOMPARE(Rows(), QStringList{QStringLiteral("Slow|old")}); // the row keeps its text
            cleanup();
        }
    }

    void UpdateRenamesButNotOntoAnotherPreset()
    {
        AddPreset(u"Fast", u"f", 180);
        AddPreset(u"Slow", u"s", 60);
        Current().Bpm = 90;
        Open();
        Select(1);
        Type(QStringLiteral("Fast"), QStringLiteral("x"));
        WindowTest::MessageCatcher messages;
        Click(PresetsDialog::UpdateId);
        QCOMPARE(messages.shown.size(), std::size_t{1});
        QCOMPARE(messages.shown[0].title, QStringLiteral("Preset Name In Use"));
        QCOMPARE(Edit(PresetsDialog::NameEditId)->selectedText(), QStringLiteral("Fast"));
        QCOMPARE(Stored(u"Fast")->Bpm, 180);
        QCOMPARE(std::u16string(Stored(u"Slow")->Description), u"s"); // nothing stored at all
        QCOMPARE(Stored(u"Slow")->Bpm, 60);

        Type(QStringLiteral("Steady"), QStringLiteral("x"));
        Click(PresetsDialog::UpdateId);
        QCOMPARE(messages.shown.size(), std::size_t{1});
        QVERIFY(!Stored(u"Slow"));
        QCOMPARE(Stored(u"Steady")->Bpm, 90);
        QCOMPARE(Rows(), (QStringList{QStringLiteral("Fast|f"), QStringLiteral("Steady|x")}));
    }

    void SelectionIsNeeded()
    {
        AddPreset(u"Slow", u"s", 60);
        Open();
        for (const int button : {PresetsDialog::LoadId, PresetsDialog::UpdateId, PresetsDialog::DeleteId}) {
            Type(QStringLiteral("Slow"), QString());
            WindowTest::MessageCatcher messages;
            Click(button);
            QCOMPARE(messages.shown.size(), std::size_t{1});
            QCOMPARE(messages.shown[0].title, QStringLiteral("No Preset Selected"));
            QCOMPARE(messages.shown[0].icon, QMessageBox::Information);
        }
        QCOMPARE(Rows().size(), 1);
        QCOMPARE(Current().Bpm, Configuration::ConfigurationData().Bpm);
    }

    void DoubleClickLoadsAndCtrlOnlyFills()
    {
        for (const auto modifier : {Qt::ControlModifier, Qt::NoModifier}) {
            init();
            AddPreset(u"Slow", u"s", 60);
            Current().Bpm = 120;
            Open();
            QTreeWidget* list = List();
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, modifier,
                               list->visualItemRect(list->topLevelItem(0)).center());
            QCOMPARE(Edit(PresetsDialog::NameEditId)->text(), QStringLiteral("Slow"));
            QCOMPARE(Edit(PresetsDialog::DescriptionEditId)->text(), QStringLiteral("s"));
            QCOMPARE(Current().Bpm, modifier == Qt::ControlModifier ? 120 : 60);
            cleanup();
        }
    }

    // A preset saved from the pages comes back into every page, the main window and the file.
    void PresetComesBackEverywhere()
    {
        Current().GlobalVolume = 40;
        Current().Instrument[2] = 9;
        Open();
        auto& options = dialog_->Options();
        qobject_cast<QRadioButton*>(options.Control(GUI::OptionsDialog::BeatsPerBarId))->click();
        qobject_cast<QLineEdit*>(options.Control(GUI::OptionsDialog::BarsEditId))->setText(QStringLiteral("5"));
        qobject_cast<QComboBox*>(options.Control(GUI::OptionsDialog::Subdivision1Id))->setCurrentIndex(2);
        Type(QStringLiteral("Groove"), QStringLiteral("five"));
        Click(PresetsDialog::SaveId);
        QCOMPARE(Rows(), QStringList{QStringLiteral("Groove|five")});

        // Other settings, in the pages and the main window.
        qobject_cast<QRadioButton*>(options.Control(GUI::OptionsDialog::SimpleBeatId))->click();
        qobject_cast<QComboBox*>(options.Control(GUI::OptionsDialog::Subdivision1Id))->setCurrentIndex(0);
        auto* volume = qobject_cast<QSlider*>(window_->Control(GUI::ApplicationWindow::VolumeSliderId));
        volume->setValue(80);
        Current().Instrument[2] = 1;
        Type(QString(), QString());

        Select(0);
        Click(PresetsDialog::LoadId);
        QCOMPARE(Edit(PresetsDialog::NameEditId)->text(), QStringLiteral("Groove"));
        QCOMPARE(Edit(PresetsDialog::DescriptionEditId)->text(), QStringLiteral("five"));
        QVERIFY(qobject_cast<QRadioButton*>(options.Control(GUI::OptionsDialog::BeatsPerBarId))->isChecked());
        QCOMPARE(qobject_cast<QLineEdit*>(options.Control(GUI::OptionsDialog::BarsEditId))->text(), QStringLiteral("5"));
        QCOMPARE(qobject_cast<QComboBox*>(options.Control(GUI::OptionsDialog::Subdivision1Id))->currentIndex(), 2);
        QCOMPARE(volume->value(), 40);
        Click(PresetsDialog::ClearId); // the next opening shows the name and description kept
        dialog_->Initialise(SettingsDialog::PresetsPage);
        QCOMPARE(Edit(PresetsDialog::NameEditId)->text(), QStringLiteral("Groove"));
        dialog_->Accept();

        // Closing the window saves the file; a new store reads the preset and the settings back.
        window_->close();
        Configuration::FileConfiguration reopened(configuration_->Path());
        QVERIFY(reopened.Load());
        for (const Configuration::ConfigurationData* settings : {reopened.Presets().Find(u"Groove"), &reopened.GetData()}) {
            QVERIFY(settings);
            QCOMPARE(settings->BeatType, Configuration::BeatKind::BeatsPerBar);
            QCOMPARE(settings->BeatsPerBar, 5);
            QCOMPARE(settings->Subdivision1, 3);
            QCOMPARE(settings->GlobalVolume, 40);
            QCOMPARE(settings->Instrument[2], 9);
        }
        QCOMPARE(std::u16string(reopened.Presets().Find(u"Groove")->Description), u"five");
    }

    void EveryShippedLanguageFits_data()
    {
        QTest::addColumn<QString>("language");
        QTest::newRow("en") << QString();
        for (const QString& file : QDir(QStringLiteral(TOLVANE_LANG_SOURCE_DIR)).entryList({QStringLiteral("*.lng")}))
            QTest::newRow(qPrintable(file.chopped(4))) << file.chopped(4);
    }
    void EveryShippedLanguageFits()
    {
        QFETCH(QString, language);
        AddPreset(u"Ballad", u"Slow ballad in 6/8 with brushes", 66);
        AddPreset(u"Rock", u"Straight eighths, accent on two and four", 120);
        AddPreset(u"Warm up", u"Speed trainer from 60 to 90 percent", 100);
        Open();
        if (!language.isEmpty()) {
            System::SetCurrentLanguage(System::LoadLanguageFile(std::string(TOLVANE_LANG_SOURCE_DIR "/") +
                                                                language.toStdString() + ".lng"));
            dialog_->Initialise(SettingsDialog::PresetsPage);
        }
        Type(QStringLiteral("Rock"), QStringLiteral("Straight eighths, accent on two and four"));
        List()->setCurrentItem(List()->topLevelItem(1));
        if (const QString folder = qEnvironmentVariable("TOLVANE_SCREENSHOTS"); !folder.isEmpty())
            dialog_->grab().save(folder + QStringLiteral("/settings-presets-%1.png").arg(language.isEmpty() ? "en" : language));
        // Each text fits its control, and each control lies inside the page.
        const QRect page = Page().rect();
        for (QWidget* control : Page().findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            const QString name = control->property("controlId").toString();
            QVERIFY2(page.contains(control->geometry()), qPrintable(name));
            if (qobject_cast<QAbstractButton*>(control) || qobject_cast<QLabel*>(control))
                QVERIFY2(control->sizeHint().width() <= control->width(), qPrintable(name));
        }
        QVERIFY(List()->columnWidth(0) + List()->columnWidth(1) <= List()->viewport()->width());
    }
};

QTEST_MAIN(PresetsDialogTest)
#include "PresetsDialogTest.moc"
