// Focus for sliders on hover, key forwarding, the input filter with its notices, pasting, and
// removal of the filter.
#include "GUI/ControlSubClasser.h"

#include <QtTest>

#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QToolTip>

#include <vector>

namespace {

// A window that uses the filter the way the program's windows do.
class Owner : public QWidget, public GUI::ControlSubClasser {
public:
    Owner()
    {
        resize(400, 300);
        button->setGeometry(10, 10, 100, 40);
        slider->setGeometry(10, 60, 280, 24);
        edit->setGeometry(10, 120, 200, 24);
        nextEdit->setGeometry(10, 150, 200, 24);
        slider->setRange(0, 100);
        slider->setValue(50);
    }

    QPushButton* button = new QPushButton(QStringLiteral("Start"), this);
    QSlider* slider = new QSlider(Qt::Horizontal, this);
    QLineEdit* edit = new QLineEdit(this);
    QLineEdit* nextEdit = new QLineEdit(this);

    std::vector<int> keys;
    std::vector<QChar> rejected;
    QWidget* rejectedFrom = nullptr;
    int closeRequests = 0;

protected:
    void keyPressEvent(QKeyEvent* event) override { keys.push_back(event->key()); }
    void closeEvent(QCloseEvent* event) override
    {
        ++closeRequests;
        event->ignore();
    }
    bool event(QEvent* event) override
    {
        if (event->type() == GUI::RejectedCharacterEvent::EventType) {
            auto* notice = static_cast<GUI::RejectedCharacterEvent*>(event);
            rejected.push_back(notice->Character());
            rejectedFrom = notice->Control();
            ShowInputBalloon(notice->Control(), 4);
            return true;
        }
        return QWidget::event(event);
    }
};

} // namespace

class ControlSubClasserTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<Owner> owner_;

private slots:
    void init()
    {
        owner_ = std::make_unique<Owner>();
        owner_->show();
        QVERIFY(QTest::qWaitForWindowActive(owner_.get()));
    }

    void cleanup()
    {
        QToolTip::hideText();
        owner_.reset();
    }

    void SliderTakesTheFocusWhenTheMouseEntersIt()
    {
        Owner& owner = *owner_;
        GUI::ControlSubClasser::SetFocusOnHover(owner.slider);
        owner.edit->setFocus();
        QTest::mouseMove(owner.button, QPoint(20, 20));
        QTest::mouseMove(owner.slider, QPoint(100, 12));
        QTRY_VERIFY(owner.slider->hasFocus());
    }

    void FilteredEditTakesOnlyItsCharactersAndTellsTheOwner()
    {
        Owner& owner = *owner_;
        GUI::ControlSubClasser::SetAcceptedCharacters(owner.edit, QStringLiteral("0123456789+"));
        owner.edit->setFocus();
        QTest::keyClicks(owner.edit, QStringLiteral("3a+3"));
        QCOMPARE(owner.edit->text(), QStringLiteral("3+3"));
        QCOMPARE(owner.rejected, std::vector<QChar>{QLatin1Char('a')});
        QCOMPARE(owner.rejectedFrom, owner.edit);
        // The owner answered with the balloon.
        QVERIFY(QToolTip::isVisible());
        QVERIFY(QToolTip::text().contains(QStringLiteral("You can only type numbers and plus (+) signs here")));

        // Up, Down and the page keys do nothing, not even in the parent; Return and Enter go on
        // to the parent (a dialog presses its default button); editing keys work.
        for (const Qt::Key key : {Qt::Key_Up, Qt::Key_Down, Qt::Key_Return, Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Enter})
            QTest::keyClick(owner.edit, key);
        QCOMPARE(owner.edit->text(), QStringLiteral("3+3"));
        QCOMPARE(owner.keys, (std::vector<int>{Qt::Key_Return, Qt::Key_Enter}));
        QTest::keyClick(owner.edit, Qt::Key_Left);
        QTest::keyClick(owner.edit, Qt::Key_Backspace);
        QCOMPARE(owner.edit->text(), QStringLiteral("33"));

        // Pasted text keeps only the accepted characters.
        QGuiApplication::clipboard()->setText(QStringLiteral("3 + 3x+2"));
        owner.edit->clear();
        QTest::keyClick(owner.edit, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(owner.edit->text(), QStringLiteral("3+3+2"));
        QCOMPARE(owner.edit->cursorPosition(), 5);
        QCOMPARE(owner.rejected.size(), 1u);

        // Escape asks the parent to close; Tab moves on to the next control.
        QTest::keyClick(owner.edit, Qt::Key_Escape);
        QCOMPARE(owner.closeRequests, 1);
        QTest::keyClick(owner.edit, Qt::Key_Tab);
        QTRY_VERIFY(owner.nextEdit->hasFocus());
    }

    void ForwardedKeysReachTheParentUntilTheHooksAreRemoved()
    {
        Owner& owner = *owner_;
        GUI::ControlSubClasser::SetAcceptedCharacters(owner.edit, QStringLiteral("0123456789"));
        GUI::ControlSubClasser::SetKeysToParent(owner.slider, true);
        owner.slider->setFocus();
        QTest::keyClick(owner.slider, Qt::Key_Up);
        QTest::keyClick(owner.slider, Qt::Key_PageDown);
        QCOMPARE(owner.slider->value(), 50);
        QCOMPARE(owner.keys, (std::vector<int>{Qt::Key_Up, Qt::Key_PageDown}));

        GUI::ControlSubClasser::RestoreChildControls(&owner);
        QTest::keyClick(owner.slider, Qt::Key_Up);
        QCOMPARE(owner.slider->value(), 51);
        QCOMPARE(owner.keys.size(), 2u);
        owner.edit->setFocus();
        QTest::keyClicks(owner.edit, QStringLiteral("1a"));
        QCOMPARE(owner.edit->text(), QStringLiteral("1a"));
    }
};

QTEST_MAIN(ControlSubClasserTest)
#include "ControlSubClasserTest.moc"
