// Reliability run for the sound output of the real program: a sound server that dies or hangs
// while the program plays must neither freeze the window nor keep a processor busy, and the
// program must play again once the server is back.
//
//   bench_sound_server [PROGRAM]   (PROGRAM: the tolvane beside this executable)
//
// Runs copies of PROGRAM from a temporary folder (offscreen, TOLVANE_TEST_COMMANDS=1) against a
// private PulseAudio server with a null sink, and prints one line per check with its figures:
//   server killed   SIGKILL while playing: time until the run has stopped and the failure is
//                   in the log, the program's CPU while the server is gone, and whether the
//                   next Start plays once a new server runs
//   server frozen   SIGSTOP while playing: the round trip of a Stop, the slowest answer of
//                   the window meanwhile, a Start refused with a message, and a Start after
//                   SIGCONT that plays
//   frozen playing  SIGSTOP while playing and nothing pressed: time until the run has stopped
//                   and the failure is in the log, CPU meanwhile, and a Start after SIGCONT
// Whether a run plays is heard on the sink's monitor (parec). Exit status 1 when a check fails.
// The server is signalled by its own process id only; every process started here is ended by
// its own id.
#include "CheckLines.h"
#include "ProgramDriver.h"

#include "PrivatePulseAudio.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

const char* const Sink = "tolvane_server";
std::string folder;
std::string socketPath;
using Bench::allPassed;
using Bench::Report;

using Bench::CpuPercent;
using Bench::Since;
using Bench::Within;

std::string Request(const std::string& line)
{
    return Bench::Request(socketPath, line);
}

/// Failed-sound entries in the program's log.
int FailedSounds()
{
    std::ifstream log(folder + "Tolvane.log");
    std::string line;
    int count = 0;
    while (std::getline(log, line))
        count += line.find("Error calling midiOutShortMsg") != std::string::npos;
    return count;
}

/// Records the sink while request (if any) is sent, for up to limit seconds: the seconds from
/// the request to the first sound louder than -40 dBFS, or -1 when nothing was heard.
double SecondsToSound(const TestSupport::PrivatePulseAudio& pulse, const std::string& request, double limit)
{
    const std::string path = folder + "monitor.raw";
    TestSupport::ChildProcess parec({"/usr/bin/parec", "--device=" + std::string(Sink) + ".monitor", "--rate=44100",
                                     "--channels=2", "--format=s16le", "--raw", "--latency-msec=10"},
                                    pulse.Environment(), path);
    std::this_thread::sleep_for(200ms); // recording from before the request
    std::ifstream file(path, std::ios::binary);
    const std::streamoff asked = file.seekg(0, std::ios::end).tellg(); // frames recorded before the request
    file.clear();
    if (!request.empty())
        Request(request);
    const auto begin = Clock::now();
    std::streamoff at = std::max<std::streamoff>(0, asked) & ~std::streamoff{3};
    file.seekg(at);
    while (Since(begin) < limit) {
        std::int16_t value = 0;
        while (file.read(reinterpret_cast<char*>(&value), 2)) {
            at += 2;
            if (std::abs(static_cast<int>(value)) > 328)
                return static_cast<double>((at - std::max<std::streamoff>(0, asked)) / 4) / 44100.0;
        }
        file.clear();
        file.seekg(at);
        std::this_thread::sleep_for(50ms);
    }
    return -1;
}

/// A fresh server in the same runtime folder, where the program finds it again.
std::unique_ptr<TestSupport::PrivatePulseAudio> StartServer()
{
    std::filesystem::remove(folder + "pulse-runtime/pulse/native"); // left by a killed server
    return std::make_unique<TestSupport::PrivatePulseAudio>(folder, Sink);
}

/// A fresh copy of the program, playing (heard on the sink) when it returns; null when it does
/// not come up or does not play.
std::unique_ptr<TestSupport::ChildProcess> StartProgram(const TestSupport::PrivatePulseAudio& pulse)
{
    std::filesystem::remove(folder + "Tolvane.log");
    std::vector<std::string> environment = pulse.Environment();
    environment.insert(environment.end(), {"QT_QPA_PLATFORM=offscreen", "TOLVANE_TEST_COMMANDS=1"});
    auto program = std::make_unique<TestSupport::ChildProcess>(std::vector<std::string>{folder + "tolvane"},
                                                               environment, folder + "tolvane.out");
    if (Within(60, [] { return Request("state") == "0 120"; }) < 0)
        return nullptr;
    // A Start that still waits for the sounds' preparation also says "1": only a click heard
    // on the sink shows that the run plays.
    if (SecondsToSound(pulse, "startstop", 20) < 0)
        return nullptr;
    std::this_thread::sleep_for(500ms);
    return program;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string program = Bench::ProgramToRun(argc, argv);
    std::string pattern = (std::filesystem::temp_directory_path() / "tolvane-server-XXXXXX").string();
    folder = std::string(mkdtemp(pattern.data())) + "/";
    std::filesystem::copy_file(program, folder + "tolvane");
    // The built-in sound's rendering helper goes with it.
    std::filesystem::copy_file(std::filesystem::path(program).parent_path() / "tolvane-kit", folder + "tolvane-kit");
    auto pulse = StartServer();
    socketPath = pulse->RuntimeFolder() + "/InstanceMap-" + std::to_string(geteuid());
    if (!pulse->Ready()) {
        std::fprintf(stderr, "pulseaudio did not start\n");
        return 1;
    }

    {
        auto tolvane = StartProgram(*pulse);
        if (!tolvane) {
            std::fprintf(stderr, "the program did not come up and play\n");
            return 1;
        }
        kill(pulse->Pid(), SIGKILL);
        const double detected = Within(20, [] { return FailedSounds() > 0 && Request("state") != "1 120"; });
        const double cpu = CpuPercent(tolvane->Pid(), 3);
        pulse = StartServer();
        const double after = SecondsToSound(*pulse, "start", 8);
        Report(detected >= 0 && cpu < 10 && after >= 0,
               "server killed: run stopped with the message and the log entry %.2f s after SIGKILL; CPU while the "
               "server was gone %.1f %%; with a new server, Start played after %.2f s",
               detected, cpu, after);
    }
    {
        auto tolvane = StartProgram(*pulse);
        if (!tolvane)
            return 1;
        kill(pulse->Pid(), SIGSTOP);
        const auto stop = Clock::now();
        const std::string stopped = Request("startstop");
        const double stopLatency = Since(stop);
        const bool idle = Request("state") == "0 120";
        double slowest = 0;
        for (int i = 0; i < 30; ++i) {
            const auto asked = Clock::now();
            Request("state");
            slowest = std::max(slowest, Since(asked));
            std::this_thread::sleep_for(100ms);
        }
        Request("startstop");
        // Refused with a message box: the tests' requests are turned down while it is open.
        const double refused = Within(20, [] { return Request("state") == "0"; });
        kill(pulse->Pid(), SIGCONT);
        const double after = SecondsToSound(*pulse, "start", 8);
        Report(stopped == "1" && stopLatency < 0.5 && idle && slowest < 0.5 && refused >= 0 && after >= 0,
               "server frozen: Stop answered after %.3f s; slowest answer of the window over 3 s frozen %.3f s; a Start "
               "while frozen refused with a message after %.2f s; after SIGCONT, Start played after %.2f s",
               stopLatency, slowest, refused, after);

        kill(pulse->Pid(), SIGSTOP);
        const int failed = FailedSounds();
        const double detected = Within(20, [failed] { return FailedSounds() > failed; });
        const auto asked = Clock::now();
        Request("state");
        const double answered = Since(asked);
        const double cpu = CpuPercent(tolvane->Pid(), 3);
        kill(pulse->Pid(), SIGCONT);
        const double again = SecondsToSound(*pulse, "start", 8);
        Report(detected >= 0 && answered < 0.5 && cpu < 10 && again >= 0,
               "frozen playing: run stopped with the message and the log entry %.2f s after SIGSTOP; the window "
               "answered in %.3f s; CPU while frozen %.1f %%; after SIGCONT, Start played after %.2f s",
               detected, answered, cpu, again);
    }
    pulse.reset();
    std::filesystem::remove_all(folder);
    return allPassed ? 0 : 1;
}
