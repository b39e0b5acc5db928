#pragma once
#include "Core/Sound/ISoundEngine.h"
#include "Platform/Audio/MidiOut.h"

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
    /// Sends 0x99 | note << 8 | volume << 16.
    bool PlaySound(std::uint32_t volume, std::uint32_t note) override;
    void Close() override;
    std::uint32_t GetLastErrorCode() override { return lastResult_; }
    /// The mixer the synthesizer plays into, while the output is open.
    const Platform::IFrameClock* FrameClock() const override { return output_.PlayingMixer(); }

    /// The output, for inspection by tests (late and displaced counts).
    const Platform::Audio::MidiOut& Output() const { return output_; }

private:
    static std::vector<Platform::Audio::MidiOut::Note> NotesOf(const Configuration::ConfigurationData& settings);

    Platform::Audio::MidiOut output_;
    std::uint32_t lastResult_ = 0;
};

} // namespace Core
