#include "Core/Songs/SongStrategy.h"

#include <algorithm>
#include <set>

namespace Core {

namespace {

constexpr std::uint32_t AtOnce = 0x100;

} // namespace

Configuration::ConfigurationData SongMetronomeStrategy::SettingsForSong(const Configuration::ConfigurationData& settings,
                                                                        const Song& song)
{
    Configuration::ConfigurationData run = settings;
    run.SpeedTrainer = Configuration::TrainerMode::Off;
    run.BeatType = Configuration::BeatKind::BeatsPerBar;
    run.Subdivision1 = 0;
    run.Subdivision2 = 0;
    run.GapMode = Configuration::GapOff;
    run.Swing = 50.0f;
    run.CountIn = song.countIn;
    return run;
}

std::uint32_t SongMetronomeStrategy::StartSong(IMetronomeEventHandler* handler,
                                               const Configuration::ConfigurationData& settings, const Song& song,
                                               const SongStart& start, const MetronomeServices& services)
{
    // The timer thread of an earlier run reads the cursor: it must be gone first.
    services.timer->Stop();
    if (song.Parts().empty())
        return StartResult::UnknownBeatType;
    const Configuration::ConfigurationData run = SettingsForSong(settings, song);
    cursor_ = std::make_unique<SongCursor>(song, start.fromPart, start.scale, run.VisualIndicator == 1);
    appliedScale_ = std::clamp(start.scale, 0.5, 1.5);
    scale_.store(appliedScale_, std::memory_order_relaxed);
    move_.store(0, std::memory_order_relaxed);
    offsetAsked_ = false;
    ending_ = false;

    // A part's volume plays its voices at other velocities: the built-in kit renders those too.
    if (services.soundEngineFor) {
        std::set<double> volumes;
        for (const SongPart* part : song.Parts())
            if (part->volume != 1.0)
                volumes.insert(part->volume);
        if (ISoundEngine* engine = services.soundEngineFor(run.SoundEngineType); engine != nullptr) {
            for (const double volume : volumes) {
                Configuration::ConfigurationData scaled = run;
                scaled.GlobalVolume = 100;
                for (int voice = 0; voice < Configuration::VoiceCount; ++voice)
                    scaled.Volume[voice] = static_cast<std::int32_t>(std::clamp(
                        ScaledVolume(run.Volume[voice], static_cast<std::uint32_t>(std::max(run.GlobalVolume, 0))) * volume, 0.0, 127.0));
                engine->Prepare(scaled);
            }
        }
    }
    return Start(handler, run, services);
}

void SongMetronomeStrategy::Move(SongMove move, bool atOnce)
{
    move_.store(static_cast<std::uint32_t>(move) | (atOnce ? AtOnce : 0u), std::memory_order_release);
}

void SongMetronomeStrategy::Rescale(double scale)
{
    scale_.store(std::clamp(scale, 0.5, 1.5), std::memory_order_release);
}

std::int32_t SongMetronomeStrategy::GetBeatsPerBar(const Configuration::ConfigurationData&)
{
    return cursor_ ? cursor_->BeatsOf(cursor_->Current().part) : 4;
}

std::uint32_t SongMetronomeStrategy::Initialise(const Configuration::ConfigurationData&, std::int32_t& ticksPerBeat,
                                                std::int32_t& secondary, bool& compound)
{
    // Every tick is the song's; the pattern only has to be there.
    ticksPerBeat = 0;
    secondary = 0;
    compound = false;
    pattern_[0] = PatternFlags::PlayBeat;
    patternLength_ = 1;
    return StartResult::Playing;
}

std::int32_t SongMetronomeStrategy::PlayBeat()
{
    return 0;
}

bool SongMetronomeStrategy::NextTickOffset(double& msAfterAnchor)
{
    offsetAsked_ = true;
    msAfterAnchor = (cursor_->Current().seconds - anchorSeconds_) * 1000.0;
    return true;
}

void SongMetronomeStrategy::OnTimer()
{
    if (!RunTimer().IsRunning())
        return; // stopped while this tick was on its way
    if (ending_) {
        // The song's end, a bar line after its last click: the run ends here, so that the last
        // click has sounded before the engine closes.
        EndRun(false);
        return;
    }
    const SongTick& tick = cursor_->Current();
    // The timer's first tick (at a start or on resuming) is its anchor: the ticks after it are
    // placed from it by their song time.
    if (!offsetAsked_)
        anchorSeconds_ = tick.seconds;
    offsetAsked_ = false;
    if (!PlayCurrent(tick)) {
        EndRun(true);
        return;
    }
    if (const std::uint32_t move = move_.exchange(0, std::memory_order_acq_rel); move != 0)
        cursor_->Request(static_cast<SongMove>(move & 0xFF), (move & AtOnce) != 0);
    if (const double scale = scale_.load(std::memory_order_acquire); scale != appliedScale_) {
        cursor_->SetScale(scale);
        appliedScale_ = scale;
    }
    if (!cursor_->Advance())
        ending_ = true; // the song is over: one silent tick more, at its end
}

bool SongMetronomeStrategy::PlayCurrent(const SongTick& tick)
{
    IBeatIndicator* lamp = RunIndicator();
    if (tick.step == 0) {
        BarPosition position;
        position.bar = tick.countIn ? static_cast<std::int32_t>(tick.bar) : static_cast<std::int32_t>(tick.bar) + 1;
        position.beat = tick.beat + 1;
        position.muted = tick.muted;
        position.countIn = tick.countIn;
        position.part = tick.part;
        position.partBars = cursor_->BarsOf(tick.part);
        position.beatsPerBar = cursor_->BeatsOf(tick.part);
        RunHandler().OnPosition(position);
    }
    if (tick.countIn) {
        const auto level = static_cast<BeatLevel>(tick.voice);
        if (level == BeatLevel::Silent)
            return true;
        if (lamp != nullptr)
            lamp->ShowBeat(0, BeatLook::CountIn);
        return PlayCountInSound(level == BeatLevel::BarStart ? BarShape::BarStart
                                : level == BeatLevel::Accent ? BarShape::GroupStart
                                                             : BarShape::Beat);
    }
    if (lamp != nullptr) {
        if (tick.moved)
            lamp->MoveTo(tick.songBeat);
        // A beat without a voice is shown too (dark), so that the MIDI clock counts it.
        if (tick.step == 0)
            lamp->ShowBeat(tick.voice, tick.muted ? BeatLook::Muted : BeatLook::Normal);
        else if (tick.voice < 0)
            lamp->ClearBeat();
    }
    if (tick.voice < 0 || tick.muted)
        return true;
    return PlayVoiceAt(tick.voice, tick.volume);
}

} // namespace Core
