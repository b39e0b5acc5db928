#include "GUI/Dialogs/Dialog.h"

#include "GUI/ProgramFont.h"
#include "GUI/ScreenFit.h"

#include <QLabel>
#include <QStatusTipEvent>

namespace GUI {

Dialog::Dialog(QWidget* owner, int dialogId, const QString& title, HelpTable help)
    : QDialog(owner), DialogBase(*this, dialogId, help)
{
    setProperty("controlId", dialogId);
    setFont(ProgramFont(8, 400));
    setWindowTitle(title);
    FitWhenFramed(*this, [this] { Fit(); });
}

void Dialog::Initialise(int argument)
{
    ApplyTexts();
    Prepare(argument);
    DescribeControls();
    Fit();
}

void Dialog::Fit()
{
    FitToScreen(*this);
}

int Dialog::Open(int argument)
{
    Initialise(argument);
    return exec();
}

void Dialog::Prepare(int /*argument*/) {}

bool Dialog::event(QEvent* event)
{
    if (event->type() != QEvent::StatusTip)
        return QDialog::event(event);
    if (helpLine_)
        helpLine_->setText(static_cast<QStatusTipEvent*>(event)->tip());
    return true;
}

} // namespace GUI
