#include "GUI/Statusbar.h"

namespace GUI {

Statusbar::Statusbar(QWidget* parent)
    : QStatusBar(parent)
{
    // The window's own frame resizes it; a grip would only crowd the help text.
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
