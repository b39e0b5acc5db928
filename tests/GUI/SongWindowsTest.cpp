// The song editor and the setlist window: nothing cut and every control named in each shipped
// language; parts edited in place, unreadable lines kept and named, the file saved whole; the
// setlist reordered (keys and drops), missing songs marked and kept, a song played and marked.
#include "GUI/Dialogs/SetlistDialog.h"
#include "GUI/Dialogs/SongEditorDialog.h"
#include "GUI/Dialogs/SongTexts.h"
#include "GUI/Statusbar.h"
#include "WindowTestSupport.h"

#include <QtTest>

#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QToolButton>

class SongWindowsTest : public QObject, private WindowTest::SettingsRig {
    Q_OBJECT

private:
    static void CheckNamed(QWidget& window, std::initializer_list<const char*> names)
    {
        for (const char* name : names) {
            auto* control = window.findChild<QWidget*>(QLatin1String(name));
            QVERIFY2(control && !control->accessibleName().isEmpty() && !control->statusTip().isEmpty(), name);
        }
    }

private slots:
    void init() { Begin(); }
    void cleanup() { End(); }

    void SongEditorEditsPartsInPlaceAndKeepsWhatItCannotRead_data() { WindowTest::ShippedLanguageRows(); }
    void SongEditorEditsPartsInPlaceAndKeepsWhatItCannotRead()
    {
        QFETCH(QString, language);
        WindowTest::UseShippedLanguage(language);
        const std::string path = *folder_ / "Set.klick";
        TestSupport::WriteFile(path, "#tolvane: count-in=1\nintro: 2 120\n# kept\nbridge: 3 7/8 140 X.X.X..\n4 4/4 1x0 oops\n");
        std::vector<int> played;
        GUI::SongEditorDialog editor(nullptr, [&played](const Core::Song&, int part) { played.push_back(part); });
        editor.Load(path);
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        QCOMPARE(WindowTest::Unfit(editor, QStringLiteral("song-editor")), QString());
        CheckNamed(editor, {"parts", "countIn", "ending", "add", "remove", "up", "down", "duplicate", "play", "open", "save", "saveAs"});
        const QString problems = editor.findChild<QLabel*>(QStringLiteral("problems"))->text();
        QVERIFY2(problems.contains(QStringLiteral("Set.klick")) && problems.contains(QStringLiteral("5")), qPrintable(problems));
        // What is wrong is said in the window's language.
        const QString english = QString::fromUtf8(Core::PartProblemMessage(Core::PartProblem::Kind::Tempo));
        QVERIFY2(problems.contains(GUI::SongText::ProblemText({Core::PartProblem::Kind::Tempo, {}, {}}))
                     && problems.contains(english) == language.isEmpty(),
                 qPrintable(problems));

        auto* table = editor.findChild<QTableWidget*>(QStringLiteral("parts"));
        QCOMPARE(table->rowCount(), 3);
        const auto click = [&editor](const char* button) { editor.findChild<QPushButton*>(QLatin1String(button))->click(); };
        table->setCurrentCell(1, 0);
        click("play");
        QCOMPARE(played, std::vector<int>{1});
        // Typed cells: a ramp, then bars that cannot be read (the row keeps what was typed).
        table->item(0, 3)->setText(QStringLiteral("100-160"));
        table->item(1, 1)->setText(QStringLiteral("x"));
        QVERIFY(editor.findChild<QLabel*>(QStringLiteral("problems"))->text().contains(QStringLiteral("Set.klick")));
        table->setCurrentCell(0, 0);
        click("duplicate");
        click("down"); // the copy below the row that cannot be read
        table->setCurrentCell(3, 0);
        click("remove"); // the unreadable line from the file
        table->setCurrentCell(0, 0);
        click("add");
        QVERIFY(editor.SaveTo(*folder_ / "Saved.klick"));
        QCOMPARE(TestSupport::ReadFile(*folder_ / "Saved.klick"),
                 std::string("#tolvane: count-in=1\nintro: 2 4/4 100-160\n4 160\nbridge: x 7/8 140 X.X.X..\n# kept\n"
                             "intro: 2 4/4 100-160\n"));
    }

    void SetlistReordersMarksAndPlays_data() { WindowTest::ShippedLanguageRows(); }
    void SetlistReordersMarksAndPlays()
    {
        QFETCH(QString, language);
        WindowTest::UseShippedLanguage(language);
        for (const char* name : {"A.klick", "B.klick"})
            TestSupport::WriteFile(*folder_ / name, "4 120\n");
        const std::string path = *folder_ / "Gig.setlist";
        TestSupport::WriteFile(path, "A.klick\n# encore\nGone.klick\nB.klick\n");
        std::vector<int> played;
        GUI::SetlistDialog setlist(nullptr, [&played](const Core::Setlist&, int index) { played.push_back(index); });
        setlist.Load(path);
        setlist.show();
        setlist.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&setlist));
        QCOMPARE(WindowTest::Unfit(setlist, QStringLiteral("setlist")), QString());
        CheckNamed(setlist, {"songs", "add", "remove", "up", "down", "play", "open", "saveAs"});
        auto* list = setlist.findChild<QListWidget*>(QStringLiteral("songs"));
        QCOMPARE(list->count(), 3);
        QCOMPARE(list->item(1)->text(), GUI::SongText::Get(GUI::SongText::NotFound).arg(QStringLiteral("Gone.klick")));

        list->setCurrentRow(0);
        QTest::keyClick(list, Qt::Key_Down, Qt::AltModifier);     // A below Gone
        QVERIFY(list->model()->moveRow({}, 2, {}, 0));            // a drop: B first
        emit list->itemActivated(list->item(1));                    // Gone: not played
        emit list->itemActivated(list->item(2));
        QCOMPARE(played, std::vector<int>{2});
        setlist.MarkPlaying(*folder_ / "A.klick");
        QCOMPARE(list->item(2)->text(), QStringLiteral("\u25b6 ") + GUI::SongText::Get(GUI::SongText::Playing).arg(QStringLiteral("A.klick")));
        QVERIFY(setlist.SaveTo(*folder_ / "Saved.setlist"));
        QCOMPARE(TestSupport::ReadFile(*folder_ / "Saved.setlist"), std::string("B.klick\n# encore\nGone.klick\nA.klick\n"));
    }

    void MenuOpensTheEditorWhosePlayStartsTheSongWithPartButtons()
    {
        const std::string path = *folder_ / "Two.klick";
        TestSupport::WriteFile(path, "a: 2 120\nb: 2 3/4 90\n2 x\n");
        GUI::ApplicationWindow& window = OpenWindow({QStringLiteral("song 100\t\t") + QString::fromStdString(path)});
        QTRY_VERIFY(window.findChild<QToolButton*>(QStringLiteral("nextPart"))->isVisible());
        QVERIFY(window.StatusLine()->Text().startsWith(QStringLiteral("Two.klick, line 3: ")));
        window.findChild<QAction*>(QStringLiteral("songEditor"))->trigger();
        GUI::SongEditorDialog& editor = *window.SongEditorWindow();
        QCOMPARE(editor.Path(), path);
        editor.findChild<QTableWidget*>(QStringLiteral("parts"))->setCurrentCell(1, 0);
        editor.findChild<QPushButton*>(QStringLiteral("play"))->click();
        QCOMPARE(metronome_->songStarts, std::vector<std::string>{"Two 1 1.000000"});
        window.findChild<QToolButton*>(QStringLiteral("nextPart"))->click();
        QCOMPARE(metronome_->moves, std::vector<int>{static_cast<int>(Core::SongMove::NextPart)});
    }
};

QTEST_MAIN(SongWindowsTest)
#include "SongWindowsTest.moc"
