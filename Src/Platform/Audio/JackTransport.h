#pragma once
#include "Platform/SpscQueue.h"
#include "Platform/Timeline.h"

#include <atomic>
#include <cstdint>
#include <mutex>

struct _jack_client;
struct _jack_position;

namespace Platform::Audio {

/// What Tolvane does with the JACK transport: nothing, follow it, or lead it (timebase master).
enum class TransportMode : std::int32_t { Off = 0, Follow = 1, Lead = 2 };

/// The bar, beat and tick JACK publishes for a frame (BBT: bar and beat from 1).
struct BarBeatTick {
    std::int32_t bar = 1;
    std::int32_t beat = 1;
    double tick = 0;           ///< within the beat, of TicksPerBeat
    double barStartTick = 0;   ///< ticks before this bar
    double beatsPerBar = 4;
    double beatsPerMinute = 120;
    static constexpr double TicksPerBeat = 1920;
};

/// The follower's side: turns the transport's position at each cycle into a beat of its grid
/// on the output stream's frames. A master that rounds its ticks down gives a beat a little
/// later than it was at every cycle, so within one grid (same tempo and metre, no jump) the
/// earliest beat frame seen is kept; a jump beyond a tick's length, a new tempo or metre
/// starts the grid afresh. A rolling transport without bar and beat (no timebase master)
/// gives its frame 0 as a bar line and no tempo. Process thread; pure.
class TransportFollower {
public:
    struct Position {
        bool rolling = false;
        bool hasBarBeat = false;
        std::uint32_t frame = 0;      ///< the transport's frame at the cycle's first frame
        std::uint32_t bbtOffset = 0;  ///< bar, beat and tick are this many frames before it
        BarBeatTick bbt;
        double ticksPerBeat = BarBeatTick::TicksPerBeat;
    };
    TimelinePoint Next(const Position& position, double cycleFrame, double rate) noexcept;

private:
    TimelinePoint last_;
    double lastBeatIndex_ = 0; // beats since bar 1 of last_'s beat, in its metre
};

/// The leader's side: each beat of the run (from the timer thread, a lead before it sounds)
/// and the bar, beat and tick of any frame from them. A frame within a beat is placed by the
/// distance to the next beat when that one is known, else by the distance from the beat
/// before (the tempo the run started at for its first beat). Process thread; pure.
class TransportLeader {
public:
    struct Beat {
        double frame = 0;
        double framesPerBeat = 0;  ///< expected, for a first beat
        std::int32_t bar = 1;      ///< from 1; the count-in's bars are 0 and below
        std::int32_t beat = 0;     ///< from 0
        std::int32_t beatsPerBar = 4;
        std::uint32_t run = 0;     ///< which run's (JackTransport's count of starts)
    };
    void Add(const Beat& beat) noexcept;
    /// The first beat of bar 1 among those known; false when none is.
    bool BarOne(Beat& beat) const noexcept;
    void Clear() noexcept { count_ = 0; }
    bool Empty() const noexcept { return count_ == 0; }
    /// The position at frame; false before the first beat known.
    bool At(double frame, double rate, BarBeatTick& out) const noexcept;

private:
    static constexpr int Capacity = 16;
    Beat beats_[Capacity] = {};
    int count_ = 0;
};

/// The process's one JACK transport link, between the JACK client (JackOutput: its process
/// thread calls Cycle, and Attach/Detach as it opens and closes), the run (the timer thread
/// hands each beat to Beat while leading; the window reads Following() for the run to
/// follow) and the window's settings (SetMode, control threads).
class JackTransport {
public:
    static JackTransport& Instance() noexcept;

    /// Control threads: the mode; leading makes the client timebase master (when there is one
    /// now, else when it is made).
    void SetMode(TransportMode mode);
    TransportMode Mode() const noexcept { return static_cast<TransportMode>(mode_.load(std::memory_order_acquire)); }
    /// The tempo and metre told while leading without a run (bpm, beats to the bar).
    void SetIdleTempo(double bpm, std::int32_t beatsPerBar) noexcept;

    /// The grid a following run places its ticks on (written each cycle while following).
    const ExternalTimeline& Following() const noexcept { return timeline_; }
    /// Whether the transport rolled at the last cycle, its beats to the bar (0: unknown), and
    /// whether our client is there. Any thread.
    bool Rolling() const noexcept { return rolling_.load(std::memory_order_acquire); }
    std::int32_t BeatsPerBar() const noexcept { return beatsPerBar_.load(std::memory_order_acquire); }
    bool Connected() const noexcept { return attached_.load(std::memory_order_acquire); }

    /// Window thread, leading: a run starts (the transport is stopped and put back to frame 0,
    /// then rolls from bar 1) or ends (the transport stops). Asking the transport to start
    /// or stop while following.
    void RunStarting(double firstBpm) noexcept
    {
        leadBar_ = 0;
        leadBpm_ = firstBpm > 0 ? firstBpm : 120;
        starts_.fetch_add(1, std::memory_order_release);
    }
    void RunStopped() noexcept { stops_.fetch_add(1, std::memory_order_release); }
    void RequestRolling(bool roll) noexcept;
    /// Timer thread, inside the tick, while leading: a beat begins (beat from 1, of
    /// beatsPerBar; countIn: of the count-in). Its frame is the tick's; bars count from the
    /// first after the count-in, across a song's parts.
    void LeadPosition(bool countIn, std::int32_t beat, std::int32_t beatsPerBar) noexcept;
    /// Timer thread, inside the tick, while leading: a beat of the run.
    void Beat(TransportLeader::Beat beat) noexcept
    {
        if (Mode() != TransportMode::Lead)
            return;
        beat.run = starts_.load(std::memory_order_acquire);
        beats_.Push(beat);
    }

    /// JackOutput: the client is made (after it was activated) or about to go.
    void Attach(_jack_client* client, double rate);
    void Detach(_jack_client* client);
    /// JACK's process thread, each cycle before it renders: the cycle's first frame on the
    /// output stream and on the server's counter, and its length.
    void Cycle(std::uint64_t streamFrame, std::uint32_t serverFrame, std::uint32_t frames) noexcept;
    /// The server's frame counter less the output stream's frame, as of the last cycle (for
    /// comparing the stream's frames with another client's). Any thread.
    std::int64_t ServerFrameOffset() const noexcept { return serverOffset_.load(std::memory_order_acquire); }
    /// JACK's process thread, while timebase master: the next cycle's bar, beat and tick.
    void FillPosition(std::uint32_t frames, _jack_position* position) noexcept;

private:
    JackTransport() = default;
    void ApplyMode(); // under lock_

    std::mutex lock_; // control threads: the client and the timebase registration
    _jack_client* client_ = nullptr;
    bool master_ = false;
    std::atomic<_jack_client*> cycleClient_{nullptr};
    std::atomic<bool> attached_{false};
    std::atomic<std::int32_t> mode_{0};
    std::atomic<double> rate_{48000};
    std::atomic<double> idleBpm_{120};
    std::atomic<std::int32_t> idleBeatsPerBar_{4};
    ExternalTimeline timeline_;
    std::atomic<bool> rolling_{false};
    std::atomic<std::int32_t> beatsPerBar_{0};
    std::atomic<std::int64_t> serverOffset_{0};
    SpscQueue<TransportLeader::Beat> beats_{64};
    std::atomic<unsigned> starts_{0}, stops_{0}, rollRequests_{0};
    std::atomic<bool> rollWanted_{false};
    std::int32_t leadBar_ = 0; // timer thread during a run; RunStarting before it
    double leadBpm_ = 120;
    // Process thread.
    unsigned startsSeen_ = 0, stopsSeen_ = 0, rollRequestsSeen_ = 0;
    TransportFollower follower_;
    TransportLeader leader_;
    bool leading_ = false;      // a run leads the transport
    bool waitingForBarOne_ = false;
    double cycleFrame_ = 0;     // the stream frame of the cycle now running
};

} // namespace Platform::Audio
