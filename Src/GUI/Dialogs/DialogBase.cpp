#include "GUI/Dialogs/DialogBase.h"

#include "GUI/ProgramFont.h"
#include "System/CurrentLanguage.h"

#include <QAbstractButton>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QWidget>

#include <optional>

namespace GUI {

namespace {

// The text a control or window had before the first language was put on it: what it shows
// again when a later language gives no text of its own.
constexpr const char* OwnTextProperty = "ownText";

std::optional<QString> TextOf(const QWidget* control)
{
    if (const auto* button = qobject_cast<const QAbstractButton*>(control))
        return button->text();
    if (const auto* label = qobject_cast<const QLabel*>(control); label && label->pixmap().isNull())
        return label->text();
    if (const auto* group = qobject_cast<const QGroupBox*>(control))
        return group->title();
    return std::nullopt;
}

void SetTextOf(QWidget* control, const QString& text)
{
    if (auto* button = qobject_cast<QAbstractButton*>(control))
        button->setText(text);
    else if (auto* label = qobject_cast<QLabel*>(control))
        label->setText(text);
    else if (auto* group = qobject_cast<QGroupBox*>(control))
        group->setTitle(text);
}

QString OwnText(QWidget* widget, const QString& current)
{
    const QVariant own = widget->property(OwnTextProperty);
    if (own.isValid())
        return own.toString();
    widget->setProperty(OwnTextProperty, current);
    return current;
}

// A label's text as it reads: mnemonic marks removed, "&&" kept as one ampersand.
QString WithoutMnemonics(const QString& text)
{
    QString plain;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size())
            ++i;
        plain += text[i];
    }
    return plain;
}

std::optional<int> ControlIdOf(const QObject* object)
{
    const QVariant id = object->property("controlId");
    if (!id.isValid())
        return std::nullopt;
    return id.toInt();
}

// The mouse on the window's own surface (or passed on by a control that ignores it) clears
// the hovered mark, so the help goes back to none and the same control reports again.
class SurfaceFilter final : public QObject {
public:
    SurfaceFilter(ControlSubClasser& receiver, QObject* parent) : QObject(parent), receiver_(receiver) {}

protected:
    bool eventFilter(QObject* /*object*/, QEvent* event) override
    {
        if (event->type() == QEvent::MouseMove && receiver_.ResetHoveredControl())
            receiver_.OnControlHover(-1);
        return false;
    }

private:
    ControlSubClasser& receiver_;
};

} // namespace

DialogBase::DialogBase(QWidget& window, int dialogId, HelpTable help)
    : window_(window), dialogId_(dialogId), help_(help)
{
}

DialogBase::~DialogBase()
{
    if (!surfaceFilter_)
        return;
    window_.removeEventFilter(surfaceFilter_);
    delete surfaceFilter_;
    RestoreChildControls(&window_);
}

DialogUnits DialogBase::Units() const
{
    return DialogUnits::Of(window_.font());
}

QWidget* DialogBase::Control(int id) const
{
    for (QWidget* child : window_.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (ControlIdOf(child) == id)
            return child;
    }
    return nullptr;
}

void DialogBase::PlaceWidget(QWidget* control, int id, const QRect& pixels)
{
    if (control->parentWidget() != &window_)
        control->setParent(&window_);
    control->setProperty("controlId", id);
    control->setGeometry(pixels);
}

void DialogBase::ApplyTexts()
{
    const auto language = System::CurrentLanguage();
    if (window_.isWindow()) {
        const QString own = OwnText(&window_, window_.windowTitle());
        const char16_t* title = language->GetDialogTitle(dialogId_);
        window_.setWindowTitle(title ? FromTableText(title) : own);
    }
    for (QWidget* control : window_.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const auto id = ControlIdOf(control);
        const auto text = TextOf(control);
        if (!id || !text || *id < System::ILanguage::FirstControlId || *id > System::ILanguage::LastControlId)
            continue;
        const QString own = OwnText(control, *text);
        const char16_t* translated = language->GetDialogControlText(*id);
        SetTextOf(control, translated ? FromTableText(translated) : own);
    }
}

void DialogBase::HookControls(ControlSubClasser& receiver)
{
    if (surfaceFilter_)
        return;
    SubclassChildControls(&window_, &receiver);
    window_.setMouseTracking(true);
    surfaceFilter_ = new SurfaceFilter(receiver, &window_);
    window_.installEventFilter(surfaceFilter_);
}

void DialogBase::DescribeControls()
{
    const QList<QWidget*> children = window_.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* control : children) {
        const auto id = ControlIdOf(control);
        if (!id)
            continue;
        const QString help = help_.Text(*id);
        if (!help.isEmpty())
            control->setAccessibleDescription(help);
        if (TextOf(control))
            continue; // buttons and labels are named by their texts
        QString name;
        for (QWidget* other : children) {
            const auto* label = qobject_cast<const QLabel*>(other);
            if (label && label->buddy() == control)
                name = WithoutMnemonics(label->text());
        }
        if (name.isEmpty())
            name = help;
        if (!name.isEmpty())
            control->setAccessibleName(name);
    }
}

void DialogBase::OnControlHover(int controlId)
{
    ShowHelp(help_.Text(controlId));
}

void DialogBase::ShowHelp(const QString& /*text*/) {}

} // namespace GUI
