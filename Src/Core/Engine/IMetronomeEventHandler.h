#pragma once
#include "Core/Engine/Practice.h"
#include "Platform/Timeline.h"

#include <cstdint>

namespace Core {

/// Receives the reports of a metronome run. OnTrainerStarted, and OnStopped when the run is
/// stopped by Stop, come on the thread that called Start or Stop; OnBeat, and OnStopped and
/// OnError when the run ends by itself or on a failed sound, come on the timer thread. Calls
/// on the timer thread must return at once: they may not block, lock, allocate or log (hand
/// the report to the window thread through a lock-free queue).
class IMetronomeEventHandler {
public:
    virtual ~IMetronomeEventHandler() = default;
    /// A speed-trainer run starts at tempo (bpm); warmUp tells whether it begins with a warm-up.
    virtual void OnTrainerStarted(std::uint32_t tempo, bool warmUp) = 0;
    /// A tick with timer flags (the low byte of Core::TimerFlags); tempo is the new tempo when
    /// TempoChanged is among the flags, else 0. It comes inside the tick, so
    /// Platform::CurrentTickHeardTime() tells when the tick is heard: a display that follows
    /// the beat (a playback cursor) shows the tick at that time, as the beat lamp does.
    virtual void OnBeat(std::uint8_t flags, std::uint32_t tempo) = 0;
    /// A beat begins (count-in beats included): where the run is, for the bar counter. Inside
    /// the tick, on the timer thread, like OnBeat.
    virtual void OnPosition(const BarPosition& position) { (void)position; }
    /// Something sounds on this tick (a beat, a subdivision, a step, a count-in click), or
    /// would but for a muted bar (heard false): a position of the grid the run plays, for
    /// timing feedback. Inside the tick, after its OnPosition, on the timer thread like
    /// OnBeat; Platform::CurrentSoundStamp() has the tick's frame.
    virtual void OnSounded(bool heard) { (void)heard; }
    /// The timeline a run started now follows (another program's beats: the JACK transport, a
    /// Link session), or null: the run keeps its own time. Asked by Start on its thread; the
    /// timeline must outlive the run. A following run has no count-in and takes the
    /// timeline's tempo and bar lines; a speed trainer's and a song's runs never follow.
    virtual const Platform::ExternalTimeline* FollowedTimeline() { return nullptr; }
    /// The run is over; tempo is the tempo it was started with. Sent once per run.
    virtual void OnStopped(std::uint32_t tempo) = 0;
    /// Sent right after OnStopped when a sound could not be played: the number of the
    /// [Message] text that explains the sound engine's error.
    virtual void OnError(std::uint32_t messageIndex) = 0;
};

} // namespace Core
