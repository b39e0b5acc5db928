#include "Core/Timing/TakeGrid.h"

#include "Core/Engine/Metronome.h"
#include "Core/Engine/StrategySet.h"
#include "Core/Export/OfflineTimer.h"
#include "Core/Timing/LiveScore.h"

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

// Turns the run's reports into the grid, as a live run's are (LiveScore).
class PositionKeeper final : public IMetronomeEventHandler {
public:
    explicit PositionKeeper(LiveScore& live) : live_(live) {}
    void OnTrainerStarted(std::uint32_t, bool) override {}
    void OnBeat(std::uint8_t, std::uint32_t) override {}
    void OnStopped(std::uint32_t) override {}
    void OnError(std::uint32_t) override {}
    void OnPosition(const BarPosition& position) override
    {
        tick_.position = position;
        ++tick_.report;
    }
    void OnSounded(bool heard) override
    {
        tick_.heard = heard;
        live_.Played(tick_);
    }

    PlayedTick tick_; // frame set before each tick plays

private:
    LiveScore& live_;
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
    // The trainer's signal is no position, and the lamp takes no part.
    Configuration::ConfigurationData played = settings;
    played.Beep = 0;
    played.VisualIndicator = 0;

    // The export's timer, which places each tick as the timer thread does.
    Export::OfflineTimer timer;
    // The frames of the planned run: its first tick at frame 0, at the take's rate.
    const Export::OfflineClock clock(rate, 0, false);
    CountingEngine engine(clock);
    LiveScore live(rate);
    live.SetOrigin(0);
    PositionKeeper keeper(live);
    StrategySet strategies;
    Metronome metronome(strategies.Services(timer, [&engine](Configuration::SoundSource) -> ISoundEngine* { return &engine; }));
    const std::uint32_t result = metronome.Start(&keeper, played);
    if (result == 0) {
        while (timer.IsRunning()) {
            const Export::OfflineTimer::Tick tick = timer.Next();
            if (tick.frame > frames)
                break;
            keeper.tick_.frame = tick.frame;
            timer.Play(tick);
        }
        metronome.Stop();
    }
    TakeGrid grid = live.Grid();
    grid.startResult = result;
    return grid;
}

} // namespace Core::Timing
