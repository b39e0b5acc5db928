// End to end through the real output: a private PulseAudio server with a null sink, the
// RtAudio backend playing notes into it, and parec recording the sink's monitor. Every
// process the test starts is ended by its own process id.
#include "AudioTestSupport.h"
#include "PrivatePulseAudio.h"
#include "ScopedEnvironment.h"
#include "TestSupport.h"

#include "Platform/Audio/MidiOut.h"
#include "Platform/Audio/SystemOutput.h"

#include <gtest/gtest.h>

using namespace Platform::Audio;

TEST(PulseAudioEndToEnd, NotesAreHeardAtTheirSpacingThroughTheRealOutput)
{
    TestSupport::TempFolder folder;
    TestSupport::PrivatePulseAudio pulse(folder.Path(), "tolvane_test");
    if (!pulse.Ready())
        GTEST_SKIP() << "pulseaudio could not be started here: " << TestSupport::ReadFile(pulse.ErrorLog());
    const std::string socket = pulse.Socket();
    const std::string runtime = pulse.RuntimeFolder();

    TestSupport::MonitorRecorder recorder(pulse, folder / "monitor.raw");
    ASSERT_TRUE(recorder.Ready());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    const TestSupport::ScopedEnvironment server_("PULSE_SERVER", "unix:" + socket);
    const TestSupport::ScopedEnvironment runtime_("XDG_RUNTIME_DIR", runtime);
    SystemOutput backend;
    Mixer mixer(backend, MixerOptions{44100, 256, OutputLeadMs}); // as the program's output
    MidiOut out(MidiOutOptions{mixer, {}});
    ASSERT_EQ(out.Open(), NoError) << backend.LastFailure();
    out.PrepareNotes({{75, 100}}); // claves, as a run's start renders its notes
    EXPECT_STREQ(backend.Name(), "pulse");

    // Eight clicks, 11025 frames apart, each sent by a thread that wakes up when the mixer's
    // frame clock says it is due, as the timer does.
    constexpr int clicks = 8;
    const double first = mixer.AnchorFrame() + 4410;
    for (int k = 0; k < clicks; ++k) {
        const double frame = first + k * 11025.0;
        std::this_thread::sleep_for(std::chrono::nanoseconds(mixer.HandOverTime(frame) - Platform::Clock::Now()));
        ASSERT_EQ(AudioTest::AtFrame(mixer, frame, [&] { return out.ShortMessage(0x644B99); }), NoError);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    const std::uint64_t late = mixer.LateCount();
    out.Release();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const auto capture = recorder.Stop();
    pulse.End();

    const auto onsets = AudioTest::Onsets(capture, 5000, 0.01f);
    ASSERT_EQ(onsets.size(), static_cast<std::size_t>(clicks)) << "recorded " << capture.size() / 2 << " frames";
    EXPECT_EQ(late, 0u);
    // Each click starts on its own frame of the stream, so the server's bursts and clock jumps
    // move nothing: the recording holds them exactly their frames apart. (Placed by clock
    // time instead, hardly any gap came out exact.) Only a server that runs dry inserts
    // silence, which a machine loaded far beyond its cores can make it do now and then.
    int exact = 0;
    for (int k = 1; k < clicks; ++k)
        exact += onsets[k] - onsets[k - 1] == 11025u;
    EXPECT_GE(exact, (clicks - 1) / 2);
    std::printf("click spacing in frames (11025 expected):");
    for (int k = 1; k < clicks; ++k)
        std::printf(" %zu", onsets[k] - onsets[k - 1]);
    std::printf("\n");
}
