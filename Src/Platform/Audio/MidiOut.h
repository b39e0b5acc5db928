#pragma once
#include "Platform/Audio/Mixer.h"
#include "Platform/Audio/ResultCodes.h"
#include "Platform/Audio/SoundFonts.h"

#include <cstdint>
#include <memory>
#include <string>

namespace Platform::Audio {

class MidiSynth;

struct MidiOutOptions {
    /// The mixer to play into; null means the program's OutputMixer().
    Mixer* mixer = nullptr;
    SoundFontSearch soundFonts;
};

/// The default MIDI output: a built-in General MIDI synthesizer (FluidSynth with the first
/// soundfont found) playing into the mixer. Channel 10 plays the percussion kit.
///
/// Every message is placed in the output stream where Platform::CurrentSoundStamp() puts it
/// when it is sent: on the tick's own frame during a timer tick on this mixer's frame clock,
/// otherwise at the time of sending plus the mixer's fixed latency. The sending thread's
/// wake-up jitter therefore never reaches the sound.
///
/// Open and Close on a control thread; ShortMessage from one thread at a time (the timer
/// thread), never overlapping Open or Close.
class MidiOut {
public:
    explicit MidiOut(MidiOutOptions options = {});
    ~MidiOut();
    MidiOut(const MidiOut&) = delete;
    MidiOut& operator=(const MidiOut&) = delete;

    /// Opens the output. Allocated when already open; NoDriver when no soundfont can be
    /// loaded or no audio output opened; NoMemory. On failure the output stays closed and
    /// LastFailure() says why.
    Result Open();

    /// Sends one packed message (status | data1 << 8 | data2 << 16), stamped now. A Note On
    /// with velocity 0 is a Note Off. InvalidHandle when closed, InvalidParameter for a
    /// value without a status byte, NotSupported for system messages, NoMemory when the
    /// queue towards the audio thread is full. Wait-free; never allocates.
    Result ShortMessage(std::uint32_t message) noexcept;

    /// Closes the output; pending messages are dropped. Harmless when closed.
    void Close();

    bool IsOpen() const noexcept { return synth_ != nullptr; }
    /// The soundfont in use (empty while closed).
    const std::string& SoundFont() const noexcept { return soundFont_; }
    /// A short reason for the last failed Open, for diagnostics.
    const std::string& LastFailure() const noexcept { return lastFailure_; }
    /// The last message ShortMessage accepted (0 before the first), for inspection.
    std::uint32_t LastMessage() const noexcept { return lastMessage_; }
    /// The mixer the output plays into; null while closed.
    const Mixer* PlayingMixer() const noexcept { return mixer_; }
    /// Note Ons that could not start on their exact frame (see MidiSynth).
    std::uint64_t DisplacedNotes() const noexcept;

private:
    MidiOutOptions options_;
    Mixer* mixer_ = nullptr;
    std::unique_ptr<MidiSynth> synth_;
    std::string soundFont_;
    std::string lastFailure_;
    std::uint32_t lastMessage_ = 0;
};

} // namespace Platform::Audio
