#include "GUI/Dialogs/Dialog.h"

#include "GUI/ProgramFont.h"

#include <QLabel>

namespace GUI {

Dialog::Dialog(QWidget* owner, int dialogId, const QString& title, HelpTable help)
    : QDialog(owner), DialogBase(*this, dialogId, help)
{
    setProperty("controlId", dialogId);
    setFont(ProgramFont(8, 400));
    setWindowTitle(title);
}

void Dialog::Initialise(int argument)
{
    ApplyTexts();
    Prepare(argument);
    HookControls(*this);
    DescribeControls();
}

int Dialog::Open(int argument)
{
    Initialise(argument);
    return exec();
}

void Dialog::Prepare(int /*argument*/) {}

void Dialog::ShowHelp(const QString& text)
{
    if (helpLine_)
        helpLine_->setText(text);
}

} // namespace GUI
