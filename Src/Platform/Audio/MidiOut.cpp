#include "Platform/Audio/MidiOut.h"

#include "Platform/Audio/MidiSynth.h"
#include "Platform/Clock.h"

namespace Platform::Audio {

MidiOut::MidiOut(MidiOutOptions options) : options_(std::move(options)) {}

MidiOut::~MidiOut()
{
    Release();
}

void MidiOut::Prepare(std::vector<Note> notes)
{
    if (preparation_.joinable()) {
        if (!prepared_.load(std::memory_order_acquire))
            return; // still preparing
        preparation_.join();
    }
    prepareStarted_ = true;
    if (synth_) {
        for (const Note& note : notes)
            synth_->Kit().Request(note.first, note.second);
        if (!mixer_->StreamLost())
            return;
        // The output went away (its sound server ended or hangs): a new stream is opened
        // here, never on the thread that opens the output.
        prepared_.store(false, std::memory_order_release);
        preparation_ = std::thread([this] {
            mixer_->Restore();
            prepared_.store(true, std::memory_order_release);
        });
        return;
    }
    prepared_.store(false, std::memory_order_release);
    preparation_ = std::thread([this, notes = std::move(notes)] {
        Load(notes);
        prepared_.store(true, std::memory_order_release);
    });
}

bool MidiOut::NotePrepared(const Note& note) const noexcept
{
    return IsPrepared() && synth_ && synth_->Kit().Has(note.first, note.second);
}

void MidiOut::PrepareNotes(const std::vector<Note>& notes)
{
    if (open_)
        synth_->Kit().Render(notes);
}

void MidiOut::WaitForPreparation()
{
    if (preparation_.joinable())
        preparation_.join();
}

void MidiOut::Load(const std::vector<Note>& notes)
{
    Mixer& mixer = options_.mixer;
    std::unique_ptr<MidiSynth> synth;
    std::string soundFont;
    Result result = NoDriver;
    lastFailure_ = "no soundfont found";
    for (const std::string& candidate : SoundFontCandidates(options_.soundFonts)) {
        synth = MidiSynth::Create(candidate, mixer.SampleRate(), notes, result);
        if (synth) {
            soundFont = candidate;
            break;
        }
        lastFailure_ = result == NoMemory ? "out of memory" : "no usable soundfont";
        if (result == NoMemory)
            break;
    }
    if (synth) {
        result = mixer.Acquire();
        if (result != NoError) {
            lastFailure_ = "no audio output could be opened";
            synth.reset();
        }
    }
    result_ = result;
    if (!synth)
        return;
    synth_ = std::move(synth);
    soundFont_ = std::move(soundFont);
    mixer_ = &mixer;
    lastFailure_.clear();
}

Result MidiOut::Open(const std::vector<Note>& notes)
{
    if (open_)
        return Allocated;
    WaitForPreparation();
    // Never prepared: prepared now. A preparation that failed is tried again by the next
    // Prepare, in the background: opening a stream can wait on a sound server for long.
    if (!synth_ && !prepareStarted_)
        Load(notes);
    prepared_.store(true, std::memory_order_release);
    if (!synth_)
        return result_;
    if (mixer_->StreamLost()) {
        lastFailure_ = "the audio output was lost";
        return NoDriver;
    }
    if (!mixer_->AddVoice(*synth_)) {
        lastFailure_ = "too many voices";
        return NoMemory;
    }
    open_ = true;
    return NoError;
}

Result MidiOut::ShortMessage(std::uint32_t message) noexcept
{
    if (!open_)
        return InvalidHandle;
    if (mixer_->StreamLost())
        return NoDriver;
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
    if (!open_)
        return;
    mixer_->RemoveVoice(*synth_);
    synth_->Reset();
    open_ = false;
}

void MidiOut::Release()
{
    WaitForPreparation();
    Close();
    if (!synth_)
        return;
    synth_.reset();
    mixer_->Release();
    mixer_ = nullptr;
    soundFont_.clear();
    prepareStarted_ = false;
    prepared_.store(false, std::memory_order_release);
}

std::uint64_t MidiOut::SubstitutedNotes() const noexcept
{
    return synth_ ? synth_->Substituted() : 0;
}

} // namespace Platform::Audio
