#include "Core/Control/OscReceiver.h"

#include "Core/Control/OscParser.h"

#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace Core {

OscReceiver::OscReceiver() = default;

OscReceiver::~OscReceiver()
{
    Close();
}

bool OscReceiver::Open(const std::string& address, int port, std::string& problem)
{
    Close();
    if (port < 0 || port > 65535) {
        problem = "the port must be 0 to 65535";
        return false;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV | AI_PASSIVE;
    addrinfo* found = nullptr;
    if (const int error = getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &found); error != 0) {
        problem = "'" + address + "' is no numeric address: " + gai_strerror(error);
        return false;
    }
    const int fd = socket(found->ai_family, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0 || bind(fd, found->ai_addr, found->ai_addrlen) != 0) {
        problem = std::string("UDP port ") + std::to_string(port) + " on " + address + ": " + std::strerror(errno);
        if (fd >= 0)
            ::close(fd);
        freeaddrinfo(found);
        return false;
    }
    freeaddrinfo(found);
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length);
    port_ = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6&>(bound).sin6_port
                                              : reinterpret_cast<sockaddr_in&>(bound).sin_port);
    socket_ = fd;
    wake_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    stop_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    thread_ = std::jthread([this](std::stop_token stop) { Receive(stop); });
    return true;
}

void OscReceiver::Close()
{
    if (socket_ < 0)
        return;
    thread_.request_stop();
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = write(stop_, &one, sizeof one);
    thread_ = {};
    for (int* fd : {&socket_, &wake_, &stop_}) {
        ::close(*fd);
        *fd = -1;
    }
    RemoteCommand left;
    while (queue_.Pop(left)) {
    }
    port_ = 0;
}

bool OscReceiver::Take(RemoteCommand& command)
{
    std::uint64_t count = 0;
    [[maybe_unused]] const auto read = ::read(wake_, &count, sizeof count);
    return queue_.Pop(command);
}

OscReceiver::Counts OscReceiver::Totals() const
{
    return {commands_.load(), releases_.load(), malformed_.load(), unknown_.load(), oversized_.load(), dropped_.load()};
}

void OscReceiver::Receive(std::stop_token stop)
{
    // One byte more than the longest message taken: a longer datagram is cut, and MSG_TRUNC
    // still reports its whole length.
    alignas(8) char buffer[LongestOscMessage + 1];
    pollfd watched[2] = {{socket_, POLLIN, 0}, {stop_, POLLIN, 0}};
    while (!stop.stop_requested()) {
        if (poll(watched, 2, -1) < 0 && errno != EINTR)
            return;
        if (watched[1].revents != 0)
            return;
        for (;;) {
            const ssize_t size = recv(socket_, buffer, sizeof buffer, MSG_TRUNC);
            if (size < 0)
                break; // EAGAIN: all read
            const OscParse parse = ParseOscMessage(buffer, static_cast<std::size_t>(size));
            switch (parse.outcome) {
            case OscOutcome::Command:
                if (queue_.Push(parse.command)) {
                    ++commands_;
                    const std::uint64_t one = 1;
                    [[maybe_unused]] const auto written = write(wake_, &one, sizeof one);
                } else {
                    ++dropped_;
                }
                break;
            case OscOutcome::Release: ++releases_; break;
            case OscOutcome::Malformed: ++malformed_; break;
            case OscOutcome::Unknown: ++unknown_; break;
            case OscOutcome::Oversized: ++oversized_; break;
            }
        }
    }
}

} // namespace Core
