// The built-in synthesizer through the offline backend: where notes land, how they sound,
// and how the output opens and closes.
#include "AudioTestSupport.h"
#include "TestSupport.h"

#include "Platform/Audio/MidiOut.h"

#include <gtest/gtest.h>

using namespace Platform::Audio;
using AudioTest::AtTick;
using AudioTest::OfflineRig;

namespace {

constexpr std::uint32_t NoteOn(std::uint32_t note, std::uint32_t velocity)
{
    return 0x99 | note << 8 | velocity << 16;
}

// FluidSynth's voices start from an exact zero, so the first audible frame of a note is
// one after the frame it was placed on.
constexpr std::size_t firstSoundingFrame = 1;

// An open output with the notes a test plays rendered beforehand, as a run's start renders them.
struct OpenMidi {
    explicit OpenMidi(OfflineRig& rig, const std::vector<MidiOut::Note>& notes = {{38, 100}, {75, 100}})
        : out(MidiOutOptions{rig.mixer, {}})
    {
        EXPECT_EQ(out.Open(notes), NoError);
    }
    MidiOut out;
};

std::vector<float> RenderNote(double frame, std::uint32_t blockFrames, std::uint64_t total = 44100,
                              std::uint32_t message = NoteOn(38, 100))
{
    OfflineRig rig;
    OpenMidi midi(rig, {{static_cast<int>(message >> 8 & 0x7F), static_cast<int>(message >> 16 & 0x7F)}});
    EXPECT_EQ(AtTick(rig.TimeOf(frame), [&] { return midi.out.ShortMessage(message); }), NoError);
    rig.backend.Pull(total, blockFrames);
    EXPECT_EQ(rig.mixer.LateCount(), 0u);
    EXPECT_EQ(midi.out.SubstitutedNotes(), 0u);
    return rig.backend.Captured();
}

} // namespace

class NotePlacement : public testing::TestWithParam<std::uint32_t> {};

TEST_P(NotePlacement, NoteSoundsAtItsStampedFramePlusTheLatencyWhateverTheBlockSize)
{
    const std::uint32_t blockFrames = GetParam();
    OfflineRig rig;
    const std::int64_t latency = rig.mixer.LatencyFrames();
    // Stamps between frames round to the nearest frame.
    for (const double frame : {1000.0, 7777.4, 7777.6, 30000.5001}) {
        const auto capture = RenderNote(frame, blockFrames);
        const auto onset = AudioTest::Onset(capture, 0, 0.0f);
        ASSERT_TRUE(onset.has_value());
        EXPECT_EQ(*onset, static_cast<std::size_t>(std::llround(frame) + latency) + firstSoundingFrame)
            << "frame " << frame << ", blocks of " << blockFrames;
    }
    // And the note itself is the same sound whatever the block size.
    const auto reference = RenderNote(1000, 256);
    const auto capture = RenderNote(1000, blockFrames);
    ASSERT_EQ(capture.size(), reference.size());
    for (std::size_t i = 0; i < capture.size(); ++i)
        ASSERT_NEAR(capture[i], reference[i], 1e-6f) << "sample " << i;
}

INSTANTIATE_TEST_SUITE_P(BlockSizes, NotePlacement, testing::Values(1u, 63u, 64u, 100u, 256u, 1024u, 4096u));

TEST(NoteSpacing, OverlappingNotesEachStartOnTheirOwnFrame)
{
    // Notes closer together than FluidSynth's processing block, still ringing when the next
    // one starts: the mix must be exactly the sum of the notes rendered one by one.
    const double frames[] = {5000, 5017, 5100, 5101, 5163.3};
    // (None of them cuts another: the crash cymbal would cut the closed hi-hat.)
    const std::uint32_t notes[] = {38, 42, 36, 51, 75};
    OfflineRig together;
    OpenMidi midi(together, {{38, 90}, {42, 90}, {36, 90}, {51, 90}, {75, 90}});
    for (int i = 0; i < 5; ++i)
        AtTick(together.TimeOf(frames[i]), [&] { return midi.out.ShortMessage(NoteOn(notes[i], 90)); });
    together.backend.Pull(30000, 256);
    EXPECT_EQ(midi.out.SubstitutedNotes(), 0u);
    std::vector<float> sum(together.backend.Captured().size(), 0.0f);
    for (int i = 0; i < 5; ++i) {
        const auto alone = RenderNote(frames[i], 256, 30000, NoteOn(notes[i], 90));
        for (std::size_t s = 0; s < sum.size(); ++s)
            sum[s] += alone[s];
    }
    for (std::size_t s = 0; s < sum.size(); ++s)
        ASSERT_NEAR(together.backend.Captured()[s], sum[s], 1e-5f) << "sample " << s;
}

TEST(NoteSpacing, NoteWhoseFrameHasPassedStartsAtOnceAndCountsAsLate)
{
    OfflineRig rig;
    OpenMidi midi(rig);
    rig.backend.Pull(10000, 256);
    const std::int64_t longAgo = rig.TimeOf(100);
    AtTick(longAgo, [&] { return midi.out.ShortMessage(NoteOn(38, 100)); });
    rig.backend.Pull(10000, 256);
    EXPECT_EQ(rig.mixer.LateCount(), 1u);
    const auto onset = AudioTest::Onset(rig.backend.Captured(), 0, 0.0f);
    ASSERT_TRUE(onset.has_value());
    EXPECT_EQ(*onset, 10000 + firstSoundingFrame);
}

TEST(NoteSound, VelocityScalesLoudnessAndOneNotYetRenderedPlaysTheNearestScaled)
{
    float previous = 0.0f;
    for (const std::uint32_t velocity : {16u, 64u, 127u}) {
        const float peak = AudioTest::Peak(RenderNote(1000, 256, 20000, NoteOn(38, velocity)), 0, 20000);
        EXPECT_GT(peak, 1.5f * previous) << velocity;
        EXPECT_LT(peak, 1.0f) << velocity;
        previous = peak;
    }

    // A velocity not yet rendered plays the nearest one scaled, and is rendered for next time.
    OfflineRig rig;
    OpenMidi midi(rig, {{38, 100}});
    AtTick(rig.TimeOf(1000), [&] { return midi.out.ShortMessage(NoteOn(38, 50)); });
    rig.backend.Pull(20000, 256);
    EXPECT_EQ(midi.out.SubstitutedNotes(), 1u);
    const auto exact = RenderNote(1000, 256, 20000, NoteOn(38, 50));
    const float peak = AudioTest::Peak(rig.backend.Captured(), 0, 20000);
    EXPECT_NEAR(peak, AudioTest::Peak(exact, 0, 20000), 0.3f * peak);
    // The kit's own thread renders the exact velocity for the next note.
    EXPECT_TRUE(TestSupport::WaitUntil([&] { return midi.out.NotePrepared({38, 50}); }));
}

TEST(NoteSound, NoteOnWithVelocityZeroIsANoteOff)
{
    // Long Whistle sustains while its key is held.
    const auto held = RenderNote(1000, 256, 44100, NoteOn(72, 100));

    OfflineRig rig;
    OpenMidi midi(rig, {{72, 100}});
    AtTick(rig.TimeOf(1000), [&] { return midi.out.ShortMessage(NoteOn(72, 100)); });
    AtTick(rig.TimeOf(5000), [&] { return midi.out.ShortMessage(NoteOn(72, 0)); });
    rig.backend.Pull(44100, 256);
    const auto& released = rig.backend.Captured();

    EXPECT_NEAR(AudioTest::Peak(released, 0, 5000), AudioTest::Peak(held, 0, 5000), 1e-6f);
    EXPECT_LT(AudioTest::Peak(released, 12000, 18000), 0.1f * AudioTest::Peak(held, 12000, 18000));
}

TEST(MidiOutLifetime, CloseKeepsThePreparedStreamOpenAndReleaseGivesItUp)
{
    OfflineRig rig;
    MidiOut out(MidiOutOptions{rig.mixer, {}});
    EXPECT_EQ(out.ShortMessage(NoteOn(38, 100)), InvalidHandle);
    out.Prepare();
    ASSERT_EQ(out.Open(), NoError);
    EXPECT_TRUE(out.IsPrepared());
    EXPECT_TRUE(rig.backend.IsOpen());
    EXPECT_EQ(out.Open(), Allocated);
    EXPECT_EQ(out.ShortMessage(0x2600), InvalidParameter);
    EXPECT_EQ(out.ShortMessage(0xF8), NotSupported);
    // A note still queued at Close never sounds after the next Open.
    AtTick(rig.TimeOf(30000), [&] { return out.ShortMessage(NoteOn(38, 100)); });
    out.Close();
    EXPECT_TRUE(rig.backend.IsOpen());
    out.Close();
    EXPECT_EQ(out.ShortMessage(NoteOn(38, 100)), InvalidHandle);
    EXPECT_EQ(out.Open(), NoError);
    rig.backend.Pull(44100, 256);
    EXPECT_EQ(AudioTest::Peak(rig.backend.Captured(), 0, 44100), 0.0f);
    out.Release();
    EXPECT_FALSE(rig.backend.IsOpen());
    EXPECT_EQ(out.ShortMessage(NoteOn(38, 100)), InvalidHandle);
}

// Two outputs share one stream, and a prepared output renders a note it was not prepared for
// when asked.
TEST(MidiOutLifetime, TwoOutputsShareOneStreamAndRenderNotesWhenAsked)
{
    OfflineRig rig;
    MidiOut first(MidiOutOptions{rig.mixer, {}});
    MidiOut second(MidiOutOptions{rig.mixer, {}});
    first.Prepare({{75, 100}});
    ASSERT_EQ(first.Open(), NoError);
    ASSERT_EQ(second.Open(), NoError);
    EXPECT_TRUE(first.NotePrepared({75, 100}));
    first.PrepareNotes({{38, 100}});
    EXPECT_TRUE(first.NotePrepared({38, 100}));
    first.Release();
    EXPECT_TRUE(rig.backend.IsOpen());
    second.Release();
    EXPECT_FALSE(rig.backend.IsOpen());
}

TEST(SoundFontSearch, PreferredFileFirstThenEachFolderInNameOrderSkippingUnusableFiles)
{
    TestSupport::TempFolder first;
    TestSupport::TempFolder second;
    for (const char* name : {"b.sf2", "a.SF3", "notes.txt", "c.sf2"})
        TestSupport::WriteFile(first / name, "x");
    TestSupport::WriteFile(second / "z.sf2", "x");
    SoundFontSearch search{first / "c.sf2", {first.Path(), second.Path(), "/no/such/folder"}};
    EXPECT_EQ(SoundFontCandidates(search),
              (std::vector<std::string>{first / "c.sf2", first / "a.SF3", first / "b.sf2", second / "z.sf2"}));
    search.preferred = first / "missing.sf2";
    EXPECT_EQ(SoundFontCandidates(search).front(), first / "a.SF3");

    // Unusable files are skipped, and none at all gives no driver.
    TestSupport::TempFolder folder;
    TestSupport::WriteFile(folder / "a-broken.sf2", "not a soundfont");
    OfflineRig rig;
    {
        MidiOut out(MidiOutOptions{rig.mixer, {"", {folder.Path()}}});
        EXPECT_EQ(out.Open(), NoDriver);
        EXPECT_FALSE(rig.backend.IsOpen());
    }
    {
        MidiOut out(MidiOutOptions{rig.mixer, {"", {folder.Path(), "/usr/share/sounds/sf2"}}});
        ASSERT_EQ(out.Open(), NoError);
        EXPECT_NE(out.SoundFont().find("/usr/share/sounds/sf2/"), std::string::npos);
    }
}
