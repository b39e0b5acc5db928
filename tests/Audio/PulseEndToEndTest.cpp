// End to end through the real output: a private PulseAudio server with a null sink, the
// RtAudio backend playing notes into it, and parec recording the sink's monitor. Every
// process the test starts is ended by its own process id.
#include "AudioTestSupport.h"
#include "TestSupport.h"

#include "Platform/Audio/MidiOut.h"
#include "Platform/Audio/Mixer.h"
#include "Platform/Audio/RtAudioBackend.h"
#include "Platform/Clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <cstdlib>
#include <filesystem>
#include <spawn.h>
#include <unistd.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

using namespace Platform::Audio;

namespace {

/// A child process started with extra environment variables, ended by its pid.
class Child {
public:
    Child(const std::vector<std::string>& arguments, const std::vector<std::string>& extraEnvironment,
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
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, (output + ".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
            pid_ = 0;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Child() { End(); }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool Started() const { return pid_ > 0; }
    bool Running()
    {
        if (pid_ <= 0)
            return false;
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = 0;
            return false;
        }
        return true;
    }
    /// Asks the process to end, and kills it if it has not ended within two seconds.
    void End()
    {
        if (!Running())
            return;
        kill(pid_, SIGTERM);
        for (int i = 0; i < 200 && Running(); ++i)
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

/// Sets an environment variable for the lifetime of the object.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const std::string& value) : name_(name)
    {
        if (const char* old = std::getenv(name)) {
            had_ = true;
            old_ = old;
        }
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnvironment()
    {
        if (had_)
            setenv(name_, old_.c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    bool had_ = false;
    std::string old_;
};

bool WaitFor(const std::function<bool()>& condition, int milliseconds)
{
    for (int waited = 0; waited < milliseconds; waited += 20) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return condition();
}

std::vector<float> ReadS16Stereo(const std::string& path)
{
    const std::string bytes = TestSupport::ReadFile(path);
    std::vector<float> samples(bytes.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const auto value = static_cast<std::int16_t>(static_cast<std::uint8_t>(bytes[2 * i]) |
                                                     static_cast<std::uint8_t>(bytes[2 * i + 1]) << 8);
        samples[i] = static_cast<float>(value) / 32768.0f;
    }
    return samples;
}

} // namespace

TEST(PulseAudioEndToEnd, NotesAreHeardAtTheirSpacingThroughTheRealOutput)
{
    TestSupport::TempFolder folder;
    const std::string runtime = folder.Path() + "runtime";
    std::filesystem::create_directories(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    const std::string socket = runtime + "/pulse/native";
    const std::vector<std::string> privateEnvironment = {"XDG_RUNTIME_DIR=" + runtime, "HOME=" + folder.Path(),
                                                         "PULSE_SERVER=unix:" + socket};

    Child server({"pulseaudio", "-n", "--daemonize=no", "--system=false", "--exit-idle-time=-1", "--disallow-exit",
                  "--use-pid-file=no", "--disable-shm=yes", "--log-target=stderr",
                  "-L", "module-null-sink sink_name=tolvane_test rate=44100 channels=2",
                  "-L", "module-native-protocol-unix auth-anonymous=1",
                  "-L", "module-always-sink"},
                 privateEnvironment, folder / "pulseaudio.log");
    if (!server.Started() || !WaitFor([&] { return std::filesystem::exists(socket) && server.Running(); }, 10000))
        GTEST_SKIP() << "pulseaudio could not be started here: " << TestSupport::ReadFile(folder / "pulseaudio.log.err");

    const std::string recording = folder / "monitor.raw";
    Child recorder({"parec", "--server=unix:" + socket, "--device=tolvane_test.monitor", "--rate=44100",
                    "--channels=2", "--format=s16le", "--raw", "--latency-msec=20"},
                   privateEnvironment, recording);
    ASSERT_TRUE(recorder.Started());
    ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(recording) && recorder.Running(); }, 5000));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    const ScopedEnvironment server_("PULSE_SERVER", "unix:" + socket);
    const ScopedEnvironment runtime_("XDG_RUNTIME_DIR", runtime);
    RtAudioBackend backend;
    Mixer mixer(backend);
    MidiOut out(MidiOutOptions{&mixer, {}});
    ASSERT_EQ(out.Open(), NoError) << backend.LastFailure();
    EXPECT_STREQ(backend.Name(), "pulse");

    // Eight clicks, 250 ms apart, each sent by a thread that wakes up for it, as the timer does.
    constexpr int clicks = 8;
    constexpr std::int64_t spacing = 250'000'000;
    const std::int64_t first = Platform::Clock::Now() + 200'000'000;
    for (int k = 0; k < clicks; ++k) {
        const std::int64_t due = first + k * spacing;
        std::this_thread::sleep_for(std::chrono::nanoseconds(due - Platform::Clock::Now()));
        ASSERT_EQ(AudioTest::AtTick(due, [&] { return out.ShortMessage(0x644B99); }), NoError);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    const std::uint64_t late = mixer.LateCount();
    out.Close();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    recorder.End();
    server.End();

    const auto capture = ReadS16Stereo(recording);
    const auto onsets = AudioTest::Onsets(capture, 5000, 0.01f);
    ASSERT_EQ(onsets.size(), static_cast<std::size_t>(clicks)) << "recorded " << capture.size() / 2 << " frames";
    EXPECT_EQ(late, 0u);
    // The server's own buffering shifts the whole run; between clicks only the clock map's
    // error remains, and a null sink's clock now and then jumps by a few milliseconds
    // against the system clock, so the bounds are loose. Jitter of the sending thread would
    // show as errors of whole milliseconds on every click.
    for (int k = 1; k < clicks; ++k) {
        const auto gap = static_cast<double>(onsets[k] - onsets[k - 1]);
        EXPECT_NEAR(gap, 11025.0, 441.0) << "between clicks " << k - 1 << " and " << k;
    }
    EXPECT_NEAR(static_cast<double>(onsets.back() - onsets.front()), 11025.0 * (clicks - 1), 441.0);
    std::printf("click spacing in frames (11025 expected):");
    for (int k = 1; k < clicks; ++k)
        std::printf(" %zu", onsets[k] - onsets[k - 1]);
    std::printf("\n");
}
