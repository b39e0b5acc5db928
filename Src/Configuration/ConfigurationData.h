#pragma once
#include <cstdint>

namespace Configuration {

/// Number of voices; voice n (1..12) is array index n - 1.
constexpr int VoiceCount = 12;

/// Capacities of the text fields in UTF-16 code units, terminator included.
constexpr int NameCapacity = 80;
constexpr int DescriptionCapacity = 256;
constexpr int CustomPatternCapacity = 128;
constexpr int CustomRhythmCapacity = 512;
constexpr int PathCapacity = 772;

/// What a run plays (the BeatType setting). The file holds the number.
enum class BeatKind : std::int32_t {
    Simple = 0,        ///< every beat alike
    BeatsPerBar = 1,   ///< bars of BeatsPerBar beats with an accent on the first
    CustomPattern = 2, ///< groups such as "3+3+2"
    CustomRhythm = 3,  ///< a drum rhythm from the step sequencer
};

/// Where the sounds come from (the SoundEngineType setting).
enum class SoundSource : std::int32_t {
    Midi = 0,       ///< General MIDI percussion
    AudioFiles = 1, ///< the user's wave files File1..File12
};

/// How a run moves its tempo (the SpeedTrainer setting). The file holds only Off or On;
/// StepSequencer marks the step sequencer's playing record.
enum class TrainerMode : std::int32_t {
    Off = 0,
    On = 1,
    StepSequencer = 5,
};

/// One complete set of metronome settings. Fields are named by their configuration keys
/// and read directly by every user.
///
/// The record holds only what the user chose: a run keeps its working values apart, so
/// starting the metronome never changes the record.
/// The last three fields link the record into the preset tree and are never copied.
struct ConfigurationData {
    char16_t Name[NameCapacity];
    char16_t Description[DescriptionCapacity];
    SoundSource SoundEngineType;
    std::int32_t Bpm;               ///< 10..400
    std::int32_t GlobalVolume;      ///< percent, scales every voice
    BeatKind BeatType;
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
    TrainerMode SpeedTrainer;
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

    /// Every settings field at its default, no tree links.
    ConfigurationData();
    /// A new record with other's settings (no tree links).
    ConfigurationData(const ConfigurationData& other);
    /// Copies the settings fields; the tree links stay as they are.
    ConfigurationData& operator=(const ConfigurationData& other);
};

} // namespace Configuration
