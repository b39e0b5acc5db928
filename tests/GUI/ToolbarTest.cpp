// Toolbar: pictures, commands and hot-item reports, texts and tooltips from a
// file-based text table, commands and hot-item reports; the read-out's label after a switch.
#include "GUI/BeatsPerMinuteDisplay.h"
#include "GUI/Toolbar.h"

#include "System/CurrentLanguage.h"
#include "System/LanguageFileReader.h"
#include "TestSupport.h"

#include <QtTest>

#include <QToolButton>

namespace {

QStringList ButtonTexts(const GUI::Toolbar& toolbar)
{
    QStringList texts;
    for (int position = 0; position < GUI::Toolbar::ButtonCount; ++position)
        texts << toolbar.Button(position)->text();
    return texts;
}

const char* const NorwegianFile = "\xEF\xBB\xBF@lng\n"
                                  "[Language]\n"
                                  "LangEnglish = Norwegian\n"
                                  "Language = Norsk\n"
                                  "[Toolbar]\n"
                                  "1 = Innstillinger\n"
                                  "2 = Lyd\n"
                                  "3 = Lydfiler\n"
                                  "4 = Forh\xC3\xA5ndsvalg\n"
                                  "[Tooltip]\n"
                                  "1 = Rediger innstillingene\n"
                                  "2 = Rediger lyden\n"
                                  "3 = Rediger lydfilene\n"
                                  "4 = Lag eller last inn forh\xC3\xA5ndsvalg\n"
                                  "[Text]\n"
                                  "2 = slag/min\n";

} // namespace

class ToolbarTest : public QObject {
    Q_OBJECT

private:
    TestSupport::TempFolder folder_;

    void InstallNorwegian()
    {
        const std::string path = folder_ / "nb.lng";
        TestSupport::WriteFile(path, NorwegianFile);
        auto table = System::LoadLanguageFile(path);
        QVERIFY(table);
        System::SetCurrentLanguage(table);
    }

private slots:
    void cleanup()
    {
        System::SetCurrentLanguage(nullptr);
    }

    void EveryButtonHasAPicture()
    {
        GUI::Toolbar toolbar;
        for (int position = 0; position < GUI::Toolbar::ButtonCount; ++position) {
            QToolButton* button = toolbar.Button(position);
            const QPixmap picture = button->icon().pixmap(24, 24);
            QVERIFY2(!picture.isNull(), "toolbar picture missing");
            const QImage image = picture.toImage();
            int drawn = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    drawn += image.pixelColor(x, y).alpha() > 128 ? 1 : 0;
            QVERIFY2(drawn > 60, qPrintable(QString::number(drawn)));
        }
        QVERIFY(toolbar.Button(4) == nullptr);
    }

    void ClicksAndHoversNameTheButtonsCommands()
    {
        QWidget window;
        window.resize(400, 300);
        auto* toolbar = new GUI::Toolbar(&window);
        toolbar->setGeometry(0, 0, 400, 56);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QSignalSpy commands(toolbar, &GUI::Toolbar::CommandTriggered);
        QTest::mouseClick(toolbar->Button(3), Qt::LeftButton);
        QCOMPARE(commands.size(), 1);
        QCOMPARE(commands.at(0).at(0).toInt(), 32776);

        QSignalSpy hot(toolbar, &GUI::Toolbar::HotItemChanged);
        QTest::mouseMove(toolbar->Button(1), QPoint(40, 20));
        QTRY_VERIFY(!hot.isEmpty());
        QCOMPARE(hot.last().at(1).toInt(), 32774);
        QCOMPARE(hot.last().at(2).toBool(), false);
        QTest::mouseMove(&window, QPoint(200, 200));
        QTRY_COMPARE(hot.last(), (QList<QVariant>{32774, 0, true}));
    }

    void FileTableRelabelsTheButtonsAndTheReadOut()
    {
        GUI::Toolbar toolbar;
        GUI::BeatsPerMinuteDisplay display(120);
        InstallNorwegian();

        toolbar.SetTexts();
        QCOMPARE(ButtonTexts(toolbar),
                 (QStringList{"Innstillinger", "Lyd", "Lydfiler", QString::fromUtf8("Forh\xC3\xA5ndsvalg")}));
        QCOMPARE(toolbar.Button(3)->toolTip(), QString::fromUtf8("Lag eller last inn forh\xC3\xA5ndsvalg"));

        display.ReloadLabel();
        QCOMPARE(display.Label(), QStringLiteral("slag/min"));

        // A toolbar made while the file table is current starts with its texts.
        GUI::Toolbar later;
        QCOMPARE(ButtonTexts(later).first(), QStringLiteral("Innstillinger"));
    }

};

QTEST_MAIN(ToolbarTest)
#include "ToolbarTest.moc"
