// The Presets page on the real settings store: the name check, saving over a preset, updating
// onto another preset's name, loading, double-clicks, and a preset's way back into every page.
#include "GUI/BeatsPerMinuteDisplay.h"
#include "GUI/Dialogs/AudioFilesDialog.h"
#include "GUI/Dialogs/OptionsDialog.h"
#include "GUI/Dialogs/PresetsDialog.h"
#include "GUI/Dialogs/SoundSetupDialog.h"
#include "GUI/StepSequencerDialog.h"
#include "WaveFiles/WaveFixtures.h"
#include "WindowTestSupport.h"

#include <QtTest>

#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <QTreeWidget>

using GUI::OptionsDialog;
using GUI::PresetsDialog;
using GUI::SettingsDialog;

class PresetsDialogTest : public QObject, private WindowTest::SettingsRig {
    Q_OBJECT

private:
    SettingsDialog* dialog_ = nullptr;

    const Configuration::ConfigurationData* Stored(const char16_t* name)
    {
        const auto found = configuration_->Presets().find(std::u16string_view(name));
        return found != configuration_->Presets().end() ? &found->second : nullptr;
    }
    PresetsDialog& Page() { return static_cast<PresetsDialog&>(*dialog_->PageAt(SettingsDialog::PresetsPage)); }
    QLineEdit* Edit(int id) { return qobject_cast<QLineEdit*>(Page().Control(id)); }
    QTreeWidget* List() { return qobject_cast<QTreeWidget*>(Page().Control(PresetsDialog::ListId)); }
    template <typename T>
    T* Option(int id) { return qobject_cast<T*>(dialog_->Options().Control(id)); }

    // Opens the window's settings dialog on the Presets page with these presets (name,
    // description, tempo) in the store.
    void Open(std::initializer_list<std::tuple<const char16_t*, const char16_t*, int>> presets = {})
    {
        for (const auto& [name, description, bpm] : presets) {
            Configuration::ConfigurationData preset;
            preset.Name = std::u16string_view(name);
            preset.Description = std::u16string_view(description);
            preset.Bpm = bpm;
            configuration_->AddPreset(preset);
        }
        dialog_ = &OpenSettings(SettingsDialog::PresetsPage);
    }
    void Type(const QString& name, const QString& description)
    {
        Edit(PresetsDialog::NameEditId)->setText(name);
        Edit(PresetsDialog::DescriptionEditId)->setText(description);
    }
    // Clicks a button and gives the titles of the message boxes it showed.
    QString Press(int id, QMessageBox::StandardButton answer = QMessageBox::Ok)
    {
        WindowTest::MessageCatcher messages;
        messages.answer = answer;
        qobject_cast<QAbstractButton*>(Page().Control(id))->click();
        return WindowTest::Titles(messages).join(u'|');
    }
    QStringList Rows()
    {
        QStringList rows;
        for (int i = 0; i < List()->topLevelItemCount(); ++i)
            rows << List()->topLevelItem(i)->text(0) + u'|' + List()->topLevelItem(i)->text(1);
        return rows;
    }
    void Select(int row) { List()->setCurrentItem(List()->topLevelItem(row)); }

private slots:
    void init() { Begin(); }
    void cleanup() { End(); }

    void NameCheckRefusesAndSelects()
    {
        Open();
        const QString required = QStringLiteral("Preset Name Required"), invalid = QStringLiteral("Invalid Preset Name");
        const struct {
            QString name;
            QString message; // empty: saved
        } cases[] = {
            // Titles in any script, with the punctuation of the shipped presets' names.
            {QStringLiteral("St\u00e4ndchen Vier"), {}}, {QStringLiteral("Waltz 3/4"), {}},
            {QStringLiteral("Clave 3+3+2"), {}},           {QStringLiteral("Rock'n'Roll - Op. 2 (slow)"), {}},
            {QStringLiteral("Cafe\u0301"), {}},             {QStringLiteral("\u0422\u0430\u043d\u0433\u043e \u0665"), {}},
            {QStringLiteral("  (slow) after spaces"), invalid}, // leading spaces dropped: starts with "("
            // What a settings line could misread, and signs no title needs.
            {QStringLiteral("a=b"), invalid},   {QStringLiteral("[Section]"), invalid}, {QStringLiteral("Tab\there"), invalid},
            {QStringLiteral("Line\u2028two"), invalid}, {QStringLiteral("Drum \U0001F941"), invalid},
            {QStringLiteral("100%"), invalid},
            // A name of spaces only would be stored as no name at all.
            {QString(), required}, {QStringLiteral("  "), required},
        };
        std::size_t saved = 0;
        for (const auto& entry : cases) {
            Type(entry.name, QStringLiteral("d"));
            QCOMPARE(Press(PresetsDialog::SaveId), entry.message);
            if (entry.message.isEmpty()) {
                QVERIFY2(Stored(entry.name.trimmed().toStdU16String().c_str()), qPrintable(entry.name));
                ++saved;
            } else {
                QCOMPARE(Edit(PresetsDialog::NameEditId)->selectedText(), entry.message == invalid ? entry.name : QString());
            }
        }
        QCOMPARE(configuration_->Presets().size(), saved);
        QCOMPARE(Press(PresetsDialog::LoadId), QStringLiteral("No Preset Selected"));
    }

    void NamesInUse()
    {
        Current().Bpm = 90;
        Open({{u"Fast", u"f", 180}, {u"Slow", u"s", 60}});
        // Saving over a preset asks first; the row keeps its text.
        Type(QStringLiteral("Slow"), QStringLiteral("new"));
        QCOMPARE(Press(PresetsDialog::SaveId, QMessageBox::No), QStringLiteral("Preset Already Exists"));
        QCOMPARE(Stored(u"Slow")->Bpm, 60);
        QCOMPARE(Press(PresetsDialog::SaveId, QMessageBox::Yes), QStringLiteral("Preset Already Exists"));
        QCOMPARE(std::u16string(Stored(u"Slow")->Description), u"new");
        QCOMPARE(Stored(u"Slow")->Bpm, 90);
        QCOMPARE(Rows(), (QStringList{QStringLiteral("Fast|f"), QStringLiteral("Slow|s")}));

        // Update renames the selected preset, but not onto another one's name.
        Select(1);
        Type(QStringLiteral("Fast"), QStringLiteral("x"));
        QCOMPARE(Press(PresetsDialog::UpdateId), QStringLiteral("Preset Name In Use"));
        QCOMPARE(Edit(PresetsDialog::NameEditId)->selectedText(), QStringLiteral("Fast"));
        QCOMPARE(Stored(u"Fast")->Bpm, 180);
        QCOMPARE(std::u16string(Stored(u"Slow")->Description), u"new"); // nothing stored at all
        Current().Bpm = 100;
        Type(QStringLiteral("Steady"), QStringLiteral("x"));
        QCOMPARE(Press(PresetsDialog::UpdateId), QString());
        QVERIFY(!Stored(u"Slow"));
        QCOMPARE(Stored(u"Steady")->Bpm, 100);
        QCOMPARE(Rows(), (QStringList{QStringLiteral("Fast|f"), QStringLiteral("Steady|x")}));
    }

    void DoubleClickLoadsAndCtrlOnlyFills()
    {
        for (const auto modifier : {Qt::ControlModifier, Qt::NoModifier}) {
            init();
            Current().Bpm = 120;
            Open({{u"Slow", u"s", 60}});
            QTest::mouseDClick(List()->viewport(), Qt::LeftButton, modifier,
                               List()->visualItemRect(List()->topLevelItem(0)).center());
            QCOMPARE(Edit(PresetsDialog::NameEditId)->text(), QStringLiteral("Slow"));
            QCOMPARE(Edit(PresetsDialog::DescriptionEditId)->text(), QStringLiteral("s"));
            QCOMPARE(Current().Bpm, modifier == Qt::ControlModifier ? 120 : 60);
            QCOMPARE(window_->TempoDisplay()->Tempo(), Current().Bpm); // the main window follows
            cleanup();
        }
    }

    // A preset saved from the pages comes back into every page, the main window and the file.
    void PresetComesBackEverywhere()
    {
        using Sounds = GUI::SoundSetupDialog;
        // Sound Settings sliders (voice's control) with the value saved and the one set after.
        const struct {
            int id, saved, after;
        } sliders[] = {{Sounds::VolumeId + 1, 70, 0}, {Sounds::SizeId, 5, 0}, {Sounds::ColourId + 3, 7, 0}};
        const std::u16string wave = WaveFixtures::Wide(*folder_ / "click.wav");
        TestSupport::WriteFile(*folder_ / "click.wav", WaveFixtures::WaveOfSize({}, 1000));
        Current().File[4] = wave;
        Current().GlobalVolume = 40;
        Open();
        dialog_->Sounds().SoundList(2)->setCurrentIndex(9);
        for (const auto& slider : sliders)
            qobject_cast<QSlider*>(dialog_->Sounds().Control(slider.id))->setValue(slider.saved);
        Option<QRadioButton>(OptionsDialog::BeatsPerBarId)->click();
        Option<QLineEdit>(OptionsDialog::BarsEditId)->setText(QStringLiteral("5"));
        Option<QComboBox>(OptionsDialog::Subdivision1Id)->setCurrentIndex(2);
        Type(QStringLiteral("Groove"), QStringLiteral("five"));
        QCOMPARE(Press(PresetsDialog::SaveId), QString());
        QCOMPARE(Rows(), QStringList{QStringLiteral("Groove|five")});

        // Other settings in the pages, the main window and the step sequencer.
        Option<QRadioButton>(OptionsDialog::SimpleBeatId)->click();
        Option<QComboBox>(OptionsDialog::Subdivision1Id)->setCurrentIndex(0);
        auto* volume = qobject_cast<QSlider*>(window_->Control(GUI::ApplicationWindow::VolumeSliderId));
        volume->setValue(80);
        dialog_->Sounds().SoundList(2)->setCurrentIndex(1);
        for (const auto& slider : sliders)
            qobject_cast<QSlider*>(dialog_->Sounds().Control(slider.id))->setValue(slider.after);
        QLineEdit* file = static_cast<GUI::AudioFilesDialog*>(dialog_->PageAt(SettingsDialog::AudioFilesPage))->PathEdit(4);
        file->clear();
        dialog_->Options().OpenStepSequencer(false);
        dialog_->Options().StepSequencer()->Record().CrNumBars = 4; // a rhythm drawn, not saved
        Type(QString(), QString());

        Select(0);
        QCOMPARE(Press(PresetsDialog::LoadId), QString());
        QCOMPARE(Edit(PresetsDialog::DescriptionEditId)->text(), QStringLiteral("five"));
        QVERIFY(Option<QRadioButton>(OptionsDialog::BeatsPerBarId)->isChecked());
        QCOMPARE(Option<QLineEdit>(OptionsDialog::BarsEditId)->text(), QStringLiteral("5"));
        QCOMPARE(Option<QComboBox>(OptionsDialog::Subdivision1Id)->currentIndex(), 2);
        QCOMPARE(volume->value(), 40);
        QCOMPARE(dialog_->Sounds().SoundList(2)->currentIndex(), 9);
        for (const auto& slider : sliders)
            QCOMPARE(qobject_cast<QSlider*>(dialog_->Sounds().Control(slider.id))->value(), slider.saved);
        QCOMPARE(file->text().toStdU16String(), wave);
        QCOMPARE(dialog_->Options().StepSequencer()->Record().CrNumBars, Current().CrNumBars); // a next Save's rhythm
        Press(PresetsDialog::ClearId); // the next opening shows the name and description kept
        dialog_->Initialise(SettingsDialog::PresetsPage);
        QCOMPARE(Edit(PresetsDialog::NameEditId)->text(), QStringLiteral("Groove"));
        dialog_->Accept();

        // The stored preset and, after OK, the settings hold the pages' values (the file's own
        // tests take them through the file).
        const Configuration::ConfigurationData& current = Current();
        for (const Configuration::ConfigurationData* settings : {Stored(u"Groove"), &current})
            QVERIFY(settings->BeatsPerBar == 5 && settings->Instrument[2] == 9 && settings->Colour[3] == 7);
        QCOMPARE(std::u16string(Stored(u"Groove")->Description), u"five");
    }
};

QTEST_MAIN(PresetsDialogTest)
#include "PresetsDialogTest.moc"
