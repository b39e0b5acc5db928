#pragma once
#include "Configuration/ConfigurationData.h"
#include "Core/Engine/BeatGrid.h"
#include "Core/Engine/BeatPatterns.h"
#include "Core/Engine/IMetronome.h"
#include "Core/Engine/IBeatIndicator.h"
#include "Core/Engine/IMetronomeEventHandler.h"
#include "Core/Engine/IMetronomeTimer.h"
#include "Core/Sound/ICountVoice.h"
#include "Core/Sound/ISoundEngine.h"
#include "Core/Engine/ISpeedTrainerStrategy.h"
#include "Core/Engine/ITimerEventHandler.h"
#include "Core/Engine/ITimerStrategy.h"
#include "Core/Engine/Practice.h"
#include "Core/Engine/RunState.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>

namespace Core {

class MetronomeStrategy;
class SongMetronomeStrategy;
class TrainerGate;

/// Everything a metronome run uses besides its settings. The program's root (Core::Program)
/// fills it with its own objects; tests put fakes in their place. The objects must outlive
/// every run that uses them.
struct MetronomeServices {
    IMetronomeTimer* timer = nullptr;
    /// The beat strategy for a BeatType, or null when the value names none.
    std::function<MetronomeStrategy*(Configuration::BeatKind)> beatStrategyFor;
    /// The sound engine for a SoundEngineType.
    std::function<ISoundEngine*(Configuration::SoundSource)> soundEngineFor;
    /// The timer strategy for a SpeedTrainer value (any value but Off and StepSequencer is
    /// the speed trainer).
    std::function<ITimerStrategy*(Configuration::TrainerMode)> timerStrategyFor;
    /// The speed-trainer curve for the settings of a trainer run.
    std::function<ISpeedTrainerStrategy*(const Configuration::ConfigurationData&)> trainerCurveFor;
    /// The beat lamp; null runs without one.
    IBeatIndicator* indicator = nullptr;
    /// The strategy that plays songs; null where songs are not played.
    SongMetronomeStrategy* song = nullptr;
    /// The spoken count's voice; null runs never speak.
    ICountVoice* countVoice = nullptr;
    /// Another program's beats (an external MIDI clock) while the run is to follow them;
    /// null, or a grid with nothing published, plays the run's own tempo.
    const BeatGrid* grid = nullptr;
    /// The speed trainer's gate (the trainer that waits); null: levels always advance.
    TrainerGate* trainerGate = nullptr;
};

/// One way of playing beats (simple, accented bar, custom pattern, custom rhythm) and the run
/// that plays it. The base owns the run: the sound engine, the timer strategy, the prepared
/// voices and the tick pattern, and plays each tick on the timer thread (OnTimer). A
/// strategy fills the pattern in Initialise and chooses each beat's voices in PlayBeat.
///
/// Run control (Start, Stop, TogglePause, ChangeTempo, ChangeVolume) is for the window thread;
/// OnTimer and PlayBeat run on the timer thread. Each strategy is reused by every run that
/// selects it.
class MetronomeStrategy : public ITimerEventHandler {
public:
    MetronomeStrategy();

    /// Plays the pattern entry due on this tick and acts on what the timer strategy says it
    /// means. Timer thread; never blocks, allocates or logs.
    void OnTimer() override;
    /// Swing: the next tick's shift from the straight grid (see ITimerEventHandler).
    double NextTickShift() override;
    /// Following a beat grid (MetronomeServices::grid): every tick on the grid's ticks.
    bool NextTickOffset(double& msAfterAnchor) override;
    /// Following a beat grid: the run starts on the first of its ticks it can reach, at that
    /// tick's place in the bar (the grid counts its beats from the leader's bar 1).
    bool FirstTickFrame(double reachable, double& frame) override;
    /// A run that follows another program's timeline (IMetronomeEventHandler::FollowedTimeline)
    /// places its ticks on that grid, each at its place in the bar.
    bool FollowsTimeline() override { return timeline_ != nullptr; }
    bool NextTimelineTick(double lastFrame, double reachable, double& frame) override;
    /// Whether this strategy's runs may follow a timeline at all.
    virtual bool CanFollow() const { return true; }

    /// Beats of one bar for the speed trainer's bar mode.
    virtual std::int32_t GetBeatsPerBar(const Configuration::ConfigurationData& settings) = 0;
    /// Fills the tick pattern for settings. ticksPerBeat receives the primary subdivision (the
    /// run's ticks per beat before the secondary one multiplies it), secondary the secondary
    /// subdivision (0 = none), compound whether the bar is counted in eighths. Returns 0 or a
    /// StartResult parse code.
    virtual std::uint32_t Initialise(const Configuration::ConfigurationData& settings, std::int32_t& ticksPerBeat,
                                     std::int32_t& secondary, bool& compound) = 0;
    /// Plays the voices of the next beat; returns the voice index the lamp shows, or -1 when a
    /// sound failed. Timer thread.
    virtual std::int32_t PlayBeat() = 0;
    /// Ticks the speed trainer counts in one bar (ticks whose pattern entry plays a beat).
    virtual std::int32_t GetTrainerTicksPerBar(const Configuration::ConfigurationData& settings);
    /// The run's bar for the count-in and the bar counter, after Initialise: by default
    /// GetBeatsPerBar beats, or eighths in compound time.
    virtual BarShape DescribeBar(const Configuration::ConfigurationData& settings, bool compound);

    /// Prepares and starts a run (see IMetronome::Start for the result codes).
    std::uint32_t Start(IMetronomeEventHandler* handler, const Configuration::ConfigurationData& settings,
                        const MetronomeServices& services);
    void Stop();
    void TogglePause();
    void ChangeTempo(std::uint32_t bpm);
    void ChangeVolume(const std::int32_t (&volumes)[Configuration::VoiceCount], std::uint32_t globalVolume);
    /// See IMetronome::ChangeSounds. Window thread, during a run.
    IMetronome::Heard ChangeSounds(const Configuration::ConfigurationData& settings);
    /// Plays voice of settings on engine once, at the volume and with the sound a run gives it.
    static bool PlayOnce(ISoundEngine& engine, const Configuration::ConfigurationData& settings, int voice);

    /// True from a successful Start until the run ends, paused or not.
    bool InRun() const { return inRun_.load(std::memory_order_acquire); }

    /// The volume a voice plays at: volume x globalVolume / 100 in single precision, truncated,
    /// kept within 0..127.
    static std::uint32_t ScaledVolume(std::int32_t volume, std::uint32_t globalVolume);

    /// The tick pattern of the current run (read-only view, for tests and the step sequencer).
    const TickPattern& Pattern() const { return pattern_; }
    std::int32_t PatternLength() const { return patternLength_; }
    /// The working values of the current (or last) run.
    const RunState& Run() const { return run_; }
    /// The current run's bar (its units, three to a beat in compound time) and the timer's
    /// ticks per beat, from its Start on: what an exported file's time signatures and tempo
    /// map are worked out from.
    const BarShape& Bar() const { return bar_; }
    std::int32_t TimerTicksPerBeat() const { return ticksPerPulse_; }

protected:
    /// Plays a voice (index 0..11) with its prepared volume and sound. Timer thread.
    bool PlayVoice(std::int32_t voiceIndex);
    /// The same at factor x its volume (within 0..127).
    bool PlayVoiceAt(std::int32_t voiceIndex, double factor);
    /// Plays the count-in's sound at the count-in volume of level (BarShape::Level).
    bool PlayCountInSound(std::uint8_t level);
    /// Whether the run has the lamp on (VisualIndicator): its pattern then turns the lamp dark
    /// between beats, with a tick of its own half-way when the beat is not divided.
    bool LampTicks() const { return lampTicks_; }
    /// Where the run's beats go, null: nowhere. Every run hands its beats on, the lamp on or
    /// off: they also carry the MIDI clock out; a lamp that is off shows none of them.
    IBeatIndicator* RunIndicator() const { return indicator_; }
    IMetronomeTimer& RunTimer() { return *timer_; }
    IMetronomeEventHandler& RunHandler() { return *handler_; }
    /// Ends the run from its timer thread (see the .cpp).
    void EndRun(bool failedSound);

    TickPattern pattern_{};
    std::int32_t patternLength_ = 1;

private:
    bool PlayTick();
    void PreparePractice(const Configuration::ConfigurationData& settings, std::int32_t secondary, bool compound);
    bool PlayCountInTick();
    /// Speaks the count's word for this tick of the bar, if it has one (CountVoiceAll).
    void SpeakTick(std::int64_t tickInBar);
    void CloseEngines();
    void ReportPosition(std::int64_t tickInBar, std::int32_t bar, bool muted, bool countIn);
    void Abandon();
    void CloseEndedRun();

    IMetronomeEventHandler* handler_;
    ISoundEngine* soundEngine_ = nullptr;
    ITimerStrategy* timerStrategy_ = nullptr;
    IMetronomeTimer* timer_ = nullptr;
    IBeatIndicator* indicator_ = nullptr;
    RunState run_;
    std::array<std::atomic<std::uint32_t>, Configuration::VoiceCount> voiceVolume_{};
    std::array<std::atomic<std::uint32_t>, Configuration::VoiceCount> voiceSound_{};
    Configuration::SoundSource source_ = Configuration::SoundSource::Midi; // of the run
    std::int32_t patternPosition_ = 0;
    bool lampTicks_ = false;
    std::uint16_t currentFlags_ = 0;
    bool beep_ = false;
    std::int32_t startTempo_ = 0;
    bool warmUp_ = false;

    // Practice: the count-in, muted bars and swing, counted in timer ticks.
    BarShape bar_;
    GapRule gap_;
    std::int32_t ticksPerUnit_ = 1;    // timer ticks per unit of bar_
    std::int32_t ticksPerPulse_ = 1;   // timer ticks per beat
    std::int64_t ticksPerBar_ = 1;
    std::int64_t countInTicks_ = 0;    // of the whole count-in; 0 once it is over
    std::int64_t countInTick_ = 0;     // count-in ticks played
    std::int32_t countInBars_ = 0;     // 0: two beats
    std::uint32_t countInSound_ = 0;
    std::int64_t mainTick_ = 0;        // ticks since the first bar began
    std::int32_t ticksPerSwingStep_ = 1;
    double swingShift_ = 0;            // in ticks, for the second step of each pair
    bool silent_ = false;              // the tick being played is muted
    std::int32_t voicesThisTick_ = 0;  // voices the tick being played sounds (or would, muted)
    // The spoken count: its voice while the run speaks (null otherwise), what it speaks and
    // the steps to a beat its words follow.
    ICountVoice* countVoice_ = nullptr;
    std::int32_t countMode_ = 0;
    bool countThrough_ = false;
    std::int32_t wordSteps_ = 1;
    std::atomic<std::uint32_t> countVolume_{127}; // the words' volume: the program's, not a voice's
    // The timeline the run follows (null: its own time), and where its next tick lies on it.
    const Platform::ExternalTimeline* timeline_ = nullptr;
    Platform::GridTick nextOnTimeline_;
    bool timelineTickPending_ = false;
    // Set by a successful Start; whichever thread clears it first ends the run, so the end
    // (OnStopped) is reported exactly once.
    std::atomic<bool> inRun_{false};
    // A run that ended by itself on the timer thread leaves its engine open and its lamp
    // drawing, because that thread must not close streams or join threads; the next control
    // call (Stop, Start) closes them.
    std::atomic<bool> awaitingClose_{false};
    // Following another program's beats: its grid (null: not followed), the frames of the
    // run's first tick and of the last one (timer thread; -1 before the first), the frames in
    // a millisecond, and the ticks into the bar the run starts at.
    const BeatGrid* grid_ = nullptr;
    double anchorFrame_ = -1;
    double lastTickFrame_ = -1;
    double framesPerMs_ = 0;
    std::int64_t startTick_ = 0;
};

} // namespace Core
