#include "Platform/Audio/MidiOut.h"

#include "Platform/Audio/MidiSynth.h"
#include "Platform/Clock.h"

namespace Platform::Audio {

MidiOut::MidiOut(MidiOutOptions options) : options_(std::move(options)) {}

MidiOut::~MidiOut()
{
    Close();
}

Result MidiOut::Open()
{
    if (synth_)
        return Allocated;
    Mixer& mixer = options_.mixer ? *options_.mixer : OutputMixer();

    Result result = NoDriver;
    lastFailure_ = "no soundfont found";
    for (const std::string& candidate : SoundFontCandidates(options_.soundFonts)) {
        synth_ = MidiSynth::Create(candidate, mixer.SampleRate(), result);
        if (synth_) {
            soundFont_ = candidate;
            break;
        }
        lastFailure_ = result == NoMemory ? "out of memory" : "no usable soundfont";
        if (result == NoMemory)
            break;
    }
    if (!synth_)
        return result;

    if (const Result acquired = mixer.Acquire(); acquired != NoError) {
        lastFailure_ = "no audio output could be opened";
        synth_.reset();
        soundFont_.clear();
        return acquired;
    }
    if (!mixer.AddVoice(*synth_)) {
        mixer.Release();
        lastFailure_ = "too many voices";
        synth_.reset();
        soundFont_.clear();
        return NoMemory;
    }
    mixer_ = &mixer;
    lastFailure_.clear();
    return NoError;
}

Result MidiOut::ShortMessage(std::uint32_t message) noexcept
{
    if (!synth_)
        return InvalidHandle;
    if ((message & 0x80) == 0)
        return InvalidParameter;
    if ((message & 0xF0) == 0xF0)
        return NotSupported;
    if (!synth_->Post(message, CurrentSoundStamp()))
        return NoMemory;
    lastMessage_ = message;
    return NoError;
}

void MidiOut::Close()
{
    if (!synth_)
        return;
    mixer_->RemoveVoice(*synth_);
    mixer_->Release();
    synth_.reset();
    mixer_ = nullptr;
    soundFont_.clear();
}

std::uint64_t MidiOut::DisplacedNotes() const noexcept
{
    return synth_ ? synth_->Displaced() : 0;
}

} // namespace Platform::Audio
