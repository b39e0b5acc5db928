#pragma once

// What the reliability runs of the real program share: requests on its instance socket, waiting
// for a condition, and its processor time.

#include <chrono>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace Bench {

using SteadyClock = std::chrono::steady_clock;

inline double Since(SteadyClock::time_point begin)
{
    return std::chrono::duration<double>(SteadyClock::now() - begin).count();
}

/// One request line on the instance socket at socketPath; the answer, or "" when nobody
/// answers in 10 s.
inline std::string Request(const std::string& socketPath, const std::string& line)
{
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
    std::string answer;
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        timeval timeout{10, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        const std::string request = line + "\n";
        char c = 0;
        if (write(fd, request.data(), request.size()) == static_cast<ssize_t>(request.size())) {
            while (read(fd, &c, 1) == 1 && c != '\n')
                answer += c;
        }
    }
    close(fd);
    return answer;
}

/// Sends one request line without waiting for its answer (a request that opens a message box
/// is answered only once the box is closed).
inline void Send(const std::string& socketPath, const std::string& line)
{
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        const std::string request = line + "\n";
        [[maybe_unused]] const ssize_t written = write(fd, request.data(), request.size());
        // Held open until the line has been read: a connection closed at once may be dropped
        // before its line is taken.
        timeval timeout{0, 300000};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        char c = 0;
        [[maybe_unused]] const ssize_t got = read(fd, &c, 1);
    }
    close(fd);
}

/// Seconds until condition holds, polling every 20 ms; -1 after limit seconds.
inline double Within(double limit, const auto& condition)
{
    const auto begin = SteadyClock::now();
    while (!condition()) {
        if (Since(begin) > limit)
            return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return Since(begin);
}

/// The process's processor time so far, in seconds.
inline double CpuSeconds(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const std::size_t fields = text.rfind(')'); // the name may hold spaces
    if (fields == std::string::npos)
        return 0;
    std::istringstream rest(text.substr(fields + 2));
    std::string skip;
    for (int field = 3; field < 14; ++field)
        rest >> skip;
    long user = 0;
    long system = 0;
    rest >> user >> system;
    return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

/// Percent of one processor the process uses over the next seconds.
inline double CpuPercent(pid_t pid, double seconds)
{
    const double before = CpuSeconds(pid);
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    return 100.0 * (CpuSeconds(pid) - before) / seconds;
}

/// Threads of process pid now.
inline int ThreadsOf(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Threads:", 0) == 0)
            return std::stoi(line.substr(8));
    }
    return -1;
}

} // namespace Bench
