// End to end through the real output: a private PulseAudio server with a null sink, the
// RtAudio backend playing notes into it, and parec recording the sink's monitor. Every
// process the test starts is ended by its own process id.
#include "AudioTestSupport.h"
#include "PrivatePulseAudio.h"
#include "TestSupport.h"

#include "Platform/Audio/MidiOut.h"
#include "Platform/Audio/Mixer.h"
#include "Platform/Audio/RtAudioBackend.h"
#include "Platform/Clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>
#include <string>
#include <thread>
#include <vector>

using namespace Platform::Audio;

namespace {

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
    TestSupport::PrivatePulseAudio pulse(folder.Path(), "tolvane_test");
    if (!pulse.Ready())
        GTEST_SKIP() << "pulseaudio could not be started here: " << TestSupport::ReadFile(pulse.ErrorLog());
    const std::string socket = pulse.Socket();
    const std::string runtime = pulse.RuntimeFolder();

    const std::string recording = folder / "monitor.raw";
    TestSupport::ChildProcess recorder({"parec", "--server=unix:" + socket, "--device=tolvane_test.monitor", "--rate=44100",
                    "--channels=2", "--format=s16le", "--raw", "--latency-msec=20"},
                   pulse.Environment(), recording);
    ASSERT_TRUE(recorder.Started());
    ASSERT_TRUE(TestSupport::WaitUntil([&] { return std::filesystem::exists(recording) && recorder.Running(); }, 5000));
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
    pulse.End();

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
