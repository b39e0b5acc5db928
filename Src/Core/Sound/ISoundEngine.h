#pragma once
#include "Configuration/ConfigurationData.h"

#include "Platform/FrameClock.h"

#include <cstdint>

namespace Core {

/// Every sound the metronome makes goes through one sound engine. The controller picks the
/// engine for the settings' SoundEngineType at each start, calls Initialise on the window
/// thread, PlaySound from the timer thread for each sounding voice, and Close on a control
/// thread once the run is over (a run that ended on the timer thread is closed by the next
/// Stop or Start). The engine holds no lock: a Close must not overlap a PlaySound.
class ISoundEngine {
public:
    virtual ~ISoundEngine() = default;

    /// Starts preparing, in the background, what Initialise with settings would otherwise do
    /// slowly (loading sounds, opening the output), and keeps it for every later run. Returns at
    /// once. Window thread.
    virtual void Prepare(const Configuration::ConfigurationData& /*settings*/) {}
    /// True when Initialise with settings will not wait for a preparation. Window thread.
    virtual bool IsPrepared(const Configuration::ConfigurationData& /*settings*/) const { return true; }

    /// Acquires the output device and everything needed to play with these settings.
    /// Returns false (after writing a log entry) when the engine cannot play; the result
    /// code for the user's message is then GetLastErrorCode(). Window thread.
    virtual bool Initialise(const Configuration::ConfigurationData& settings) = 0;

    /// Starts one sound and returns at once; never waits for the sound to end.
    /// volume is 0..127; sound is a MIDI note number for the MIDI engine and a voice index
    /// 0..11 for the audio-file engine. The sound is placed where Platform::CurrentSoundStamp()
    /// puts it: on the tick's frame when called from the timer's OnTimer. Never allocates,
    /// locks or logs, on success or failure: a failure is kept as its result code
    /// (GetLastErrorCode) and its log entry is written by the next Close. Timer thread.
    virtual bool PlaySound(std::uint32_t volume, std::uint32_t sound) = 0;

    /// Writes the log entry of a sound that failed since the last Close, and ends the engine's
    /// part in the run (what it prepared may stay); the engine can be initialised again later.
    /// Harmless on a closed engine. A control thread, never the timer thread, and never
    /// overlapping PlaySound.
    virtual void Close() = 0;

    /// The result code of the engine's last device call (0 = success), to be turned into a
    /// message with MessageForResultCode.
    virtual std::uint32_t GetLastErrorCode() = 0;

    /// The frame clock of the output the engine plays into while it is initialised (its
    /// mixer), on which the timer places the run's ticks; null for an engine without a stream,
    /// whose run ticks on the steady clock. Window thread.
    virtual const Platform::IFrameClock* FrameClock() const { return nullptr; }
};

} // namespace Core
