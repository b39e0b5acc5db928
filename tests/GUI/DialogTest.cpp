// The base every dialog builds on: dialog units, the language's texts and their way back to
// English, control help in the help line, and accessible names; shown on the smallest dialog.
#include "GUI/Dialogs/Dialog.h"
#include "System/CurrentLanguage.h"
#include "System/LanguageFileReader.h"
#include "TestSupport.h"
#include "WindowTestSupport.h"

#include <QtTest>

#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using GUI::DialogUnits;

namespace {

// A dialog as small as a dialog can be: a labelled edit, a button and a help line.
class ExampleDialog final : public GUI::Dialog {
public:
    static constexpr GUI::HelpEntry HelpTexts[] = {{1206, 5}, {1070, 1}};

    ExampleDialog()
        : Dialog(nullptr, 102, QStringLiteral("Settings"), GUI::HelpTable(HelpTexts, GUI::HelpSource::Information))
    {
        auto* label = Place(new QLabel(QStringLiteral("&Beats Per Bar"), this), 1031, 4, 6, 50, 8);
        label->setBuddy(Place(new QLineEdit(this), 1206, 56, 4, 30, 12));
        Place(new QPushButton(QStringLiteral("OK"), this), 1070, 4, 22, 50, 14);
        SetHelpLine(Place(new QLabel(QStringLiteral("Move the mouse here"), this), 1073, 4, 40, 200, 8));
    }
    int prepared = -1;

protected:
    void Prepare(int argument) override { prepared = argument; }
};

} // namespace

class DialogTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { System::SetCurrentLanguage(nullptr); }

    void DialogUnitsRoundToTheNearestPixel()
    {
        const struct {
            DialogUnits units;
            int x, y;
            QPoint pixels;
        } cases[] = {
            {DialogUnits(6, 13), 4, 8, {6, 13}},      {DialogUnits(6, 13), 1, 1, {2, 2}},
            {DialogUnits(6, 13), 424, 289, {636, 470}}, {DialogUnits(6, 13), -3, -4, {-5, -7}},
            {DialogUnits(7, 15), 10, 10, {18, 19}},   {DialogUnits(7, 15), 3, 3, {5, 6}},
        };
        for (const auto& entry : cases)
            QCOMPARE(QPoint(entry.units.X(entry.x), entry.units.Y(entry.y)), entry.pixels);

        // From a font: four units across are one average letter, eight down the font's height,
        // and a larger font makes larger units.
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(11);
        const DialogUnits small = DialogUnits::Of(font);
        const QFontMetrics metrics(font);
        QVERIFY(std::abs(small.X(52 * 4) - metrics.horizontalAdvance(QStringLiteral(
                                                  "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"))) <= 52);
        QCOMPARE(small.Y(8), metrics.height());
        font.setPixelSize(22);
        const DialogUnits large = DialogUnits::Of(font);
        QVERIFY(large.X(100) > small.X(100) && large.Y(100) > small.Y(100));
    }

    void TextsComeFromTheLanguageAndGoBackToEnglish()
    {
        TestSupport::TempFolder folder;
        TestSupport::WriteFile(folder / "de.lng",
                               WindowTest::LanguageFile("[Language]\nLangEnglish = German\nLanguage = Deutsch\n"
                                                        "[Dialog]\n2 = Einstellungen\n"
                                                        "[Control]\n31 = &Schl\xC3\xA4ge pro Takt\n70 = Anwenden\n"));
        ExampleDialog dialog;
        dialog.Initialise(3);
        QCOMPARE(dialog.prepared, 3);
        QCOMPARE(dialog.Control(1070)->geometry(), dialog.Units().Rect(4, 22, 50, 14));

        System::SetCurrentLanguage(System::LoadLanguageFile(folder / "de.lng"));
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
        const auto move = WindowTest::MoveOnto;
        move(dialog.Control(1206));
        QCOMPARE(help->text(), QStringLiteral("Sets the number of beats per bar"));
        move(&dialog);
        QCOMPARE(help->text(), QString());
        move(dialog.Control(1206)); // the same control again after the surface
        QCOMPARE(help->text(), QStringLiteral("Sets the number of beats per bar"));
        move(dialog.Control(1070));
        QCOMPARE(help->text(), QStringLiteral("Saves all the current settings and closes this window"));

        QAccessibleInterface* edit = QAccessible::queryAccessibleInterface(dialog.Control(1206));
        QCOMPARE(edit->text(QAccessible::Name), QStringLiteral("Beats Per Bar"));
        QCOMPARE(edit->text(QAccessible::Description), QStringLiteral("Sets the number of beats per bar"));
    }
};

QTEST_MAIN(DialogTest)
#include "DialogTest.moc"
