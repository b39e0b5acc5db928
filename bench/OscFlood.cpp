// OSC under a flood: the real program takes 100,000 datagrams in 10 s on its loopback port
// (commands, malformed bytes, unknown addresses, oversized datagrams) and must keep its window
// answering within 50 ms, its memory bounded and its commands working afterwards.
//
//   bench_osc_flood [PROGRAM]   (PROGRAM: the tolvane beside this executable)
//
// Runs a copy of PROGRAM from a temporary folder (offscreen, no sound output, its own runtime
// folder, TOLVANE_TEST_COMMANDS=1, --osc-port on a free port). While the flood runs, a "state"
// request goes over the instance socket every 20 ms; its longest answer time is the window's.
// Exit status 1 when a check fails. The one process started here is ended by its own id.
#include "CheckLines.h"

#include "PrivatePulseAudio.h"

#include <lo/lo.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <random>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Bench::allPassed;
using Bench::Report;

std::string socketPath;

std::string Request(const std::string& line)
{
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
    std::string answer;
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        const std::string request = line + "\n";
        if (write(fd, request.data(), request.size()) == static_cast<ssize_t>(request.size())) {
            char c = 0;
            pollfd wait{fd, POLLIN, 0};
            while (poll(&wait, 1, 3000) == 1 && read(fd, &c, 1) == 1 && c != '\n')
                answer += c;
        }
    }
    close(fd);
    return answer;
}

bool AnswersWithin(const std::string& line, const std::string& expected, std::chrono::seconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (Request(line) == expected)
            return true;
        std::this_thread::sleep_for(50ms);
    }
    return false;
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

int FreeUdpPort()
{
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

std::vector<char> Serialised(lo_message message, const char* path)
{
    std::size_t size = 0;
    void* bytes = lo_message_serialise(message, path, nullptr, &size);
    std::vector<char> result(static_cast<char*>(bytes), static_cast<char*>(bytes) + size);
    free(bytes);
    lo_message_free(message);
    return result;
}

/// The flood's kinds of datagram, one after another.
std::vector<std::vector<char>> Datagrams()
{
    std::vector<std::vector<char>> kinds;
    for (int tempo : {60, 90, 133, 200}) {
        lo_message message = lo_message_new();
        lo_message_add_float(message, static_cast<float>(tempo));
        kinds.push_back(Serialised(message, "/tolvane/tempo"));
    }
    lo_message step = lo_message_new();
    lo_message_add_int32(step, 1);
    kinds.push_back(Serialised(step, "/tolvane/tempo/step"));
    kinds.push_back(Serialised(lo_message_new(), "/tolvane/tap"));
    lo_message preset = lo_message_new();
    lo_message_add_string(preset, "No such preset");
    kinds.push_back(Serialised(preset, "/tolvane/preset"));
    kinds.push_back(Serialised(lo_message_new(), "/tolvane/unknown"));
    std::mt19937 random(7);
    for (int i = 0; i < 4; ++i) {
        std::vector<char> junk(16 + random() % 200);
        for (char& byte : junk)
            byte = static_cast<char>(random());
        junk[0] = '/';
        kinds.push_back(junk);
    }
    kinds.push_back(std::vector<char>(8000, 'x')); // oversized
    return kinds;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string program = Bench::ProgramToRun(argc, argv);
    std::string pattern = (std::filesystem::temp_directory_path() / "tolvane-osc-XXXXXX").string();
    const std::string folder = std::string(mkdtemp(pattern.data())) + "/";
    std::filesystem::copy_file(program, folder + "tolvane");
    std::filesystem::copy_file(std::filesystem::path(program).parent_path() / "tolvane-kit", folder + "tolvane-kit");
    std::filesystem::create_directory(folder + "run");
    std::filesystem::permissions(folder + "run", std::filesystem::perms::owner_all);
    socketPath = folder + "run/InstanceMap-" + std::to_string(geteuid());
    const int port = FreeUdpPort();
    const std::vector<std::string> environment = {"QT_QPA_PLATFORM=offscreen", "XDG_RUNTIME_DIR=" + folder + "run",
                                                  "TOLVANE_TEST_COMMANDS=1", "PULSE_SERVER=unix:/nonexistent"};
    auto tolvane = std::make_unique<TestSupport::ChildProcess>(
        std::vector<std::string>{folder + "tolvane", "--osc-port", std::to_string(port)}, environment,
        folder + "tolvane.out");
    if (!AnswersWithin("state", "0 120", 60s)) {
        std::fprintf(stderr, "the program did not come up\n");
        return 1;
    }
    const pid_t pid = tolvane->Pid();
    const long baseRss = ResidentKiB(pid);
    // The window's answer time on this machine as it is, without the flood.
    double quiet = 0;
    for (int i = 0; i < 100; ++i) {
        const auto begin = std::chrono::steady_clock::now();
        Request("state");
        quiet = std::max(quiet, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count());
        std::this_thread::sleep_for(20ms);
    }

    std::atomic<bool> flooding{true};
    double longest = 0;
    int asked = 0;
    int unanswered = 0;
    std::thread watch([&] {
        while (flooding.load()) {
            const auto begin = std::chrono::steady_clock::now();
            const std::string answer = Request("state");
            const double took = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
            ++asked;
            unanswered += answer.empty();
            longest = std::max(longest, took);
            std::this_thread::sleep_for(20ms);
        }
    });

    const std::vector<std::vector<char>> kinds = Datagrams();
    const int target = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    constexpr int Total = 100000;
    int sent = 0;
    long peakRss = baseRss;
    const auto begin = std::chrono::steady_clock::now();
    for (int i = 0; i < Total; ++i) {
        const auto& datagram = kinds[static_cast<std::size_t>(i) % kinds.size()];
        sent += sendto(target, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&address),
                       sizeof address) == static_cast<ssize_t>(datagram.size());
        // 10,000 a second, in bursts of 100 every 10 ms.
        if (i % 100 == 99) {
            std::this_thread::sleep_until(begin + (i + 1) * 100us);
            if (i % 10000 == 9999)
                peakRss = std::max(peakRss, ResidentKiB(pid));
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    flooding = false;
    watch.join();

    // The program still takes commands: a tempo by OSC, read back over the socket.
    lo_message tempo = lo_message_new();
    lo_message_add_int32(tempo, 77);
    const std::vector<char> last = Serialised(tempo, "/tolvane/tempo");
    sendto(target, last.data(), last.size(), 0, reinterpret_cast<sockaddr*>(&address), sizeof address);
    close(target);
    const bool follows = AnswersWithin("state", "0 77", 10s);
    const long rss = ResidentKiB(pid);
    const bool alive = tolvane->Running();
    Report(alive && longest <= 50 && unanswered == 0 && follows && peakRss - baseRss < 8 * 1024,
           "OSC flood: %d of %d datagrams sent in %.1f s; window: %d state requests, longest answer %.1f ms, "
           "%d unanswered (without the flood: longest %.1f ms of 100); a tempo by OSC afterwards %s; resident "
           "memory %.1f MiB before, peak %.1f, after %.1f",
           sent, Total, seconds, asked, longest, unanswered, quiet, follows ? "taken" : "NOT taken", baseRss / 1024.0,
           peakRss / 1024.0, rss / 1024.0);
    tolvane.reset();
    std::filesystem::remove_all(folder);
    return allPassed ? 0 : 1;
}
