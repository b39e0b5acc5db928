#pragma once
#include <cstdint>

namespace Core {
class ISpeedTrainerStrategy;
}

namespace Configuration {

/// Number of voices; voice n (1..12) is array index n - 1.
constexpr int VoiceCount = 12;

/// Capacities of the text fields in UTF-16 code units, terminator included.
constexpr int NameCapacity = 80;
constexpr int DescriptionCapacity = 256;
constexpr int CustomPatternCapacity = 128;
constexpr int CustomRhythmCapacity = 512;
constexpr int PathCapacity = 772;

/// One complete set of metronome settings. Fields are named by their configuration keys
/// and read directly by every user.
///
/// The first three fields belong to one run of the metronome: they start at zero, assignment
/// does not copy them and the configuration file never holds them.
/// The last three link the record into the preset tree and are likewise never copied.
struct ConfigurationData {
    // Run-time fields, filled by the controller at each start.
    std::int32_t TicksPerBeat;
    std::int32_t TrainerBeatsPerBar;
    Core::ISpeedTrainerStrategy* TrainerCurve;

    char16_t Name[NameCapacity];
    char16_t Description[DescriptionCapacity];
    std::int32_t SoundEngineType;   ///< 0 MIDI, 1 audio files
    std::int32_t Bpm;               ///< 10..400
    std::int32_t GlobalVolume;      ///< percent, scales every voice
    std::int32_t BeatType;          ///< 0 simple, 1 bars, 2 custom pattern, 3 custom rhythm
    std::int32_t BeatsPerBar;
    char16_t CustomPattern[CustomPatternCapacity];
    char16_t CustomRhythm[CustomRhythmCapacity];
    std::int32_t CrNumBars;
    std::int32_t CrBeatsPerBar;
    std::int32_t CrSubdivision;
    std::int32_t CrCompoundTime;
    std::int32_t DisplayedSubdiv;
    std::int32_t DisplayDistinct;
    std::int32_t Subdivision1;
    std::int32_t Subdivision2;
    std::int32_t CompoundTime;
    std::int32_t VisualIndicator;
    std::int32_t SpeedTrainer;      ///< 0 or 1; 5 only in the step sequencer's playing record
    std::int32_t DurationsInBars;
    std::int32_t Logarithmic;
    std::int32_t Beep;
    float From;                     ///< trainer start tempo, fraction of Bpm
    float To;                       ///< trainer end tempo, fraction of Bpm
    float Step;
    float Duration;                 ///< minutes or bars
    float Warmup;
    float Warmdown;
    std::int32_t Instrument[VoiceCount];
    std::int32_t Volume[VoiceCount]; ///< MIDI velocity scale 0..127
    std::int32_t Size[VoiceCount];   ///< lamp marker size 0..7
    std::int32_t Colour[VoiceCount]; ///< lamp marker colour 0..11
    char16_t File[VoiceCount][PathCapacity];

    // Preset tree links, meaningful only while the record is a node of the tree.
    std::int16_t Balance;
    ConfigurationData* Left;
    ConfigurationData* Right;

    /// Every settings field at its default, run-time fields zero, no tree links.
    ConfigurationData();
    /// A new record with other's settings (run-time fields zero, no tree links).
    ConfigurationData(const ConfigurationData& other);
    /// Copies the settings fields; run-time fields and tree links stay as they are.
    ConfigurationData& operator=(const ConfigurationData& other);

    /// The volume handed to a sound engine for a voice (index 0..11): the voice volume
    /// scaled by the global volume, in single precision, truncated toward zero.
    std::int32_t EffectiveVolume(int voiceIndex) const;
};

} // namespace Configuration
