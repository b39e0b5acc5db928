#include "GUI/Toolbar.h"

#include "GUI/ProgramFont.h"
#include "GUI/Resources.h"
#include "System/CurrentLanguage.h"

#include <QAction>
#include <QIcon>
#include <QToolButton>

#include <algorithm>

namespace GUI {

namespace {

constexpr int IconSize = 24;
constexpr int ButtonWidth = 94;
constexpr int ButtonHeight = 50;
constexpr int FirstIcon = 130;
constexpr int TextPadding = 10; // what a button needs beside its text to show it whole

} // namespace

Toolbar::Toolbar(QWidget* parent, std::array<QAction*, ButtonCount> actions)
    : QToolBar(parent)
{
    InitialiseResources();
    setMovable(false);
    setFloatable(false);
    setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    setIconSize(QSize(IconSize, IconSize));

    for (int position = 0; position < ButtonCount; ++position) {
        const int command = FirstCommand + position;
        QAction* action = actions[static_cast<std::size_t>(position)];
        if (!action) {
            action = new QAction(this);
            action->setData(command);
        }
        action->setIcon(QIcon(QStringLiteral(":/icons/%1.png").arg(FirstIcon + position)));
        action->setIconVisibleInMenu(false);
        addAction(action);
        actions_[static_cast<std::size_t>(position)] = action;

        QWidget* button = widgetForAction(action);
        button->setProperty("controlId", command);
        button->setFont(ProgramFont(8, 400)); // the font of the window's other controls
        button->setFixedSize(ButtonWidth, ButtonHeight);
    }
    SetTexts();
}

Toolbar::~Toolbar() = default;

void Toolbar::SetTexts()
{
    const auto language = System::CurrentLanguage();
    const auto texts = System::ToolbarTexts(*language, ButtonCount);
    for (int position = 0; position < ButtonCount; ++position) {
        QAction* action = actions_[static_cast<std::size_t>(position)];
        const auto index = static_cast<std::size_t>(position);
        action->setIconText(index < texts.size() ? FromTableText(texts[index]) : QString());
        action->setToolTip(FromTableText(language->GetTooltip(position)));
        QToolButton* button = Button(position);
        const int width =
            std::max(ButtonWidth, button->fontMetrics().horizontalAdvance(action->iconText()) + TextPadding);
        button->setFixedSize(width, ButtonHeight);
        button->setAccessibleDescription(action->toolTip());
    }
}

QToolButton* Toolbar::Button(int position) const
{
    if (position < 0 || position >= ButtonCount)
        return nullptr;
    return qobject_cast<QToolButton*>(widgetForAction(actions_[static_cast<std::size_t>(position)]));
}

} // namespace GUI
