// The Sound Settings and Audio Files pages on the real settings store: what the sound lists
// show, the marker previews' pixels, and the check of the files when OK is pressed.
#include "GUI/Dialogs/AudioFilesDialog.h"
#include "GUI/Dialogs/OptionsDialog.h"
#include "GUI/Dialogs/SoundSetupDialog.h"
#include "GUI/MarkerPalette.h"
#include "GUI/VisualColourControl.h"
#include "WaveFiles/WaveFixtures.h"
#include "WindowTestSupport.h"

#include <QtTest>

#include <QAbstractButton>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QSlider>

using GUI::SettingsDialog;
using Source = Configuration::SoundSource;

class SoundPagesTest : public QObject, private WindowTest::SettingsRig {
    Q_OBJECT

private:
    SettingsDialog& Open(int page) { return OpenSettings(page); }
    static GUI::AudioFilesDialog& Files(SettingsDialog& dialog)
    {
        return static_cast<GUI::AudioFilesDialog&>(*dialog.PageAt(SettingsDialog::AudioFilesPage));
    }
    void SetFile(int voice, const std::u16string& path) { Platform::Text::Copy(Current().File[voice], path); }
    std::u16string Wave(const std::string& name, std::size_t bytes)
    {
        TestSupport::WriteFile(*folder_ / name, WaveFixtures::WaveOfSize({}, bytes));
        return WaveFixtures::Wide(*folder_ / name);
    }

private slots:
    void init() { Begin(); }
    void cleanup() { End(); }

    void SoundListsShowTheSourcesNames()
    {
        SetFile(0, u"/home/me/kick.wav");
        SetFile(2, u"C:\\Sounds\\rim.shot.wav");
        Current().Instrument[0] = 11;
        Current().Instrument[1] = 12; // beyond the twelve files
        Current().Instrument[2] = 46;
        const QStringList files = {"kick.wav", "", "rim.shot.wav", "", "", "", "", "", "", "", "", ""};
        const struct {
            const char* name;
            Source stored;
            int switchTo; // -1: as stored; else the Options page's sound source radio button
            int selected[3];
        } cases[] = {
            {"audio files", Source::AudioFiles, -1, {11, 0, 0}},
            {"MIDI", Source::Midi, -1, {11, 12, 46}},
            {"switched to audio files", Source::Midi, 1028, {11, 0, 0}},
            {"switched back to MIDI", Source::AudioFiles, 1027, {11, 12, 46}},
        };
        for (const auto& entry : cases) {
            Current().SoundEngineType = entry.stored;
            SettingsDialog& dialog = Open(0);
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
        }
    }

    void ChosenOrTypedFilesReachTheSoundLists()
    {
        const std::u16string first = Wave("first.wav", 1000);
        Wave("second.wav", 1000);
        SetFile(1, first);
        Current().SoundEngineType = Source::AudioFiles;
        SettingsDialog& dialog = Open(SettingsDialog::AudioFilesPage);
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

    void PreviewDiscFollowsSizeAndColour()
    {
        // Sizes 0 and 7 give radii 1 and 8: the disc's full-colour pixels across its centre row
        // number 2 * radius + 1.
        const struct {
            int size;
            int colour;
            bool bySlider; // else through the refresh that follows a loaded preset
            int radius;
        } cases[] = {{0, 3, true, 1}, {7, 11, true, 8}, {7, 5, false, 8}, {0, 0, false, 1}};
        SettingsDialog& dialog = Open(1);
        for (const auto& entry : cases) {
            if (entry.bySlider) {
                qobject_cast<QSlider*>(dialog.Sounds().Control(GUI::SoundSetupDialog::SizeId))->setValue(entry.size);
                qobject_cast<QSlider*>(dialog.Sounds().Control(GUI::SoundSetupDialog::ColourId))->setValue(entry.colour);
            } else {
                Current().Size[0] = entry.size;
                Current().Colour[0] = entry.colour;
                dialog.Notify(GUI::IParentWindow::PresetLoaded, 0);
            }
            const QImage image = dialog.Sounds().Preview(0)->grab().toImage().convertToFormat(QImage::Format_RGB32);
            QCOMPARE(image.size(), QSize(22, 22));
            int discPixels = 0;
            for (int x = 0; x < image.width(); ++x)
                discPixels += image.pixel(x, 11) == (GUI::MarkerColour(entry.colour) | 0xff000000u) ? 1 : 0;
            QCOMPARE(discPixels, 2 * entry.radius + 1);
        }
    }

    void OkChecksTheFiles()
    {
        constexpr std::size_t Large = 1048576 + 100;
        const struct {
            const char* name;
            int files[4];      // per voice: 0 none, 1 usable, 2 large, 3 missing
            bool clearEdits;   // every edit emptied before OK
            bool closes;
            QStringList titles;
            int focused = -1;  // the voice whose edit is selected and focused
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
                SetFile(voice, kind == 0 ? u"" : kind == 3 ? WaveFixtures::Wide(*folder_ / name) : Wave(name, kind == 2 ? Large : 1000));
            }
            SettingsDialog& dialog = Open(0);
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

QTEST_MAIN(SoundPagesTest)
#include "SoundPagesTest.moc"
