#pragma once
#include "Core/Engine/IMetronomeTimer.h"
#include "Core/Engine/Metronome.h"
#include "Core/Engine/StrategySet.h"
#include "Core/Engine/Timer.h"
#include "Core/Sound/CountVoice.h"
#include "Core/Sound/MidiSoundEngine.h"
#include "Core/WaveFiles/AudioSoundEngine.h"
#include "Platform/Audio/IAudioBackend.h"
#include "Core/Engine/TrainerGate.h"
#include "Platform/Audio/Mixer.h"
#include "Platform/Audio/SoundFonts.h"

#include <memory>

namespace Core {

/// The program's engine, built once by its entry point: the audio backend, the mixer on it,
/// both sound engines, the timer, the strategies and the metronome controller that uses them.
/// Each member is made after what it uses and destroyed before it, so the controller's last
/// Stop still finds its engines and timer, and the engines release the mixer before it goes.
/// Nothing of it is global: whoever needs a part is handed it.
///
/// Construction and destruction on the window thread; the parts keep their own contracts.
class Program {
public:
    /// The program on the system's output, with the output lead OutputLeadMs: each stream on a
    /// fresh RtAudio backend, so that one given up on a sound server that hangs never stands
    /// in the way of the next.
    Program();
    /// The program on another backend (a device-less output, a test's offline one), its timer
    /// thread scheduled through scheduling (a test's can refuse real-time priority).
    Program(std::unique_ptr<Platform::Audio::IAudioBackend> backend, const Platform::Audio::MixerOptions& options,
            Platform::Audio::SoundFontSearch soundFonts = {},
            Platform::IThreadScheduling& scheduling = Platform::SystemThreadScheduling());
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    /// The metronome controller the windows start and stop.
    Metronome& Controller() { return metronome_; }
    /// The mixer every sound plays into.
    Platform::Audio::Mixer& Output() { return *mixer_; }
    /// The engine for a SoundEngineType: the audio-file engine for AudioFiles, the MIDI
    /// engine for any other value.
    ISoundEngine& SoundEngineFor(Configuration::SoundSource source);
    /// The spoken count's voice (its words from Platform::VoiceFolder()).
    CountVoice& Speech() { return countVoice_; }
    /// The speed trainer's gate, which the live scorer feeds (the trainer that waits).
    TrainerGate& Gate() { return gate_; }

private:
    std::unique_ptr<Platform::Audio::IAudioBackend> backend_; // null on the system's output
    std::unique_ptr<Platform::Audio::Mixer> mixer_;
    MidiSoundEngine midiEngine_;
    AudioSoundEngine audioEngine_;
    CountVoice countVoice_;
    TrainerGate gate_;
    Timer timer_;
    ThreadTimer threadTimer_;
    StrategySet strategies_;
    Metronome metronome_;
};

} // namespace Core
