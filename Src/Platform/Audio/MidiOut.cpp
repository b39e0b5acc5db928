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
    {
        std::lock_guard guard(pendingLock_);
        if (preparation_.joinable() && !prepared_.load(std::memory_order_acquire)) {
            // Still preparing: the notes are rendered before it counts as finished.
            pending_.insert(pending_.end(), notes.begin(), notes.end());
            return;
        }
    }
    WaitForPreparation();
    prepareStarted_ = true;
    if (synth_) {
        synth_->Kit().ForgetFailures();
        for (const Note& note : notes)
            synth_->Kit().Request(note.first, note.second);
        if (holdsOutput_ && !mixer_->StreamLost() && mixer_->SampleRate() == synthRate_)
            return;
    }
    // The kit, the output, or both are to be made (again), or the output went away (its sound
    // server ended or hangs, or came back at another rate): here, never on the thread that
    // opens the output.
    failed_.store(false, std::memory_order_release);
    prepared_.store(false, std::memory_order_release);
    preparation_ = std::thread([this, notes = std::move(notes), playing = open_] {
        Load(notes, playing);
        FinishPreparation();
    });
}

void MidiOut::FinishPreparation()
{
    for (;;) {
        std::vector<Note> asked;
        {
            std::lock_guard guard(pendingLock_);
            asked.swap(pending_);
            if (asked.empty() || !synth_) {
                pending_.clear();
                failed_.store(!synth_ || !holdsOutput_, std::memory_order_release);
                prepared_.store(true, std::memory_order_release);
                return;
            }
        }
        synth_->Kit().Render(asked);
    }
}

bool MidiOut::NotePrepared(const Note& note) const noexcept
{
    return IsPrepared() && synth_ && synth_->Kit().Has(note.first, note.second);
}

bool MidiOut::PreparationFailed() const noexcept
{
    return IsPrepared() && failed_.load(std::memory_order_acquire);
}

bool MidiOut::Rendering() const noexcept
{
    return IsPrepared() && synth_ && synth_->Kit().Busy();
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

void MidiOut::Load(const std::vector<Note>& notes, bool playing)
{
    Mixer& mixer = options_.mixer;
    mixer_ = &mixer;
    // The stream first: the kit is rendered at the rate it runs at (a JACK server's, a sink's),
    // so nothing is resampled on the way out.
    Result result = NoError;
    if (!holdsOutput_) {
        result = mixer.Acquire();
        holdsOutput_ = result == NoError;
    } else if (mixer.StreamLost()) {
        result = mixer.Restore();
    }
    result_ = result;
    if (result != NoError) {
        lastFailure_ = "no audio output could be opened (" + mixer.LastFailure() + ")";
        return;
    }
    lastFailure_.clear();
    if (synth_ && (synthRate_ == mixer.SampleRate() || playing))
        return;
    std::unique_ptr<MidiSynth> synth;
    std::string soundFont;
    result_ = NoDriver;
    lastFailure_ = "no soundfont found";
    for (const std::string& candidate : SoundFontCandidates(options_.soundFonts)) {
        PercussionKit::Outcome outcome;
        synth = MidiSynth::Create(candidate, mixer.SampleRate(), notes, outcome, cancel_);
        if (synth) {
            soundFont = candidate;
            break;
        }
        result_ = outcome.result;
        lastFailure_ = outcome.why;
        // Another soundfont helps only when this one was not usable: a helper that is
        // missing, crashes or hangs is not run again for the next one.
        if (outcome.result == NoMemory || outcome.helperFailed)
            break;
    }
    if (!synth) {
        // A kit at an earlier rate is kept: it still plays (at a shifted pitch) rather than nothing.
        if (!synth_) {
            mixer.Release();
            holdsOutput_ = false;
        }
        return;
    }
    synth_ = std::move(synth);
    soundFont_ = std::move(soundFont);
    synthRate_ = mixer.SampleRate();
    result_ = NoError;
    lastFailure_.clear();
}

Result MidiOut::Open(const std::vector<Note>& notes)
{
    if (open_)
        return Allocated;
    WaitForPreparation();
    // Never prepared: prepared now. A preparation that failed is tried again by the next
    // Prepare, in the background: opening a stream can wait on a sound server for long.
    if (!prepareStarted_) {
        prepareStarted_ = true;
        Load(notes, false);
        failed_.store(!synth_ || !holdsOutput_, std::memory_order_release);
    }
    prepared_.store(true, std::memory_order_release);
    if (!synth_ || !holdsOutput_)
        return result_ != NoError ? result_ : NoDriver;
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
    cancel_.store(true, std::memory_order_release);
    WaitForPreparation();
    cancel_.store(false, std::memory_order_release);
    Close();
    synth_.reset();
    if (holdsOutput_)
        options_.mixer.Release();
    holdsOutput_ = false;
    mixer_ = nullptr;
    soundFont_.clear();
    synthRate_ = 0;
    prepareStarted_ = false;
    failed_.store(false, std::memory_order_release);
    prepared_.store(false, std::memory_order_release);
}

std::uint64_t MidiOut::SubstitutedNotes() const noexcept
{
    return synth_ ? synth_->Substituted() : 0;
}

} // namespace Platform::Audio
