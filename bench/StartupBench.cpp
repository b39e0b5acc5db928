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
#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

pid_t Spawn(const std::vector<std::string>& arguments, const std::vector<std::string>& extraEnvironment,
            const std::string& output)
{
    std::vector<std::string> environment = extraEnvironment;
    for (char** entry = environ; *entry; ++entry)
        environment.emplace_back(*entry);
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& variable : environment)
        envp.push_back(variable.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, (output + ".err").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
        pid = 0;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

void End(pid_t pid)
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    for (int i = 0; i < 500; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

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
    const std::string runtime = folder + "run";
    std::filesystem::create_directories(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    std::filesystem::copy_file(program, folder + "tolvane");
    const std::string pulseSocket = runtime + "/pulse/native";
    const std::string instanceSocket = runtime + "/InstanceMap-" + std::to_string(getuid());
    const std::vector<std::string> environment = {"XDG_RUNTIME_DIR=" + runtime, "HOME=" + folder,
                                                  "PULSE_SERVER=unix:" + pulseSocket, "TOLVANE_TEST_COMMANDS=1"};

    const pid_t server = Spawn({"pulseaudio", "-n", "--daemonize=no", "--system=false", "--exit-idle-time=-1",
                                "--disallow-exit", "--use-pid-file=no", "--disable-shm=yes", "--log-target=stderr",
                                "-L", "module-null-sink sink_name=tolvane_bench rate=44100 channels=2", "-L",
                                "module-native-protocol-unix auth-anonymous=1", "-L", "module-always-sink"},
                               environment, folder + "pulseaudio.log");
    for (int i = 0; i < 100 && !std::filesystem::exists(pulseSocket); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (!std::filesystem::exists(pulseSocket))
        std::fprintf(stderr, "pulseaudio did not start; the program will have no output\n");

    const auto launch = [&](double& startup) {
        const auto begin = Clock::now();
        const pid_t pid = Spawn({folder + "tolvane"}, environment, folder + "tolvane.out");
        while (Request(instanceSocket, "state").empty()) {
            if (waitpid(pid, nullptr, WNOHANG) == pid || Clock::now() - begin > std::chrono::seconds(30))
                return pid_t(0);
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        startup = std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
        return pid;
    };

    std::vector<double> startups;
    for (int run = 0; run < runs; ++run) {
        double startup = 0;
        const pid_t pid = launch(startup);
        if (pid == 0) {
            std::fprintf(stderr, "the program did not come up\n");
            End(server);
            return 1;
        }
        startups.push_back(startup);
        End(pid);
    }
    std::sort(startups.begin(), startups.end());
    std::printf("start-up to window shown, %d launches: min %.0f ms, median %.0f ms, max %.0f ms\n", runs,
                startups.front(), startups[startups.size() / 2], startups.back());

    double startup = 0;
    const pid_t pid = launch(startup);
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
    End(pid);
    std::printf("resident memory after %d s playing with the lamp: peak %.1f MiB, now %.1f MiB (%.1f MiB at Start)\n",
                seconds, peak / 1024.0, now / 1024.0, idle / 1024.0);

    End(server);
    std::filesystem::remove_all(folder);
    return 0;
}
