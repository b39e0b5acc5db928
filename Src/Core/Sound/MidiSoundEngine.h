#pragma once
#include "Core/Sound/ISoundEngine.h"
#include "Platform/Audio/MidiOut.h"

#include <atomic>
#include <cstdint>
#include <vector>

namespace Core {

/// Plays General MIDI percussion: every PlaySound is one Note On on channel 10 with the
/// note as key and the volume as velocity, placed at the tick's time. No Note Off, program
/// change or controller is ever sent; a volume of 0 goes out as a Note On with velocity 0.
/// Threads as ISoundEngine says.
class MidiSoundEngine final : public ISoundEngine {
public:
    /// options choose the mixer and the soundfont search.
    explicit MidiSoundEngine(Platform::Audio::MidiOutOptions options);
    ~MidiSoundEngine() override;

    /// Loads the kit, opens the stream and renders the notes settings play (each voice's
    /// instrument at its volume) on a background thread; what is done is kept.
    void Prepare(const Configuration::ConfigurationData& settings) override;
    bool IsPrepared(const Configuration::ConfigurationData& settings) const override;
    /// Opens the default MIDI output unless it is open already, and renders what settings play
    /// and is not rendered yet (after Prepare, nothing).
    bool Initialise(const Configuration::ConfigurationData& settings) override;
    /// Sends 0x99 | note << 8 | volume << 16. A failure is kept as its code; Close logs it.
    bool PlaySound(std::uint32_t volume, std::uint32_t note) override;
    /// Writes the multimedia report of a sound that failed since the last Close, if any.
    void Close() override;
    std::uint32_t GetLastErrorCode() override { return lastResult_.load(std::memory_order_relaxed); }
    /// The mixer the synthesizer plays into, while the output is open.
    const Platform::IFrameClock* FrameClock() const override { return output_.PlayingMixer(); }

    /// The output, for inspection by tests (late and displaced counts).
    const Platform::Audio::MidiOut& Output() const { return output_; }

private:
    static std::vector<Platform::Audio::MidiOut::Note> NotesOf(const Configuration::ConfigurationData& settings);
    void ReportFailedSound();

    Platform::Audio::MidiOut output_;
    std::atomic<std::uint32_t> lastResult_{0};
    // A sound that failed on the timer thread and is not logged yet: its result code (0: none)
    // and the source line of the call that failed.
    std::atomic<std::uint32_t> failedSound_{0};
    std::atomic<int> failedSoundLine_{0};
};

} // namespace Core
