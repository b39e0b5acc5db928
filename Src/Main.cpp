// Tolvane: starts the main window, runs the program until the window closes.
#include "Configuration/FileConfiguration.h"
#include "Core/Control/ClockBeatIndicator.h"
#include "Core/Engine/Program.h"
#include "Platform/Audio/AlsaClockOut.h"
#include "Platform/Audio/MidiClock.h"
#include "Diary/Csv.h"
#include "Diary/Keeper.h"
#include "GUI/ApplicationWindow.h"
#include "GUI/CommandLine.h"
#include "GUI/ExportCommand.h"
#include "GUI/ScoreCommand.h"
#include "GUI/Dialogs/DiaryDialog.h"
#include "GUI/VisualBeatIndicator.h"
#include "Platform/Files.h"
#include "Platform/LinkSession.h"
#include "Platform/Text.h"
#include "System/Log.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <sys/stat.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void OnEndSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = write(signalPipe[1], &byte, 1);
}

// SIGTERM and SIGINT (a session ending, Ctrl+C in a terminal) close the window the ordinary
// way, so the settings are saved as when the user closes it.
void CloseOnEndSignals(QWidget& window)
{
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
        char byte = 0;
        [[maybe_unused]] const auto read = ::read(signalPipe[0], &byte, 1);
        window.close();
    });
    struct sigaction action {};
    action.sa_handler = OnEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr); // the terminal that started the program closed
}

// Losing the display connection ends the process inside the windowing system's plug-in
// (exit on X11, a fatal message on Wayland) without closing the window: the settings are
// saved on the way out all the same, and the metronome stops, so that no tick runs while
// the process ends.
GUI::ApplicationWindow* abruptEndWindow = nullptr;
Core::Metronome* abruptEndMetronome = nullptr;
QtMessageHandler previousMessageHandler = nullptr;

void SaveOnAbruptEnd()
{
    if (abruptEndWindow != nullptr)
        abruptEndWindow->SaveOnAbruptEnd();
    if (abruptEndMetronome != nullptr)
        abruptEndMetronome->Stop();
}

void SaveBeforeFatalMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtFatalMsg)
        SaveOnAbruptEnd();
    if (previousMessageHandler != nullptr)
        previousMessageHandler(type, context, message);
}

void SaveOnDisplayLoss(GUI::ApplicationWindow& window, Core::Metronome& metronome)
{
    abruptEndWindow = &window;
    abruptEndMetronome = &metronome;
    std::atexit(SaveOnAbruptEnd);
    previousMessageHandler = qInstallMessageHandler(SaveBeforeFatalMessage);
}

constexpr const char* OutOfMemory =
    "tolvane: not enough memory to read the settings file; it is left as it is (Tolvane.log says more)\n";

constexpr const char* NoDisplay =
    "tolvane: no display to open the window on; start Tolvane inside a desktop session (DISPLAY or WAYLAND_DISPLAY)\n";

// Help, version and a refused command line need no display: they are answered with a plain
// application object, on stdout (help, version) or stderr with the usage (status 2).
int AnswerCommandLine(const GUI::CommandLine& commandLine, int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    switch (commandLine.Result()) {
    case GUI::CommandLine::Outcome::Help:
        std::fputs(qPrintable(commandLine.Help()), stdout);
        return 0;
    case GUI::CommandLine::Outcome::Version:
        std::fputs(qPrintable(GUI::CommandLine::VersionLine() + QLatin1Char('\n')), stdout);
        return 0;
    default:
        std::fprintf(stderr, "tolvane: %s\n\n%s", qPrintable(commandLine.Error()), qPrintable(commandLine.Help()));
        return 2;
    }
}

// --diary-csv: the diary's sessions as CSV, in this process, with no display and no window; a
// copy of the program that runs meanwhile keeps writing its own sessions (the diary's
// write-ahead log lets both at the file). No diary yet gives the header line alone.
int ExportDiary(const QString& file)
{
    const std::string path = Diary::Store::DefaultPath();
    std::vector<Diary::Session> sessions;
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0) {
        Diary::Store store;
        if (!store.Open(path, false)) {
            std::fprintf(stderr, "tolvane: %s\n", store.Problem().c_str());
            return 1;
        }
        sessions = store.Sessions();
        if (!store.Problem().empty()) {
            std::fprintf(stderr, "tolvane: %s\n", store.Problem().c_str());
            return 1;
        }
    } else {
        std::fprintf(stderr, "tolvane: there is no practice diary yet (%s); the CSV holds its header only\n",
                     path.c_str());
    }
    std::string problem;
    if (!Diary::WriteCsv(sessions, file.toStdString(), problem)) {
        std::fprintf(stderr, "tolvane: the CSV could not be written: %s\n", problem.c_str());
        return 1;
    }
    return 0;
}

// While Qt opens the display, its messages are held back: a display that cannot be opened
// ends in a fatal message, which becomes the program's one-line error and exit status 1
// instead of an abort. Once the display is open, the held messages go out as usual.
struct HeldMessage {
    QtMsgType type;
    QByteArray category;
    QString text;
};
QtMessageHandler previousHandler = nullptr;
QList<HeldMessage>* heldMessages = nullptr;

void HoldWhileOpeningDisplay(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtFatalMsg) {
        std::fputs(NoDisplay, stderr);
        std::_Exit(1);
    }
    heldMessages->append({type, QByteArray(context.category ? context.category : "default"), message});
}

} // namespace

int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const GUI::CommandLine commandLine(arguments);
    // An export is its own process: no display, no sound server, no running copy involved.
    if (commandLine.Result() == GUI::CommandLine::Outcome::Export)
        return GUI::RunExportCommand(commandLine.Export());
    // Scoring a take is work of its own: no display, never handed to a running copy.
    if (commandLine.Result() == GUI::CommandLine::Outcome::Score)
        return GUI::ScoreFromCommandLine(commandLine.ScoreRequest());
    if (commandLine.Result() == GUI::CommandLine::Outcome::DiaryCsv)
        return ExportDiary(commandLine.DiaryCsvFile());
    if (commandLine.Result() != GUI::CommandLine::Outcome::Run)
        return AnswerCommandLine(commandLine, argc, argv);
    if (!GUI::DisplayNamed(arguments)) {
        std::fputs(NoDisplay, stderr);
        return 1;
    }

    GUI::PaintWithoutWaitingForTheDisplayServer();
    QList<HeldMessage> held;
    heldMessages = &held;
    previousHandler = qInstallMessageHandler(HoldWhileOpeningDisplay);
    QApplication application(argc, argv);
    qInstallMessageHandler(previousHandler);
    for (const HeldMessage& message : held)
        qt_message_output(message.type, QMessageLogContext(nullptr, 0, nullptr, message.category.constData()),
                          message.text);
    heldMessages = nullptr;
    QApplication::setApplicationName(QStringLiteral("Tolvane"));
    QApplication::setApplicationVersion(QStringLiteral(TOLVANE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral(TOLVANE_APP_ID));

    // The settings store and the engine are made before the window and outlive it: the
    // window saves the settings as it closes, its last Stop still finds the metronome, and the
    // metronome's the engines and the timer.
    Configuration::FileConfiguration settings;
    settings.SetFirstSettings(Platform::FirstSettingsFile());
    if (!commandLine.MidiClockPort().isEmpty())
        Platform::Audio::MidiClockOut::Instance().ConnectTo(commandLine.MidiClockPort().toStdString());
    // The beats of a MIDI clock that comes in, for the runs to follow: outlives the program.
    Core::BeatGrid clockGrid;
    // The beats of an Ableton Link session, likewise; the session itself leaves before the
    // program's output goes (its thread reads the output's clock).
    Platform::ExternalTimeline linkTimeline;
    Core::Program program;
    Platform::LinkSession link(linkTimeline, program.Output());
    program.Controller().FollowGrid(&clockGrid);
    // The diary outlives the window, whose last Stop writes the session playing then.
    Diary::Keeper diary(settings);
    GUI::ApplicationWindowOptions options;
    options.requests = commandLine.Requests();
    options.diary = &diary;
    options.midiInput = &program.Output();
    options.clockGrid = &clockGrid;
    options.link = &link;
    options.trainerGate = &program.Gate();
    GUI::ApplicationWindow window(program.Controller(), settings, options);
    try {
        if (!window.Startup())
            return window.RefusedRequests().isEmpty() ? 0 : 1; // another copy took the requests
    } catch (const std::bad_alloc&) {
        // A settings file too large for the memory there is: the store has refused saving and
        // freed what it read; the program ends rather than run without the user's settings.
        std::fputs(OutOfMemory, stderr);
        return 1;
    }
    // The lamp's beats also carry the MIDI clock out: the JACK client's midi_out port, or
    // without JACK the ALSA sequencer's port Tolvane:midi_out.
    Core::ClockBeatIndicator beats(window.BeatIndicator());
    program.Controller().SetBeatIndicator(&beats);
    Platform::Audio::AlsaClockOut alsaClock(Platform::Audio::MidiClockOut::Instance(), Platform::Audio::MakeSequencerPort());
    alsaClock.Start(program.Output(), [](const std::string& why) {
        System::Log().Write(System::Information, "MIDI clock out through the ALSA sequencer is not available (%s)", why.c_str());
    });
    // The spoken count speaks the program's language (the settings hold its file's name).
    program.Speech().FollowLanguage([&settings] { return Platform::Text::Utf16ToUtf8(settings.GetLanguage()); });
    CloseOnEndSignals(window);
    SaveOnDisplayLoss(window, program.Controller());
    // A diary that cannot be used is told once, while the window shows; the log has the
    // reason in any case. A diary there is opened once the window is up, so that the start is
    // not kept waiting and a problem shows at once; a new one is made at the first session.
    diary.SetProblemHandler([&window, &diary](Diary::Store::Trouble trouble, const std::string& problem) {
        const QString path = QString::fromStdString(diary.Path());
        const QString text = QString::fromStdString(problem);
        QTimer::singleShot(0, &window, [&window, trouble, path, text] {
            if (window.isVisible())
                GUI::DiaryDialog::TellUnusable(&window, trouble, path, text);
        });
    });
    QTimer::singleShot(0, &window, [&diary] {
        if (diary.SwitchedOn())
            diary.Open(false);
    });

    const int code = QApplication::exec();
    abruptEndWindow = nullptr;
    abruptEndMetronome = nullptr;
    program.Controller().SetBeatIndicator(nullptr);
    alsaClock.Stop();
    return code;
}
