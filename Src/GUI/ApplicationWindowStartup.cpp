// The program's life cycle in the main window: start-up, the language of the texts, bringing
// the window forward for another copy, and shutdown.
#include "GUI/ApplicationWindow.h"

#include "Configuration/IConfiguration.h"
#include "GUI/BeatsPerMinuteDisplay.h"
#include "GUI/CommandLine.h"
#include "GUI/ProgramFont.h"
#include "GUI/SingleInstance.h"
#include "GUI/StartupChecks.h"
#include "GUI/Toolbar.h"
#include "Platform/Files.h"
#include "System/CurrentLanguage.h"
#include "System/ErrorReport.h"
#include "System/LanguageFileReader.h"
#include "System/Log.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <sys/utsname.h>

namespace GUI {

namespace {

constexpr const char* LanguageFailure =
    "Unable to initialise language. There may be an issue with the selected language file.";

} // namespace

bool KernelReleaseSupported(const char* release)
{
    int major = 0;
    int minor = 0;
    if (!release || std::sscanf(release, "%d.%d", &major, &minor) != 2)
        return false;
    return major > 3 || (major == 3 && minor >= 2);
}

bool SafeLanguageName(const std::u16string& name)
{
    if (name.empty() || name == u"." || name == u"..")
        return false;
    for (const char16_t unit : name) {
        if (unit == u'/' || unit == u'\\' || unit == 0)
            return false;
    }
    return true;
}

bool ApplicationWindow::Startup()
{
    if (!CheckSingleInstance())
        return false;
    configuration_.Load(); // a missing or faulty file leaves the defaults

    const std::u16string name(configuration_.GetLanguage());
    if (!InitialiseLanguage(name)) {
        // Ending the program here would leave the user nothing to act on: run in English and
        // forget the language, as a failed switch does.
        System::SetCurrentLanguage(System::BuiltInLanguage());
        languageKind_ = 1;
        configuration_.GetLanguage()[0] = u'\0';
    }
    if (!SystemCheck())
        return false;
    CreateInterface();
    ControlHelp();
    CreateShortcuts();
    show();
    FitOuterSize();
    ReturnFocus(); // keys go to the tempo control from the start
    // Loading the sounds and opening the output take a while; done now in the background, the
    // first Start does not have to wait for them.
    metronome_.PrepareSounds(Settings());
    // The command line's wishes wait for the event loop: the window's first showing is over
    // then, and a start plays as from the Start button.
    QTimer::singleShot(0, this, [this] {
        for (const QString& request : options_.requests) {
            if (!CarryOutRequest(request)) {
                refused_ << request;
                ReportRefusedRequest(request);
            }
        }
    });
    TellSavingRefused();
    return true;
}

void ApplicationWindow::TellSavingRefused()
{
    using Refusal = Configuration::IConfiguration::SaveRefusal;
    const Refusal refusal = configuration_.SavingRefused();
    if (refusal == Refusal::None)
        return;
    // The text tables and the language files hold no such message yet: it is shown in English.
    const QString text = refusal == Refusal::UnreadableFile
                             ? QStringLiteral("The settings file could not be read. It is left as it is, and the settings "
                                              "you change will not be saved this time. The log file Tolvane.log names "
                                              "the file and the reason.")
                             : QStringLiteral("There is no folder that only you can write to for the settings, so the "
                                              "settings you change will not be saved this time.");
    // Not modal: the window is usable at once, and nothing waits for the box.
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Settings Not Saved"), text, QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("savingRefused"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

bool ApplicationWindow::CheckSingleInstance()
{
    if (!options_.singleInstance)
        return true;
    instance_ = new SingleInstance(options_.instanceName, this);
    if (const auto answers = instance_->SendToRunningCopy(options_.requests)) {
        // The running copy has come forward and taken the requests; this one ends quietly.
        for (qsizetype i = 0; i < options_.requests.size(); ++i) {
            if (answers->value(i) != QLatin1String("1")) {
                refused_ << options_.requests[i];
                ReportRefusedRequest(options_.requests[i]);
            }
        }
        return false;
    }
    using Access = SingleInstance::Access;
    const auto answer = [](bool accepted) { return accepted ? QStringLiteral("1") : QStringLiteral("0"); };
    instance_->AddRequest(QStringLiteral("query"), [this](const QString&) {
        ActivateFromOtherCopy();
        return QStringLiteral("2");
    });
    instance_->AddRequest(QStringLiteral("tempo"), [this, answer](const QString& arguments) {
        bool number = false;
        const int tempo = arguments.toInt(&number);
        return answer(number && SetTempoRequest(tempo));
    });
    instance_->AddRequest(QStringLiteral("preset"),
                          [this, answer](const QString& name) { return answer(LoadPresetRequest(name)); });
    instance_->AddRequest(QStringLiteral("start"), [this, answer](const QString&) { return answer(StartRequest()); });
    instance_->AddRequest(
        QStringLiteral("startstop"),
        [this](const QString&) {
            if (client_)
                OnCommand(StartStopId);
            return QStringLiteral("1");
        },
        Access::TestsOnly);
    instance_->AddRequest(
        QStringLiteral("state"),
        [this](const QString&) { return QStringLiteral("%1 %2").arg(Running() || startWaiting_ ? 1 : 0).arg(Settings().Bpm); },
        Access::TestsOnly);
    instance_->Listen();
    return true;
}

bool ApplicationWindow::SystemCheck()
{
    const auto language = System::CurrentLanguage();
    utsname system{};
    if (uname(&system) != 0) {
        System::ReportSystemError(u".\\Src\\GUI\\ApplicationWindow", u"GUI::ApplicationWindow::SystemCheck", 209,
                                  u"Error calling uname");
        QMessageBox box(QMessageBox::Warning, FromTableText(language->GetText(0)),
                        FromTableText(language->GetMessage(0)), QMessageBox::Ok);
        box.exec();
        return false;
    }
    if (!KernelReleaseSupported(system.release)) {
        QMessageBox box(QMessageBox::Warning, FromTableText(language->GetMessageTitle(0)),
                        FromTableText(language->GetMessage(1)), QMessageBox::Ok);
        box.exec();
        return false;
    }
    return true;
}

bool ApplicationWindow::InitialiseLanguage(const std::u16string& name)
{
    if (name.empty()) {
        System::SetCurrentLanguage(System::BuiltInLanguage());
        languageKind_ = 1;
        return true;
    }
    std::shared_ptr<System::Language> table;
    if (SafeLanguageName(name)) {
        const std::string folder = options_.languageFolder.empty() ? Platform::LanguageFolder()
                                                                   : options_.languageFolder;
        table = System::LoadLanguageFile(folder + QString::fromStdU16String(name).toStdString() + ".lng");
    }
    if (!table) {
        System::Log().Write(System::Error, "%s", LanguageFailure);
        return false;
    }
    System::SetCurrentLanguage(std::move(table));
    languageKind_ = 2;
    return true;
}

bool ApplicationWindow::SwitchLanguage(const std::u16string& name)
{
    if (!InitialiseLanguage(name)) {
        System::SetCurrentLanguage(System::BuiltInLanguage());
        languageKind_ = 1;
        configuration_.GetLanguage()[0] = u'\0';
        return false;
    }
    if (!client_)
        return true;
    const auto language = System::CurrentLanguage();
    ApplyMenuTexts();
    toolbar_->SetTexts();
    display_->ReloadLabel();
    const auto setText = [&language](auto* control, int id) {
        if (const char16_t* text = language->GetControlText(id))
            control->setText(FromTableText(text));
    };
    setText(startStop_, StartStopId);
    setText(tap_, TapId);
    setText(tempoLabel_, TempoLabelId);
    setText(volumeLabel_, VolumeLabelId);
    if (const char16_t* title = language->GetText(0))
        setWindowTitle(FromTableText(title));
    DescribeControls();
    FitToTexts();
    LayOutBars();
    return true;
}

void ApplicationWindow::ActivateFromOtherCopy()
{
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

void ApplicationWindow::closeEvent(QCloseEvent* event)
{
    Shutdown();
    event->accept();
}

void ApplicationWindow::SaveOnAbruptEnd()
{
    if (shutDown_)
        return;
    shutDown_ = true;
    configuration_.Save();
}

void ApplicationWindow::Shutdown()
{
    if (shutDown_)
        return;
    shutDown_ = true;
    CancelWaitingStart();
    if (running_.load()) {
        running_.store(false);
        metronome_.Stop(); // returns once the timer thread is gone
    }
    events_.Drain();
    if (client_)
        RestoreChildControls(client_);
    configuration_.Save();
}

} // namespace GUI
