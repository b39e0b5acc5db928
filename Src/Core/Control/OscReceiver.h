#pragma once
#include "Core/Control/RemoteCommand.h"
#include "Platform/SpscQueue.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

namespace Core {

/// Receives OSC messages on a UDP port and hands the commands they carry to one consumer
/// thread through a bounded queue, so that no flood of messages can keep the consumer busy:
/// what does not fit in the queue is dropped and counted, as is every message that is not a
/// command of ours (see ParseOscMessage). The receiving thread only reads, decodes and queues.
class OscReceiver {
public:
    /// Commands waiting at most; more are dropped.
    static constexpr std::size_t QueueCapacity = 64;

    struct Counts {
        std::uint64_t commands = 0;
        std::uint64_t releases = 0;
        std::uint64_t malformed = 0;
        std::uint64_t unknown = 0;
        std::uint64_t oversized = 0;
        std::uint64_t dropped = 0; ///< commands that found the queue full
    };

    OscReceiver();
    ~OscReceiver();
    OscReceiver(const OscReceiver&) = delete;
    OscReceiver& operator=(const OscReceiver&) = delete;

    /// Listens on address (a numeric IPv4 or IPv6 address) and port (0: any free one). False,
    /// with the reason in problem, when the address is not numeric or the port cannot be
    /// bound. Closes what was open first. Consumer thread.
    bool Open(const std::string& address, int port, std::string& problem);
    void Close();
    bool IsOpen() const { return socket_ >= 0; }
    /// The port bound (the one chosen when Open was given 0); 0 when closed.
    int Port() const { return port_; }

    /// An eventfd that becomes readable when commands wait; Take resets it. -1 when closed.
    int WakeDescriptor() const { return wake_; }
    /// Consumer: the next command waiting; false when none waits.
    bool Take(RemoteCommand& command);
    Counts Totals() const;

private:
    void Receive(std::stop_token stop);

    int socket_ = -1;
    int wake_ = -1; // to the consumer
    int stop_ = -1; // to the receiving thread
    int port_ = 0;
    Platform::SpscQueue<RemoteCommand> queue_{QueueCapacity};
    std::atomic<std::uint64_t> commands_{0}, releases_{0}, malformed_{0}, unknown_{0}, oversized_{0}, dropped_{0};
    std::jthread thread_;
};

} // namespace Core
