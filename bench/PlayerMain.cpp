// The headless player: plays the current settings of a Tolvane.conf on the audio output for
// a number of seconds, without the program's window, and prints the run's figures. It is
// the tool for listening to the engine and for timing measurements.
//
//   engine_player [options] Tolvane.conf
//     --seconds N        how long to play (default 10)
//     --backend real     the system's output through RtAudio (default)
//     --backend null     a device-less output consuming blocks in real time; its output is
//                        captured and every click is measured against the tempo's grid
//                        (use an instrument that dies away within a click, e.g. 6, or
//                        wave files shorter than a click's spacing)
//   Settings with SoundEngineType 1 play the wave files File1..File12 on either backend.
//     --bpm B, --subdivision S, --instrument I, --no-indicator
//                        override the file's Bpm, Subdivision1, every voice's Instrument and
//                        VisualIndicator
//     --rhythm TEXT      play TEXT as a custom rhythm (the step sequencer's notation, e.g.
//                        "[1a]2[3b]4[5:]6[79]8" uses all twelve voices) with --subdivision
//                        steps to a beat
//     --instruments I1,I2,...
//                        each voice's instrument in turn (after --instrument)
//     --wav PATH         with the null backend: also save the capture
//     --block N          the real output's block in frames (default the program's)
//     --change-at T --change-bpm B2
//                        after T seconds change the tempo to B2 (ChangeTempo); the clicks
//                        are then measured against the two periods
//     --count-in BARS, --gap PLAY:MUTE, --gap-random PERCENT[:BARS], --seed N, --swing PERCENT
//                        the practice options (count-in 0, 1, 2, 4 bars or 2b for two beats);
//                        the bars muted are counted from the run's bar reports
//     --song FILE [--from LABEL] [--scale PERCENT]
//                        play a song (a tempo map in klick's format) from its first part or
//                        the part labelled LABEL, at PERCENT (50..150) of its tempos, until it
//                        ends or --seconds pass; with the null backend every click is measured
//                        against its frame computed from the map
//     --beats N          bars of N beats (the accented bar's beat type)
//     --jack-transport follow|lead
//                        through JACK: follow the transport (the run plays on its beats while
//                        it rolls) or lead it (timebase master, rolling from bar 1)
//     --link             play in the Ableton Link session (the run plays on its beats while it
//                        plays, the bar's beats as its quantum)
//     --beat-frames FILE write every beat the run played ("beat FRAME BAR BEAT", count-in beats
//                        with bar 0) to FILE, the frame on the JACK server's counter
//     --count-voice on|off|count-in, --voice-language LANG, --words-only
//                        the spoken count (its words from voices/LANG/ beside the player, English
//                        unless LANG is given); --words-only silences every voice, so that
//                        only the words sound
//   engine_player --gap-share BARS [--gap-random PERCENT[:BARS]] [--seed N]
//                        the share of muted bars the random rule gives over BARS bars (and
//                        from bar 64 on), without playing
//   engine_player --analyse-raw PATH --bpm B --subdivision S [--rate R] [--change-bpm B2] [--float]
//                        (--float: raw float32 stereo, as jack_recorder records)
//                        measure the clicks of a raw s16le stereo recording (parec --raw);
//                        with --count-in and --gap (and --swing), as a practice run in 4/4;
//                        with --song FILE [--from LABEL] [--scale PERCENT], as that song;
//                        with --reference PATH.wav (the same run's --wav on the null backend),
//                        every tick's sound (the spoken count's words) against its stretch of it
#include "PlayerAnalysis.h"

#include "Core/Control/ClockBeatIndicator.h"

#include "Configuration/FileConfiguration.h"
#include "Core/Engine/Metronome.h"
#include "Core/Engine/StrategySet.h"
#include "Core/Engine/Timer.h"
#include "Core/Songs/SongFiles.h"
#include "Core/Songs/SongStrategy.h"
#include "Core/Sound/CountVoice.h"
#include "Core/Sound/MidiSoundEngine.h"
#include "Core/WaveFiles/AudioSoundEngine.h"
#include "Platform/Audio/JackOutput.h"
#include "Platform/Audio/JackTransport.h"
#include "Platform/Audio/Mixer.h"
#include "Platform/Audio/NullBackend.h"
#include "Platform/LinkSession.h"
#include "Platform/Audio/SystemOutput.h"
#include "Platform/Clock.h"
#include "Platform/Files.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <thread>
#include <time.h>
#include <vector>

namespace {

struct Options {
    std::string confPath;
    std::string backend = "real";
    double seconds = 10.0;
    int bpm = 0;
    int subdivision = -1;
    int instrument = -1;
    std::string rhythm;
    std::vector<int> instruments;
    bool noIndicator = false;
    std::string wavPath;
    std::string rawPath;
    double rate = 44100.0;
    double changeAt = 0.0;
    int changeBpm = 0;
    bool floatRaw = false;
    std::uint32_t blockFrames = 0;
    std::vector<std::pair<std::string, std::string>> practice; // name without dashes, value
    int gapShareBars = 0;
    std::string songPath;
    std::string fromLabel;
    double scalePercent = 100.0;
    std::string voiceLanguage;
    bool wordsOnly = false;
    int beats = 0;
    std::string referencePath;
    std::string transport;  // "follow", "lead" or empty
    bool link = false;
    std::string beatFrames; // where to write the beats' frames
};

bool ParseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (argument == "--seconds" && hasValue)
            options.seconds = std::atof(argv[++i]);
        else if (argument == "--backend" && hasValue)
            options.backend = argv[++i];
        else if (argument == "--bpm" && hasValue)
            options.bpm = std::atoi(argv[++i]);
        else if (argument == "--subdivision" && hasValue)
            options.subdivision = std::atoi(argv[++i]);
        else if (argument == "--instrument" && hasValue)
            options.instrument = std::atoi(argv[++i]);
        else if (argument == "--rhythm" && hasValue)
            options.rhythm = argv[++i];
        else if (argument == "--instruments" && hasValue) {
            std::istringstream list(argv[++i]);
            for (std::string item; std::getline(list, item, ',');)
                options.instruments.push_back(std::atoi(item.c_str()));
        } else if (argument == "--no-indicator")
            options.noIndicator = true;
        else if (argument == "--wav" && hasValue)
            options.wavPath = argv[++i];
        else if (argument == "--analyse-raw" && hasValue)
            options.rawPath = argv[++i];
        else if (argument == "--change-at" && hasValue)
            options.changeAt = std::atof(argv[++i]);
        else if (argument == "--change-bpm" && hasValue)
            options.changeBpm = std::atoi(argv[++i]);
        else if (argument == "--block" && hasValue)
            options.blockFrames = static_cast<std::uint32_t>(std::atoi(argv[++i]));
        else if (argument == "--float")
            options.floatRaw = true;
        else if (argument == "--rate" && hasValue)
            options.rate = std::atof(argv[++i]);
        else if ((argument == "--count-in" || argument == "--gap" || argument == "--gap-random" || argument == "--seed"
                  || argument == "--swing" || argument == "--count-voice")
                 && hasValue)
            options.practice.emplace_back(argument.substr(2), argv[++i]);
        else if (argument == "--song" && hasValue)
            options.songPath = argv[++i];
        else if (argument == "--from" && hasValue)
            options.fromLabel = argv[++i];
        else if (argument == "--scale" && hasValue)
            options.scalePercent = std::atof(argv[++i]);
        else if (argument == "--voice-language" && hasValue)
            options.voiceLanguage = argv[++i];
        else if (argument == "--reference" && hasValue)
            options.referencePath = argv[++i];
        else if (argument == "--words-only")
            options.wordsOnly = true;
        else if (argument == "--jack-transport" && hasValue)
            options.transport = argv[++i];
        else if (argument == "--link")
            options.link = true;
        else if (argument == "--beat-frames" && hasValue)
            options.beatFrames = argv[++i];
        else if (argument == "--beats" && hasValue)
            options.beats = std::atoi(argv[++i]);
        else if (argument == "--gap-share" && hasValue)
            options.gapShareBars = std::atoi(argv[++i]);
        else if (!argument.empty() && argument[0] != '-' && options.confPath.empty())
            options.confPath = argument;
        else
            return false;
    }
    return options.backend == "real" || options.backend == "null";
}

// Counts the sounds on their way to the engine; the tick path stays free of locks.
class CountingEngine final : public Core::ISoundEngine {
public:
    explicit CountingEngine(Core::ISoundEngine& engine) : engine_(engine) {}
    bool Initialise(const Configuration::ConfigurationData& settings) override { return engine_.Initialise(settings); }
    bool PlaySound(std::uint32_t volume, std::uint32_t sound) override
    {
        sounds.fetch_add(1, std::memory_order_relaxed);
        return engine_.PlaySound(volume, sound);
    }
    void Close() override { engine_.Close(); }
    std::uint32_t GetLastErrorCode() override { return engine_.GetLastErrorCode(); }
    const Platform::IFrameClock* FrameClock() const override { return engine_.FrameClock(); }

    std::atomic<std::uint64_t> sounds{0};

private:
    Core::ISoundEngine& engine_;
};

// The program's timer, counting ticks and how late each tick's thread woke after its due
// time (the sound itself is placed at the due time; this shows the margin left).
class CountingTimer final : public Core::IMetronomeTimer, private Core::ITimerEventHandler {
public:
    explicit CountingTimer(std::size_t capacity) : lateness_(capacity) {}
    bool Start(Core::ITimerEventHandler* handler, double intervalMs, const Platform::IFrameClock* clock) override
    {
        handler_ = handler;
        return timer_.Start(this, intervalMs, clock);
    }
    void ReTime(double intervalMs) override { timer_.ReTime(intervalMs); }
    void Stop() override { timer_.Stop(); }
    bool IsRunning() const override { return timer_.IsRunning(); }

    std::size_t Ticks() const { return ticks_.load(std::memory_order_acquire); }
    /// CPU time the timer thread spent between its first and its last tick (one thread per
    /// run; a paused run would start another).
    double ThreadCpuSeconds() const { return lastThreadCpu_.load() - firstThreadCpu_.load(); }
    /// Wake-up lateness of the recorded ticks, in microseconds, sorted.
    std::vector<double> SortedLateness() const
    {
        std::vector<double> values(lateness_.begin(), lateness_.begin() + static_cast<std::ptrdiff_t>(std::min(Ticks(), lateness_.size())));
        std::sort(values.begin(), values.end());
        return values;
    }

private:
    double NextTickShift() override { return handler_->NextTickShift(); }
    bool NextTickOffset(double& msAfterAnchor) override { return handler_->NextTickOffset(msAfterAnchor); }
    bool FollowsTimeline() override { return handler_->FollowsTimeline(); }
    bool NextTimelineTick(double lastFrame, double reachable, double& frame) override
    {
        return handler_->NextTimelineTick(lastFrame, reachable, frame);
    }
    void OnTimer() override
    {
        const std::size_t tick = ticks_.load(std::memory_order_relaxed);
        if (tick < lateness_.size())
            lateness_[tick] = static_cast<double>(Platform::Clock::Now() - Platform::CurrentTickTime()) / 1000.0;
        ticks_.store(tick + 1, std::memory_order_release);
        handler_->OnTimer();
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        const double seconds = static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
        if (tick == 0)
            firstThreadCpu_.store(seconds, std::memory_order_relaxed);
        lastThreadCpu_.store(seconds, std::memory_order_relaxed);
    }

    Core::Timer timer_;
    Core::ITimerEventHandler* handler_ = nullptr;
    std::atomic<std::size_t> ticks_{0};
    std::atomic<double> firstThreadCpu_{0.0};
    std::atomic<double> lastThreadCpu_{0.0};
    std::vector<double> lateness_;
};

class Reporter final : public Core::IMetronomeEventHandler {
public:
    void OnTrainerStarted(std::uint32_t, bool) override {}
    void OnBeat(std::uint8_t, std::uint32_t) override {}
    const Platform::ExternalTimeline* FollowedTimeline() override
    {
        if (linkTimeline != nullptr)
            return linkTimeline;
        auto& transport = Platform::Audio::JackTransport::Instance();
        return transport.Mode() == Platform::Audio::TransportMode::Follow ? &transport.Following() : nullptr;
    }
    struct BeatFrame {
        double frame;
        std::int64_t serverOffset;
        int bar, beat;
    };
    const Platform::ExternalTimeline* linkTimeline = nullptr;
    std::vector<BeatFrame> beatFrames = std::vector<BeatFrame>(100000); // timer thread, up to beatCount
    std::atomic<std::size_t> beatCount{0};
    int barsAfterCountIn = 0;
    void OnPosition(const Core::BarPosition& position) override
    {
        auto& transport = Platform::Audio::JackTransport::Instance();
        transport.LeadPosition(position.countIn, position.beat, position.beatsPerBar);
        if (!position.countIn && position.beat == 1)
            ++barsAfterCountIn;
        if (const std::size_t at = beatCount.load(std::memory_order_relaxed); at < beatFrames.size()) {
            beatFrames[at] = {Platform::CurrentSoundStamp().frame, transport.ServerFrameOffset(),
                              position.countIn ? 0 : position.part >= 0 ? barsAfterCountIn : position.bar, position.beat};
            beatCount.store(at + 1, std::memory_order_release);
        }
        if (position.countIn || position.beat != 1)
            return;
        bars.fetch_add(1, std::memory_order_relaxed);
        if (position.muted)
            mutedBars.fetch_add(1, std::memory_order_relaxed);
    }
    std::atomic<int> bars{0};
    std::atomic<int> mutedBars{0};
    void OnStopped(std::uint32_t) override { stopped.store(true); }
    void OnError(std::uint32_t message) override { error.store(message); }
    std::atomic<bool> stopped{false};
    std::atomic<std::uint32_t> error{0};
};

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
           + static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Each thread's CPU seconds (user + system) by thread id, with its name.
struct ThreadCpu {
    std::string name;
    double seconds = 0;
};
std::map<int, ThreadCpu> ThreadCpuSeconds()
{
    std::map<int, ThreadCpu> threads;
    const double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        std::getline(stat, line);
        const std::size_t open = line.find('('), close = line.rfind(')');
        if (open == std::string::npos || close == std::string::npos)
            continue;
        std::istringstream rest(line.substr(close + 2));
        std::string field;
        unsigned long long utime = 0, stime = 0;
        for (int index = 3; index <= 15 && rest >> field; ++index) {
            if (index == 14)
                utime = std::stoull(field);
            if (index == 15)
                stime = std::stoull(field);
        }
        threads[std::atoi(entry.path().filename().c_str())] = {line.substr(open + 1, close - open - 1),
                                                                static_cast<double>(utime + stime) / tick};
    }
    return threads;
}

double PeakRssMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// The resident set now, from /proc/self/status (VmRSS, in KiB).
double CurrentRssMiB()
{
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (status == nullptr)
        return 0.0;
    char line[256];
    double kib = 0.0;
    while (std::fgets(line, sizeof line, status) != nullptr) {
        if (std::strncmp(line, "VmRSS:", 6) == 0)
            kib = std::atof(line + 6);
    }
    std::fclose(status);
    return kib / 1024.0;
}

double ClicksPerBeat(const Configuration::ConfigurationData& settings)
{
    return settings.Subdivision1 > 0 ? settings.Subdivision1 : 1.0;
}

void PrintClicks(const Player::ClickFigures& figures)
{
    std::printf("clicks            %zu (grid %.4f frames)\n", figures.clicks, figures.periodFrames);
    std::printf("onset error       max %.2f, p99 %.2f samples\n", figures.maxErrorFrames, figures.p99ErrorFrames);
    std::printf("drift             %.4f ppm\n", figures.driftPpm);
    std::printf("neighbour spacing max %.2f samples from the exact spacing\n", figures.maxSpacingError);
    std::printf("first click       %+.2f samples from the grid, peak %.3f of the median click's, attack differs "
                "from the second's by %.3f of its peak\n",
                figures.firstErrorFrames, figures.firstPeakRatio, figures.firstShapeDifference);
}

void PrintTempoChange(const Player::TempoChangeFigures& figures, double before, double after)
{
    std::printf("clicks            %zu (periods %.4f then %.4f frames)\n", figures.clicks, before, after);
    std::printf("tempo changes     %zu\n", figures.changes);
    std::printf("interval error    max %.2f samples from the nearer period, over every interval\n", figures.maxOffFrames);
    std::printf("first new         %.2f frames (%+.2f from the new period)\n", figures.firstNewInterval,
                figures.firstNewInterval - after);
    std::printf("drift             before %.4f ppm, after %.4f ppm\n", figures.driftBeforePpm, figures.driftAfterPpm);
}

// Measures a capture against the options' tempo (and its change, when one was asked for).
// Fewer than two clicks leave nothing to measure: that is a failed recording, never a clean one.
bool Measure(const std::vector<float>& samples, const Options& options, int bpm, double clicksPerBeat)
{
    const double period = options.rate * 60.0 / (bpm * clicksPerBeat);
    std::size_t clicks = 0;
    if (options.changeBpm > 0) {
        const double after = options.rate * 60.0 / (options.changeBpm * clicksPerBeat);
        const Player::TempoChangeFigures figures = Player::MeasureTempoChange(samples, period, after);
        PrintTempoChange(figures, period, after);
        clicks = figures.clicks;
    } else {
        const Player::ClickFigures figures = Player::MeasureClicks(samples, period);
        PrintClicks(figures);
        clicks = figures.clicks;
    }
    if (clicks < 2)
        std::printf("FAILED            the recording holds %zu clicks: nothing measured\n", clicks);
    return clicks >= 2;
}

// The practice options of the command line applied to settings; false after naming one refused.
bool ApplyPractice(const Options& options, Configuration::ConfigurationData& settings)
{
    for (const auto& [name, value] : options.practice) {
        if (!Core::ApplyPracticeOption(name, value, settings)) {
            std::fprintf(stderr, "--%s %s: not accepted\n", name.c_str(), value.c_str());
            return false;
        }
    }
    return true;
}

bool MeasurePracticeRun(const std::vector<float>& samples, const Options& options)
{
    Configuration::ConfigurationData settings;
    if (!ApplyPractice(options, settings))
        return false;
    const int countInBeats = settings.CountIn == Configuration::CountInTwoBeats ? 2 : 4 * Core::CountInBars(settings);
    const bool periodic = settings.GapMode == Configuration::GapPeriodic;
    const double beat = options.rate * 60.0 / options.bpm;
    const double ratio = options.subdivision == 2 ? settings.Swing / 100.0 : 0.5;
    const Player::PracticeFigures figures = Player::MeasurePractice(
        samples, beat, countInBeats, periodic ? settings.GapPlay : 1, periodic ? settings.GapMute : 0, ratio);
    std::printf("count-in          %zu clicks, max %.2f samples from their grid; the first bar's first click %+.2f "
                "samples from a beat after the last\n",
                figures.countInClicks, figures.countInMaxErrorFrames, figures.countInToBarFrames);
    std::printf("bars' clicks      %zu of %zu expected found, max %.2f samples from the computed frame (swing %.1f %%); "
                "%zu missing, %zu elsewhere\n",
                figures.expectedClicks - figures.missingClicks, figures.expectedClicks, figures.maxErrorFrames,
                ratio * 100.0, figures.missingClicks, figures.unexpectedClicks);
    std::printf("muted bars        %zu, loudest sample in them %.1f dBFS%s\n", figures.mutedBars, figures.mutedPeakDbfs,
                figures.mutedPeakDbfs <= -199.0 ? " (digital silence)" : "");
    return figures.expectedClicks > 0;
}

// A song and where to start it, as the options name them; false after saying why not.
bool LoadSongOptions(const Options& options, Core::Song& song, Core::SongStart& start)
{
    std::string error;
    if (!Core::LoadSong(options.songPath, song, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    for (const std::string& problem : song.Problems())
        std::fprintf(stderr, "%s: %s\n", options.songPath.c_str(), problem.c_str());
    start.scale = options.scalePercent / 100.0;
    if (!options.fromLabel.empty() && (start.fromPart = song.FindLabel(options.fromLabel)) < 0) {
        std::fprintf(stderr, "%s: no part labelled %s\n", options.songPath.c_str(), options.fromLabel.c_str());
        return false;
    }
    if (options.scalePercent < 50 || options.scalePercent > 150) {
        std::fprintf(stderr, "--scale %g: 50 to 150\n", options.scalePercent);
        return false;
    }
    return true;
}

// Measures a recording of a song against the frames its map gives every click.
bool MeasureSongRun(const std::vector<float>& samples, const Options& options, double rate)
{
    Core::Song song;
    Core::SongStart start;
    if (!LoadSongOptions(options, song, start))
        return false;
    std::vector<double> expected;
    std::vector<int> groups;
    std::vector<bool> partStarts;
    Core::SongCursor cursor(song, start.fromPart, start.scale, false);
    const double frames = static_cast<double>(samples.size() / 2);
    do {
        const Core::SongTick& tick = cursor.Current();
        const bool sounds = tick.countIn ? tick.voice != 0 : tick.voice >= 0 && !tick.muted;
        if (!sounds)
            continue;
        if (!expected.empty() && tick.seconds * rate - expected.front() > frames)
            break; // a part without end: as far as the recording goes
        expected.push_back(tick.seconds * rate);
        groups.push_back(tick.countIn ? 100 + tick.voice : tick.voice * 1000 + static_cast<int>(tick.volume * 100));
        partStarts.push_back(!tick.countIn && tick.bar == 0 && tick.beat == 0 && tick.step == 0);
    } while (cursor.Advance());
    const Player::SongFigures figures = Player::MeasureSong(samples, expected, groups, partStarts);
    const auto parts = static_cast<std::size_t>(std::count(partStarts.begin(), partStarts.end(), true));
    std::printf("song              %zu parts from part %d at %.0f %%: %zu of %zu clicks found, %zu after the last\n", parts,
                start.fromPart + 1, start.scale * 100, figures.found, figures.expected, figures.afterEnd);
    std::printf("song clicks       max %.3f samples from the frame computed from the map; parts' first clicks max "
                "%.3f; length %.3f samples off (%.3f s long)\n",
                figures.maxErrorFrames, figures.maxPartStartError, figures.lengthErrorFrames,
                expected.empty() ? 0.0 : (expected.back() - expected.front()) / rate);
    for (const std::size_t k : figures.missing)
        std::printf("missing           click %zu at %.1f frames from the first (group %d)\n", k, expected[k] - expected.front(), groups[k]);
    return figures.found == figures.expected && figures.expected > 0;
}

// Measures sounds that are not clicks (the spoken count) against the player's own rendering
// of the same run on its null backend, tick by tick.
bool MeasureReferenceRun(const std::vector<float>& samples, const Options& options)
{
    const std::vector<float> reference = Player::ReadWav16Stereo(options.referencePath);
    const double period = options.rate * 60.0 / options.bpm / std::max(1, options.subdivision);
    // The words as the player plays them (converted to the recording's rate).
    std::vector<std::vector<float>> words;
    const std::string language = options.voiceLanguage.empty() ? "en" : options.voiceLanguage;
    for (int word = 0; word < Core::CountWordCount; ++word) {
        Platform::Audio::SampleSound sound;
        const std::string path = Platform::VoiceFolder() + language + "/" + Core::CountWordFile(word) + ".wav";
        if (!Core::LoadCountWord(path, static_cast<std::uint32_t>(options.rate), sound)) {
            std::fprintf(stderr, "%s: cannot be read\n", path.c_str());
            return false;
        }
        std::vector<float>& mono = words.emplace_back(sound.FrameCount());
        for (std::uint32_t i = 0; i < sound.FrameCount(); ++i) {
            float sum = 0.0f;
            for (std::uint16_t c = 0; c < sound.Channels(); ++c)
                sum += static_cast<float>(sound.Frames()[i * sound.Channels() + c]) / 32768.0f;
            mono[i] = sum / static_cast<float>(sound.Channels());
        }
    }
    const Player::ReferenceFigures figures = Player::MeasureAgainstReference(samples, reference, period, words);
    double low = 0.0, high = 0.0;
    for (const double error : figures.errors) {
        if (!std::isnan(error)) {
            low = std::min(low, error);
            high = std::max(high, error);
        }
    }
    std::printf("words rendered    %zu of %zu ticks' sounds told as %s words (correlation >= 0.9); each within %.3f "
                "samples of its tick's frame\n",
                figures.told, figures.ticks, language.c_str(), figures.maxReferenceErrorFrames);
    std::printf("sounds recorded   %zu of %zu found in the recording (correlation >= 0.9, least %.4f)\n", figures.found,
                figures.ticks, figures.leastCorrelation);
    std::printf("sound onsets      max %.3f samples (%.4f ms) from the tick's frame, mean %+.3f, from %+.3f to %+.3f "
                "(grid anchored on the first)\n",
                figures.maxErrorFrames, 1000.0 * figures.maxErrorFrames / options.rate, figures.meanErrorFrames, low, high);
    // Clicks among the words (a spoken count-in, then the bars) are not told as words.
    return figures.found == figures.ticks && figures.told > 0;
}

int Analyse(const Options& options)
{
    if (!options.songPath.empty()) {
        const std::vector<float> samples
            = options.floatRaw ? Player::ReadRawF32Stereo(options.rawPath) : Player::ReadRawS16Stereo(options.rawPath);
        return MeasureSongRun(samples, options, options.rate) ? 0 : 1;
    }
    const std::vector<float> samples
        = options.floatRaw ? Player::ReadRawF32Stereo(options.rawPath) : Player::ReadRawS16Stereo(options.rawPath);
    if (samples.empty() || options.bpm <= 0) {
        std::fprintf(stderr, "nothing to analyse (a recording and --bpm are needed)\n");
        return 1;
    }
    if (!options.referencePath.empty())
        return MeasureReferenceRun(samples, options) ? 0 : 1;
    if (!options.practice.empty())
        return MeasurePracticeRun(samples, options) ? 0 : 1;
    return Measure(samples, options, options.bpm, options.subdivision > 0 ? options.subdivision : 1.0) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!ParseOptions(argc, argv, options)
        || (options.confPath.empty() && options.rawPath.empty() && options.gapShareBars <= 0)) {
        std::fprintf(stderr, "usage: %s [--seconds N] [--backend real|null] [--bpm B] [--subdivision S] "
                             "[--instrument I] [--no-indicator] [--wav PATH]\n"
                             "          [--count-in 0|1|2|4|2b] [--gap PLAY:MUTE] [--gap-random PERCENT[:BARS]] "
                             "[--seed N] [--swing PERCENT]\n"
                             "          [--song FILE [--from LABEL] [--scale PERCENT]] Tolvane.conf\n"
                             "       %s --gap-share BARS [--gap-random PERCENT[:BARS]] [--seed N]\n"
                             "       %s --analyse-raw PATH --bpm B [--subdivision S] [--rate R] [practice options]\n",
                     argv[0], argv[0], argv[0]);
        return 2;
    }
    if (!options.rawPath.empty())
        return Analyse(options);
    if (options.gapShareBars > 0) {
        Configuration::ConfigurationData settings;
        if (!ApplyPractice(options, settings))
            return 2;
        const Core::GapRule rule = Core::GapRule::From(settings);
        int muted = 0, mutedLate = 0;
        for (int bar = 0; bar < options.gapShareBars; ++bar) {
            muted += rule.Muted(bar) ? 1 : 0;
            mutedLate += bar >= 64 && rule.Muted(bar) ? 1 : 0;
        }
        std::printf("muted bars        %d of %d (%.1f %%), from bar 64 on %.1f %% (seed %d)\n", muted, options.gapShareBars,
                    100.0 * muted / options.gapShareBars,
                    options.gapShareBars > 64 ? 100.0 * mutedLate / (options.gapShareBars - 64) : 0.0, settings.GapSeed);
        return 0;
    }

    Configuration::FileConfiguration store(options.confPath);
    if (!store.Load())
        std::printf("note: %s gave no complete settings; defaults fill the rest\n", options.confPath.c_str());
    Configuration::ConfigurationData settings = store.GetData();
    if (options.bpm > 0)
        settings.Bpm = options.bpm;
    if (options.subdivision >= 0)
        settings.Subdivision1 = options.subdivision;
    if (options.instrument >= 0)
        std::fill(std::begin(settings.Instrument), std::end(settings.Instrument), options.instrument);
    for (std::size_t voice = 0; voice < options.instruments.size() && voice < std::size(settings.Instrument); ++voice)
        settings.Instrument[voice] = options.instruments[voice];
    if (!options.rhythm.empty()) {
        settings.BeatType = Configuration::BeatKind::CustomRhythm;
        settings.CrCompoundTime = 0;
        if (options.subdivision >= 0)
            settings.CrSubdivision = options.subdivision;
        settings.CustomRhythm.clear();
        for (std::size_t at = 0; at < options.rhythm.size() && at + 1 < Configuration::CustomRhythmCapacity; ++at)
            settings.CustomRhythm += static_cast<char16_t>(static_cast<unsigned char>(options.rhythm[at]));
    }
    if (options.noIndicator)
        settings.VisualIndicator = 0;
    if (options.beats > 0) {
        settings.BeatType = Configuration::BeatKind::BeatsPerBar;
        settings.BeatsPerBar = options.beats;
    }
    if (options.wordsOnly) {
        std::fill(std::begin(settings.Volume), std::end(settings.Volume), 0);
        settings.Beep = 0;
    }
    if (!ApplyPractice(options, settings))
        return 2;

    // The player's own engine, from the program's parts in the program's order: the output
    // (the null backend keeps everything it renders, for measuring the clicks afterwards; the
    // real one has the program's lead), the engine the settings choose, the timer, the
    // strategies and the metronome.
    const bool null = options.backend == "null";
    const auto captureFrames = static_cast<std::size_t>((options.seconds + 2.0) * 44100.0);
    auto nullOutput = null ? std::make_unique<Platform::Audio::NullBackend>(captureFrames) : nullptr;
    Platform::Audio::NullBackend* nullBackend = nullOutput.get();
    std::unique_ptr<Platform::Audio::IAudioBackend> backend = null
        ? std::unique_ptr<Platform::Audio::IAudioBackend>(std::move(nullOutput))
        : std::make_unique<Platform::Audio::SystemOutput>();
    Platform::Audio::Mixer mixer(*backend, null ? Platform::Audio::MixerOptions{}
                                                : Platform::Audio::MixerOptions{44100,
                                                                                options.blockFrames != 0
                                                                                    ? options.blockFrames
                                                                                    : Platform::Audio::OutputBlockFrames,
                                                                                Platform::Audio::OutputLeadMs, 4500});
    std::unique_ptr<Core::ISoundEngine> engine;
    if (settings.SoundEngineType == Configuration::SoundSource::AudioFiles) {
        engine = std::make_unique<Core::AudioSoundEngine>(mixer);
    } else {
        engine = std::make_unique<Core::MidiSoundEngine>(Platform::Audio::MidiOutOptions{mixer, {}});
        settings.SoundEngineType = Configuration::SoundSource::Midi;
    }

    CountingEngine counting(*engine);
    CountingTimer timer(static_cast<std::size_t>(options.seconds * 1000.0 * 2) + 1024);
    Core::StrategySet strategies;
    Core::CountVoice countVoice(mixer, Platform::VoiceFolder());
    countVoice.FollowLanguage([&options] { return options.voiceLanguage; });
    Core::Metronome metronome(
        strategies.Services(timer, [&counting](Configuration::SoundSource) -> Core::ISoundEngine* { return &counting; }));
    metronome.SetCountVoice(&countVoice);
    Reporter reporter;

    const double rssBeforeStart = CurrentRssMiB();
    // The beats carry the MIDI clock out of a JACK output's midi_out port, as in the program.
    Core::ClockBeatIndicator clockBeats(nullptr);
    metronome.SetBeatIndicator(&clockBeats);
    Core::Song song;
    Core::SongStart songStart;
    if (!options.songPath.empty() && !LoadSongOptions(options, song, songStart))
        return 2;
    auto& transport = Platform::Audio::JackTransport::Instance();
    if (!options.transport.empty()) {
        transport.SetMode(options.transport == "lead" ? Platform::Audio::TransportMode::Lead
                                                      : Platform::Audio::TransportMode::Follow);
        if (options.transport == "lead")
            transport.RunStarting(settings.Bpm);
    }
    Platform::ExternalTimeline linkTimeline;
    Platform::LinkSession link(linkTimeline, mixer);
    if (options.link) {
        link.SetBeatsPerBar(settings.BeatsPerBar);
        link.Enable(true, settings.Bpm);
        reporter.linkTimeline = &linkTimeline;
        settings.CountIn = 0;
    }
    const std::uint32_t result = options.songPath.empty() ? metronome.Start(&reporter, settings)
                                                          : metronome.StartSong(&reporter, settings, song, songStart);
    if (result != 0) {
        std::fprintf(stderr, "the metronome did not start: result %u (engine code %u)\n", result, engine->GetLastErrorCode());
        return 1;
    }
    // Only playing is measured, not the loading of the soundfont in Start.
    const double cpuBefore = CpuSeconds();
    const std::map<int, ThreadCpu> threadsBefore = ThreadCpuSeconds();
    const std::int64_t started = Platform::Clock::Now();
    const std::string backendName = mixer.BackendName(); // known only while the stream is open
    const double reportedLatencyMs = mixer.DeviceLatencySeconds() * 1000.0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(options.seconds);
    const auto change = std::chrono::steady_clock::now() + std::chrono::duration<double>(options.changeAt);
    bool changed = options.changeBpm <= 0;
    while (std::chrono::steady_clock::now() < end && !reporter.stopped.load()) {
        if (!changed && std::chrono::steady_clock::now() >= change) {
            metronome.ChangeTempo(static_cast<std::uint32_t>(options.changeBpm));
            changed = true;
        }
        // Seldom (a stop by the engine is seen within 200 ms): this thread's wake-ups count in
        // the CPU figure but are no part of playing.
        auto until = std::min<std::chrono::steady_clock::time_point>(
            std::chrono::time_point_cast<std::chrono::steady_clock::duration>(end),
            std::chrono::steady_clock::now() + std::chrono::milliseconds(200));
        if (!changed)
            until = std::min(until, std::chrono::time_point_cast<std::chrono::steady_clock::duration>(change));
        std::this_thread::sleep_until(until);
    }
    const std::map<int, ThreadCpu> threadsAfter = ThreadCpuSeconds();
    metronome.Stop();
    if (options.transport == "lead")
        transport.RunStopped();
    if (!options.beatFrames.empty()) {
        if (FILE* file = std::fopen(options.beatFrames.c_str(), "w")) {
            for (std::size_t i = 0; i < reporter.beatCount.load(); ++i) {
                const Reporter::BeatFrame& beat = reporter.beatFrames[i];
                std::fprintf(file, "beat %.3f %d %d\n", beat.frame + static_cast<double>(beat.serverOffset), beat.bar, beat.beat);
            }
            std::fclose(file);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100)); // the transport's stop goes out
    }
    const double wall = static_cast<double>(Platform::Clock::Now() - started) / 1e9;
    const double cpu = CpuSeconds() - cpuBefore;

    std::printf("backend           %s at %u Hz, %d bpm, Subdivision1 %d, indicator %s\n", backendName.c_str(),
                mixer.SampleRate(), settings.Bpm, settings.Subdivision1, settings.VisualIndicator == 1 ? "on" : "off");
    if (!options.rhythm.empty())
        std::printf("rhythm            %s, %d steps to a beat\n", options.rhythm.c_str(), settings.CrSubdivision);
    std::printf("played            %.2f s\n", wall);
    if (!options.practice.empty())
        std::printf("practice          count-in %d, gap mode %d, swing %.1f %%: %d bars, %d of them muted (seed %d)\n",
                    settings.CountIn, settings.GapMode, static_cast<double>(settings.Swing), reporter.bars.load(),
                    reporter.mutedBars.load(), settings.GapSeed);
    std::printf("ticks             %zu\n", timer.Ticks());
    std::printf("sounds            %llu\n", static_cast<unsigned long long>(counting.sounds.load()));
    std::printf("late sounds       %llu\n", static_cast<unsigned long long>(mixer.LateCount()));
    std::printf("first ticks moved %llu (the server had read past where they were to go)\n",
                static_cast<unsigned long long>(mixer.RewriteFallbacks()));
    std::printf("frames missed     %llu (cycles the server ran without us)\n",
                static_cast<unsigned long long>(mixer.MissedFrames()));
    std::printf("server underruns  %llu (the server ran out of our sound and played silence)\n",
                static_cast<unsigned long long>(mixer.ServerUnderruns()));
    std::printf("latency           lead %.1f ms, output latency reported by the backend %.1f ms\n",
                1000.0 * static_cast<double>(mixer.LatencyFrames()) / mixer.SampleRate(), reportedLatencyMs);
    const std::vector<double> lateness = timer.SortedLateness();
    if (!lateness.empty())
        std::printf("tick wake-up      p50 %.1f us, p99 %.1f us, max %.1f us after the due time\n",
                    lateness[lateness.size() / 2], lateness[lateness.size() * 99 / 100], lateness.back());
    if (const auto& callbacks = Platform::Audio::JackOutput::CallbackTimes(); callbacks.Count() > 0)
        std::printf("jack callback     p50 %.1f us, p99 %.1f us, max %.1f us per cycle (%llu cycles, from the stream's opening)\n",
                    static_cast<double>(callbacks.Percentile(0.5)) / 1e3, static_cast<double>(callbacks.Percentile(0.99)) / 1e3,
                    static_cast<double>(callbacks.Max()) / 1e3, static_cast<unsigned long long>(callbacks.Count()));
    std::printf("cpu               %.5f s per second of playing, of which the timer thread %.5f\n", cpu / wall,
                timer.ThreadCpuSeconds() / wall);
    for (const auto& [id, thread] : threadsAfter) {
        const auto before = threadsBefore.find(id);
        const double used = thread.seconds - (before != threadsBefore.end() ? before->second.seconds : 0.0);
        std::printf("  thread %-16s %.4f s per second (clock ticks of 10 ms)\n", thread.name.c_str(), used / wall);
    }
    std::printf("threads           %zu while playing (/proc/self/task)\n", threadsAfter.size());
    if (const auto* waves = dynamic_cast<const Core::AudioSoundEngine*>(engine.get())) {
        std::uint64_t underruns = 0;
        for (std::size_t voice = 0; voice < Configuration::VoiceCount; ++voice)
            underruns += waves->Voice(voice).Output().Underruns();
        std::printf("stream underruns  %llu (blocks a long wave sound's ring ran dry in)\n",
                    static_cast<unsigned long long>(underruns));
    }
    std::printf("peak rss          %.1f MiB (%.1f MiB before Start%s)\n", PeakRssMiB(), rssBeforeStart,
                null ? ", the capture buffer included" : "");
    rusage helpers{};
    getrusage(RUSAGE_CHILDREN, &helpers);
    std::printf("kit helper        peak rss %.1f MiB, CPU %.3f s (rendering the notes, before playing)\n",
                static_cast<double>(helpers.ru_maxrss) / 1024.0,
                static_cast<double>(helpers.ru_utime.tv_sec + helpers.ru_stime.tv_sec)
                    + static_cast<double>(helpers.ru_utime.tv_usec + helpers.ru_stime.tv_usec) / 1e6);
    if (settings.CountVoice != Configuration::CountVoiceOff)
        std::printf("spoken count      %s words, %s\n", countVoice.LoadedLanguage().c_str(),
                    settings.CountVoice == Configuration::CountVoiceAll ? "every beat" : "the count-in");
    if (reporter.error.load() != 0)
        std::printf("stopped on error  message %u\n", reporter.error.load());

    if (null) {
        // The capture starts with the stream; the backend has stopped by now.
        engine->Close();
        std::vector<float> capture(nullBackend->Captured().begin(),
                                   nullBackend->Captured().begin()
                                       + static_cast<std::ptrdiff_t>(2 * nullBackend->CapturedFrames()));
        if (!options.songPath.empty())
            MeasureSongRun(capture, options, mixer.SampleRate());
        else
            Measure(capture, options, settings.Bpm, ClicksPerBeat(settings));
        if (!options.wavPath.empty() && !Player::WriteWav(options.wavPath, capture, 44100))
            std::fprintf(stderr, "could not write %s\n", options.wavPath.c_str());
    }
    return 0;
}
