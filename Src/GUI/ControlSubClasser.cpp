#include "GUI/ControlSubClasser.h"

#include "GUI/ProgramFont.h"
#include "GUI/Resources.h"
#include "System/CurrentLanguage.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QScreen>
#include <QToolTip>
#include <QValidator>

#include <memory>

namespace GUI {

namespace {

constexpr const char* KeysToParentProperty = "KD";
constexpr const char* AcceptedProperty = "AC";
constexpr const char* FocusOnHoverProperty = "FC";
constexpr const char* ValidatorName = "AcceptedCharacters";

constexpr int BalloonTitleIndex = 2; // "Unacceptable Character"

// Keeps only the accepted characters of whatever reaches a line edit by paste or drop; typed
// characters have been filtered before they get here.
class AcceptedCharactersValidator final : public QValidator {
public:
    AcceptedCharactersValidator(QString accepted, QObject* parent)
        : QValidator(parent), accepted_(std::move(accepted))
    {
        setObjectName(ValidatorName);
    }

    State validate(QString& input, int& position) const override
    {
        QString kept;
        kept.reserve(input.size());
        int keptPosition = position;
        for (qsizetype i = 0; i < input.size(); ++i) {
            if (accepted_.contains(input[i]))
                kept += input[i];
            else if (i < position)
                --keptPosition;
        }
        input = kept;
        position = keptPosition;
        return Acceptable;
    }

private:
    QString accepted_;
};

bool IsStandardEditingKey(const QKeyEvent* key)
{
    return key->matches(QKeySequence::Paste) || key->matches(QKeySequence::Copy) || key->matches(QKeySequence::Cut)
        || key->matches(QKeySequence::SelectAll) || key->matches(QKeySequence::Undo)
        || key->matches(QKeySequence::Redo);
}

bool IsControlCharacter(QChar character)
{
    return character.unicode() < 0x20 || character.unicode() == 0x7f;
}

// The one hook shared by every hooked control.
class ControlHook final : public QObject {
public:
    using QObject::QObject;

    static ControlHook* Instance()
    {
        static QPointer<ControlHook> instance;
        if (!instance)
            instance = new ControlHook(qApp);
        return instance;
    }

    bool eventFilter(QObject* object, QEvent* event) override
    {
        auto* control = qobject_cast<QWidget*>(object);
        if (!control)
            return false;
        switch (event->type()) {
        case QEvent::Enter:
            if (control->property(FocusOnHoverProperty).toBool())
                control->setFocus(Qt::MouseFocusReason);
            return false;
        case QEvent::KeyPress:
            return KeyPress(control, static_cast<QKeyEvent*>(event));
        default:
            return false;
        }
    }

private:
    static bool KeyPress(QWidget* control, QKeyEvent* key)
    {
        QWidget* parent = control->parentWidget();
        if (control->property(KeysToParentProperty).toBool()) {
            if (parent) {
                std::unique_ptr<QEvent> copy(key->clone());
                QCoreApplication::sendEvent(parent, copy.get());
            }
            return true;
        }
        const QVariant accepted = control->property(AcceptedProperty);
        if (!accepted.isValid())
            return false;

        switch (key->key()) {
        case Qt::Key_Backspace:
        case Qt::Key_End:
        case Qt::Key_Home:
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Delete:
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // Editing and focus movement stay with the control; a line edit passes Return on
            // to its dialog, which presses its default button.
            return false;
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            // The control pages if it can (a spin box); a key it ignores must not travel on
            // to the parent, where it could mean something else.
            static_cast<QObject*>(control)->event(key);
            key->accept();
            return true;
        case Qt::Key_Escape:
            if (parent) {
                QCloseEvent close;
                QCoreApplication::sendEvent(parent, &close);
            }
            return true;
        default:
            break;
        }
        if (IsStandardEditingKey(key))
            return false;

        const QString text = key->text();
        if (text.isEmpty() || IsControlCharacter(text.front()))
            return true; // Up, Down and other keys do nothing here
        const QString characters = accepted.toString();
        for (const QChar character : text) {
            if (!characters.contains(character)) {
                if (parent) {
                    RejectedCharacterEvent rejected(character, control);
                    QCoreApplication::sendEvent(parent, &rejected);
                }
                return true;
            }
        }
        return false;
    }
};

} // namespace

ControlSubClasser::~ControlSubClasser() = default;

void ControlSubClasser::RestoreChildControls(QWidget* parent)
{
    ControlHook* hook = ControlHook::Instance();
    for (QObject* child : parent->children()) {
        auto* control = qobject_cast<QWidget*>(child);
        if (!control)
            continue;
        control->removeEventFilter(hook);
        if (auto* edit = qobject_cast<QLineEdit*>(control)) {
            const QValidator* validator = edit->validator();
            if (validator && validator->objectName() == QLatin1String(ValidatorName)) {
                edit->setValidator(nullptr);
                delete validator;
            }
        }
        for (const char* name : {KeysToParentProperty, AcceptedProperty, FocusOnHoverProperty})
            control->setProperty(name, QVariant());
    }
}

void ControlSubClasser::SetKeysToParent(QWidget* control, bool on)
{
    control->setProperty(KeysToParentProperty, on);
    control->installEventFilter(ControlHook::Instance());
}

void ControlSubClasser::SetFocusOnHover(QWidget* control)
{
    control->setProperty(FocusOnHoverProperty, true);
    control->installEventFilter(ControlHook::Instance());
}

void ControlSubClasser::SetAcceptedCharacters(QWidget* control, const QString& characters)
{
    control->setProperty(AcceptedProperty, characters);
    control->installEventFilter(ControlHook::Instance());
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        const QValidator* previous = edit->validator();
        edit->setValidator(new AcceptedCharactersValidator(characters, edit));
        if (previous && previous->objectName() == QLatin1String(ValidatorName))
            delete previous;
    }
}

void ControlSubClasser::ShowInputBalloon(QWidget* edit, int textIndex)
{
    InitialiseResources();
    const auto language = System::CurrentLanguage();
    const QString title = FromTableText(language->GetText(BalloonTitleIndex)).toHtmlEscaped();
    const QString text = FromTableText(language->GetText(textIndex)).toHtmlEscaped();
    const QString balloon = QStringLiteral("<table style=\"white-space:nowrap\"><tr>"
                                           "<td><img src=\":/icons/error.png\"></td><td><b>%1</b></td></tr>"
                                           "<tr><td></td><td>%2</td></tr></table>")
                                .arg(title, text);
    const QPoint anchor = edit->mapToGlobal(QPoint(edit->width() / 2, edit->height()));
    QToolTip::showText(anchor, balloon, edit);
    QApplication::beep();
}

void ControlSubClasser::CentreWindowOnDesktop(QWidget* window, int width, int height)
{
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    window->move(area.x() + (area.width() - width) / 2, area.y() + (area.height() - height) / 2);
}

namespace {

// Centres its dialog on the first show and then removes itself.
class CentreOnFirstShow final : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (event->type() == QEvent::Show) {
            auto* dialog = static_cast<QWidget*>(object);
            ControlSubClasser::CentreWindowOnDesktop(dialog, dialog->width(), dialog->height());
            dialog->removeEventFilter(this);
            deleteLater();
        }
        return false;
    }
};

} // namespace

void ControlSubClasser::CentreFileDialogHook(QFileDialog* dialog)
{
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    dialog->installEventFilter(new CentreOnFirstShow(dialog));
}

} // namespace GUI
