// Beat lamp and step-sequencer cursor timing: plays the metronome through the real output (set
// up the sound server first, as bench/ServerBench.sh --lamp does) and measures, for every
// picture the lamp paints (or every paint that puts the step sequencer's bar on a column's
// line), how far the paint is from the time its beat (step) is heard: the tick's frame through
// the clock map plus the output latency the backend reports.
//
//   bench_lamp SECONDS BPM [cursor|view]     (under Xvfb, or with QT_QPA_PLATFORM=offscreen)
//   bench_lamp SECONDS BPM [--subdivision N] [--count-in BARS] [--gap PLAY:MUTE] [--swing PERCENT] ...
//
// BENCH_LAMP_SIDE=N makes the lamp N x N pixels (as a larger main window does).
// BENCH_LAMP_AUDIO=1 listens to the sound server's default input for hits meanwhile, as live
// timing feedback from a microphone does (Core::Timing::AudioHits, the hits taken every 20 ms on
// the GUI thread), and prints the detector's processor time.
// cursor plays a rhythm of 16 beats in eighths in the step sequencer window (a hit on every
// column) instead of the lamp. The practice options are read as the program reads its own
// (Core::ApplyPracticeOption); with them each painted picture's look (a beat's disc, a muted
// bar's ring, a count-in beat's small disc, dark) is told from its pixels and compared with
// the look of the beat it shows, and the muted look is counted by bar.
// view plays bars of four beats into the full-screen beat view (which follows the lamp) and
// also counts its flashes in every second and the beats whose numbers it showed;
// BENCH_LAMP_SHOT=FILE.png saves a picture of the view 2.5 s into the run.
#include "Configuration/ConfigurationData.h"
#include "Core/Engine/Program.h"
#include "Core/Engine/BeatStrategies.h"
#include "Configuration/FileConfiguration.h"
#include "Core/Engine/Practice.h"
#include "Core/Engine/TimerFlags.h"
#include "Core/Timing/AudioHits.h"
#include "GUI/BeatView.h"
#include "GUI/StepSequencerControl.h"
#include "GUI/StepSequencerDialog.h"
#include "GUI/VisualBeatIndicator.h"
#include "Platform/Clock.h"

#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr std::size_t Capacity = 1 << 16;

// What a painted picture shows, told from its pixels: the disc of a beat (at the centre and
// near its edge), a muted bar's ring (near the edge only), a count-in beat's small disc (at the
// centre only), or nothing. Every voice's marker at its largest size.
enum Look : std::uint8_t { Dark, Beat, Muted, CountIn, Cleared };
constexpr const char* LookNames[] = {"dark", "beat", "muted", "count-in", "cleared"};

Look LookOf(const QImage& picture)
{
    const int centre = picture.width() / 2;
    const QRgb face = picture.pixel(1, 1);
    const bool middle = picture.pixel(centre, centre) != face;
    const bool edge = picture.pixel(centre + picture.width() * 23 / 64, centre) != face;
    return middle ? (edge ? Beat : CountIn) : (edge ? Muted : Dark);
}

// The program's lamp, noting when each picture is painted and what it shows (GUI thread).
class TimedLamp final : public GUI::VisualBeatIndicator {
public:
    std::vector<std::int64_t> paints = std::vector<std::int64_t>(Capacity);
    std::vector<Look> looks = std::vector<Look>(Capacity);
    std::size_t painted = 0;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        if (painted < paints.size()) {
            looks[painted] = LookOf(ShownImage());
            paints[painted++] = Platform::Clock::Now();
        }
        GUI::VisualBeatIndicator::paintEvent(event);
    }
};

// The full-screen view, noting when each picture is painted, when each flash is first
// painted and how often the beat number changed (GUI thread).
class TimedView final : public GUI::BeatView {
public:
    std::vector<std::int64_t> paints = std::vector<std::int64_t>(Capacity);
    std::vector<std::int64_t> flashes = std::vector<std::int64_t>(Capacity);
    std::size_t painted = 0, flashed = 0;
    int numbersShown = 0;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        const std::int64_t now = Platform::Clock::Now();
        if (painted < paints.size())
            paints[painted++] = now;
        if (Flashing() && FlashCount() != lastFlash_ && flashed < flashes.size()) {
            flashes[flashed++] = now;
            lastFlash_ = FlashCount();
        }
        if (ShownBeat() != lastBeat_ || ShownBar() != lastBar_) {
            ++numbersShown;
            lastBeat_ = ShownBeat();
            lastBar_ = ShownBar();
        }
        GUI::BeatView::paintEvent(event);
    }

private:
    int lastFlash_ = 0, lastBeat_ = 0, lastBar_ = 0;
};

// Hands the run's positions to the view, as the main window does.
class Positions final : public Core::IMetronomeEventHandler {
public:
    explicit Positions(GUI::BeatView& view) : view_(view) {}
    void OnTrainerStarted(std::uint32_t, bool) override {}
    void OnBeat(std::uint8_t, std::uint32_t) override {}
    void OnPosition(const Core::BarPosition& position) override { view_.PostPosition(position); }
    void OnStopped(std::uint32_t) override {}
    void OnError(std::uint32_t) override {}

private:
    GUI::BeatView& view_;
};

// Passes every lamp call on, noting the heard time of each beat and its look (timer thread).
class HeardTimes final : public Core::IBeatIndicator {
public:
    explicit HeardTimes(Core::IBeatIndicator& lamp) : lamp_(lamp) {}
    void StartDrawing(const Configuration::ConfigurationData& settings) override { lamp_.StartDrawing(settings); }
    void ShowBeat(std::int32_t voice, Core::BeatLook look) override
    {
        Note(look == Core::BeatLook::Muted ? Muted : look == Core::BeatLook::CountIn ? CountIn : Beat);
        lamp_.ShowBeat(voice, look);
    }
    void ClearBeat() override
    {
        Note(Cleared);
        lamp_.ClearBeat();
    }
    void StopDrawing() override { lamp_.StopDrawing(); }

    std::vector<std::int64_t> heard = std::vector<std::int64_t>(Capacity);
    std::vector<Look> looks = std::vector<Look>(Capacity);
    std::atomic<std::size_t> count{0};

private:
    void Note(Look look)
    {
        const std::size_t n = count.load(std::memory_order_relaxed);
        if (n < heard.size() && Platform::CurrentTickHeardTime() != 0) {
            heard[n] = Platform::CurrentTickHeardTime();
            looks[n] = look;
            count.store(n + 1, std::memory_order_release);
        }
    }
    Core::IBeatIndicator& lamp_;
};

// Each painted picture against the beat it shows (the latest heard at or before the paint, a
// millisecond's slack): how many of each look, how many differ from their beat's, and in
// which bars (from the first beat after the count-in, barSeconds long) the muted look was painted.
void ReportLooks(const HeardTimes& heard, const TimedLamp& lamp, double barSeconds)
{
    const std::size_t beats = heard.count.load();
    std::map<std::string, int> painted;
    int differing = 0;
    std::int64_t firstBar = 0;
    for (std::size_t k = 0; k < beats && firstBar == 0; ++k)
        firstBar = heard.looks[k] == Beat || heard.looks[k] == Muted ? heard.heard[k] : 0;
    std::map<long, int> mutedBars;
    for (std::size_t i = 0; i < lamp.painted; ++i) {
        const auto after = std::upper_bound(heard.heard.begin(), heard.heard.begin() + static_cast<std::ptrdiff_t>(beats),
                                            lamp.paints[i] + 1'000'000);
        if (after == heard.heard.begin())
            continue; // before the first beat: the empty lamp
        const Look shown = heard.looks[static_cast<std::size_t>(after - heard.heard.begin() - 1)];
        const Look look = lamp.looks[i];
        ++painted[LookNames[look]];
        differing += look != (shown == Cleared ? Dark : shown) ? 1 : 0;
        if (look == Muted)
            // An eighth of a bar's slack: the heard times and the paints follow the sound
            // server's clock, which drifts from the processor's by microseconds a bar.
            ++mutedBars[static_cast<long>(std::floor(static_cast<double>(lamp.paints[i] - firstBar) / 1e9 / barSeconds + 0.125)) + 1];
    }
    std::printf("pictures painted ");
    for (const auto& [name, count] : painted)
        std::printf(" %s %d", name.c_str(), count);
    std::printf("; %d not the look of their beat\nmuted look in bars", differing);
    for (const auto& [bar, count] : mutedBars)
        std::printf(" %ld (%d)", bar, count);
    std::printf("\n");
}

// The step sequencer window, noting the heard time of each step it is told of (timer thread).
class TimedDialog final : public GUI::StepSequencerDialog {
public:
    using GUI::StepSequencerDialog::StepSequencerDialog;
    void OnBeat(std::uint8_t flags, std::uint32_t tempo) override
    {
        const std::size_t n = count.load(std::memory_order_relaxed);
        if ((flags & Core::TimerFlags::StepPlayed) != 0 && n < heard.size() && Platform::CurrentTickHeardTime() != 0) {
            heard[n] = Platform::CurrentTickHeardTime();
            count.store(n + 1, std::memory_order_release);
        }
        GUI::StepSequencerDialog::OnBeat(flags, tempo);
    }

    std::vector<std::int64_t> heard = std::vector<std::int64_t>(Capacity);
    std::atomic<std::size_t> count{0};
};

// Notes when the grid starts a paint that shows the bar on a new column's line (GUI thread).
class ColumnPaints final : public QObject {
public:
    ColumnPaints(GUI::StepSequencerControl& grid, int framesPerColumn) : grid_(grid), framesPerColumn_(framesPerColumn)
    {
        grid.installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::Paint)
            return false;
        const int frame = grid_.CursorFrame();
        if (frame >= 0 && frame != lastFrame_ && frame % framesPerColumn_ == 0 && painted < paints.size())
            paints[painted++] = Platform::Clock::Now();
        lastFrame_ = frame;
        return false;
    }

    std::vector<std::int64_t> paints = std::vector<std::int64_t>(Capacity);
    std::size_t painted = 0;

private:
    GUI::StepSequencerControl& grid_;
    int framesPerColumn_;
    int lastFrame_ = -1;
};

// Each paint against the nearest heard time (beats and steps are tens of milliseconds apart
// or more; the differences are milliseconds). Prints the figures; false when nothing matched.
bool Report(const char* what, const std::vector<std::int64_t>& heardTimes, std::size_t beats,
            const std::vector<std::int64_t>& paints, std::size_t painted)
{
    std::vector<double> differences;
    const auto heardEnd = heardTimes.begin() + static_cast<std::ptrdiff_t>(beats);
    for (std::size_t i = 0; i < painted; ++i) {
        const std::int64_t paint = paints[i];
        const auto after = std::lower_bound(heardTimes.begin(), heardEnd, paint);
        double best = 1e18;
        if (after != heardEnd)
            best = static_cast<double>(paint - *after);
        if (after != heardTimes.begin() && std::fabs(static_cast<double>(paint - *(after - 1))) < std::fabs(best))
            best = static_cast<double>(paint - *(after - 1));
        if (std::fabs(best) < 1e8)
            differences.push_back(best / 1e6);
    }
    if (differences.empty()) {
        std::fprintf(stderr, "nothing was painted\n");
        return false;
    }
    std::vector<double> magnitudes;
    for (double d : differences)
        magnitudes.push_back(std::fabs(d));
    std::sort(differences.begin(), differences.end());
    std::sort(magnitudes.begin(), magnitudes.end());
    const auto at = [](const std::vector<double>& v, double q) { return v[static_cast<std::size_t>(q * static_cast<double>(v.size() - 1))]; };
    std::printf("%-17s %zu heard, %zu painted\n", what, beats, differences.size());
    std::printf("paint - heard     median %+.2f ms, min %+.2f, max %+.2f\n", at(differences, 0.5), differences.front(),
                differences.back());
    std::printf("|paint - heard|   median %.2f ms, p99 %.2f ms\n", at(magnitudes, 0.5), at(magnitudes, 0.99));
    return true;
}

// The step sequencer window playing a rhythm of 16 beats in eighths with a hit on every column.
// BENCH_LAMP_SHOT=FILE.png saves a picture of the window 2.5 s into the run.
int CursorRun(QApplication& application, double seconds, int bpm)
{
    const QTemporaryDir folder;
    Configuration::FileConfiguration configuration((folder.path() + QStringLiteral("/Tolvane.conf")).toStdString());
    Configuration::ConfigurationData& current = configuration.GetData();
    current.Bpm = bpm;
    current.CrNumBars = 1;
    current.CrBeatsPerBar = 16;
    current.CrSubdivision = current.DisplayedSubdiv = 2;
    current.CrCompoundTime = 0;
    current.DisplayDistinct = 0;
    current.CustomRhythm[0] = 0;

    Core::Program program;
    TimedDialog dialog(program.Controller(), configuration);
    dialog.TakeCurrentSettings(current);
    dialog.Record().SoundEngineType = Configuration::SoundSource::Midi;
    std::fill(std::begin(dialog.Record().Instrument), std::end(dialog.Record().Instrument), 6);
    dialog.resize(810, 401);
    dialog.Initialise(0);
    dialog.show();
    GUI::StepSequencerControl& grid = dialog.Grid();
    for (int column = 0; column < grid.Grid().ColumnCount(); ++column)
        grid.Grid().ToggleCell(0, column);
    grid.Redraw(StepSequencer::StepSequencerGrid::AllRows);
    ColumnPaints columns(grid, GUI::StepSequencerControl::CursorFramesPerColumn(
                                   bpm, Core::RhythmStepsPerBeat(dialog.Record())));
    qobject_cast<QPushButton*>(dialog.Control(GUI::StepSequencerDialog::PlayId))->click();
    if (!dialog.Playing()) {
        std::fprintf(stderr, "the step sequencer did not start\n");
        return 1;
    }
    if (const QString shot = qEnvironmentVariable("BENCH_LAMP_SHOT"); !shot.isEmpty())
        QTimer::singleShot(2500, &dialog, [&dialog, shot] { dialog.grab().save(shot); });
    QTimer::singleShot(static_cast<int>(seconds * 1000), &application, &QApplication::quit);
    QApplication::exec();
    dialog.done(0);
    return Report("cursor columns", dialog.heard, dialog.count.load(), columns.paints, columns.painted) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 60.0;
    const int bpm = argc > 2 ? std::atoi(argv[2]) : 120;
    GUI::PaintWithoutWaitingForTheDisplayServer();
    QApplication application(argc, argv);
    if (argc > 3 && std::strcmp(argv[3], "cursor") == 0)
        return CursorRun(application, seconds, bpm);
    const bool view = argc > 3 && std::strcmp(argv[3], "view") == 0;
    Configuration::ConfigurationData settings;
    settings.Bpm = bpm;
    settings.VisualIndicator = 1;
    if (view) {
        settings.BeatType = Configuration::BeatKind::BeatsPerBar;
        settings.BeatsPerBar = 4;
    }
    settings.SoundEngineType = Configuration::SoundSource::Midi;
    std::fill(std::begin(settings.Instrument), std::end(settings.Instrument), 6);
    std::fill(std::begin(settings.Size), std::end(settings.Size), 7);
    bool practice = false;
    for (int k = view ? 4 : 3; k + 1 < argc; k += 2) {
        const std::string name = argv[k][0] == '-' && argv[k][1] == '-' ? argv[k] + 2 : argv[k];
        if (name == "subdivision") {
            settings.Subdivision1 = std::atoi(argv[k + 1]);
        } else if (Core::ApplyPracticeOption(name, argv[k + 1], settings)) {
            practice = true;
        } else {
            std::fprintf(stderr, "unknown option or value: %s %s\n", argv[k], argv[k + 1]);
            return 2;
        }
    }
    TimedLamp lamp;
    TimedView beatView;
    Positions positions(beatView);
    if (view) {
        lamp.SetFollower(&beatView);
        beatView.SetTempo(bpm);
        beatView.showFullScreen();
    }
    // BENCH_LAMP_SIDE=N: the lamp as large as a larger main window makes it (N x N pixels).
    if (const int side = qEnvironmentVariableIntValue("BENCH_LAMP_SIDE"); side > 0) {
        lamp.SetSide(side);
        lamp.resize(lamp.sizeHint());
    }
    lamp.show();
    HeardTimes heard(lamp);

    Core::Program program;
    Core::Metronome& metronome = program.Controller();
    metronome.SetBeatIndicator(&heard);
    if (const std::uint32_t result = metronome.Start(view ? &positions : nullptr, settings); result != 0) {
        std::fprintf(stderr, "the metronome did not start: result %u\n", result);
        return 1;
    }
    Core::Timing::AudioHits audio;
    QTimer takeHits;
    std::size_t hits = 0;
    const std::int64_t listenedFrom = Platform::Clock::Now();
    if (qEnvironmentVariableIntValue("BENCH_LAMP_AUDIO") == 1) {
        std::string failure;
        if (!audio.Start(program.Output(), {}, failure)) {
            std::fprintf(stderr, "no audio input: %s\n", failure.c_str());
            return 1;
        }
        QObject::connect(&takeHits, &QTimer::timeout, [&audio, &hits] {
            for (double frame = 0; audio.Take(frame);)
                ++hits;
        });
        takeHits.start(20);
    }
    if (const QString shot = qEnvironmentVariable("BENCH_LAMP_SHOT"); view && !shot.isEmpty())
        QTimer::singleShot(2500, &beatView, [&beatView, shot] { beatView.grab().save(shot); });
    QTimer::singleShot(static_cast<int>(seconds * 1000), &application, &QApplication::quit);
    QApplication::exec();
    metronome.Stop();
    if (audio.Running()) {
        audio.Stop();
        const double listened = static_cast<double>(Platform::Clock::Now() - listenedFrom) / 1e9;
        std::printf("audio input %s: %zu hits heard; the detector's thread %.2f %% of one core\n",
                    audio.InputName().c_str(), hits, 100 * audio.DetectorSeconds() / listened);
    }
    if (view) {
        // The most flashes that any one second of the run held.
        std::size_t most = 0;
        for (std::size_t first = 0, last = 0; last < beatView.flashed; ++last) {
            while (beatView.flashes[last] - beatView.flashes[first] >= 1'000'000'000)
                ++first;
            most = std::max(most, last - first + 1);
        }
        std::printf("view at %d bpm    %zu flashes, at most %zu in a second; beat numbers shown %d times\n", bpm,
                    beatView.flashed, most, beatView.numbersShown);
        return Report("view paints", heard.heard, heard.count.load(), beatView.paints, beatView.painted) ? 0 : 1;
    }

    if (!Report("lamp beats", heard.heard, heard.count.load(), lamp.paints, lamp.painted))
        return 1;
    if (practice)
        ReportLooks(heard, lamp, 4 * 60.0 / bpm);
    return 0;
}
