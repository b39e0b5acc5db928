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
// Memory: one launch presses Start, plays SECONDS with the beat lamp on (the default
// settings), and reads the peak resident set size (VmHWM) from /proc before stopping.
// Every process started here is ended by its own process id.
#include "PrivatePulseAudio.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
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

    std::string pattern = (std::filesystem::temp_directory_path() / "tolvane-bench-XXXXXX").string();
    const std::string folder = std::string(mkdtemp(pattern.data())) + "/";
    std::filesystem::copy_file(program, folder + "tolvane");
    TestSupport::PrivatePulseAudio pulse(folder, "tolvane_bench");
    if (!pulse.Ready())
        std::fprintf(stderr, "pulseaudio did not start; the program will have no output\n");
    const std::string instanceSocket = pulse.RuntimeFolder() + "/InstanceMap-" + std::to_string(getuid());
    std::vector<std::string> environment = pulse.Environment();
    environment.push_back("TOLVANE_TEST_COMMANDS=1");

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
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const long peak = StatusField(pid, "VmHWM");
    const long now = StatusField(pid, "VmRSS");
    Request(instanceSocket, "startstop");
    std::printf("resident memory after %d s playing with the lamp: peak %.1f MiB, now %.1f MiB (%.1f MiB at Start)\n",
                seconds, peak / 1024.0, now / 1024.0, idle / 1024.0);

    program_.reset();
    pulse.End();
    std::filesystem::remove_all(folder);
    return 0;
}
