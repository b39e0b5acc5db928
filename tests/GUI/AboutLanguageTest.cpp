// The language chooser over a folder of language files, and the About window's licence view.
#include "GUI/Dialogs/AboutDialog.h"
#include "GUI/Dialogs/LanguageDialog.h"
#include "WindowTestSupport.h"

#include <QtTest>

#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>

using GUI::LanguageDialog;

namespace {

std::string LanguageFile(const std::string& english, const std::string& native)
{
    return WindowTest::LanguageFile("[Language]\nLangEnglish = " + english + "\nLanguage = " + native
                                    + "\n[Text]\n1 = Tolvane-" + native + "\n");
}

} // namespace

class AboutLanguageTest : public QObject, private WindowTest::SettingsRig {
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
            {"en", u"fr", QStringList{"English (English)", "English (Own file)"} + shipped.mid(1), "French (Français)",
             "English (Own file)", u"", 1},
        };
        for (const auto& entry : cases) {
            init();
            TestSupport::WriteFile(*folder_ / "de.lng", LanguageFile("German", "Deutsch"));
            TestSupport::WriteFile(*folder_ / "fr.lng", LanguageFile("French", "Français"));
            TestSupport::WriteFile(*folder_ / "deut.lng", LanguageFile("Deutsch", "Lang")); // name too long
            TestSupport::WriteFile(*folder_ / "x.y.lng", LanguageFile("Dotted", "Stem"));   // loads as "x"
            TestSupport::WriteFile(*folder_ / "bad.lng", "\xEF\xBB\xBF@lnx\n[Language]\n");
            if (std::string(entry.folder) == "en")
                TestSupport::WriteFile(*folder_ / "en.lng", LanguageFile("English", "Own file"));
            std::u16string(entry.inUse).copy(configuration_->GetLanguage(), 4);
            auto& dialog = *new LanguageDialog(Context(std::string(entry.folder) == "-" ? *folder_ / "none/" : folder_->Path()));
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
                QCOMPARE(QString::fromStdU16String(System::CurrentLanguage()->GetText(0)), QStringLiteral("Tolvane-Deutsch"));
            cleanup();
        }
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
        } keys[] = {{Qt::Key_PageDown, 1}, {Qt::Key_Down, 0}, {Qt::Key_Up, 0}, {Qt::Key_X, 0},
                    {Qt::Key_Delete, 0}, {Qt::Key_PageUp, -1}};
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

QTEST_MAIN(AboutLanguageTest)
#include "AboutLanguageTest.moc"
