// The step sequencer grid's painting on the largest rhythm (4 bars of 16 beats in eighths: 512
// columns, every row with hits): a full repaint, a one-row repaint and a scroll step, each the
// mean over many rounds in wall time and in the painting thread's CPU time (what a shared
// machine leaves out); then the cursor at 200 bpm in eighths (the fastest frame rate of any
// rhythm: 4 frames a column, 107 a second), the process's CPU time per second while it plays:
// the GUI thread's frames and copies of the view, and a ticker thread handing over the steps.
// Run with QT_QPA_PLATFORM=offscreen (or on a display).
#include "Configuration/ConfigurationData.h"
#include "GUI/StepSequencerControl.h"
#include "System/CurrentLanguage.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <sys/resource.h>
#include <time.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

double ProcessCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double ThreadCpuNanoseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

struct Cost {
    double wallMs; // mean wall time per round
    double cpuMs;  // mean CPU time of this thread per round: what a shared machine leaves out
};

template <typename Step>
Cost MeanMilliseconds(int rounds, Step step)
{
    QElapsedTimer timer;
    timer.start();
    const double cpu = ThreadCpuNanoseconds();
    for (int i = 0; i < rounds; ++i)
        step(i);
    return {static_cast<double>(timer.nsecsElapsed()) / 1e6 / rounds, (ThreadCpuNanoseconds() - cpu) / 1e6 / rounds};
}

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;

    Configuration::ConfigurationData record;
    record.CrNumBars = 4;
    record.CrBeatsPerBar = 16;
    record.CrSubdivision = record.DisplayedSubdiv = 8;
    record.CrCompoundTime = 0;
    record.DisplayDistinct = 0;
    record.Bpm = 200;
    record.SpeedTrainer = Configuration::TrainerMode::StepSequencer;
    record.CustomRhythm.clear();

    GUI::StepSequencerControl control;
    control.resize(789, 316); // the grid in an 810 x 401 window
    control.Initialise(record);
    control.show();
    application.processEvents();
    StepSequencer::StepSequencerGrid& grid = control.Grid();
    for (int column = 0; column < grid.ColumnCount(); column += 3)
        for (int row = 0; row < grid.VisibleRowCount(); ++row)
            grid.ToggleCell(row, (column + row) % grid.ColumnCount());

    const Cost full = MeanMilliseconds(50, [&](int) {
        control.Redraw(StepSequencer::StepSequencerGrid::AllRows);
        control.repaint();
    });
    const Cost row = MeanMilliseconds(500, [&](int i) {
        control.Redraw(i % grid.VisibleRowCount());
        control.repaint();
    });
    const Cost scroll = MeanMilliseconds(500, [&](int i) {
        control.ScrollTo(i % 200 < 100 ? GUI::StepSequencerControl::LineRight : GUI::StepSequencerControl::LineLeft);
        control.repaint();
    });
    std::printf("columns %d, image repainted over %d x %d pixels\n", grid.ColumnCount(), control.width(),
                control.height());
    std::printf("per operation, wall / CPU of the painting thread:\n");
    std::printf("full repaint  %.3f / %.3f ms\none row       %.3f / %.3f ms\nscroll step   %.3f / %.3f ms\n",
                full.wallMs, full.cpuMs, row.wallMs, row.cpuMs, scroll.wallMs, scroll.cpuMs);

    // The cursor: steps at the step-sequencer timer's rate for 200 bpm in eighths.
    control.ScrollTo(GUI::StepSequencerControl::ThumbPosition, 0);
    control.StartCursor(record);
    const auto interval = std::chrono::duration<double>(60.0 / (200.0 * 8));
    std::atomic<bool> ticking{true};
    std::thread ticker([&] {
        auto due = std::chrono::steady_clock::now();
        while (ticking.load()) {
            due += std::chrono::duration_cast<std::chrono::steady_clock::duration>(interval);
            std::this_thread::sleep_until(due);
            control.SignalCursor();
        }
    });
    const double cpuBefore = ProcessCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QTimer::singleShot(static_cast<int>(seconds * 1000), &application, &QCoreApplication::quit);
    application.exec();
    const double cpu = ProcessCpuSeconds() - cpuBefore;
    const double elapsed = static_cast<double>(wall.elapsed()) / 1000.0;
    ticking.store(false);
    ticker.join();
    const int frames = control.CursorFrame();
    control.StopCursor();
    std::printf("cursor at 200 bpm x 8: %.4f CPU s/s over %.1f s (ticker thread included), last frame %d\n",
                cpu / elapsed, elapsed, frames);
    return 0;
}
