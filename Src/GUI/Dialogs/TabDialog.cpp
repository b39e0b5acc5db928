#include "GUI/Dialogs/TabDialog.h"

#include "GUI/ProgramFont.h"

#include <QCloseEvent>
#include <QTimer>

namespace GUI {

TabDialog::TabDialog(IParentWindow& frame, ControlSubClasser& helpReceiver, HelpTable help)
    : DialogBase(*this, 0, help), frame_(frame), helpReceiver_(helpReceiver)
{
    setFont(ProgramFont(8, 400));
    // The page's surface clears the help; the tab control behind it must not show its own.
    setAttribute(Qt::WA_NoMousePropagation);
}

void TabDialog::Initialise(const Configuration::ConfigurationData& settings)
{
    ApplyTexts();
    Load(settings);
    HookControls(helpReceiver_);
    DescribeControls();
    LayOut();
}

void TabDialog::Load(const Configuration::ConfigurationData& /*settings*/) {}

bool TabDialog::Apply(Configuration::ConfigurationData& /*record*/)
{
    return true;
}

void TabDialog::ShowAudioFiles(const QStringList& /*names*/, const Configuration::ConfigurationData& /*settings*/) {}

void TabDialog::closeEvent(QCloseEvent* event)
{
    event->ignore();
    if (QWidget* dialog = window(); dialog != this)
        QTimer::singleShot(0, dialog, [dialog] { dialog->close(); });
}

} // namespace GUI
