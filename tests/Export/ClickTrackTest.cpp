// Click tracks written to disk: each format reads back with its clicks on the tempo's frames,
// nothing is left behind by a cancel or a failure, and the tempo maps and meters of a trainer
// run and of a song.
#include "TestSupport.h"
#include "WaveFiles/WaveFixtures.h"

#include "Core/Export/ClickTrack.h"
#include "Core/Songs/Song.h"
#include "Platform/Audio/SoundFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <sndfile.h>
#include <unistd.h>

using namespace Core::Export;

namespace {

// 120 bpm in 4/4, every voice a 48 kHz wave file that starts at full level: a beat is 24000 frames.
Request Clicks(const TestSupport::TempFolder& folder, const std::string& name, FileKind kind)
{
    const std::string sound = folder / "click.wav";
    if (!std::filesystem::exists(sound))
        TestSupport::WriteFile(sound, WaveFixtures::Wave({1, 1, 48000, 16}, WaveFixtures::Pcm16(std::vector<std::int16_t>(400, 16000))));
    Request request;
    request.settings.SoundEngineType = Configuration::SoundSource::AudioFiles;
    request.settings.BeatType = Configuration::BeatKind::BeatsPerBar;
    request.settings.Bpm = 120;
    for (int voice = 0; voice < Configuration::VoiceCount; ++voice) {
        request.settings.Instrument[voice] = voice;
        request.settings.File[voice] = WaveFixtures::Wide(sound);
    }
    request.path = folder / name;
    request.kind = kind;
    request.length = {Length::Unit::Bars, 2};
    return request;
}

std::vector<std::string> Entries(const TestSupport::TempFolder& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(ClickTrackExport, EachFormatReadsBackWithItsClicksOnTheBeat)
{
    TestSupport::ScopedLog log;
    TestSupport::TempFolder folder;
    const struct {
        FileKind kind;
        const char* name;
        int major, sub;
        bool exact; // lossless: every sample as rendered
    } cases[] = {
        {FileKind::Wav16, "a.wav", SF_FORMAT_WAV, SF_FORMAT_PCM_16, true},
        {FileKind::Wav24, "b.wav", SF_FORMAT_WAV, SF_FORMAT_PCM_24, true},
        {FileKind::WavFloat, "c.wav", SF_FORMAT_WAV, SF_FORMAT_FLOAT, true},
        {FileKind::Flac, "d.flac", SF_FORMAT_FLAC, SF_FORMAT_PCM_24, true},
        {FileKind::OggVorbis, "e.ogg", SF_FORMAT_OGG, SF_FORMAT_VORBIS, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Request request = Clicks(folder, c.name, c.kind);
        ASSERT_EQ(ExportClickTrack(request).failure, Failure::None);
        const Platform::Audio::SoundFileContents file = Platform::Audio::ReadSoundFile(request.path);
        EXPECT_EQ(file.rate, 48000u);
        EXPECT_EQ(file.channels, 2);
        EXPECT_EQ(file.majorFormat, c.major);
        EXPECT_EQ(file.subFormat, c.sub);
        ASSERT_EQ(file.samples.size(), 2u * 8 * 24000); // two bars, to the frame
        for (std::size_t beat = 0; c.exact && beat < 8; ++beat) {
            const std::size_t onset = 2 * beat * 24000;
            EXPECT_EQ(file.samples[onset - (beat > 0 ? 2 : 0)], beat > 0 ? 0.0f : file.samples[0]) << beat;
            EXPECT_NEAR(file.samples[onset], 16000.0 / 32768, 1e-3) << beat;
        }
    }
    EXPECT_EQ(KindOfName("x.WAV", 24), FileKind::Wav24);
    EXPECT_EQ(KindOfName("x.mid"), FileKind::Midi);
    EXPECT_EQ(KindOfName("x.mp3"), std::nullopt);
    EXPECT_EQ(KindOfName("dir.wav/x"), std::nullopt);
}

// A cancel, a folder that cannot be written and a file that exists leave the folder as it was,
// each with its reason.
TEST(ClickTrackExport, FailuresLeaveNothingBehind)
{
    TestSupport::ScopedLog log;
    TestSupport::TempFolder folder;
    Request cancelled = Clicks(folder, "cancelled.flac", FileKind::Flac);
    Control control;
    control.progress = [&control](double) { control.cancel = true; };
    EXPECT_EQ(ExportClickTrack(cancelled, &control).failure, Failure::Cancelled);

    Request missing = Clicks(folder, "no/such/folder.wav", FileKind::Wav16);
    const Outcome unwritable = ExportClickTrack(missing);
    EXPECT_EQ(unwritable.failure, Failure::CannotWrite);
    EXPECT_NE(FailureMessage(unwritable, missing.path).find(u"No such file"), std::u16string::npos);

    TestSupport::WriteFile(folder / "kept.mid", "old");
    Request existing = Clicks(folder, "kept.mid", FileKind::Midi);
    EXPECT_EQ(ExportClickTrack(existing).failure, Failure::Exists);
    EXPECT_EQ(Entries(folder), (std::vector<std::string>{"click.wav", "kept.mid"}));
    existing.replace = true;
    EXPECT_EQ(ExportClickTrack(existing).failure, Failure::None);
    EXPECT_EQ(TestSupport::ReadFile(folder / "kept.mid").substr(0, 4), "MThd");
    EXPECT_EQ(Entries(folder), (std::vector<std::string>{"click.wav", "kept.mid"}));
}

// A speed-trainer run: a set-tempo wherever the tempo changes (each on a beat), a meter for a
// count-in of two beats and one for the bars, and a tempo map whose time is the track's length.
TEST(ClickTrackScore, TrainerRunHasItsTempoMapAndMeters)
{
    Configuration::ConfigurationData settings;
    settings.BeatType = Configuration::BeatKind::BeatsPerBar;
    settings.BeatsPerBar = 3;
    settings.Bpm = 100;
    settings.Subdivision1 = 2;
    settings.CountIn = Configuration::CountInTwoBeats;
    settings.SpeedTrainer = Configuration::TrainerMode::On;
    settings.DurationsInBars = 1;
    settings.Duration = 8;
    settings.Warmup = 0;
    settings.Warmdown = 0;
    std::uint32_t result = 1;
    const Score score = ScoreOf(settings, {Length::Unit::WholeRun, 0}, 48000, result);
    ASSERT_EQ(result, 0u);
    ASSERT_GE(score.tempos.size(), 3u);
    EXPECT_EQ(score.tempos.front().microsecondsPerQuarter, 1200000u); // From: 50 % of 100 bpm
    double seconds = 0;
    for (std::size_t k = 0; k < score.tempos.size(); ++k) {
        const TempoChange& tempo = score.tempos[k];
        EXPECT_EQ(std::fmod(tempo.tick, TicksPerQuarter), 0.0) << k;
        if (k > 0) {
            EXPECT_LT(tempo.microsecondsPerQuarter, score.tempos[k - 1].microsecondsPerQuarter) << k;
        }
        const double until = k + 1 < score.tempos.size() ? score.tempos[k + 1].tick : score.endTick;
        seconds += (until - tempo.tick) / TicksPerQuarter * tempo.microsecondsPerQuarter / 1e6;
    }
    EXPECT_EQ(score.tempos.back().microsecondsPerQuarter, 600000u); // To: 100 bpm
    EXPECT_NEAR(seconds, static_cast<double>(score.frames) / 48000, 1e-3);
    ASSERT_EQ(score.meters.size(), 2u);
    EXPECT_EQ(score.meters[0].numerator, 2);
    EXPECT_EQ(score.meters[1].numerator, 3);
    EXPECT_EQ(score.meters[1].tick, 2.0 * TicksPerQuarter);
    EXPECT_EQ(score.clicks.front().note, 37); // the count-in's side stick
}

TEST(ClickTrackScore, SongHasItsPartsMetresAndRampInTheTempoMap)
{
    const Core::Song song = Core::ParseSong("a: 2 4/4 120\nb: 1 7/8 140\nc: 2 3/4 90-150\n", "parts");
    std::uint32_t result = 1;
    const Score score = ScoreOf(Configuration::ConfigurationData{}, {Length::Unit::WholeRun, 0}, 48000, result, &song);
    ASSERT_EQ(result, 0u);
    const struct {
        double tick;
        std::int32_t numerator, denominator;
    } meters[] = {{0, 4, 4}, {8 * 960, 7, 8}, {8 * 960 + 7 * 480, 3, 4}};
    ASSERT_EQ(score.meters.size(), std::size(meters));
    for (std::size_t k = 0; k < std::size(meters); ++k) {
        EXPECT_EQ(score.meters[k].tick, meters[k].tick) << k;
        EXPECT_EQ(score.meters[k].numerator, meters[k].numerator) << k;
        EXPECT_EQ(score.meters[k].denominator, meters[k].denominator) << k;
    }
    // 120, then 140 quarters a minute, then the ramp a set-tempo on each of its six beats.
    ASSERT_EQ(score.tempos.size(), 8u);
    EXPECT_EQ(score.tempos[0].microsecondsPerQuarter, 500000u);
    EXPECT_EQ(score.tempos[1].microsecondsPerQuarter, 428571u);
    double seconds = 0;
    for (std::size_t k = 0; k < score.tempos.size(); ++k) {
        if (k > 1) {
            EXPECT_EQ(score.tempos[k].tick, 8 * 960 + 7 * 480 + (k - 2) * 960.0) << k;
        }
        if (k > 2) { // faster beat by beat
            EXPECT_LT(score.tempos[k].microsecondsPerQuarter, score.tempos[k - 1].microsecondsPerQuarter) << k;
        }
        const double until = k + 1 < score.tempos.size() ? score.tempos[k + 1].tick : score.endTick;
        seconds += (until - score.tempos[k].tick) / TicksPerQuarter * score.tempos[k].microsecondsPerQuarter / 1e6;
    }
    EXPECT_NEAR(seconds, static_cast<double>(score.frames) / 48000, 1e-3);
    EXPECT_NEAR(score.endTick, 8 * 960 + 7 * 480 + 6 * 960.0, 0.5);
    // Every beat sounds once, on its tick.
    ASSERT_EQ(score.clicks.size(), 8u + 7u + 6u);
    for (const Click& click : score.clicks)
        EXPECT_NEAR(std::remainder(click.tick, 480.0), 0.0, 0.01) << click.tick;

    // Its first three bars: the map ends with the track.
    const Score cut = ScoreOf(Configuration::ConfigurationData{}, {Length::Unit::Bars, 3}, 48000, result, &song);
    EXPECT_EQ(cut.meters.size(), 2u);
    EXPECT_EQ(cut.tempos.size(), 2u);
    EXPECT_NEAR(cut.endTick, 8 * 960 + 7 * 480, 0.5);
    EXPECT_EQ(cut.clicks.size(), 8u + 7u);
}
