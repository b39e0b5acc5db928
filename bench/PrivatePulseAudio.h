#pragma once
// Child processes and a private PulseAudio server with a null sink, for the benchmarks that
// listen to the program through the real output. Every process started here
// is ended by its own process id, never by name.
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace TestSupport {

/// A child process with extra environment variables; standard output goes to a file and
/// standard error to the same name + ".err". Ended (SIGTERM, then SIGKILL) when destroyed.
class ChildProcess {
public:
    ChildProcess(const std::vector<std::string>& arguments, const std::vector<std::string>& extraEnvironment,
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
        if (posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
            pid_ = 0;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~ChildProcess() { End(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return pid_ > 0; }
    pid_t Pid() const { return pid_; }

    bool Running()
    {
        if (pid_ <= 0)
            return false;
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = 0;
            return false;
        }
        return true;
    }

    /// Asks the process to end, and kills it if it has not ended within five seconds.
    void End()
    {
        if (!Running())
            return;
        kill(pid_, SIGTERM);
        for (int i = 0; i < 500 && Running(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (Running()) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        pid_ = 0;
    }

private:
    pid_t pid_ = 0;
};

/// Polls condition every 20 ms for at most the given time; its last answer.
inline bool WaitUntil(const std::function<bool()>& condition, int milliseconds)
{
    for (int waited = 0; waited < milliseconds; waited += 20) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return condition();
}

/// A PulseAudio server of our own, in folder (with a trailing '/'), with a 44.1 kHz stereo
/// null sink named sinkName. Clients reach it through Environment(); its monitor source is
/// sinkName + ".monitor".
class PrivatePulseAudio {
public:
    PrivatePulseAudio(const std::string& folder, const std::string& sinkName)
        : sink_(sinkName),
          runtime_(folder + "pulse-runtime"),
          socket_(runtime_ + "/pulse/native"),
          log_(folder + "pulseaudio.log")
    {
        std::filesystem::create_directories(runtime_);
        std::filesystem::permissions(runtime_, std::filesystem::perms::owner_all);
        environment_ = {"XDG_RUNTIME_DIR=" + runtime_, "HOME=" + folder, "PULSE_SERVER=unix:" + socket_};
        server_ = std::make_unique<ChildProcess>(
            std::vector<std::string>{"pulseaudio", "-n", "--daemonize=no", "--system=false", "--exit-idle-time=-1",
                                     "--disallow-exit", "--use-pid-file=no", "--disable-shm=yes",
                                     "--log-target=stderr", "-L",
                                     "module-null-sink sink_name=" + sinkName + " rate=44100 channels=2", "-L",
                                     "module-native-protocol-unix auth-anonymous=1", "-L", "module-always-sink"},
            environment_, log_);
        ready_ = server_->Started() &&
                 WaitUntil([this] { return std::filesystem::exists(socket_) && server_->Running(); }, 10000);
    }

    /// True when the server is up and its socket can be connected to.
    bool Ready() const { return ready_; }
    const std::string& RuntimeFolder() const { return runtime_; }
    const std::string& Socket() const { return socket_; }
    /// The null sink's monitor source, which records what the sink plays.
    std::string Monitor() const { return sink_ + ".monitor"; }
    /// XDG_RUNTIME_DIR, HOME and PULSE_SERVER for a client of this server.
    const std::vector<std::string>& Environment() const { return environment_; }
    /// What the server wrote to its standard error (why it did not start, say).
    std::string ErrorLog() const { return log_ + ".err"; }
    /// The server's process id, for signals sent to it alone (0 when it did not start).
    pid_t Pid() const { return server_->Pid(); }
    void End() { server_->End(); }

private:
    std::string sink_;
    std::string runtime_;
    std::string socket_;
    std::string log_;
    std::vector<std::string> environment_;
    std::unique_ptr<ChildProcess> server_;
    bool ready_ = false;
};

/// Interleaved stereo samples from a file of raw signed 16-bit little-endian ones (what parec
/// --raw records), scaled to -1..1.
inline std::vector<float> ReadS16Stereo(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::vector<float> samples(bytes.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const auto value = static_cast<std::int16_t>(static_cast<std::uint8_t>(bytes[2 * i]) |
                                                     static_cast<std::uint8_t>(bytes[2 * i + 1]) << 8);
        samples[i] = static_cast<float>(value) / 32768.0f;
    }
    return samples;
}

/// parec recording a private server's monitor into file from construction until Stop.
class MonitorRecorder {
public:
    MonitorRecorder(const PrivatePulseAudio& pulse, const std::string& file, int latencyMs = 250)
        : file_(file),
          parec_({"parec", "--server=unix:" + pulse.Socket(), "--device=" + pulse.Monitor(), "--rate=44100",
                  "--channels=2", "--format=s16le", "--raw", "--latency-msec=" + std::to_string(latencyMs)},
                 pulse.Environment(), file)
    {
        ready_ = parec_.Started() &&
                 WaitUntil([this] { return std::filesystem::exists(file_) && parec_.Running(); }, 5000);
    }
    /// True when parec runs and writes its file.
    bool Ready() const { return ready_; }
    /// What has been recorded so far.
    std::vector<float> Recorded() const { return ReadS16Stereo(file_); }
    /// Ends the recording and returns it.
    std::vector<float> Stop()
    {
        parec_.End();
        return ReadS16Stereo(file_);
    }

private:
    std::string file_;
    ChildProcess parec_;
    bool ready_ = false;
};

} // namespace TestSupport
