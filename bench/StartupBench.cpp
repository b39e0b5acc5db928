// Start-up time and memory of the real program.
//
//   bench_startup [PROGRAM [SECONDS [RUNS]]]   (PROGRAM: the tolvane beside this benchmark)
//   e.g. xvfb-run -a build/release/bin/bench_startup build/release/bin/tolvane 60 10
//
// Runs a copy of PROGRAM from a temporary folder (its settings and log stay there) against a
// private PulseAudio server with a null sink, so that it really plays. The copy gets
// TOLVANE_TEST_COMMANDS=1, which lets its instance socket take "state" and "startstop".
//
// Start-up: from the launch to the first answer on the instance socket. The socket is served
// by the event loop, which runs only after the window has been built and shown, so this is
// the time until the window is up and takes input. RUNS launches; min, median and max.
//
// Launch to first click, what a user waits who starts the program to play: RUNS launches with
// the kit's renderings not yet on disk (cold: the helper renders them) and RUNS with them there
// (warm: no helper runs), each sending "startstop" as soon as the socket answers and ended
// after its first click; min, median and max from the process's start to the first click's
// onset. The sink's monitor is recorded with parec, and the recording's frames are put on the
// steady clock by the earliest time each part of it arrived, so that the onset has a time
// (late by at most the monitor's own small delay).
//
// Memory and CPU: that launch then plays SECONDS with the beat lamp on (the default settings):
// peak resident set size (VmHWM) and CPU seconds per second of playing, from /proc.
//
// Start latency: then START_CYCLES times, after a second of silence: the "startstop" request's
// round trip (the socket answers once Start has returned on the window thread) and the time
// to the first click's onset in the recording; then stop again.
//
// STARTUP_BENCH_CONF=FILE starts the program with those settings (e.g. one sound, accents off,
// for a timing run); STARTUP_BENCH_KEEP=FILE keeps the monitor's recording (raw s16le stereo).
// STARTUP_BENCH_MONITOR_MS=N records with N ms of latency instead of 5: a short one times the
// first click closely, but the null sink then runs at that latency and asks the program for
// sound far more often (about 84 times a second instead of 12), which the CPU figure shows.
// Every process started here is ended by its own process id.
#include "PrivatePulseAudio.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <sched.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

/// One request line on the instance socket; the answer, or "" when nobody answers.
std::string Request(const std::string& socketPath, const std::string& line)
{
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
    std::string answer;
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        timeval timeout{2, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        const std::string request = line + "\n";
        if (write(fd, request.data(), request.size()) == static_cast<ssize_t>(request.size())) {
            char buffer[64];
            const ssize_t got = read(fd, buffer, sizeof buffer);
            if (got > 0)
                answer.assign(buffer, static_cast<std::size_t>(got));
        }
    }
    close(fd);
    while (!answer.empty() && (answer.back() == '\n' || answer.back() == '\r'))
        answer.pop_back();
    return answer;
}

/// Every thread of process pid at real-time priority (when allowed), as the sound-server
/// benchmark starts its server and recorder: on a loaded machine the measurement is then of
/// the program, not of a private server or recorder that ran dry.
void RaiseToRealTime(pid_t pid, int priority)
{
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        const sched_param parameter{priority};
        sched_setscheduler(static_cast<pid_t>(std::atol(task.path().filename().c_str())), SCHED_FIFO, &parameter);
    }
}

std::string MonitorLatencyMs()
{
    const char* asked = std::getenv("STARTUP_BENCH_MONITOR_MS");
    return asked != nullptr && std::atoi(asked) > 0 ? std::to_string(std::atoi(asked)) : "5";
}

/// The sink's monitor recorded by parec into a file whose growth is watched, so that every
/// recorded frame can be given the steady-clock time at which it was played.
class MonitorRecording {
public:
    MonitorRecording(const std::string& folder, const std::vector<std::string>& environment)
        : path_(folder + "monitor.raw"),
          parec_({"/usr/bin/parec", "--device=tolvane_bench.monitor", "--rate=44100", "--channels=2",
                  "--format=s16le", "--raw", "--latency-msec=" + MonitorLatencyMs()},
                 environment, path_)
    {
        RaiseToRealTime(parec_.Pid(), 40);
        watcher_ = std::thread([this] {
            std::uintmax_t last = 0;
            while (watching_.load()) {
                std::error_code error;
                const std::uintmax_t size = std::filesystem::file_size(path_, error);
                const double now = Seconds(Clock::now());
                if (!error && size > last) {
                    last = size;
                    // Frames that arrived by now were played at the latest now.
                    const double offset = now - static_cast<double>(size / 4) / 44100.0;
                    std::lock_guard lock(mutex_);
                    offset_ = std::min(offset_, offset);
                }
                std::this_thread::sleep_for(std::chrono::microseconds(500));
            }
        });
    }
    ~MonitorRecording()
    {
        watching_.store(false);
        watcher_.join();
    }
    static double Seconds(Clock::time_point time)
    {
        return std::chrono::duration<double>(time.time_since_epoch()).count();
    }
    /// The steady-clock time (s) of the first sound louder than -40 dBFS after time from.
    std::optional<double> FirstOnsetAfter(double from)
    {
        double offset = 0;
        {
            std::lock_guard lock(mutex_);
            offset = offset_;
        }
        std::ifstream file(path_, std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        const auto firstFrame = static_cast<std::size_t>(std::max(0.0, (from - offset) * 44100.0));
        for (std::size_t frame = firstFrame; 4 * frame + 3 < bytes.size(); ++frame) {
            for (int channel = 0; channel < 2; ++channel) {
                std::int16_t value = 0;
                std::memcpy(&value, bytes.data() + 4 * frame + 2 * channel, 2);
                if (std::abs(value) > 328)
                    return offset + static_cast<double>(frame) / 44100.0;
            }
        }
        return std::nullopt;
    }

private:
    std::string path_;
    TestSupport::ChildProcess parec_;
    std::mutex mutex_;
    double offset_ = 1e300; // steady-clock time of frame 0
    std::atomic<bool> watching_{true};
    std::thread watcher_;
};

/// CPU seconds the process has used (user and system).
double CpuSeconds(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int index = 3; fields >> field && index <= 15; ++index) {
        if (index == 14 || index == 15)
            ticks += std::atof(field.c_str());
    }
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

long StatusField(pid_t pid, const char* field)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) == 0)
            return std::atol(line.c_str() + key.size());
    }
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    // Without arguments: the program beside this benchmark.
    std::string program = argc > 1 ? argv[1] : "";
    if (program.empty())
        program = (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "tolvane").string();
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 60;
    const int runs = argc > 3 ? std::atoi(argv[3]) : 10;
    const int startCycles = argc > 4 ? std::atoi(argv[4]) : 10;

    std::string pattern = (std::filesystem::temp_directory_path() / "tolvane-bench-XXXXXX").string();
    const std::string folder = std::string(mkdtemp(pattern.data())) + "/";
    std::filesystem::copy_file(program, folder + "tolvane");
    // The built-in sound's rendering helper goes with it.
    std::filesystem::copy_file(std::filesystem::path(program).parent_path() / "tolvane-kit", folder + "tolvane-kit");
    if (const char* settings = std::getenv("STARTUP_BENCH_CONF"); settings && *settings)
        std::filesystem::copy_file(settings, folder + "Tolvane.conf");
    TestSupport::PrivatePulseAudio pulse(folder, "tolvane_bench");
    if (!pulse.Ready())
        std::fprintf(stderr, "pulseaudio did not start; the program will have no output\n");
    RaiseToRealTime(pulse.Pid(), 60);
    const std::string instanceSocket = pulse.RuntimeFolder() + "/InstanceMap-" + std::to_string(getuid());
    std::vector<std::string> environment = pulse.Environment();
    environment.push_back("TOLVANE_TEST_COMMANDS=1");
    const std::string cache = folder + "cache";
    environment.push_back("XDG_CACHE_HOME=" + cache);

    const auto launch = [&](double& startup) {
        const auto begin = Clock::now();
        auto child = std::make_unique<TestSupport::ChildProcess>(std::vector<std::string>{folder + "tolvane"},
                                                                 environment, folder + "tolvane.out");
        while (Request(instanceSocket, "state").empty()) {
            if (!child->Running() || Clock::now() - begin > std::chrono::seconds(30))
                return std::unique_ptr<TestSupport::ChildProcess>();
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        startup = std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
        return child;
    };

    std::vector<double> startups;
    for (int run = 0; run < runs; ++run) {
        double startup = 0;
        if (!launch(startup)) {
            std::fprintf(stderr, "the program did not come up\n");
            return 1;
        }
        startups.push_back(startup); // the copy is ended as its handle goes

    }
    std::sort(startups.begin(), startups.end());
    std::printf("start-up to window shown, %d launches: min %.0f ms, median %.0f ms, max %.0f ms\n", runs,
                startups.front(), startups[startups.size() / 2], startups.back());

    MonitorRecording recording(folder, pulse.Environment());
    for (const bool warm : {false, true}) {
        std::vector<double> clicks;
        for (int run = 0; run < runs; ++run) {
            if (!warm)
                std::filesystem::remove_all(cache);
            std::this_thread::sleep_for(std::chrono::milliseconds(500)); // the last click dies away
            const double launched = MonitorRecording::Seconds(Clock::now());
            double startup = 0;
            auto copy = launch(startup);
            if (!copy)
                return 1;
            Request(instanceSocket, "startstop");
            std::optional<double> onset;
            for (int wait = 0; wait < 100 && !onset; ++wait) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                onset = recording.FirstOnsetAfter(launched);
            }
            if (onset)
                clicks.push_back(1000.0 * (*onset - launched));
        }
        std::sort(clicks.begin(), clicks.end());
        if (!clicks.empty())
            std::printf("launch to first click, %s kit (%zu of %d launches played): min %.0f ms, median %.0f ms, max "
                        "%.0f ms\n",
                        warm ? "warm" : "cold", clicks.size(), runs, clicks.front(), clicks[clicks.size() / 2],
                        clicks.back());
    }

    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    double startup = 0;
    auto program_ = launch(startup);
    if (!program_)
        return 1;
    const pid_t pid = program_->Pid();
    Request(instanceSocket, "startstop");
    const std::string state = Request(instanceSocket, "state");
    if (state.rfind("1 ", 0) != 0)
        std::fprintf(stderr, "the program is not playing (state '%s'); the figure is for an idle program\n",
                     state.c_str());
    const long idle = StatusField(pid, "VmRSS");
    const double cpuBefore = CpuSeconds(pid);
    const auto playing = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double cpu = (CpuSeconds(pid) - cpuBefore)
                       / std::chrono::duration<double>(Clock::now() - playing).count();
    const long peak = StatusField(pid, "VmHWM");
    const long now = StatusField(pid, "VmRSS");
    Request(instanceSocket, "startstop");
    std::printf("resident memory after %d s playing with the lamp: peak %.1f MiB, now %.1f MiB (%.1f MiB at Start)\n",
                seconds, peak / 1024.0, now / 1024.0, idle / 1024.0);
    std::printf("CPU while playing with the lamp: %.4f s/s\n", cpu);

    std::vector<double> returns;
    std::vector<double> clicks;
    for (int cycle = 0; cycle < startCycles; ++cycle) {
        std::this_thread::sleep_for(std::chrono::seconds(1)); // the last click dies away
        const auto asked = Clock::now();
        Request(instanceSocket, "startstop");
        returns.push_back(std::chrono::duration<double, std::milli>(Clock::now() - asked).count());
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        if (const auto onset = recording.FirstOnsetAfter(MonitorRecording::Seconds(asked)))
            clicks.push_back(1000.0 * (*onset - MonitorRecording::Seconds(asked)));
        Request(instanceSocket, "startstop");
    }
    std::sort(returns.begin(), returns.end());
    std::sort(clicks.begin(), clicks.end());
    if (!returns.empty())
        std::printf("Start request to Start returned, %d starts: min %.2f ms, median %.2f ms, max %.2f ms\n",
                    startCycles, returns.front(), returns[returns.size() / 2], returns.back());
    if (!clicks.empty())
        std::printf("Start request to first click onset, %zu starts: min %.1f ms, median %.1f ms, max %.1f ms\n",
                    clicks.size(), clicks.front(), clicks[clicks.size() / 2], clicks.back());

    program_.reset();
    pulse.End();
    if (const char* keep = std::getenv("STARTUP_BENCH_KEEP"); keep && *keep) {
        std::error_code error;
        std::filesystem::copy_file(folder + "monitor.raw", keep, std::filesystem::copy_options::overwrite_existing,
                                   error);
    }
    std::filesystem::remove_all(folder);
    return 0;
}
