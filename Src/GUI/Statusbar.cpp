#include "GUI/Statusbar.h"

namespace GUI {

Statusbar::Statusbar(QWidget* parent)
    : QStatusBar(parent)
{
    // The main window has a fixed size, so there is nothing to drag.
    setSizeGripEnabled(false);
}

Statusbar::~Statusbar() = default;

void Statusbar::SetText(const QString& text)
{
    if (text.isEmpty())
        clearMessage();
    else
        showMessage(text);
}

} // namespace GUI
