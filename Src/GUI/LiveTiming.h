#pragma once
#include "Core/Engine/Practice.h"
#include "Core/Timing/AudioHits.h"
#include "Core/Timing/LiveScore.h"
#include "Platform/Audio/MidiInput.h"
#include "Platform/SpscQueue.h"

#include <QTimer>
#include <QWidget>

#include <atomic>
#include <deque>
#include <memory>
#include <optional>
#include <string>

namespace Platform::Audio {
class Mixer;
}

namespace Core {
class TrainerGate;
}

namespace GUI {

class MidiInPump;

/// The [Text] entries of timing feedback (240-289).
namespace TimingText {
constexpr int Switch = 240, SwitchHelp = 241, StripName = 242, StripHelp = 243, Early = 244, Late = 245,
              Listening = 246, NoInput = 247, Milliseconds = 248, CountIn = 249, Stray = 250, SummaryTitle = 251,
              Counts = 252, MeanSpread = 253, ClickedBars = 254, MutedBars = 255, ErrorsTitle = 256, BiasTitle = 257,
              TimeAxis = 258, SaveCsv = 259, SavePng = 260, Close = 261, CsvFiles = 262, PngFiles = 263, NotWritten = 264,
              ClickedSeries = 265, MutedSeries = 266, StraySeries = 267, FiguresHelp = 268, ErrorsHelp = 269,
              BiasHelp = 270, SaveCsvHelp = 271, SavePngHelp = 272, CloseHelp = 273;
}

/// The [Text] entries of the audio input and its calibration (400-419).
namespace AudioInputText {
constexpr int InputLabel = 400, MidiItem = 401, AudioItem = 402, InputHelp = 403, Calibrate = 404, CalibrateHelp = 405,
              ListeningCalibrated = 406, ListeningUncalibrated = 407, NoAudioInput = 408, Calibrating = 409,
              Calibrated = 410, FoundNothing = 411, CannotCalibrate = 412, CalibrationTitle = 413, StateHelp = 414;
}

/// The last hits of a run as marks left (early) or right (late) of a centre line, the newest
/// tallest; green within 10 ms, amber within 25 ms, red beyond, grey for a stray hit, hollow
/// during the count-in (shown, not scored). It repaints only when a hit comes.
class TimingStrip : public QWidget {
    Q_OBJECT
public:
    static constexpr int ControlId = 1250;
    static constexpr std::size_t Shown = 16;
    /// The error at the strip's ends, ms: anything further is drawn at the end.
    static constexpr double RangeMs = 50.0;

    explicit TimingStrip(QWidget* parent = nullptr);
    void Add(double errorMs, bool stray, bool countIn);
    void Clear();
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Mark {
        double errorMs;
        bool stray;
        bool countIn;
    };
    std::deque<Mark> marks_;
};

/// Live timing feedback from the MIDI input or an audio input: while a run plays with the
/// switch on, every note-on (or every hit the audio input hears, Core::Timing::AudioHits) is
/// scored against the clicks as they are heard and shown on the strip.
///
/// The grid comes from the run itself: the timer thread reports each tick on which something
/// sounds (OnSounded, after the tick's OnPosition), with the tick's frame, into a lock-free
/// queue. The notes come from the window's MIDI input (MidiInPump): through JACK from the
/// output's own client (Tolvane:midi_in, stamped exact to the frame by the mixer; the frame the
/// speaker plays then is the stamp less the output's latency), or from the ALSA sequencer port
/// stamped on arrival with the frame heard then. A timer on the GUI thread matches them every 20 ms.
///
/// Threads: OnPosition and OnSounded on the timer thread (wait-free, no allocation); the rest
/// on the GUI thread.
class LiveTiming : public QObject {
    Q_OBJECT
public:
    /// mixer: the output the runs play into (its MIDI input and latency); null: no input.
    LiveTiming(Platform::Audio::Mixer* mixer, TimingStrip& strip, QObject* parent = nullptr);
    ~LiveTiming() override;

    /// A run is about to start (before the metronome's Start, so that its first tick is seen):
    /// with switchedOn (the program's switch) the ticks are taken from now on.
    void Begin(bool switchedOn);
    /// The run has started: listens to pump (null: no input), or with audio to the audio
    /// input (its round trip taken from roundTrips, the settings' table), and returns the status
    /// line's text, where it listens or why it cannot; empty when switched off.
    QString Listen(MidiInPump* pump, bool audio = false, const std::string& roundTrips = {});
    /// The MIDI input a run listens to now ("jack:Tolvane:midi_in" through JACK, else the ALSA
    /// sequencer port "alsa:Tolvane:midi_in"): its latency is kept per input.
    std::string InputName() const;
    /// The input's latency (ms, from striking a key to its note arriving), taken off every hit
    /// of the runs listened to from now on.
    void SetInputLatency(double milliseconds) { inputLatencyMs_ = milliseconds; }
    /// Hands every scored hit to gate too (the trainer that waits); null: to nobody.
    void SetGate(Core::TrainerGate* gate) { gate_ = gate; }
    /// True while a run's MIDI or audio input is listened to.
    bool Listening() const { return pump_ != nullptr || audio_.Running(); }
    /// The run has ended: the last hits are matched; the whole take's score is kept (Score).
    void End();
    bool Active() const { return live_.has_value(); }
    /// The last run's score (after End), if it was scored.
    const std::optional<Core::Timing::TakeScore>& Score() const { return score_; }
    const Core::Timing::LiveScore* Live() const { return live_ ? &*live_ : nullptr; }
    /// The audio input (running while a run listens to it).
    const Core::Timing::AudioHits& Audio() const { return audio_; }

    // Timer thread, inside the tick.
    void OnPosition(const Core::BarPosition& position) noexcept;
    void OnSounded(bool heard) noexcept;

private:
    void Poll(bool final);
    void Take(const Platform::Audio::StampedMidi& message);

    Platform::Audio::Mixer* mixer_;
    TimingStrip& strip_;
    QTimer poll_;
    std::atomic<bool> armed_{false};
    Platform::SpscQueue<Core::Timing::PlayedTick> ticks_{4096};
    // Timer thread only.
    Core::BarPosition position_;
    std::uint32_t reports_ = 0;
    // GUI thread.
    std::optional<Core::Timing::LiveScore> live_;
    std::optional<Core::Timing::TakeScore> score_;
    MidiInPump* pump_ = nullptr;
    int listener_ = 0;
    double cycleToHeard_ = 0; // frames added to a stream input's stamp for the frame heard then
    Core::Timing::AudioHits audio_; // its Click on the timer thread
    double inputLatencyMs_ = 0;
    Core::TrainerGate* gate_ = nullptr;
    double inputLatency_ = 0; // frames taken off every hit
};

} // namespace GUI
