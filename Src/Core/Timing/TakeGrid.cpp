#include "Core/Timing/TakeGrid.h"

#include "Core/Engine/Metronome.h"
#include "Core/Engine/StrategySet.h"
#include "Core/Export/OfflineTimer.h"

#include <algorithm>

namespace Core::Timing {

namespace {

// Counts the sounds of each tick; plays nothing.
class CountingEngine final : public ISoundEngine {
public:
    explicit CountingEngine(const Platform::IFrameClock& clock) : clock_(clock) {}
    const Platform::IFrameClock* FrameClock() const override { return &clock_; }
    bool Initialise(const Configuration::ConfigurationData&) override { return true; }
    bool PlaySound(std::uint32_t, std::uint32_t) override
    {
        ++sounds_;
        return true;
    }
    void Close() override {}
    std::uint32_t GetLastErrorCode() override { return 0; }

    std::uint64_t sounds_ = 0;

private:
    const Platform::IFrameClock& clock_;
};

class PositionKeeper final : public IMetronomeEventHandler {
public:
    void OnTrainerStarted(std::uint32_t, bool) override {}
    void OnBeat(std::uint8_t, std::uint32_t) override {}
    void OnStopped(std::uint32_t) override {}
    void OnError(std::uint32_t) override {}
    void OnPosition(const BarPosition& position) override
    {
        position_ = position;
        fresh_ = true;
    }

    BarPosition position_;
    bool fresh_ = false;
};

} // namespace

std::string TakeGrid::Label(std::int32_t indexInBar) const
{
    for (const GridPosition& p : positions)
        if (p.indexInBar == indexInBar && !p.countIn)
            return std::to_string(p.beat) + (p.indexInBeat > 0 ? "." + std::to_string(p.indexInBeat + 1) : "");
    return std::to_string(indexInBar + 1);
}

TakeGrid PlanGrid(const Configuration::ConfigurationData& settings, double rate, double frames)
{
    TakeGrid grid;
    grid.rate = rate;
    // Every position is heard in the planned run: muting is applied afterwards, from the same
    // rule, so that a muted bar's silent positions are known too. The trainer's signal is no
    // position, and the lamp takes no part.
    Configuration::ConfigurationData played = settings;
    played.GapMode = Configuration::GapOff;
    played.Beep = 0;
    played.VisualIndicator = 0;
    const GapRule gap = GapRule::From(settings);

    // The export's timer, which places each tick as the timer thread does.
    Export::OfflineTimer timer;
    // The frames of the planned run: its first tick at frame 0, at the take's rate.
    const Export::OfflineClock clock(rate, 0, false);
    CountingEngine engine(clock);
    PositionKeeper keeper;
    StrategySet strategies;
    Metronome metronome(strategies.Services(timer, [&engine](Configuration::SoundSource) -> ISoundEngine* { return &engine; }));
    grid.startResult = metronome.Start(&keeper, played);
    if (grid.startResult != 0)
        return grid;

    std::int32_t indexInBar = -1;
    std::int32_t indexInBeat = -1;
    BarPosition previous;
    previous.bar = INT32_MIN; // no bar yet
    while (timer.IsRunning()) {
        const Export::OfflineTimer::Tick tick = timer.Next();
        if (tick.frame > frames)
            break;
        const std::uint64_t before = engine.sounds_;
        keeper.fresh_ = false;
        timer.Play(tick);
        const BarPosition& now = keeper.position_;
        if (now.bar != previous.bar || now.countIn != previous.countIn)
            indexInBar = -1;
        if (keeper.fresh_)
            indexInBeat = -1;
        previous = now;
        if (engine.sounds_ > before) {
            GridPosition position;
            position.frame = tick.frame;
            position.bar = now.bar;
            position.beat = now.beat;
            position.indexInBar = ++indexInBar;
            position.indexInBeat = ++indexInBeat;
            position.countIn = now.countIn;
            position.muted = !now.countIn && gap.Muted(now.bar - 1);
            position.sounds = !position.muted || (gap.keepDownbeat && indexInBar == 0);
            grid.positions.push_back(position);
            if (!now.countIn)
                grid.positionsPerBar = std::max(grid.positionsPerBar, indexInBar + 1);
        }
    }
    metronome.Stop();
    return grid;
}

} // namespace Core::Timing
