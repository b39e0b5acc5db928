#include "Core/Export/ClickTrack.h"

#include "Core/Engine/Metronome.h"
#include "Core/Engine/StrategySet.h"
#include "Core/Export/OfflineTimer.h"
#include "Core/Songs/SongSchedule.h"
#include "Core/Sound/InstrumentList.h"
#include "Core/Sound/MidiSoundEngine.h"
#include "Core/WaveFiles/AudioSoundEngine.h"
#include "Platform/Audio/Mixer.h"
#include "Platform/Audio/OfflineBackend.h"
#include "Platform/Audio/SoundFile.h"
#include "Platform/Files.h"
#include "Platform/Text.h"
#include "System/CurrentLanguage.h"
#include "System/Log.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace Core::Export {

namespace {

using Configuration::ConfigurationData;

// Takes down every sound of the run instead of playing it.
class RecordingEngine final : public ISoundEngine {
public:
    explicit RecordingEngine(const OfflineClock& clock) : clock_(clock) {}
    bool Initialise(const ConfigurationData&) override { return true; }
    bool PlaySound(std::uint32_t volume, std::uint32_t sound) override
    {
        sounds.emplace_back(volume, sound);
        return true;
    }
    void Close() override {}
    std::uint32_t GetLastErrorCode() override { return 0; }
    const Platform::IFrameClock* FrameClock() const override { return &clock_; }

    std::vector<std::pair<std::uint32_t, std::uint32_t>> sounds; // volume, sound

private:
    const OfflineClock& clock_;
};

// Notes which ticks begin a bar, and whether one begins the bar after the track's last.
class BarWatch final : public IMetronomeEventHandler {
public:
    void OnTrainerStarted(std::uint32_t, bool) override {}
    void OnBeat(std::uint8_t, std::uint32_t) override {}
    void OnStopped(std::uint32_t) override {}
    void OnError(std::uint32_t) override {}
    void OnPosition(const BarPosition& position) override
    {
        if (position.beat != 1)
            return;
        barStarted = true;
        // A song numbers its bars within each part: they are counted instead.
        if (!position.countIn && (counting ? ++seen > lastBar : position.bar > lastBar))
            ended = true;
    }
    std::int32_t lastBar = INT32_MAX;
    bool counting = false;
    std::int32_t seen = 0;
    bool barStarted = false;
    bool ended = false;
};

// The settings as the export plays them: no lamp (its half-beat ticks sound nothing).
ConfigurationData ForExport(ConfigurationData settings)
{
    settings.VisualIndicator = 0;
    return settings;
}

// A song as the export plays it: to its end, once.
Song Once(const Song& song)
{
    Song once = song;
    once.ending = SongEnding::Stop;
    return once;
}

// Starts the run: the settings' beat, or the song (once) with the settings' sounds.
std::uint32_t StartRun(Metronome& metronome, IMetronomeEventHandler* handler, const ConfigurationData& settings,
                       const Song* once, const SongStart& start)
{
    return once == nullptr ? metronome.Start(handler, settings) : metronome.StartSong(handler, settings, *once, start);
}

// A song's MIDI map, made from the song itself, as the run's ticks carry no tempo: a set-tempo
// at each beat whose length differs from the one before (a ramp: one a beat), a time signature
// at each bar whose metre differs, and every click placed within its beat by its frame (frame
// 0 is the run's first tick). A beat is the part's note value (a quarter note is
// TicksPerQuarter); the count-in's beats are those of the part it leads into.
void MapSong(Score& score, const Song& once, const SongStart& start, std::uint32_t rate)
{
    struct Beat {
        double seconds;
        double tick;
        double ticks;
        bool barStart;
        std::int32_t denominator;
    };
    std::vector<Beat> beats;
    const std::vector<const SongPart*> parts = once.Parts();
    SongCursor cursor(once, start.fromPart, start.scale, false);
    const double origin = cursor.Current().seconds;
    double tick = 0;
    for (bool more = true; more; more = cursor.Advance()) {
        const SongTick& now = cursor.Current();
        if (now.step != 0)
            continue;
        const std::int32_t denominator = parts[static_cast<std::size_t>(now.part)]->denominator;
        if (!beats.empty())
            tick += beats.back().ticks;
        beats.push_back({now.seconds, tick, TicksPerQuarter * 4.0 / denominator, now.beat == 0, denominator});
    }
    const double end = cursor.Current().seconds; // the bar line after the last beat
    score.tempos.clear();
    score.meters.clear();
    for (std::size_t k = 0; k < beats.size(); ++k) {
        const double next = k + 1 < beats.size() ? beats[k + 1].seconds : end;
        const auto tempo = static_cast<std::uint32_t>(std::llround((next - beats[k].seconds) * 1e6 * TicksPerQuarter / beats[k].ticks));
        if (score.tempos.empty() || score.tempos.back().microsecondsPerQuarter != tempo)
            score.tempos.push_back({beats[k].tick, tempo});
        if (!beats[k].barStart)
            continue;
        std::size_t barEnd = k + 1;
        while (barEnd < beats.size() && !beats[barEnd].barStart)
            ++barEnd;
        const MeterChange meter{beats[k].tick, static_cast<std::int32_t>(barEnd - k), beats[k].denominator};
        if (score.meters.empty() || score.meters.back().numerator != meter.numerator
            || score.meters.back().denominator != meter.denominator)
            score.meters.push_back(meter);
    }
    const auto tickAt = [&](double seconds) {
        const auto after = std::upper_bound(beats.begin(), beats.end(), seconds,
                                            [](double s, const Beat& beat) { return s < beat.seconds; });
        if (after == beats.begin())
            return 0.0;
        const Beat& beat = *(after - 1);
        const double next = after != beats.end() ? after->seconds : end;
        return beat.tick + (seconds - beat.seconds) / std::max(next - beat.seconds, 1e-9) * beat.ticks;
    };
    for (Click& click : score.clicks)
        click.tick = tickAt(origin + click.frame / rate);
    score.endTick = tickAt(origin + static_cast<double>(score.frames) / rate);
    // A track cut short (bars, seconds) keeps only the changes within it.
    const auto after = [&score](const auto& change) { return change.tick > 0 && change.tick >= score.endTick - 0.5; };
    std::erase_if(score.tempos, after);
    std::erase_if(score.meters, after);
}

std::uint8_t NoteOf(const ConfigurationData& settings, std::uint32_t sound)
{
    // A wave file's voice is written as the instrument of its number in the instrument list.
    if (settings.SoundEngineType == Configuration::SoundSource::AudioFiles)
        return static_cast<std::uint8_t>(InstrumentNote(static_cast<std::int32_t>(sound)));
    return static_cast<std::uint8_t>(sound & 0x7F);
}

} // namespace

std::optional<FileKind> KindOfName(std::string_view path, int wavBits)
{
    const std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || dot < Platform::FileNameStart(std::string(path)))
        return std::nullopt;
    std::string extension(path.substr(dot + 1));
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == "wav")
        return wavBits == 24 ? FileKind::Wav24 : wavBits == 32 ? FileKind::WavFloat : FileKind::Wav16;
    if (extension == "flac")
        return FileKind::Flac;
    if (extension == "ogg" || extension == "oga")
        return FileKind::OggVorbis;
    if (extension == "mid" || extension == "midi")
        return FileKind::Midi;
    return std::nullopt;
}

Score ScoreOf(const ConfigurationData& userSettings, const Length& length, std::uint32_t rate, std::uint32_t& startResult,
              const Song* song, const SongStart& songStart)
{
    Score score;
    const std::optional<Song> once = song != nullptr ? std::optional<Song>(Once(*song)) : std::nullopt;
    const ConfigurationData settings = ForExport(userSettings);
    // Frames from 0 at the export's rate; a tick is "handed over" at once.
    const OfflineClock clock(rate, 1, true);
    RecordingEngine engine(clock);
    StrategySet strategies;
    OfflineTimer timer;
    Metronome metronome(strategies.Services(timer, [&engine](Configuration::SoundSource) { return &engine; }));
    BarWatch bars;
    if (length.unit == Length::Unit::Bars)
        bars.lastBar = static_cast<std::int32_t>(std::max(length.amount, 1.0));
    bars.counting = once.has_value();

    startResult = StartRun(metronome, &bars, settings, once ? &*once : nullptr, songStart);
    if (startResult != StartResult::Playing)
        return score;
    const MetronomeStrategy& strategy = *metronome.ActiveStrategy();
    const BarShape bar = strategy.Bar();
    const std::int32_t ticksPerBeat = std::max(strategy.TimerTicksPerBeat(), 1);
    const std::int32_t ticksPerUnit = std::max(ticksPerBeat / bar.unitsPerBeat, 1);
    const bool compound = bar.unitsPerBeat == 3;
    // MIDI ticks per timer tick: a beat is a quarter, or a dotted quarter in compound time.
    const double midiPerTick = TicksPerQuarter * (compound ? 1.5 : 1.0) / ticksPerBeat;

    const double limit = std::min(length.unit == Length::Unit::Seconds ? length.amount : MaxSeconds, MaxSeconds) * rate;
    std::vector<std::uint64_t> barStarts;
    double midi = 0;
    double previousStraight = 0;
    double end = 0;
    double endTick = 0;
    for (bool first = true;; first = false) {
        const OfflineTimer::Tick tick = timer.Next();
        const double straight = tick.straight.Value();
        if (!first)
            midi += midiPerTick;
        // The tempo of the stretch that ends here, from the previous tick (the first tick's
        // interval is the run's first tempo).
        const auto tempo = static_cast<std::uint32_t>(std::llround(tick.interval / rate * 1e6 / (midiPerTick / TicksPerQuarter)));
        if (score.tempos.empty() || score.tempos.back().microsecondsPerQuarter != tempo)
            score.tempos.push_back({first ? 0.0 : midi - midiPerTick, tempo});
        if (!timer.IsRunning()) { // a trainer run that has ended
            end = straight;
            endTick = midi;
            break;
        }
        if (tick.frame >= limit) {
            end = limit;
            endTick = first ? 0 : midi - midiPerTick + (limit - previousStraight) / tick.interval * midiPerTick;
            break;
        }
        engine.sounds.clear();
        bars.barStarted = false;
        timer.Play(tick);
        if (bars.ended) { // the first beat after the last bar
            end = straight;
            endTick = midi;
            break;
        }
        if (bars.barStarted)
            barStarts.push_back(score.timerTicks);
        const double at = midi + (tick.frame - straight) / tick.interval * midiPerTick;
        for (const auto& [volume, sound] : engine.sounds) {
            if (volume > 0)
                score.clicks.push_back({tick.frame, at, NoteOf(settings, sound), static_cast<std::uint8_t>(std::min(volume, 127u))});
        }
        ++score.timerTicks;
        previousStraight = straight;
    }
    metronome.Stop();

    // A time signature wherever a bar's length changes (a count-in of two beats, say).
    barStarts.push_back(score.timerTicks);
    for (std::size_t k = 0; k + 1 < barStarts.size(); ++k) {
        const auto units = static_cast<std::int32_t>((barStarts[k + 1] - barStarts[k]) / static_cast<std::uint64_t>(ticksPerUnit));
        const bool partial = k + 2 == barStarts.size() && !score.meters.empty();
        if (units < 1 || partial)
            continue;
        const MeterChange meter{static_cast<double>(barStarts[k]) * midiPerTick, units, compound ? 8 : 4};
        if (score.meters.empty() || score.meters.back().numerator != units)
            score.meters.push_back(meter);
    }
    score.frames = static_cast<std::uint64_t>(std::llround(std::max(end, 0.0)));
    score.endTick = endTick;
    if (once)
        MapSong(score, *once, songStart, rate);
    return score;
}

namespace {

void PutVariable(std::string& out, std::uint32_t value)
{
    char bytes[5];
    int count = 0;
    bytes[count++] = static_cast<char>(value & 0x7F);
    while ((value >>= 7) != 0)
        bytes[count++] = static_cast<char>(0x80 | (value & 0x7F));
    while (count > 0)
        out += bytes[--count];
}

void PutBigEndian(std::string& out, std::uint32_t value, int bytes)
{
    for (int k = bytes - 1; k >= 0; --k)
        out += static_cast<char>((value >> (8 * k)) & 0xFF);
}

struct MidiEvent {
    std::uint32_t tick;
    int order; // at one tick: meter, tempo, note off, note on
    std::string bytes;
};

std::string Chunk(std::vector<MidiEvent> events, std::uint32_t endTick)
{
    std::stable_sort(events.begin(), events.end(),
                     [](const MidiEvent& a, const MidiEvent& b) { return a.tick != b.tick ? a.tick < b.tick : a.order < b.order; });
    std::string track;
    std::uint32_t now = 0;
    for (const MidiEvent& event : events) {
        PutVariable(track, event.tick - now);
        track += event.bytes;
        now = event.tick;
    }
    PutVariable(track, std::max(endTick, now) - now);
    track += std::string("\xFF\x2F\x00", 3);
    std::string chunk = "MTrk";
    PutBigEndian(chunk, static_cast<std::uint32_t>(track.size()), 4);
    return chunk + track;
}

std::string Meta(int type, const std::string& data)
{
    std::string bytes{'\xFF', static_cast<char>(type)};
    PutVariable(bytes, static_cast<std::uint32_t>(data.size()));
    return bytes + data;
}

std::uint32_t Rounded(double tick)
{
    return static_cast<std::uint32_t>(std::llround(std::max(tick, 0.0)));
}

} // namespace

std::string MidiFileOf(const Score& score)
{
    const std::uint32_t end = Rounded(score.endTick);
    std::vector<MidiEvent> tempoTrack{{0, 0, Meta(0x03, "Tempo")}};
    for (const MeterChange& meter : score.meters) {
        const int power = std::countr_zero(static_cast<unsigned>(meter.denominator));
        // MIDI clocks (24 a quarter) a metronome click: a dotted quarter in eighths, else the beat.
        const char clocksPerClick = static_cast<char>(meter.denominator == 8 ? 36 : 96 / meter.denominator);
        tempoTrack.push_back({Rounded(meter.tick), 1,
                              Meta(0x58, {static_cast<char>(meter.numerator), static_cast<char>(power), clocksPerClick, 8})});
    }
    for (const TempoChange& tempo : score.tempos) {
        std::string data;
        PutBigEndian(data, tempo.microsecondsPerQuarter, 3);
        tempoTrack.push_back({Rounded(tempo.tick), 2, Meta(0x51, data)});
    }

    // Each click a short note on the percussion channel: a thirty-second, or up to the same
    // note's next click when that comes sooner.
    std::vector<MidiEvent> clickTrack{{0, 0, Meta(0x03, "Click")}};
    std::vector<std::uint32_t> nextOfNote(128, UINT32_MAX);
    for (auto click = score.clicks.rbegin(); click != score.clicks.rend(); ++click) {
        const std::uint32_t on = std::min(Rounded(click->tick), end);
        const std::uint32_t off = std::min({on + TicksPerQuarter / 8, nextOfNote[click->note], std::max(end, on + 1)});
        nextOfNote[click->note] = on;
        if (on >= end)
            continue;
        clickTrack.push_back({on, 3, {'\x99', static_cast<char>(click->note), static_cast<char>(std::max<int>(click->velocity, 1))}});
        clickTrack.push_back({std::max(off, on + 1), 2, {'\x89', static_cast<char>(click->note), 0}});
    }

    std::string file = "MThd";
    PutBigEndian(file, 6, 4);
    PutBigEndian(file, 1, 2);
    PutBigEndian(file, 2, 2);
    PutBigEndian(file, TicksPerQuarter, 2);
    return file + Chunk(std::move(tempoTrack), end) + Chunk(std::move(clickTrack), end);
}

namespace {

// The engine a live run uses, on an offline stream at the export's rate.
struct AudioRig {
    explicit AudioRig(std::uint32_t rate)
        : mixer(backend, Platform::Audio::MixerOptions{rate, Platform::Audio::MaxBlockFrames, 20.0}),
          midi(Platform::Audio::MidiOutOptions{mixer, {}}),
          audio(mixer),
          metronome(strategies.Services(timer, [this](Configuration::SoundSource source) -> ISoundEngine* {
              if (source == Configuration::SoundSource::AudioFiles)
                  return &audio;
              return &midi;
          }))
    {
    }
    Platform::Audio::OfflineBackend backend;
    Platform::Audio::Mixer mixer;
    MidiSoundEngine midi;
    AudioSoundEngine audio;
    StrategySet strategies;
    OfflineTimer timer;
    Metronome metronome;
};

// A file being written beside its final name, removed unless it is kept.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::string& path) : path_(path)
    {
        const std::size_t nameStart = Platform::FileNameStart(path);
        std::random_device random;
        for (int attempt = 0; attempt < 16; ++attempt) {
            temporary_ = path.substr(0, nameStart) + "." + path.substr(nameStart) + ".tmp-" + std::to_string(random() % 1000000);
            descriptor_ = open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            error_ = descriptor_ < 0 ? errno : 0;
            if (error_ != EEXIST)
                break;
        }
        created_ = descriptor_ >= 0;
    }
    ~TemporaryFile()
    {
        if (descriptor_ >= 0)
            close(descriptor_);
        if (created_ && !kept_)
            unlink(temporary_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    int Descriptor() const { return descriptor_; }
    bool Failed(std::string& why) const
    {
        if (created_)
            return false;
        why = std::strerror(error_);
        return true;
    }
    /// Flushes and closes the file and gives it its name: 0, or the errno value of the failure.
    int Keep(bool replace)
    {
        const bool written = fsync(descriptor_) == 0;
        int error = written ? 0 : errno;
        if (close(descriptor_) != 0 && error == 0)
            error = errno;
        descriptor_ = -1;
        if (error != 0)
            return error;
        if (!(replace ? Platform::ReplaceFile(temporary_, path_) : Platform::MoveFileNoReplace(temporary_, path_)))
            return errno;
        kept_ = true;
        return 0;
    }

private:
    std::string path_;
    std::string temporary_;
    int descriptor_ = -1;
    int error_ = 0;
    bool created_ = false;
    bool kept_ = false;
};

bool Exists(const std::string& path)
{
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

bool Cancelled(Control* control)
{
    return control != nullptr && control->cancel.load(std::memory_order_relaxed);
}

void Report(Control* control, double share)
{
    if (control != nullptr && control->progress)
        control->progress(std::clamp(share, 0.0, 1.0));
}

Platform::Audio::SoundFileFormat FormatOf(FileKind kind)
{
    switch (kind) {
    case FileKind::Wav24:
        return Platform::Audio::SoundFileFormat::Wav24;
    case FileKind::WavFloat:
        return Platform::Audio::SoundFileFormat::WavFloat;
    case FileKind::Flac:
        return Platform::Audio::SoundFileFormat::Flac;
    case FileKind::OggVorbis:
        return Platform::Audio::SoundFileFormat::OggVorbis;
    default:
        return Platform::Audio::SoundFileFormat::Wav16;
    }
}

// Renders the score's run through the live engine into writer. Failure::None, or why not.
Outcome RenderSound(const Request& request, const Score& score, Platform::Audio::SoundFileWriter& writer, Control* control)
{
    Outcome outcome;
    AudioRig rig(request.rate);
    const ConfigurationData settings = ForExport(request.settings);
    const std::optional<Song> once = request.song ? std::optional<Song>(Once(*request.song)) : std::nullopt;
    outcome.startResult = StartRun(rig.metronome, nullptr, settings, once ? &*once : nullptr, request.songStart);
    if (outcome.startResult != StartResult::Playing) {
        outcome.failure = outcome.startResult == StartResult::SoundEngineFailed ? Failure::SoundsFailed : Failure::SettingsRefused;
        return outcome;
    }
    Platform::Audio::OfflineBackend& backend = rig.backend;
    std::uint64_t anchor = 0;
    const std::uint64_t total = score.frames;
    // Renders the stream up to frame (exclusive) and writes what lies within the track.
    auto renderTo = [&](std::uint64_t frame) {
        while (backend.Frames() < frame) {
            const std::uint64_t from = backend.Frames();
            backend.Pull(std::min<std::uint64_t>(frame - from, 8 * Platform::Audio::MaxBlockFrames), Platform::Audio::MaxBlockFrames);
            const std::uint64_t skip = from < anchor ? std::min(anchor - from, backend.Frames() - from) : 0;
            const std::uint64_t frames = backend.Frames() - from - skip;
            if (frames > 0 && !writer.Write(backend.Captured().data() + 2 * skip, frames, outcome.detail)) {
                outcome.failure = Failure::CannotWrite;
                return false;
            }
            backend.ClearCapture();
            if (Cancelled(control)) {
                outcome.failure = Failure::Cancelled;
                return false;
            }
            Report(control, static_cast<double>(backend.Frames() - std::min(anchor, backend.Frames())) / std::max<double>(total, 1));
        }
        return true;
    };
    bool going = true;
    for (std::uint64_t k = 0; going && k < score.timerTicks && rig.timer.IsRunning(); ++k) {
        const OfflineTimer::Tick tick = rig.timer.Next();
        if (k == 0)
            anchor = static_cast<std::uint64_t>(tick.straight.whole);
        going = renderTo(std::min(static_cast<std::uint64_t>(std::floor(tick.frame)), anchor + total));
        if (going)
            rig.timer.Play(tick);
    }
    if (going)
        renderTo(anchor + total);
    rig.metronome.Stop();
    outcome.frames = total;
    return outcome;
}

void LogOutcome(const Request& request, const Outcome& outcome, double seconds)
{
    const char* kinds[] = {"16-bit wave", "24-bit wave", "32-bit float wave", "FLAC", "Ogg Vorbis", "MIDI"};
    const char* kind = kinds[static_cast<int>(request.kind)];
    switch (outcome.failure) {
    case Failure::None:
        System::Log().Write(System::Information, "Exported %s (%s, %u Hz, %.3f s) in %.2f s", request.path.c_str(), kind,
                            request.rate, static_cast<double>(outcome.frames) / request.rate, seconds);
        return;
    case Failure::Cancelled:
        System::Log().Write(System::Information, "Export of %s cancelled; nothing was written", request.path.c_str());
        return;
    case Failure::Exists:
        System::Log().Write(System::Warn, "Export of %s refused: the file exists and was not to be replaced", request.path.c_str());
        return;
    case Failure::CannotWrite:
        System::Log().Write(System::Error, "Export of %s failed: %s; nothing was written", request.path.c_str(), outcome.detail.c_str());
        return;
    case Failure::SettingsRefused:
    case Failure::SoundsFailed:
        System::Log().Write(System::Error, "Export of %s failed: the metronome would not start (result %u); nothing was written",
                            request.path.c_str(), outcome.startResult);
        return;
    }
}

Outcome Write(const Request& request, Control* control)
{
    Outcome outcome;
    if (!request.replace && Exists(request.path)) {
        outcome.failure = Failure::Exists;
        return outcome;
    }
    TemporaryFile file(request.path);
    if (file.Failed(outcome.detail)) {
        outcome.failure = Failure::CannotWrite;
        return outcome;
    }
    const Score score = ScoreOf(request.settings, request.length, request.rate, outcome.startResult,
                                request.song ? &*request.song : nullptr, request.songStart);
    if (outcome.startResult != StartResult::Playing) {
        outcome.failure = Failure::SettingsRefused;
        return outcome;
    }
    if (request.kind == FileKind::Midi) {
        const std::string bytes = MidiFileOf(score);
        if (!Platform::WriteAll(file.Descriptor(), bytes.data(), bytes.size())) {
            outcome.failure = Failure::CannotWrite;
            outcome.detail = std::strerror(errno);
            return outcome;
        }
        Report(control, 1.0);
        outcome.frames = score.frames;
    } else {
        Platform::Audio::SoundFileWriter writer;
        if (!writer.Open(file.Descriptor(), FormatOf(request.kind), request.rate, outcome.detail)) {
            outcome.failure = Failure::CannotWrite;
            return outcome;
        }
        outcome = RenderSound(request, score, writer, control);
        if (outcome.failure != Failure::None)
            return outcome;
        if (!writer.Close(outcome.detail)) {
            outcome.failure = Failure::CannotWrite;
            return outcome;
        }
    }
    if (Cancelled(control)) {
        outcome.failure = Failure::Cancelled;
        return outcome;
    }
    if (const int error = file.Keep(request.replace); error != 0) {
        outcome.failure = error == EEXIST ? Failure::Exists : Failure::CannotWrite;
        outcome.detail = std::strerror(error);
    }
    return outcome;
}

std::u16string Replaced(std::u16string text, std::u16string_view marker, std::u16string_view value)
{
    for (std::size_t at = text.find(marker); at != std::u16string::npos; at = text.find(marker, at + value.size()))
        text.replace(at, marker.size(), value);
    return text;
}

// The [Message] entries of the export's failures, and of the metronome's start results.
constexpr int CannotWriteText = 60, ExistsText = 61, CancelledText = 62, UnknownKindText = 63;
constexpr std::pair<std::uint32_t, int> StartTexts[] = {{5, 7}, {6, 8}, {8, 9}, {9, 10}, {10, 11}, {11, 12}};

} // namespace

Outcome ExportClickTrack(const Request& request, Control* control)
{
    const auto started = std::chrono::steady_clock::now();
    Outcome outcome = Write(request, control);
    LogOutcome(request, outcome, std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    return outcome;
}

std::u16string FailureMessage(const Outcome& outcome, const std::string& path)
{
    const auto language = System::CurrentLanguage();
    const std::u16string file = Platform::Text::Utf8ToUtf16(path);
    auto message = [&](int index) {
        const char16_t* text = language->GetMessage(index);
        return std::u16string(text != nullptr ? text : u"");
    };
    switch (outcome.failure) {
    case Failure::None:
        return {};
    case Failure::Cancelled:
        return message(CancelledText);
    case Failure::Exists:
        return Replaced(message(ExistsText), u"%1", file);
    case Failure::CannotWrite:
        return Replaced(Replaced(message(CannotWriteText), u"%1", file), u"%2", Platform::Text::Utf8ToUtf16(outcome.detail));
    case Failure::SettingsRefused:
    case Failure::SoundsFailed:
        for (const auto& [code, text] : StartTexts) {
            if (code == outcome.startResult)
                return message(text);
        }
        return message(7);
    }
    return {};
}

std::u16string UnknownKindMessage(const std::string& path)
{
    const char16_t* text = System::CurrentLanguage()->GetMessage(UnknownKindText);
    return Replaced(text != nullptr ? text : u"", u"%1", Platform::Text::Utf8ToUtf16(path));
}

} // namespace Core::Export
