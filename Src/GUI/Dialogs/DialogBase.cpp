#include "GUI/Dialogs/DialogBase.h"

#include "GUI/ProgramFont.h"
#include "System/CurrentLanguage.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>
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

// Marks the widget of a DialogBase: a dialog does not look into the pages inside it.
constexpr const char* SurfaceProperty = "dialogSurface";

void CollectControls(const QWidget* parent, QList<QWidget*>& controls)
{
    for (QObject* child : parent->children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (!widget || widget->isWindow() || widget->property(SurfaceProperty).isValid())
            continue;
        if (ControlIdOf(widget))
            controls.append(widget);
        CollectControls(widget, controls);
    }
}

} // namespace

DialogBase::DialogBase(QWidget& window, int dialogId, HelpTable help)
    : window_(window), dialogId_(dialogId), help_(help)
{
    window_.setProperty(SurfaceProperty, true);
}

DialogBase::~DialogBase() = default;

DialogUnits DialogBase::Units() const
{
    return DialogUnits::Of(window_.font());
}

QList<QWidget*> DialogBase::Controls() const
{
    QList<QWidget*> controls;
    CollectControls(&window_, controls);
    return controls;
}

QWidget* DialogBase::Control(int id) const
{
    for (QWidget* control : Controls()) {
        if (ControlIdOf(control) == id)
            return control;
    }
    return nullptr;
}

void DialogBase::ApplyTexts()
{
    const auto language = System::CurrentLanguage();
    if (window_.isWindow()) {
        const QString own = OwnText(&window_, window_.windowTitle());
        const char16_t* title = language->GetDialogTitle(dialogId_);
        window_.setWindowTitle(title ? FromTableText(title) : own);
    }
    for (QWidget* control : Controls()) {
        const auto id = ControlIdOf(control);
        const auto text = TextOf(control);
        if (!id || !text || *id < System::ILanguage::FirstControlId || *id > System::ILanguage::LastControlId)
            continue;
        const QString own = OwnText(control, *text);
        const char16_t* translated = language->GetDialogControlText(*id);
        SetTextOf(control, translated ? FromTableText(translated) : own);
    }
}

void DialogBase::DescribeControls()
{
    const QList<QLabel*> labels = window_.findChildren<QLabel*>();
    for (QWidget* control : Controls()) {
        const QString help = help_.Text(*ControlIdOf(control));
        // A tab control's help belongs to its tabs: the page under them clears the line.
        auto* tabs = qobject_cast<QTabWidget*>(control);
        (tabs ? static_cast<QWidget*>(tabs->tabBar()) : control)->setStatusTip(help);
        if (qobject_cast<QSlider*>(control))
            SetFocusOnHover(control);
        if (!help.isEmpty())
            control->setAccessibleDescription(help);
        if (TextOf(control))
            continue; // buttons and labels are named by their texts
        QString name;
        for (const QLabel* label : labels) {
            if (label->buddy() == control)
                name = WithoutMnemonics(label->text());
        }
        if (name.isEmpty())
            name = help;
        if (!name.isEmpty())
            control->setAccessibleName(name);
    }
}

} // namespace GUI
