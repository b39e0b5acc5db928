#include "Core/Engine/Program.h"

#include "Platform/Audio/SystemOutput.h"
#include "Platform/Files.h"

namespace Core {

// A sound server may ask for its whole buffer (30 ms through PulseAudio) in one burst, and a
// busy machine wakes the timer late now and then; the lead covers both, so that every tick
// reaches the stream before the stream renders its frame.
// The system's output tries each server with its own deadline (SystemOutput); the stream's
// time-out only covers all of them together.
Program::Program()
    : Program(nullptr, Platform::Audio::MixerOptions{44100, Platform::Audio::OutputBlockFrames,
                                                     Platform::Audio::OutputLeadMs, 4500})
{
}

Program::Program(std::unique_ptr<Platform::Audio::IAudioBackend> backend, const Platform::Audio::MixerOptions& options,
                 Platform::Audio::SoundFontSearch soundFonts, Platform::IThreadScheduling& scheduling)
    : backend_(std::move(backend)),
      mixer_(backend_ ? std::make_unique<Platform::Audio::Mixer>(*backend_, options)
                      : std::make_unique<Platform::Audio::Mixer>(
                            [] { return std::unique_ptr<Platform::Audio::IAudioBackend>(new Platform::Audio::SystemOutput); },
                            options)),
      midiEngine_(Platform::Audio::MidiOutOptions{*mixer_, std::move(soundFonts)}),
      audioEngine_(*mixer_),
      countVoice_(*mixer_, Platform::VoiceFolder()),
      timer_(scheduling),
      threadTimer_(timer_),
      metronome_(strategies_.Services(threadTimer_, [this](Configuration::SoundSource source) {
          return &SoundEngineFor(source);
      }))
{
    metronome_.SetCountVoice(&countVoice_);
    metronome_.SetTrainerGate(&gate_);
}

ISoundEngine& Program::SoundEngineFor(Configuration::SoundSource source)
{
    if (source == Configuration::SoundSource::AudioFiles)
        return audioEngine_;
    return midiEngine_;
}

} // namespace Core
