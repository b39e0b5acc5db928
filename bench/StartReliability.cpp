// Reliability run for Start without a working sound: every Start ends, with the message and one
// log entry, whatever stands in the way, and nothing is left running or waiting.
//
//   bench_start_reliability [PROGRAM]   (PROGRAM: the tolvane beside this executable)
//
// Runs copies of PROGRAM (offscreen, TOLVANE_TEST_COMMANDS=1) from temporary folders, each with
// a private runtime folder, a private JACK server name and, where a check needs one, a private
// PulseAudio server with a null sink and a private JACK dummy server. One line per check:
//   no server          no JACK, no PulseAudio, no ALSA device: seconds from Start to the
//                      message, the log entry naming every output tried, CPU afterwards, and
//                      a second Start that tries again
//   kit helper ...     the helper crashes, is missing: seconds to the message, helper runs per
//                      Start, the log entry
//   JACK stopped /     a JACK server stopped with SIGSTOP, or a socket that takes connections
//   JACK stale lock    and never answers, beside a working PulseAudio: seconds from Start to
//                      the output opening through PulseAudio, and the log saying JACK was
//                      passed over
//   hung helper        a helper that never writes: seconds from SIGTERM to the program's end,
//                      and the helper killed
//   probe threads      100 openings of the system's output with JACK stopped (in this
//                      process): threads before and after, and the time per opening
// Exit status 1 when a check fails. Every process started here is ended by its own id.
#include "CheckLines.h"
#include "ProgramDriver.h"

#include "PrivatePulseAudio.h"
#include "Platform/Audio/SystemOutput.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Bench::Report;
using Bench::Since;
using Bench::Within;
using TestSupport::ChildProcess;

std::string program;
std::string top; // the run's temporary folder, with a trailing '/'
int serial = 0;

std::string ReadFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

int Count(const std::string& text, const std::string& what)
{
    int count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

/// A private JACK dummy server, named name: running, stopped (SIGSTOP), or a socket in its
/// place that takes connections and never answers (what a server that hangs leaves).
class PrivateJack {
public:
    enum Kind { Stopped, StaleLock };
    PrivateJack(const std::string& name, Kind kind, const std::string& folder)
        : socket_("/dev/shm/jack_" + name + "_" + std::to_string(geteuid()) + "_0"), name_(name)
    {
        if (kind == StaleLock) {
            listener_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            socket_.copy(address.sun_path, sizeof address.sun_path - 1);
            ready_ = bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && listen(listener_, 8) == 0;
            return;
        }
        server_ = std::make_unique<ChildProcess>(
            std::vector<std::string>{"jackd", "-n", name, "-d", "dummy", "-r", "44100", "-p", "256"},
            std::vector<std::string>{}, folder + "jackd.log");
        ready_ = TestSupport::WaitUntil([this] { return std::filesystem::exists(socket_); }, 10000);
        std::this_thread::sleep_for(300ms);
        if (ready_)
            kill(server_->Pid(), SIGSTOP);
    }
    ~PrivateJack()
    {
        if (server_) {
            kill(server_->Pid(), SIGCONT);
            server_->End();
        }
        if (listener_ >= 0)
            close(listener_);
        // What a server leaves in /dev/shm under its own name only.
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", ignored)) {
            const std::string file = entry.path().filename().string();
            if (file.find("_" + name_ + "_") != std::string::npos)
                std::filesystem::remove(entry.path(), ignored);
        }
    }
    bool Ready() const { return ready_; }
    pid_t Pid() const { return server_ ? server_->Pid() : 0; }

private:
    std::string socket_;
    std::string name_;
    std::unique_ptr<ChildProcess> server_;
    int listener_ = -1;
    bool ready_ = false;
};

enum class Helper { Real, Crashing, Missing, Hanging };

/// A copy of the program in a folder of its own with the helper asked for, and its requests.
class Copy {
public:
    Copy(Helper helper, std::vector<std::string> environment)
    {
        folder_ = top + "copy" + std::to_string(++serial) + "/";
        const std::string run = folder_ + "run";
        std::filesystem::create_directories(run);
        std::filesystem::permissions(run, std::filesystem::perms::owner_all);
        std::filesystem::copy_file(program, folder_ + "tolvane");
        const std::string kit = folder_ + "tolvane-kit";
        const auto script = [&](const std::string& body) {
            std::ofstream(kit) << "#!/bin/sh\necho run >>'" << folder_ << "helper-runs'\n" << body << "\n";
            chmod(kit.c_str(), 0700);
        };
        switch (helper) {
        case Helper::Real:
            std::filesystem::copy_file(std::filesystem::path(program).parent_path() / "tolvane-kit", kit);
            break;
        case Helper::Crashing: script("kill -SEGV $$"); break;
        case Helper::Hanging: script("echo $$ >'" + folder_ + "helper-pid'\nexec sleep 600"); break;
        case Helper::Missing: break;
        }
        socket_ = run + "/InstanceMap-" + std::to_string(geteuid());
        environment.insert(environment.begin(), {"XDG_RUNTIME_DIR=" + run, "HOME=" + folder_,
                                                 "XDG_CACHE_HOME=" + folder_ + "cache", "QT_QPA_PLATFORM=offscreen",
                                                 "TOLVANE_TEST_COMMANDS=1"});
        process_ = std::make_unique<ChildProcess>(std::vector<std::string>{folder_ + "tolvane"}, environment,
                                                  folder_ + "tolvane.out");
        up_ = Within(60, [this] { return Request("state") == "0 120"; }) >= 0;
    }
    bool Up() const { return up_; }
    std::string Request(const std::string& line) const { return Bench::Request(socket_, line); }
    void Send(const std::string& line) const { Bench::Send(socket_, line); }
    std::string Log() const { return ReadFile(folder_ + "Tolvane.log"); }
    int HelperRuns() const { return Count(ReadFile(folder_ + "helper-runs"), "run"); }
    std::string Folder() const { return folder_; }
    /// What the program wrote to its terminal.
    std::string Terminal() const { return ReadFile(folder_ + "tolvane.out") + ReadFile(folder_ + "tolvane.out.err"); }
    pid_t Pid() const { return process_->Pid(); }
    /// Seconds from SIGTERM to the program's end; -1 when it had not ended after 10 s.
    double Terminate()
    {
        kill(process_->Pid(), SIGTERM);
        const double took = Within(10, [this] { return !process_->Running(); });
        process_->End();
        return took;
    }

private:
    std::string folder_;
    std::string socket_;
    std::unique_ptr<ChildProcess> process_;
    bool up_ = false;
};

std::vector<std::string> Servers(const std::string& jackName, const std::string& pulseServer)
{
    return {"JACK_DEFAULT_SERVER=" + jackName, "PULSE_SERVER=" + pulseServer};
}

/// Start, the message, the log entry, CPU after it, and a second Start that tries again.
void FailingStart(const char* what, Helper helper, const std::vector<std::string>& environment,
                  const std::vector<const char*>& named)
{
    Copy copy(helper, environment);
    if (!copy.Up()) {
        Report(false, "%s: the program did not come up", what);
        return;
    }
    // The preparation at launch has failed by now, or fails within its limits.
    const int runsBefore = copy.HelperRuns();
    const auto pressed = Bench::SteadyClock::now();
    copy.Send("startstop");
    // A message box is up: the tests' requests are refused while it is open.
    const double message = Within(20, [&] { return copy.Request("state") == "0"; }) >= 0 ? Since(pressed) : -1;
    const std::string log = copy.Log();
    const int entries = Count(log, "Error calling midiOutOpen");
    bool namesAll = true;
    for (const char* name : named)
        namesAll = namesAll && log.find(name) != std::string::npos;
    const int runsFirst = copy.HelperRuns() - runsBefore;
    const double cpu = Bench::CpuPercent(copy.Pid(), 2);
    // The next Start (served while the box is open) tries again, and fails again.
    const auto again = Bench::SteadyClock::now();
    copy.Send("start");
    const double second = Within(20, [&] { return Count(copy.Log(), "Error calling midiOutOpen") >= 2; }) >= 0 ? Since(again) : -1;
    const int runsSecond = copy.HelperRuns() - runsBefore - runsFirst;
    const bool quiet = copy.Terminal().find("jack") == std::string::npos && copy.Terminal().find("ALSA") == std::string::npos;
    const double ended = copy.Terminate();
    const bool helperBounded = helper != Helper::Crashing || (runsFirst <= 1 && runsSecond <= 1);
    Report(message >= 0 && message < 5 && entries == 1 && namesAll && cpu < 5 && second >= 0 && second < 5 && helperBounded
               && quiet && ended >= 0 && ended < 3,
           "%s: Start gave the message after %.2f s; %d Error entry%s%s; CPU afterwards %.1f %%; the next Start "
           "failed again after %.2f s; helper runs per Start %d, %d; terminal %s; ended %.2f s after SIGTERM",
           what, message, entries, entries == 1 ? "" : "s", namesAll ? " naming every output tried" : " (outputs NOT named)",
           cpu, second, runsFirst, runsSecond, quiet ? "quiet" : "NOT quiet", ended);
}

/// JACK that does not answer beside a working PulseAudio: the Start plays through PulseAudio.
void JackPassedOver(const char* what, PrivateJack::Kind kind)
{
    const std::string folder = top + "server" + std::to_string(++serial) + "/";
    std::filesystem::create_directories(folder);
    const std::string name = "tolvane-rel-" + std::to_string(getpid()) + "-" + std::to_string(serial);
    PrivateJack jack(name, kind, folder);
    TestSupport::PrivatePulseAudio pulse(folder, "tolvane_start");
    if (!jack.Ready() || !pulse.Ready()) {
        Report(false, "%s: the private servers did not start", what);
        return;
    }
    Copy copy(Helper::Real, Servers(name, "unix:" + pulse.Socket()));
    if (!copy.Up()) {
        Report(false, "%s: the program did not come up", what);
        return;
    }
    const auto pressed = Bench::SteadyClock::now();
    copy.Request("startstop");
    const double opened = Within(20, [&] { return copy.Log().find("Sound output: pulse") != std::string::npos; }) >= 0
                              ? Since(pressed)
                              : -1;
    const std::string log = copy.Log();
    const bool said = log.find("jack: no answer") != std::string::npos
                      || log.find("jack: an earlier try is still waiting") != std::string::npos;
    const bool playing = copy.Request("state") == "1 120";
    const double ended = copy.Terminate();
    Report(opened >= 0 && opened < 5 && said && playing && ended >= 0 && ended < 3,
           "%s: Start played through PulseAudio after %.2f s (the output opened); log says JACK was passed over: %s; "
           "ended %.2f s after SIGTERM",
           what, opened, said ? "yes" : "NO", ended);
}

void HungHelper(const std::vector<std::string>& environment)
{
    Copy copy(Helper::Hanging, environment);
    if (!copy.Up()) {
        Report(false, "hung helper: the program did not come up");
        return;
    }
    Within(10, [&] { return std::filesystem::exists(copy.Folder() + "helper-pid"); });
    const pid_t helper = static_cast<pid_t>(std::atoi(ReadFile(copy.Folder() + "helper-pid").c_str()));
    const double ended = copy.Terminate();
    const bool killed = helper > 0 && Within(2, [helper] { return kill(helper, 0) != 0; }) >= 0;
    Report(ended >= 0 && ended < 3 && killed,
           "hung helper: the program ended %.2f s after SIGTERM during the helper's run; helper ended: %s", ended,
           killed ? "yes" : "NO");
    if (helper > 0 && !killed)
        kill(helper, SIGKILL);
}

class Silence final : public Platform::Audio::IRenderer {
public:
    void Render(float* output, std::uint32_t frames, std::int64_t) noexcept override
    {
        std::fill(output, output + 2 * std::size_t{frames}, 0.0f);
    }
};

void ProbeThreads()
{
    const std::string folder = top + "probes/";
    std::filesystem::create_directories(folder);
    const std::string name = "tolvane-rel-" + std::to_string(getpid()) + "-probes";
    PrivateJack jack(name, PrivateJack::Stopped, folder);
    TestSupport::PrivatePulseAudio pulse(folder, "tolvane_probes");
    if (!jack.Ready() || !pulse.Ready()) {
        Report(false, "probe threads: the private servers did not start");
        return;
    }
    // Before any thread of this process starts.
    setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
    setenv("PULSE_SERVER", ("unix:" + pulse.Socket()).c_str(), 1);
    setenv("XDG_RUNTIME_DIR", pulse.RuntimeFolder().c_str(), 1);
    Silence silence;
    const int before = Bench::ThreadsOf(getpid());
    int opened = 0;
    int afterFirst = 0;
    double first = 0;
    double slowest = 0;
    const auto begin = Bench::SteadyClock::now();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto start = Bench::SteadyClock::now();
        Platform::Audio::SystemOutput output;
        opened += output.Open(44100, 256, silence) == Platform::Audio::NoError && std::strcmp(output.Name(), "pulse") == 0;
        output.Close();
        const double took = Since(start);
        if (attempt == 0) {
            first = took;
            afterFirst = Bench::ThreadsOf(getpid());
        } else {
            slowest = std::max(slowest, took);
        }
    }
    const double total = Since(begin);
    const int after = Bench::ThreadsOf(getpid());
    Report(opened == 100 && after <= afterFirst && first < 5 && slowest < 5,
           "probe threads: 100 openings with JACK stopped, %d through PulseAudio; threads %d before, %d after the first, "
           "%d after the 100th; first opening %.2f s, slowest later one %.2f s, %.1f s in all",
           opened, before, afterFirst, after, first, slowest, total);
}

} // namespace

int main(int argc, char** argv)
{
    program = Bench::ProgramToRun(argc, argv);
    std::string pattern = (std::filesystem::temp_directory_path() / "tolvane-start-XXXXXX").string();
    top = std::string(mkdtemp(pattern.data())) + "/";
    const auto none = Servers("tolvane-rel-none", "unix:/nonexistent/tolvane");
    FailingStart("no server", Helper::Real, none, {"jack:", "pulse:", "alsa:"});
    JackPassedOver("JACK stopped", PrivateJack::Stopped);
    JackPassedOver("JACK stale lock", PrivateJack::StaleLock);
    {
        // The kit is rendered at the rate of an output that has opened: the helper cases
        // play to a private PulseAudio with a null sink, so that the helper is reached.
        const std::string folder = top + "helper-server/";
        std::filesystem::create_directories(folder);
        TestSupport::PrivatePulseAudio pulse(folder, "tolvane_helper");
        if (!pulse.Ready()) {
            Report(false, "kit helper: the private server did not start");
        } else {
            const auto working = Servers("tolvane-rel-none", "unix:" + pulse.Socket());
            FailingStart("kit helper crashes", Helper::Crashing, working, {"signal 11"});
            FailingStart("kit helper missing", Helper::Missing, working, {"could not be started"});
            HungHelper(working);
        }
    }
    ProbeThreads();
    std::filesystem::remove_all(top);
    return Bench::allPassed ? 0 : 1;
}
