// Reliability run for the instance socket of the real program: hostile clients of the same
// user must neither stop it from answering nor grow it without bound.
//
//   bench_socket_flood [PROGRAM]   (PROGRAM: the tolvane beside this executable)
//
// Runs a copy of PROGRAM from a temporary folder (offscreen, no sound output, its own runtime
// folder, TOLVANE_TEST_COMMANDS=1) and prints one line per check with its counts:
//   idle flood     1,100 connections that send nothing
//   half lines     500 connections that never finish a line
//   unread answers one connection writing requests for 10 s without reading an answer
//   no descriptors the program's descriptor limit lowered until accepting fails
//   second copy    a second copy started while the first runs
//   modal requests 50 "startstop" requests at once (each failed Start shows a message box)
// Exit status 1 when a check fails. Every process started here is ended by its own id.
#include "CheckLines.h"

#include "PrivatePulseAudio.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <poll.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;

std::string socketPath;
using Bench::allPassed;
using Bench::Report;

int Connect()
{
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

std::string Request(const std::string& line)
{
    const int fd = Connect();
    if (fd < 0)
        return {};
    std::string answer;
    const std::string request = line + "\n";
    if (write(fd, request.data(), request.size()) == static_cast<ssize_t>(request.size())) {
        char c = 0;
        pollfd wait{fd, POLLIN, 0};
        while (poll(&wait, 1, 3000) == 1 && read(fd, &c, 1) == 1 && c != '\n')
            answer += c;
    }
    close(fd);
    return answer;
}

/// Seconds until line is answered with expected (at most limit seconds); -1 when never.
double AnsweredWithin(const std::string& line, const std::string& expected, double limit)
{
    const auto begin = std::chrono::steady_clock::now();
    for (;;) {
        const double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        if (Request(line) == expected)
            return waited;
        if (waited > limit)
            return -1;
        std::this_thread::sleep_for(50ms);
    }
}

/// Connections of fds closed by the other end within the given time.
int ClosedByPeer(const std::vector<int>& fds, std::chrono::milliseconds within)
{
    const auto end = std::chrono::steady_clock::now() + within;
    int closed = 0;
    for (const int fd : fds) {
        if (fd < 0)
            continue;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        pollfd wait{fd, POLLIN, 0};
        char c = 0;
        if (poll(&wait, 1, static_cast<int>(std::max<long>(0, left.count()))) == 1 && recv(fd, &c, 1, MSG_DONTWAIT) <= 0)
            ++closed;
    }
    return closed;
}

void CloseAll(std::vector<int>& fds)
{
    for (const int fd : fds) {
        if (fd >= 0)
            close(fd);
    }
    fds.clear();
}

long Descriptors(pid_t pid)
{
    long count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd"))
        ++count;
    return count;
}

long ResidentKiB(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    }
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string program = Bench::ProgramToRun(argc, argv);
    signal(SIGPIPE, SIG_IGN); // connections the program closes must not end this run
    rlimit files{};
    getrlimit(RLIMIT_NOFILE, &files);
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);

    std::string pattern = (std::filesystem::temp_directory_path() / "tolvane-flood-XXXXXX").string();
    const std::string folder = std::string(mkdtemp(pattern.data())) + "/";
    std::filesystem::copy_file(program, folder + "tolvane");
    // The built-in sound's rendering helper goes with it.
    std::filesystem::copy_file(std::filesystem::path(program).parent_path() / "tolvane-kit", folder + "tolvane-kit");
    std::filesystem::create_directory(folder + "run");
    std::filesystem::permissions(folder + "run", std::filesystem::perms::owner_all);
    socketPath = folder + "run/InstanceMap-" + std::to_string(geteuid());
    const std::vector<std::string> environment = {"QT_QPA_PLATFORM=offscreen", "XDG_RUNTIME_DIR=" + folder + "run",
                                                  "TOLVANE_TEST_COMMANDS=1", "PULSE_SERVER=unix:/nonexistent"};
    auto first = std::make_unique<TestSupport::ChildProcess>(std::vector<std::string>{folder + "tolvane"},
                                                             environment, folder + "first.out");
    if (AnsweredWithin("state", "0 120", 60) < 0) {
        std::fprintf(stderr, "the program did not come up\n");
        return 1;
    }
    const pid_t pid = first->Pid();
    const long baseFds = Descriptors(pid);
    const long baseRss = ResidentKiB(pid);

    {
        std::vector<int> fds;
        for (int i = 0; i < 1100; ++i)
            fds.push_back(Connect());
        int refused = 0;
        for (const int fd : fds)
            refused += fd < 0;
        const int closedAtOnce = ClosedByPeer(fds, 1000ms);
        const long heldFds = Descriptors(pid);
        const int closedLater = ClosedByPeer(fds, 15000ms);
        CloseAll(fds);
        const double answered = AnsweredWithin("state", "0 120", 20);
        Report(closedLater == 1100 - refused && answered >= 0 && heldFds <= baseFds + 16,
               "idle flood: 1100 connections, %d refused by the system, %d closed at once, %d closed within 15 s; "
               "program descriptors %ld -> %ld during; answered again after %.2f s",
               refused, closedAtOnce, closedLater, baseFds, heldFds, answered);
    }
    {
        std::vector<int> fds;
        for (int i = 0; i < 500; ++i) {
            fds.push_back(Connect());
            if (fds.back() >= 0 && write(fds.back(), "tem", 3) != 3) {}
        }
        const int closed = ClosedByPeer(fds, 20000ms);
        CloseAll(fds);
        const double answered = AnsweredWithin("state", "0 120", 20);
        Report(closed == 500 && answered >= 0, "half lines: 500 connections, %d closed by the program within 20 s; "
               "answered again after %.2f s", closed, answered);
    }
    {
        const int fd = Connect();
        const std::string requests(64 * 1024, '\n');
        std::size_t written = 0;
        const auto end = std::chrono::steady_clock::now() + 10s;
        while (std::chrono::steady_clock::now() < end) {
            const ssize_t count = send(fd, requests.data(), requests.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
            if (count > 0)
                written += static_cast<std::size_t>(count);
            else
                std::this_thread::sleep_for(10ms);
        }
        const long rss = ResidentKiB(pid);
        close(fd); // the program has closed it by now: no whole request answered for 5 s
        const double answered = AnsweredWithin("state", "0 120", 20);
        Report(written < (16u << 20) && rss - baseRss < 8 * 1024 && answered >= 0,
               "unread answers: %zu requests taken in 10 s; resident memory %+.1f MiB; answered again after %.2f s",
               written, (rss - baseRss) / 1024.0, answered);
    }
    {
        // Accepting fails once the program has no descriptor left: its listening socket goes,
        // and must come back once descriptors are free again.
        rlimit low{static_cast<rlim_t>(Descriptors(pid) + 3), files.rlim_max};
        rlimit old{};
        prlimit(pid, RLIMIT_NOFILE, &low, &old);
        std::vector<int> fds;
        for (int i = 0; i < 40; ++i)
            fds.push_back(Connect());
        std::this_thread::sleep_for(1s);
        CloseAll(fds);
        std::this_thread::sleep_for(6s); // the held connections reach their idle time-out
        prlimit(pid, RLIMIT_NOFILE, &old, nullptr);
        const double answered = AnsweredWithin("state", "0 120", 20);
        std::ifstream logFile(folder + "Tolvane.log");
        const std::string log((std::istreambuf_iterator<char>(logFile)), std::istreambuf_iterator<char>());
        const bool relistened = log.find("was lost; listening on it again") != std::string::npos;
        Report(answered >= 0, "no descriptors: limit lowered to %ld with 40 connections; socket %s; answered again "
               "after %.2f s", static_cast<long>(low.rlim_cur), relistened ? "made again (logged)" : "kept",
               answered);
    }
    {
        TestSupport::ChildProcess second({folder + "tolvane"}, environment, folder + "second.out");
        const bool ended = TestSupport::WaitUntil([&] { return !second.Running(); }, 30000);
        Report(ended && first->Running() && AnsweredWithin("state", "0 120", 5) >= 0,
               "second copy: %s while the first answers", ended ? "ended" : "still running");
    }
    {
        std::vector<std::future<std::string>> answers;
        for (int i = 0; i < 50; ++i)
            answers.push_back(std::async(std::launch::async, [] { return Request("startstop"); }));
        int ones = 0;
        int zeros = 0;
        for (auto& answer : answers) {
            const std::string text = answer.get();
            ones += text == "1";
            zeros += text == "0";
        }
        const bool answering = AnsweredWithin("tempo 100", "1", 10) >= 0;
        Report(ones <= 1 && answering, "modal requests: 50 at once, %d carried out, %d refused, %d unanswered; "
               "tempo requests still answered: %s", ones, zeros, 50 - ones - zeros, answering ? "yes" : "no");
    }
    std::printf("program: %ld descriptors at the end (%ld at the start), resident memory %.1f MiB (%.1f at the start)\n",
                Descriptors(pid), baseFds, ResidentKiB(pid) / 1024.0, baseRss / 1024.0);
    first.reset();
    std::filesystem::remove_all(folder);
    return allPassed ? 0 : 1;
}
