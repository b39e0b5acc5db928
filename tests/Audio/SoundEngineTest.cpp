// The MIDI sound engine and the program root's choice of engine, played through the offline
// backend.
#include "AudioTestSupport.h"
#include "TestSupport.h"

#include "Core/Engine/Program.h"

#include <gtest/gtest.h>

using AudioTest::AtTick;
using AudioTest::OfflineRig;

namespace {

Platform::Audio::MidiOutOptions On(OfflineRig& rig, Platform::Audio::SoundFontSearch search = {})
{
    return Platform::Audio::MidiOutOptions{rig.mixer, std::move(search)};
}

} // namespace

TEST(MidiSoundEngine, InitialiseTwiceOpensOnceCloseKeepsWhatWasPreparedAndNotesGoToThePercussionChannel)
{
    OfflineRig rig;
    Core::MidiSoundEngine engine(On(rig));
    Configuration::ConfigurationData settings;
    settings.Instrument[3] = 0; // Acoustic Bass Drum, note 35: Initialise renders it
    engine.Prepare(settings);
    ASSERT_TRUE(engine.Initialise(settings));
    ASSERT_TRUE(engine.Initialise(settings));
    EXPECT_TRUE(engine.IsPrepared(settings));
    EXPECT_TRUE(engine.Output().NotePrepared({35, 127}));
    EXPECT_EQ(engine.GetLastErrorCode(), 0u);
    // Had the second call opened the output again, one Close would leave it open.
    engine.Close();
    EXPECT_FALSE(engine.Output().IsOpen());
    ASSERT_TRUE(engine.Initialise(settings));
    // A sound is a Note On on the percussion channel at the volume's velocity; volume 0 is a
    // Note On with velocity 0, which sounds nothing (the output's own tests hear both).
    EXPECT_TRUE(AtTick(rig.TimeOf(1000), [&] { return engine.PlaySound(127, 35); }));
    EXPECT_EQ(engine.Output().LastMessage(), 0x7F2399u);
    EXPECT_TRUE(AtTick(rig.TimeOf(2000), [&] { return engine.PlaySound(0, 38); }));
    EXPECT_EQ(engine.Output().LastMessage(), 0x2699u);
}

// Each failure gives its code and a six-line multimedia report naming the call that failed;
// a failed sound's report waits for the next Close.
TEST(MidiSoundEngine, FailuresGiveTheirCodeAndAReportNamingTheCall)
{
    TestSupport::TempFolder empty;
    const struct {
        const char* call;
        Platform::Audio::MidiOutOptions (*options)(OfflineRig&, const std::string&);
        bool noOutput;
        bool initialise;      // false: PlaySound without Initialise
        std::uint32_t code;
        const char* function;
        const char* description;
        const char* why; // what the report says after the call
    } cases[] = {
        {"midiOutOpen", [](OfflineRig& r, const std::string& e) { return On(r, {"", {e}}); }, false, true, 6,
         "Core::MidiSoundEngine::Initialise", "No device driver present", ": no soundfont found"},
        {"midiOutShortMsg", [](OfflineRig& r, const std::string&) { return On(r); }, false, false, 5,
         "Core::MidiSoundEngine::PlaySoundW", "Device handle is invalid", ""},
        {"midiOutOpen", [](OfflineRig& r, const std::string&) { return On(r); }, true, true, 6,
         "Core::MidiSoundEngine::Initialise", "No device driver present", ": no audio output could be opened"},
    };
    for (const auto& c : cases) {
        TestSupport::ScopedLog log;
        OfflineRig rig;
        if (c.noOutput)
            rig.backend.FailOpenWith(Platform::Audio::NoDriver);
        Core::MidiSoundEngine engine(c.options(rig, empty.Path()));
        EXPECT_FALSE(c.initialise ? engine.Initialise(Configuration::ConfigurationData()) : engine.PlaySound(100, 38));
        EXPECT_EQ(engine.GetLastErrorCode(), c.code);
        EXPECT_FALSE(rig.backend.IsOpen());
        if (!c.initialise) {
            // A failed sound is kept as its code: the timer thread that plays it may not log.
            // The control thread's next Close writes the entry.
            EXPECT_TRUE(log.Lines().empty());
            engine.Close();
        }
        const auto lines = log.Lines();
        ASSERT_EQ(lines.size(), 6u);
        EXPECT_NE(lines[0].find(std::string("  [Error]  Multimedia error: Error calling ") + c.call + c.why),
                  std::string::npos)
            << lines[0];
        EXPECT_EQ(lines[2], std::string("\tFunction: ") + c.function);
        EXPECT_EQ(lines[5], std::string("\tDescription: ") + c.description);
    }
}

TEST(ProgramRoot, GivesOneLastingEngineForEverySoundSource)
{
    TestSupport::ScopedLog log;
    Core::Program program(std::make_unique<Platform::Audio::OfflineBackend>(), {});
    using Configuration::SoundSource;
    Core::ISoundEngine& midi = program.SoundEngineFor(SoundSource::Midi);
    EXPECT_NE(dynamic_cast<Core::MidiSoundEngine*>(&midi), nullptr);
    EXPECT_EQ(&program.SoundEngineFor(static_cast<SoundSource>(7)), &midi);

    Core::ISoundEngine& audio = program.SoundEngineFor(SoundSource::AudioFiles);
    EXPECT_NE(dynamic_cast<Core::AudioSoundEngine*>(&audio), nullptr);
    EXPECT_EQ(&program.SoundEngineFor(SoundSource::AudioFiles), &audio);
}
