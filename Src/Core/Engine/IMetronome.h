#pragma once
#include "Configuration/ConfigurationData.h"
#include "Core/Engine/IMetronomeEventHandler.h"

#include <cstdint>

namespace Core {

struct Song;
struct SongStart;
enum class SongMove : std::uint8_t;

/// The metronome as its users see it: one run at a time, from Start to Stop. Window thread
/// only. TogglePause, ChangeTempo and ChangeVolume act on the current run and do nothing
/// without one.
class IMetronome {
public:
    virtual ~IMetronome() = default;
    /// Starts playing settings and reporting to handler (which must outlive the run). The run
    /// keeps its own copy of what it works out; settings are left as they are.
    /// Returns a Core::StartResult code: 0 playing; 2 the timer thread could not be made;
    /// 3 unknown BeatType; 5 the sound engine could not be initialised; 6, 8, 9 the custom
    /// pattern, 10, 11 the custom rhythm was refused. After a failure nothing is left running:
    /// the engine is closed and the lamp stopped. A run still in progress is stopped first.
    /// Starts preparing, in the background, the sound engine settings choose, so that a Start
    /// with them returns at once. Returns at once.
    virtual void PrepareSounds(const Configuration::ConfigurationData& /*settings*/) {}
    /// True when a Start with settings will not wait for the sound engine's preparation.
    virtual bool SoundsPrepared(const Configuration::ConfigurationData& /*settings*/) const { return true; }
    virtual std::uint32_t Start(IMetronomeEventHandler* handler, const Configuration::ConfigurationData& settings) = 0;
    /// Ends the run and reports OnStopped, unless the run has already ended by itself (a failed
    /// sound, the end of a speed-trainer run); then it only closes the engine and stops the
    /// lamp, which the ended run left to it. Returns once the timer thread is gone, so no
    /// sound of the run can follow. Whoever hears OnStopped from the timer thread calls Stop
    /// on its own thread to finish the run.
    virtual void Stop() = 0;
    /// Pauses a playing run or resumes a paused one where it stopped (same pattern position,
    /// same speed-trainer level); the first tick after resuming sounds at once.
    virtual void TogglePause() = 0;
    /// Sets a new tempo (bpm); ignored while a speed-trainer run owns the tempo, and for 0.
    virtual void ChangeTempo(std::uint32_t bpm) = 0;
    /// Sets the voice volumes (0..127) and the global volume (percent) from the next sound on.
    virtual void ChangeVolume(const std::int32_t (&volumes)[Configuration::VoiceCount], std::uint32_t globalVolume) = 0;

    /// What ChangeSounds and Preview did.
    enum class Heard {
        Done,    ///< from the next beat on, or played now
        Waiting, ///< the engine prepares what it needs (a note to render, files to read): ask again
        Refused, ///< no run to change; for Preview a run plays, or the engine cannot play
    };
    /// Sets the current run's voice volumes, global volume and voice sounds from settings, from
    /// the next sound on. Sounds the engine has not prepared yet are asked for and the run's
    /// sounds stay as they were (Waiting) until a later call finds them prepared; the volumes
    /// change at once. Settings of another sound source than the run's change nothing.
    virtual Heard ChangeSounds(const Configuration::ConfigurationData& /*settings*/) { return Heard::Refused; }
    /// Plays voice (0..11) of settings once, outside any run, as a run would play it (its sound
    /// at its volume scaled by the global volume), through the engine of settings' sound source,
    /// placed at once plus the output's latency. The engine stays open for the next preview
    /// until EndPreview or a Start. Refused while a run plays.
    virtual Heard Preview(const Configuration::ConfigurationData& /*settings*/, int /*voice*/) { return Heard::Refused; }
    /// Closes the engine a preview opened; its sound is cut.
    virtual void EndPreview() {}

    /// Starts playing song (from a part, at a practice tempo) with the sounds of settings; the
    /// song decides tempo, metre and count-in. Results as for Start (3: the song has no part).
    virtual std::uint32_t StartSong(IMetronomeEventHandler* /*handler*/, const Configuration::ConfigurationData& /*settings*/,
                                    const Song& /*song*/, const SongStart& /*start*/)
    {
        return 3;
    }
    /// Moves the song that plays to another part (or ends it) at the end of the bar, or at the
    /// next beat when atOnce. Nothing without a song.
    virtual void MoveInSong(SongMove /*move*/, bool /*atOnce*/) {}
    /// Sets the practice tempo of the song that plays (0.5..1.5) from the next beat on.
    virtual void ScaleSong(double /*scale*/) {}
    /// True while a song run plays (paused or not).
    virtual bool PlayingSong() const { return false; }
};

} // namespace Core
