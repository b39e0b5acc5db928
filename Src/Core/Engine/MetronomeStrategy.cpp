#include "Core/Engine/MetronomeStrategy.h"

#include "Core/Sound/InstrumentList.h"
#include "Core/Sound/SoundEngineMessages.h"
#include "Core/Engine/CountWords.h"
#include "Core/Engine/TimerFlags.h"
#include "Platform/Clock.h"
#include "Platform/FrameClock.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace Core {

namespace {

constexpr std::int32_t SignalVoice = 5;      // voice 6, the speed-trainer signal
constexpr std::int32_t Subdivision1Voice = 3; // voice 4
constexpr std::int32_t Subdivision2Voice = 4; // voice 5
constexpr std::uint32_t ReportedTimerFlags = 0xFF;

// Receives the reports of a run started without a handler.
class NoEventHandler final : public IMetronomeEventHandler {
public:
    void OnTrainerStarted(std::uint32_t, bool) override {}
    void OnBeat(std::uint8_t, std::uint32_t) override {}
    void OnStopped(std::uint32_t) override {}
    void OnError(std::uint32_t) override {}
};

NoEventHandler noEventHandler;

// What the engine of settings' sound source plays for voice: an instrument's note, or a file's index.
std::uint32_t SoundOf(const Configuration::ConfigurationData& settings, int voice)
{
    return settings.SoundEngineType == Configuration::SoundSource::Midi
               ? InstrumentNote(settings.Instrument[voice])
               : static_cast<std::uint32_t>(settings.Instrument[voice]);
}

} // namespace

MetronomeStrategy::MetronomeStrategy()
    : handler_(&noEventHandler)
{
}

std::int32_t MetronomeStrategy::GetTrainerTicksPerBar(const Configuration::ConfigurationData& settings)
{
    return GetBeatsPerBar(settings);
}

BarShape MetronomeStrategy::DescribeBar(const Configuration::ConfigurationData& settings, bool compound)
{
    return BarShape::Plain(GetBeatsPerBar(settings), compound);
}

std::uint32_t MetronomeStrategy::ScaledVolume(std::int32_t volume, std::uint32_t globalVolume)
{
    const float factor = static_cast<float>(static_cast<double>(static_cast<float>(globalVolume)) / 100.0);
    const auto scaled = static_cast<std::int32_t>(static_cast<float>(volume) * factor);
    return static_cast<std::uint32_t>(std::clamp(scaled, 0, 127));
}

std::uint32_t MetronomeStrategy::Start(IMetronomeEventHandler* handler, const Configuration::ConfigurationData& settings,
                                       const MetronomeServices& services)
{
    // A thread of an earlier run that ended by itself may still be returning from its last
    // tick; it must be gone before this run's fields are rewritten.
    timer_ = services.timer;
    timer_->Stop();
    CloseEndedRun();
    inRun_.store(false, std::memory_order_release);

    soundEngine_ = services.soundEngineFor(settings.SoundEngineType);
    if (soundEngine_ == nullptr)
        return StartResult::SoundEngineFailed;
    if (!soundEngine_->Initialise(settings)) {
        soundEngine_->Close();
        return StartResult::SoundEngineFailed;
    }
    handler_ = handler != nullptr ? handler : &noEventHandler;
    countMode_ = settings.CountVoice;
    countThrough_ = settings.CountThrough != 0;
    countVoice_ = countMode_ != Configuration::CountVoiceOff && services.countVoice != nullptr
                          && services.countVoice->Open(settings)
                      ? services.countVoice
                      : nullptr;

    indicator_ = services.indicator;
    lampTicks_ = settings.VisualIndicator == 1;
    if (indicator_ != nullptr)
        indicator_->StartDrawing(settings);

    patternPosition_ = 0;
    startTempo_ = settings.Bpm;
    warmUp_ = settings.Warmup > 0.0f;
    beep_ = settings.Beep == 1;
    source_ = settings.SoundEngineType;
    ChangeVolume(settings.Volume, static_cast<std::uint32_t>(std::max(settings.GlobalVolume, 0)));
    for (int voice = 0; voice < Configuration::VoiceCount; ++voice)
        voiceSound_[static_cast<std::size_t>(voice)].store(SoundOf(settings, voice), std::memory_order_relaxed);

    run_ = RunState{};
    std::int32_t secondary = 0;
    bool compound = false;
    if (const std::uint32_t result = Initialise(settings, run_.TicksPerBeat, secondary, compound)) {
        Abandon();
        return result;
    }
    if (patternLength_ < 1) {
        // The strategies refuse what would leave nothing to play; never tick an empty pattern.
        pattern_[0] = PatternFlags::PlayBeat;
        patternLength_ = 1;
    }
    // Words between the beats follow the beat's own division, never a polyrhythm's.
    wordSteps_ = secondary == 0 ? std::max(run_.TicksPerBeat, 1) : 1;
    if (secondary != 0)
        run_.TicksPerBeat *= secondary;

    timerStrategy_ = services.timerStrategyFor(settings.SpeedTrainer);
    if (settings.SpeedTrainer != Configuration::TrainerMode::Off) {
        run_.TrainerCurve = services.trainerCurveFor(settings);
        run_.Gate = settings.TrainerGate != 0 ? services.trainerGate : nullptr;
        if (settings.DurationsInBars != 0)
            run_.TrainerBeatsPerBar = GetTrainerTicksPerBar(settings);
    }
    timerStrategy_->Initialise(settings, run_);
    // Only a run whose tempo is the settings' can take another program's.
    timeline_ = CanFollow() && settings.SpeedTrainer == Configuration::TrainerMode::Off && !timerStrategy_->IsTempoLocked()
                    ? handler_->FollowedTimeline()
                    : nullptr;
    timelineTickPending_ = false;
    PreparePractice(settings, secondary, compound);
    // A run that follows another program's beats has no count-in of its own: the leader counts.
    // A grid that comes later (the leader's clock starts after the run) is followed from then.
    BeatGrid::Line line;
    grid_ = timerStrategy_->IsTempoLocked() ? nullptr : services.grid;
    if (grid_ != nullptr && grid_->Read(line))
        countInTicks_ = 0;
    anchorFrame_ = lastTickFrame_ = -1;
    startTick_ = 0;
    if (timerStrategy_->IsTempoLocked())
        handler_->OnTrainerStarted(timerStrategy_->GetBpm(), warmUp_);

    inRun_.store(true, std::memory_order_release);
    if (!timer_->Start(this, timerStrategy_->GetInterval(), soundEngine_->FrameClock())) {
        inRun_.store(false, std::memory_order_release);
        Abandon();
        return StartResult::TimerNotStarted;
    }
    return StartResult::Playing;
}

void MetronomeStrategy::CloseEngines()
{
    if (countVoice_ != nullptr)
        countVoice_->Close();
    countVoice_ = nullptr;
    soundEngine_->Close();
    if (indicator_ != nullptr)
        indicator_->StopDrawing();
}

void MetronomeStrategy::CloseEndedRun()
{
    if (!awaitingClose_.exchange(false, std::memory_order_acq_rel))
        return;
    CloseEngines();
}

void MetronomeStrategy::Abandon()
{
    CloseEngines();
}

void MetronomeStrategy::Stop()
{
    if (timer_ == nullptr)
        return;
    // Returns once the timer thread is gone: no tick can play while the engine closes.
    timer_->Stop();
    if (!inRun_.exchange(false, std::memory_order_acq_rel)) {
        CloseEndedRun(); // the run has already ended by itself and reported so
        return;
    }
    CloseEngines();
    handler_->OnStopped(static_cast<std::uint32_t>(startTempo_));
}

void MetronomeStrategy::TogglePause()
{
    if (timer_ == nullptr || !InRun())
        return;
    if (timer_->IsRunning()) {
        timer_->Stop();
        if (InRun() && indicator_ != nullptr) {
            indicator_->ClearBeat();
            indicator_->PauseDrawing(true);
        }
        return;
    }
    // Everything the run has counted so far stays as it is; the first tick sounds at once,
    // on a fresh anchor in the stream. A count-in cut short by the pause is not resumed.
    if (countInTicks_ > 0) {
        countInTicks_ = 0;
        countInTick_ = 0;
    }
    if (indicator_ != nullptr)
        indicator_->PauseDrawing(false);
    timer_->Start(this, timerStrategy_->GetInterval(), soundEngine_->FrameClock());
}

void MetronomeStrategy::ChangeTempo(std::uint32_t bpm)
{
    if (timer_ == nullptr || !InRun() || bpm == 0 || timerStrategy_->IsTempoLocked())
        return;
    timerStrategy_->SetBpm(bpm);
    // A paused run takes the new interval when it resumes.
    if (timer_->IsRunning())
        timer_->ReTime(timerStrategy_->GetInterval());
}

void MetronomeStrategy::ChangeVolume(const std::int32_t (&volumes)[Configuration::VoiceCount],
                                     std::uint32_t globalVolume)
{
    for (std::size_t voice = 0; voice < voiceVolume_.size(); ++voice)
        voiceVolume_[voice].store(ScaledVolume(volumes[voice], globalVolume), std::memory_order_relaxed);
    countVolume_.store(ScaledVolume(127, globalVolume), std::memory_order_relaxed);
}

IMetronome::Heard MetronomeStrategy::ChangeSounds(const Configuration::ConfigurationData& settings)
{
    if (!InRun() || settings.SoundEngineType != source_)
        return IMetronome::Heard::Refused;
    ChangeVolume(settings.Volume, static_cast<std::uint32_t>(std::max(settings.GlobalVolume, 0)));
    // A sound the engine has not prepared (a MIDI note not rendered yet) would be silent: the
    // run keeps its sounds until the engine has it.
    soundEngine_->Prepare(settings);
    if (!soundEngine_->IsPrepared(settings))
        return IMetronome::Heard::Waiting;
    for (int voice = 0; voice < Configuration::VoiceCount; ++voice)
        voiceSound_[static_cast<std::size_t>(voice)].store(SoundOf(settings, voice), std::memory_order_relaxed);
    return IMetronome::Heard::Done;
}

bool MetronomeStrategy::PlayOnce(ISoundEngine& engine, const Configuration::ConfigurationData& settings, int voice)
{
    return engine.PlaySound(ScaledVolume(settings.Volume[voice], static_cast<std::uint32_t>(std::max(settings.GlobalVolume, 0))),
                            SoundOf(settings, voice));
}

bool MetronomeStrategy::PlayVoice(std::int32_t voiceIndex)
{
    ++voicesThisTick_;
    if (silent_)
        return true;
    const auto voice = static_cast<std::size_t>(voiceIndex);
    return soundEngine_->PlaySound(voiceVolume_[voice].load(std::memory_order_relaxed),
                                   voiceSound_[voice].load(std::memory_order_relaxed));
}

bool MetronomeStrategy::PlayVoiceAt(std::int32_t voiceIndex, double factor)
{
    const auto voice = static_cast<std::size_t>(voiceIndex);
    const double volume = voiceVolume_[voice].load(std::memory_order_relaxed) * factor;
    return soundEngine_->PlaySound(static_cast<std::uint32_t>(std::clamp(volume, 0.0, 127.0)),
                                   voiceSound_[voice].load(std::memory_order_relaxed));
}

bool MetronomeStrategy::PlayCountInSound(std::uint8_t level)
{
    return soundEngine_->PlaySound(CountInVolume(voiceVolume_[0].load(std::memory_order_relaxed), level), countInSound_);
}

bool MetronomeStrategy::PlayTick()
{
    const std::uint16_t flags = currentFlags_;
    std::int32_t voiceIndex = 0;
    voicesThisTick_ = 0;
    // A failed sound fails the tick at once; the engine is not asked for more sounds.
    if ((flags & PatternFlags::PlayBeat) != 0) {
        voiceIndex = PlayBeat();
        if (voiceIndex == -1)
            return false;
    }
    if ((flags & PatternFlags::Subdivision1) != 0 && !PlayVoice(Subdivision1Voice))
        return false;
    if ((flags & PatternFlags::Subdivision2) != 0 && !PlayVoice(Subdivision2Voice))
        return false;
    if (voicesThisTick_ > 0)
        handler_->OnSounded(!silent_);

    if (indicator_ != nullptr) {
        if ((flags & PatternFlags::ShowBeat) != 0)
            indicator_->ShowBeat(voiceIndex, silent_ ? BeatLook::Muted : BeatLook::Normal);
        else if ((flags & PatternFlags::ClearBeat) != 0)
            indicator_->ClearBeat();
    }
    return true;
}

void MetronomeStrategy::OnTimer()
{
    if (const Platform::SoundStamp stamp = Platform::CurrentSoundStamp(); stamp.frameClock != nullptr) {
        if (anchorFrame_ < 0) {
            anchorFrame_ = stamp.frame;
            framesPerMs_ = stamp.frameClock->FrameRate() / 1000.0;
            // The first tick's place in the leader's bar.
            mainTick_ = startTick_;
            patternPosition_ = static_cast<std::int32_t>(startTick_ % patternLength_);
        }
        lastTickFrame_ = stamp.frame;
    }
    if (countInTicks_ > 0) {
        // The count-in counts toward nothing: the timer strategy (the trainer) does not see it.
        if (!timer_->IsRunning())
            return;
        if (!PlayCountInTick())
            EndRun(true);
        return;
    }
    if (timelineTickPending_) {
        // The tick takes its place in the bar from the followed grid (a relocation included).
        timelineTickPending_ = false;
        const std::int32_t beatsPerBar = std::max(bar_.units / std::max(bar_.unitsPerBeat, 1), 1);
        const std::int64_t tickInBar =
            static_cast<std::int64_t>(nextOnTimeline_.beat % beatsPerBar) * ticksPerPulse_ + nextOnTimeline_.step;
        mainTick_ = std::max<std::int64_t>(nextOnTimeline_.bar - 1, 0) * ticksPerBar_ + tickInBar;
        patternPosition_ = static_cast<std::int32_t>(mainTick_ % std::max(patternLength_, 1));
    }
    currentFlags_ = pattern_[static_cast<std::size_t>(patternPosition_)];
    const std::uint32_t timerFlags = timerStrategy_->OnTick(currentFlags_);
    if (!timer_->IsRunning())
        return; // stopped while this tick was on its way

    const std::int64_t tick = mainTick_++;
    const std::int64_t tickInBar = tick % ticksPerBar_;
    const auto bar = static_cast<std::int32_t>(std::min<std::int64_t>(tick / ticksPerBar_, INT32_MAX - 1));
    const bool muted = gap_.Muted(bar);
    if (tickInBar % ticksPerPulse_ == 0)
        ReportPosition(tickInBar, bar + 1, muted, false);
    if ((timerFlags & TimerFlags::PlayEntry) != 0) {
        // A muted bar plays on without a sound: its voices, the lamp and the patterns all move on.
        silent_ = muted && !(gap_.keepDownbeat && tickInBar == 0);
        if (countMode_ == Configuration::CountVoiceAll && !silent_)
            SpeakTick(tickInBar);
        const bool played = PlayTick();
        silent_ = false;
        if (!played) {
            EndRun(true);
            return;
        }
        if (++patternPosition_ >= patternLength_)
            patternPosition_ = 0;
    }

    std::uint32_t tempo = 0;
    if ((timerFlags & TimerFlags::TempoChanged) != 0) {
        tempo = timerStrategy_->GetBpm();
        timer_->ReTime(timerStrategy_->GetInterval());
        if (beep_ && !PlayVoice(SignalVoice)) {
            EndRun(true);
            return;
        }
    } else if ((timerFlags & TimerFlags::WarmupEnded) != 0) {
        if (beep_ && !PlayVoice(SignalVoice)) {
            EndRun(true);
            return;
        }
    } else if ((timerFlags & TimerFlags::RunComplete) != 0) {
        EndRun(false);
    }

    if ((timerFlags & ReportedTimerFlags) != 0)
        handler_->OnBeat(static_cast<std::uint8_t>(timerFlags & ReportedTimerFlags), tempo);
}

void MetronomeStrategy::PreparePractice(const Configuration::ConfigurationData& settings, std::int32_t secondary,
                                        bool compound)
{
    bar_ = DescribeBar(settings, compound);
    gap_ = GapRule::From(settings);
    const std::int32_t ticksPerBeat = std::max(timerStrategy_->TicksPerBeat(), 1);
    ticksPerUnit_ = std::max(ticksPerBeat / bar_.unitsPerBeat, 1);
    ticksPerPulse_ = ticksPerUnit_ * bar_.unitsPerBeat;
    ticksPerBar_ = static_cast<std::int64_t>(ticksPerUnit_) * bar_.units;
    mainTick_ = 0;

    // Swing moves the second step of each pair on a grid of 2 or 4 steps to a beat; the timer
    // may tick finer than a step (the trainer does), the shift is in its ticks.
    const std::int32_t steps = bar_.unitsPerBeat == 1 ? run_.TicksPerBeat : 0;
    const double shiftInSteps = SwingShiftInSteps(settings, steps, secondary, compound);
    ticksPerSwingStep_ = steps > 0 ? std::max(ticksPerBeat / steps, 1) : 1;
    swingShift_ = shiftInSteps * ticksPerSwingStep_;

    countInTick_ = 0;
    countInBars_ = CountInBars(settings);
    if (timeline_ != nullptr) {
        countInTicks_ = 0; // the other side's bar lines are where the run joins in
    } else if (countInBars_ > 0) {
        countInTicks_ = ticksPerBar_ * countInBars_;
    } else if (CountInIsTwoBeats(settings)) {
        countInTicks_ = 2LL * ticksPerPulse_;
    } else {
        countInTicks_ = 0;
    }
    countInSound_ = settings.SoundEngineType == Configuration::SoundSource::Midi ? InstrumentNote(settings.CountInInstrument)
                                                                                 : voiceSound_[0].load(std::memory_order_relaxed);
}

bool MetronomeStrategy::PlayCountInTick()
{
    const std::int64_t tick = countInTick_++;
    const bool last = countInTick_ >= countInTicks_;
    const std::int64_t tickInBar = tick % ticksPerBar_;
    bool played = true;
    bool sounded = false;
    if (tickInBar % ticksPerUnit_ == 0) {
        auto level = static_cast<BarShape::Level>(bar_.level[static_cast<std::size_t>(tickInBar / ticksPerUnit_)]);
        if (countInBars_ == 0 && level != BarShape::Silent)
            level = tick == 0 ? BarShape::BarStart : BarShape::Beat; // two beats: the first accented
        if (level != BarShape::Silent) {
            // Spoken, the count-in says its beats' numbers instead of its clicks, at its levels
            // of the program's volume.
            const CountWord word = countVoice_ == nullptr ? CountWord::None
                                   : countInBars_ == 0
                                       ? (tick == 0 ? CountWord::One : static_cast<CountWord>(1))
                                       : ChooseCountWord(bar_, static_cast<std::int32_t>(tickInBar / ticksPerUnit_), 0, 1,
                                                         countThrough_, true);
            if (word != CountWord::None) {
                sounded = countVoice_->Say(static_cast<std::int32_t>(word),
                                           CountInVolume(countVolume_.load(std::memory_order_relaxed), level));
            } else {
                played = PlayCountInSound(level);
                sounded = played;
            }
            if (indicator_ != nullptr)
                indicator_->ShowBeat(0, BeatLook::CountIn);
        }
    } else if (indicator_ != nullptr && tickInBar % ticksPerPulse_ == ticksPerPulse_ / 2) {
        indicator_->ClearBeat();
    }
    if (tickInBar % ticksPerPulse_ == 0) {
        const auto bar = static_cast<std::int32_t>(tick / ticksPerBar_);
        ReportPosition(tickInBar, countInBars_ > 0 ? bar - countInBars_ : 0, false, true);
    }
    if (sounded)
        handler_->OnSounded(true);
    if (last)
        countInTicks_ = 0; // the next tick is the first bar's first
    return played;
}

void MetronomeStrategy::SpeakTick(std::int64_t tickInBar)
{
    if (countVoice_ == nullptr)
        return;
    const auto unit = static_cast<std::int32_t>(tickInBar / ticksPerUnit_);
    const std::int64_t inUnit = tickInBar % ticksPerUnit_;
    const std::int32_t steps = bar_.unitsPerBeat == 1 ? wordSteps_ : 1;
    const std::int32_t ticksPerStep = std::max(ticksPerUnit_ / steps, 1);
    if (inUnit % ticksPerStep != 0)
        return;
    const double wordsPerSecond = timerStrategy_->GetBpm() * WordsPerBeat(bar_, steps) / 60.0;
    const CountWord word = ChooseCountWord(bar_, unit, static_cast<std::int32_t>(inUnit / ticksPerStep), steps,
                                           countThrough_, wordsPerSecond > MaximumWordsPerSecond);
    if (word == CountWord::None)
        return;
    const std::uint32_t accent = countVolume_.load(std::memory_order_relaxed);
    // A failed word is no reason to stop the clicks; the run's sounds report a lost output.
    countVoice_->Say(static_cast<std::int32_t>(word), word < CountWord::E ? accent : accent * 70u / 100u);
}

bool MetronomeStrategy::NextTimelineTick(double lastFrame, double reachable, double& frame)
{
    const Platform::TimelinePoint point = timeline_->Read();
    if (!point.rolling)
        return false;
    // Where the other side gives no tempo or metre (a transport without a timebase master),
    // the run's own fill in.
    const double rate = soundEngine_->FrameClock() != nullptr ? soundEngine_->FrameClock()->FrameRate() : 48000.0;
    const double ownBeat = timerStrategy_->GetInterval() * ticksPerPulse_ * rate / 1000.0;
    const std::int32_t beatsPerBar = std::max(bar_.units / std::max(bar_.unitsPerBeat, 1), 1);
    nextOnTimeline_ = Platform::NextGridTick(point, ticksPerPulse_, ownBeat, beatsPerBar, lastFrame, reachable);
    timelineTickPending_ = true;
    frame = nextOnTimeline_.frame;
    return true;
}

void MetronomeStrategy::ReportPosition(std::int64_t tickInBar, std::int32_t bar, bool muted, bool countIn)
{
    BarPosition position;
    position.beatsPerBar = std::max(bar_.units / std::max(bar_.unitsPerBeat, 1), 1);
    position.bar = bar;
    position.beat = static_cast<std::int32_t>(tickInBar / ticksPerPulse_) + 1;
    position.muted = muted;
    position.countIn = countIn;
    if (!countIn && timerStrategy_->IsTempoLocked()) {
        position.barsLeft = timerStrategy_->BarsLeftInLevel(ticksPerBar_);
        position.tempo = static_cast<std::int32_t>(timerStrategy_->GetBpm());
    }
    handler_->OnPosition(position);
}

double MetronomeStrategy::NextTickShift()
{
    if (swingShift_ == 0.0 || countInTicks_ > 0)
        return 0.0;
    // mainTick_ is the number of the tick to come.
    const std::int64_t inPair = mainTick_ % (2LL * ticksPerSwingStep_);
    return inPair == ticksPerSwingStep_ ? swingShift_ : 0.0;
}

bool MetronomeStrategy::NextTickOffset(double& msAfterAnchor)
{
    BeatGrid::Line line;
    if (grid_ == nullptr || anchorFrame_ < 0 || framesPerMs_ <= 0 || !grid_->Read(line))
        return false;
    msAfterAnchor = (BeatGrid::NextTick(line, lastTickFrame_, ticksPerPulse_) - anchorFrame_) / framesPerMs_;
    return true;
}

bool MetronomeStrategy::FirstTickFrame(double reachable, double& frame)
{
    BeatGrid::Line line;
    if (grid_ == nullptr || !grid_->Read(line))
        return false;
    // The grid's first tick at or after reachable, and how far into the leader's bar it lies.
    const double step = line.framesPerBeat / ticksPerPulse_;
    const auto k = static_cast<std::int64_t>(std::ceil((reachable - line.origin) / step));
    frame = line.origin + static_cast<double>(k) * step;
    const std::int64_t tick = line.originBeat * ticksPerPulse_ + k;
    startTick_ = ((tick % ticksPerBar_) + ticksPerBar_) % ticksPerBar_;
    return true;
}

void MetronomeStrategy::EndRun(bool failedSound)
{
    // Timer thread, so nothing here may block: the timer only takes note (its thread ends
    // when this tick returns), and the engine and the lamp are left for the control thread
    // that next calls Stop or Start (the window does so when it hears of the end).
    timer_->Stop();
    if (!inRun_.exchange(false, std::memory_order_acq_rel))
        return;
    const std::uint32_t errorCode = failedSound ? soundEngine_->GetLastErrorCode() : 0;
    awaitingClose_.store(true, std::memory_order_release);
    handler_->OnStopped(static_cast<std::uint32_t>(startTempo_));
    if (failedSound)
        handler_->OnError(static_cast<std::uint32_t>(MessageForResultCode(errorCode)));
}

} // namespace Core
