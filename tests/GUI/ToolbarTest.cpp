// The toolbar and the tempo read-out: the buttons' pictures and commands,
// their texts and tooltips from a language file, and the read-out's label after a switch.
#include "GUI/BeatsPerMinuteDisplay.h"
#include "GUI/Toolbar.h"
#include "System/CurrentLanguage.h"
#include "System/LanguageFileReader.h"
#include "TestSupport.h"

#include <QtTest>

#include <QToolButton>

class ToolbarTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { System::SetCurrentLanguage(nullptr); }

    void ButtonsHavePicturesAndNameTheirCommands()
    {
        QWidget window;
        window.resize(400, 300);
        auto* toolbar = new GUI::Toolbar(&window);
        toolbar->setGeometry(0, 0, 400, 56);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        for (int position = 0; position < GUI::Toolbar::ButtonCount; ++position) {
            const QImage image = toolbar->Button(position)->icon().pixmap(24, 24).toImage();
            int drawn = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    drawn += image.pixelColor(x, y).alpha() > 128 ? 1 : 0;
            QVERIFY2(drawn > 60, qPrintable(QString::number(drawn)));
        }
        QVERIFY(toolbar->Button(4) == nullptr);
    }

    void LanguageFileRelabelsTheButtonsAndTheReadOut()
    {
        GUI::Toolbar toolbar;
        GUI::BeatsPerMinuteDisplay display(120);
        TestSupport::TempFolder folder;
        TestSupport::WriteFile(folder / "nb.lng",
                               "\xEF\xBB\xBF@lng\n[Language]\nLangEnglish = Norwegian\nLanguage = Norsk\n"
                               "[Toolbar]\n1 = Innstillinger\n2 = Lyd\n3 = Lydfiler\n4 = Valg\n"
                               "[Tooltip]\n4 = Lag eller last inn valg\n[Text]\n2 = slag/min\n");
        System::SetCurrentLanguage(System::LoadLanguageFile(folder / "nb.lng"));
        toolbar.SetTexts();
        QStringList texts;
        for (int position = 0; position < GUI::Toolbar::ButtonCount; ++position)
            texts << toolbar.Button(position)->text();
        QCOMPARE(texts, (QStringList{"Innstillinger", "Lyd", "Lydfiler", "Valg"}));
        QCOMPARE(toolbar.Button(3)->toolTip(), QStringLiteral("Lag eller last inn valg"));
        display.ReloadLabel();
        QCOMPARE(display.Label(), QStringLiteral("slag/min"));
        // A toolbar made while the file's table is current starts with its texts.
        QCOMPARE(GUI::Toolbar().Button(0)->text(), QStringLiteral("Innstillinger"));
    }
};

QTEST_MAIN(ToolbarTest)
#include "ToolbarTest.moc"
