#pragma once
#include "Platform/Audio/Mixer.h"
#include "Platform/Audio/ResultCodes.h"
#include "Platform/Audio/SoundFonts.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace Platform::Audio {

class MidiSynth;

struct MidiOutOptions {
    /// The mixer to play into; it must outlive the output.
    Mixer& mixer;
    SoundFontSearch soundFonts;
};

/// The default MIDI output: the built-in General MIDI percussion kit (the first soundfont found,
/// each note rendered once per velocity by FluidSynth in a helper process, see PercussionKit)
/// playing into the mixer on channel 10.
///
/// Every message is placed in the output stream where Platform::CurrentSoundStamp() puts it
/// when it is sent: on the tick's own frame during a timer tick on this mixer's frame clock,
/// otherwise at the time of sending plus the mixer's fixed latency. The sending thread's
/// wake-up jitter therefore never reaches the sound.
///
/// Rendering the notes (the helper loads the soundfont) and opening the stream take long (the stream
/// must run steadily before a sound is placed in it), so they are done once, by Prepare on a
/// background thread or by the first Open, and kept until the output is destroyed: Open and
/// Close after that only add the synthesizer to the mixer and take it out again. What failed is
/// remembered until the next Prepare: a preparation that failed counts as finished (Open then
/// fails at once, saying why), and a rendered kit is kept when only the output failed, so the
/// next Prepare only tries the output again.
///
/// Prepare, Open and Close on one control thread; ShortMessage from one thread at a time (the
/// timer thread), never overlapping Open or Close.
class MidiOut {
public:
    explicit MidiOut(MidiOutOptions options);
    ~MidiOut();
    MidiOut(const MidiOut&) = delete;
    MidiOut& operator=(const MidiOut&) = delete;

    /// A percussion note and the velocity it is to be played at.
    using Note = std::pair<int, int>; // the same as PercussionKit::Note

    /// Starts preparing the synthesizer and the stream, and rendering notes, on a background
    /// thread, unless they are prepared or being prepared already (then only the notes not
    /// yet rendered are handed to the kit's rendering thread, or to the preparation running,
    /// and a stream that is lost or never opened is opened on the background thread). Whatever
    /// failed before is tried again, once. Returns at once.
    void Prepare(std::vector<Note> notes = {});
    /// True once the output is prepared and note is rendered.
    bool NotePrepared(const Note& note) const noexcept;
    /// True once the last preparation has finished and failed (no kit, or no output): Open
    /// will fail at once.
    bool PreparationFailed() const noexcept;
    /// True while the kit renders notes asked for (they may still come).
    bool Rendering() const noexcept;
    /// Renders the notes not rendered yet, now; only while open. Control thread.
    void PrepareNotes(const std::vector<Note>& notes);
    /// True when Open will not have to wait for preparation: it has finished (successfully or
    /// not). False while a preparation runs or before any was started.
    bool IsPrepared() const noexcept { return prepared_.load(std::memory_order_acquire); }

    /// Opens the output, first waiting for a preparation in progress or preparing on this
    /// thread, with notes rendered, when none was ever started (after a failed preparation it
    /// fails at once; the next Prepare tries again). Allocated when already open; NoDriver when no soundfont can
    /// be loaded, no audio output opened, or the stream is lost; NoMemory. On failure the
    /// output stays closed and LastFailure() says why.
    Result Open(const std::vector<Note>& notes = {});

    /// Sends one packed message (status | data1 << 8 | data2 << 16), stamped now. A Note On
    /// with velocity 0 is a Note Off. InvalidHandle when closed, NoDriver when the stream is
    /// lost (Mixer::StreamLost), InvalidParameter for a
    /// value without a status byte, NotSupported for system messages, NoMemory when the
    /// queue towards the audio thread is full. Wait-free; never allocates.
    Result ShortMessage(std::uint32_t message) noexcept;

    /// Closes the output: pending messages are dropped and every sounding note is cut; the
    /// synthesizer and the stream stay prepared. Harmless when closed.
    void Close();
    /// Closes the output and gives up the synthesizer and the stream.
    void Release();

    bool IsOpen() const noexcept { return open_; }
    /// The soundfont in use (empty until prepared).
    const std::string& SoundFont() const noexcept { return soundFont_; }
    /// A short reason for the last failed Open, for diagnostics.
    const std::string& LastFailure() const noexcept { return lastFailure_; }
    /// The last message ShortMessage accepted (0 before the first), for inspection.
    std::uint32_t LastMessage() const noexcept { return lastMessage_; }
    /// The mixer the output is given, open or not.
    const Mixer& OutputMixer() const noexcept { return options_.mixer; }
    /// The mixer the output plays into; null while closed.
    const Mixer* PlayingMixer() const noexcept { return open_ ? mixer_ : nullptr; }
    /// Note Ons played from another velocity's rendering, or not at all (see MidiSynth).
    std::uint64_t SubstitutedNotes() const noexcept;

private:
    /// Acquires the mixer (or restores its lost stream), then makes the kit with notes rendered
    /// at the stream's rate (trying each soundfont found until one loads) unless one at that
    /// rate is there; a kit at another rate is made again only when playing is false (it is
    /// in the mixer otherwise). Without a kit the mixer is given up again. Sets result_ and
    /// lastFailure_.
    void Load(const std::vector<Note>& notes, bool playing);
    void WaitForPreparation();
    /// Preparation thread, after Load: renders the notes asked for meanwhile, then marks the
    /// preparation finished.
    void FinishPreparation();

    MidiOutOptions options_;
    Mixer* mixer_ = nullptr;
    std::unique_ptr<MidiSynth> synth_;
    std::string soundFont_;
    std::uint32_t synthRate_ = 0;         // the rate synth_'s kit is rendered at
    std::string lastFailure_;
    std::uint32_t lastMessage_ = 0;
    Result result_ = NoError;            // of the last preparation
    bool holdsOutput_ = false;           // the mixer is acquired
    bool open_ = false;
    bool prepareStarted_ = false;         // a preparation was started at least once
    std::thread preparation_;
    std::mutex pendingLock_;              // guards pending_ and the setting of prepared_ by the preparation
    std::vector<Note> pending_;           // asked for while a preparation ran
    std::atomic<bool> prepared_{false};
    std::atomic<bool> failed_{false};     // the last preparation failed
    std::atomic<bool> cancel_{false};     // Release: a preparation's helper run ends at once
};

} // namespace Platform::Audio
