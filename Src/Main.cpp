// Tolvane: starts the main window, runs the program until the window closes.
#include "Core/EngineObjects.h"
#include "GUI/ApplicationWindow.h"
#include "GUI/VisualBeatIndicator.h"

#include <QApplication>
#include <QSocketNotifier>

#include <csignal>
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
}

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tolvane"));
    QApplication::setDesktopFileName(QStringLiteral("tolvane"));

    GUI::ApplicationWindow window;
    if (!window.Startup())
        return 0;
    Core::GetMetronome().SetBeatIndicator(window.BeatIndicator());
    CloseOnEndSignals(window);

    const int code = QApplication::exec();
    Core::GetMetronome().SetBeatIndicator(nullptr);
    return code;
}
