// The program's life cycle in the main window: start-up, the language of the texts, the
// requests of other copies, and shutdown.
#include "GUI/ApplicationWindowStartup.h"

#include "GUI/ApplicationWindow.h"

#include "Configuration/IConfiguration.h"
#include "GUI/CommandLine.h"
#include "GUI/ProgramFont.h"
#include "GUI/SingleInstance.h"
#include "GUI/StartupChecks.h"
#include "Platform/Files.h"
#include "System/CurrentLanguage.h"
#include "System/ErrorReport.h"
#include "System/LanguageFileReader.h"
#include "System/Log.h"

#include <QMessageBox>
#include <QTimer>

#include <cstdio>
#include <sys/utsname.h>

namespace GUI {

namespace {

// The message telling the first settings line that was not understood.
constexpr int UnreadLineTitle = 23;
constexpr int UnreadLineText = 54;
// What became of the command line's wishes: a preset that does not exist, a tempo the speed
// trainer overrides.
constexpr int CommandLineTitle = 24;
constexpr int UnknownPresetText = 55;
constexpr int TrainerTempoText = 56;
// Settings that will not be saved this time: the file could not be read, or there is no private
// folder for it.
constexpr int SavingRefusedTitle = 25;
constexpr int UnreadableSettingsText = 57;
constexpr int NoPrivateFolderText = 58;

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

ApplicationWindowStartup::ApplicationWindowStartup(ApplicationWindow& window) : window_(window) {}

bool ApplicationWindowStartup::Run()
{
    if (!CheckSingleInstance())
        return false;
    window_.configuration_.Load(); // a missing or faulty file leaves the defaults

    const std::u16string name(window_.configuration_.GetLanguage());
    if (!InitialiseLanguage(name)) {
        // Ending the program here would leave the user nothing to act on: run in English and
        // forget the language, as a failed switch does.
        System::SetCurrentLanguage(System::BuiltInLanguage());
        languageKind_ = 1;
        window_.configuration_.GetLanguage()[0] = u'\0';
    }
    if (!SystemCheck())
        return false;
    // Opening the output and loading the sounds take a while; begun now in the background,
    // while the window is built and shown, a Start soon after launch waits the least.
    window_.metronome_.PrepareSounds(window_.Settings());
    window_.CreateInterface();
    window_.RestoreViewSwitches();
    window_.ApplyOutputOffsetWhenPrepared(100);
    window_.ControlHelp();
    window_.StartRemoteControl();
    window_.ShowPlaced();
    window_.ReturnFocus(); // keys go to the tempo control from the start
    // The command line's wishes wait for the event loop: the window's first showing is over
    // then, and a start plays as from the Start button.
    QTimer::singleShot(0, &window_, [this] {
        const auto language = System::CurrentLanguage();
        QStringList notes;
        for (const QString& request : window_.options_.requests) {
            const bool tempo = request.startsWith(QLatin1String("tempo "));
            if (!window_.CarryOutRequest(request)) {
                refused_ << request;
                ReportRefusedRequest(request);
                if (request.startsWith(QLatin1String("preset ")))
                    notes << FromTableText(language->GetMessage(UnknownPresetText)).arg(request.mid(7));
            } else if (tempo && window_.Settings().SpeedTrainer != Configuration::TrainerMode::Off) {
                notes << FromTableText(language->GetMessage(TrainerTempoText)).arg(request.mid(6));
            }
        }
        if (!notes.isEmpty())
            TellCommandLine(notes.join(QStringLiteral("\n\n")));
    });
    TellSavingRefused();
    TellUnreadLines();
    return true;
}

void ApplicationWindowStartup::TellUnreadLines()
{
    const auto unread = window_.configuration_.UnreadLine();
    if (unread.count == 0)
        return;
    // The line as the file has it, cut to what a message box can show, shown as plain text
    // with control characters (a UTF-16 file's zero bytes, say) as spaces.
    constexpr qsizetype Shown = 80;
    QString line = QString::fromUtf8(unread.first.data(), static_cast<qsizetype>(unread.first.size()));
    if (line.size() > Shown)
        line = line.left(Shown - 1) + QChar(0x2026);
    for (QChar& character : line) {
        if (character.unicode() < 0x20)
            character = QLatin1Char(' ');
    }
    const auto language = System::CurrentLanguage();
    const QString text = FromTableText(language->GetMessage(UnreadLineText))
                             .arg(unread.firstNumber)
                             .arg(line)
                             .arg(unread.count);
    // Start-up does not wait for the box.
    auto* box = new QMessageBox(QMessageBox::Information, FromTableText(language->GetMessageTitle(UnreadLineTitle)),
                                text, QMessageBox::Ok, &window_);
    box->setObjectName(QStringLiteral("unreadLines"));
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void ApplicationWindowStartup::TellCommandLine(const QString& text)
{
    // As the other start-up messages: the window is usable at once.
    auto* box = new QMessageBox(QMessageBox::Information,
                                FromTableText(System::CurrentLanguage()->GetMessageTitle(CommandLineTitle)), text,
                                QMessageBox::Ok, &window_);
    box->setObjectName(QStringLiteral("commandLine"));
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void ApplicationWindowStartup::TellSavingRefused()
{
    using Refusal = Configuration::IConfiguration::SaveRefusal;
    const Refusal refusal = window_.configuration_.SavingRefused();
    if (refusal == Refusal::None)
        return;
    const auto language = System::CurrentLanguage();
    const QString text = FromTableText(
        language->GetMessage(refusal == Refusal::UnreadableFile ? UnreadableSettingsText : NoPrivateFolderText));
    // Not modal: the window is usable at once, and nothing waits for the box.
    auto* box =
        new QMessageBox(QMessageBox::Warning, FromTableText(language->GetMessageTitle(SavingRefusedTitle)), text,
                        QMessageBox::Ok, &window_);
    box->setObjectName(QStringLiteral("savingRefused"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

bool ApplicationWindowStartup::CheckSingleInstance()
{
    const ApplicationWindowOptions& options = window_.options_;
    if (!options.singleInstance)
        return true;
    instance_ = new SingleInstance(options.instanceName, &window_);
    if (const auto answers = instance_->SendToRunningCopy(options.requests)) {
        // The running copy has come forward and taken the requests; this one ends quietly.
        for (qsizetype i = 0; i < options.requests.size(); ++i) {
            if (answers->value(i) != QLatin1String("1")) {
                refused_ << options.requests[i];
                ReportRefusedRequest(options.requests[i]);
            }
        }
        return false;
    }
    using Access = SingleInstance::Access;
    ApplicationWindow& window = window_;
    const auto answer = [](bool accepted) { return accepted ? QStringLiteral("1") : QStringLiteral("0"); };
    instance_->AddRequest(QStringLiteral("query"), [&window](const QString&) {
        window.ActivateFromOtherCopy();
        return QStringLiteral("2");
    });
    instance_->AddRequest(QStringLiteral("tempo"), [&window, answer](const QString& arguments) {
        bool number = false;
        const int tempo = arguments.toInt(&number);
        return answer(number && window.SetTempoRequest(tempo));
    });
    instance_->AddRequest(QStringLiteral("preset"),
                          [&window, answer](const QString& name) { return answer(window.LoadPresetRequest(name)); });
    instance_->AddRequest(QStringLiteral("practice"),
                          [&window, answer](const QString& option) { return answer(window.PracticeRequest(option)); });
    instance_->AddRequest(QStringLiteral("view"),
                          [&window, answer](const QString& wish) { return answer(window.ViewRequest(wish)); });
    instance_->AddRequest(QStringLiteral("song"), [&window, answer](const QString& arguments) {
        return answer(window.SongRequest(QStringLiteral("song ") + arguments));
    });
    instance_->AddRequest(QStringLiteral("setlist"), [&window, answer](const QString& path) {
        return answer(window.SongRequest(QStringLiteral("setlist ") + path));
    });
    instance_->AddRequest(QStringLiteral("osc"),
                          [&window, answer](const QString& port) { return answer(window.CarryOutRequest("osc " + port)); });
    instance_->AddRequest(QStringLiteral("clock"),
                          [&window, answer](const QString& mode) { return answer(window.CarryOutRequest("clock " + mode)); });
    instance_->AddRequest(QStringLiteral("transport"), [&window, answer](const QString& mode) {
        return answer(window.CarryOutRequest("transport " + mode));
    });
    instance_->AddRequest(QStringLiteral("link"),
                          [&window, answer](const QString& mode) { return answer(window.CarryOutRequest("link " + mode)); });
    instance_->AddRequest(QStringLiteral("start"),
                          [&window, answer](const QString&) { return answer(window.StartRequest()); });
    instance_->AddRequest(
        QStringLiteral("startstop"),
        [&window](const QString&) {
            if (window.client_)
                window.OnCommand(ApplicationWindow::StartStopId);
            return QStringLiteral("1");
        },
        Access::TestsOnly);
    // A command carried out once the answer is out: a dialog it opens runs its own event loop.
    instance_->AddRequest(
        QStringLiteral("command"),
        [&window](const QString& arguments) {
            const int command = arguments.toInt();
            QTimer::singleShot(0, &window, [&window, command] { window.OnCommand(command); });
            return QStringLiteral("1");
        },
        Access::TestsOnly);
    instance_->AddRequest(
        QStringLiteral("state"),
        [&window](const QString&) {
            return QStringLiteral("%1 %2").arg(window.Running() || window.startWaiting_ ? 1 : 0).arg(window.Tempo());
        },
        Access::TestsOnly);
    instance_->Listen();
    return true;
}

bool ApplicationWindowStartup::SystemCheck()
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

bool ApplicationWindowStartup::InitialiseLanguage(const std::u16string& name)
{
    if (name.empty()) {
        System::SetCurrentLanguage(System::BuiltInLanguage());
        languageKind_ = 1;
        return true;
    }
    std::shared_ptr<System::Language> table;
    if (SafeLanguageName(name)) {
        table = System::LoadLanguageFile(window_.LanguageFolder() + QString::fromStdU16String(name).toStdString() + ".lng");
    }
    if (!table) {
        System::Log().Write(System::Error, "%s", LanguageFailure);
        return false;
    }
    System::SetCurrentLanguage(std::move(table));
    languageKind_ = 2;
    return true;
}

bool ApplicationWindowStartup::SwitchLanguage(const std::u16string& name)
{
    if (InitialiseLanguage(name))
        return true;
    System::SetCurrentLanguage(System::BuiltInLanguage());
    languageKind_ = 1;
    window_.configuration_.GetLanguage()[0] = u'\0';
    return false;
}

void ApplicationWindowStartup::SaveOnAbruptEnd()
{
    if (shutDown_)
        return;
    shutDown_ = true;
    window_.KeepPlacement();
    window_.configuration_.Save();
}

void ApplicationWindowStartup::Shutdown()
{
    if (shutDown_)
        return;
    shutDown_ = true;
    window_.CancelWaitingStart();
    if (window_.running_.load()) {
        window_.running_.store(false);
        window_.metronome_.Stop(); // returns once the timer thread is gone
    }
    window_.events_.Drain();
    if (window_.client_)
        ControlSubClasser::RestoreChildControls(window_.client_);
    window_.KeepPlacement();
    window_.configuration_.Save();
}

} // namespace GUI
