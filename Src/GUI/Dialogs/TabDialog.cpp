#include "GUI/Dialogs/TabDialog.h"

#include "GUI/ProgramFont.h"

#include <QCloseEvent>
#include <QTimer>

namespace GUI {

TabDialog::TabDialog(IParentWindow& frame, HelpTable help)
    : DialogBase(*this, 0, help), frame_(frame)
{
    setFont(ProgramFont(8, 400));
}

void TabDialog::Initialise(const Configuration::ConfigurationData& settings)
{
    ApplyTexts();
    Load(settings);
    DescribeControls();
    NameControls();
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
