#pragma once
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

namespace Configuration {

/// Number of voices; voice n (1..12) is array index n - 1.
constexpr int VoiceCount = 12;

/// What the configuration file holds of each text at most, in UTF-16 code units with room for
/// a terminator: a longer value read from the file is cut to capacity - 1 units (and logged),
/// and the writer never writes more.
constexpr int NameCapacity = 80;
constexpr int DescriptionCapacity = 256;
constexpr int CustomPatternCapacity = 128;
// The step sequencer's 512 steps and up to 512 hit characters and brackets; the reader takes
// a line this long for this key, beyond what other values may hold.
constexpr int CustomRhythmCapacity = 1025;
constexpr int PathCapacity = 772;

/// What a run plays (the BeatType setting). The file holds the number.
enum class BeatKind : std::int32_t {
    Simple = 0,        ///< every beat alike
    BeatsPerBar = 1,   ///< bars of BeatsPerBar beats with an accent on the first
    CustomPattern = 2, ///< groups such as "3+3+2"
    CustomRhythm = 3,  ///< a drum rhythm from the step sequencer
};

/// The CountIn setting's values besides 1..4 bars.
constexpr std::int32_t CountInOff = 0;
constexpr std::int32_t CountInTwoBeats = 5;
/// The CountVoice setting: what the spoken count speaks.
constexpr std::int32_t CountVoiceOff = 0;
constexpr std::int32_t CountVoiceCountIn = 1; ///< the count-in's numbers instead of its clicks
constexpr std::int32_t CountVoiceAll = 2;     ///< the count-in, and every beat and subdivision beside the clicks

/// The GapMode setting: muted bars.
enum GapModes : std::int32_t { GapOff = 0, GapPeriodic = 1, GapRandom = 2 };

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

/// The step sequencer's rhythm and its grid: what the step sequencer writes and the settings
/// dialog carries along, always as a whole.
struct RhythmSettings {
    std::u16string CustomRhythm;
    std::int32_t CrNumBars = 1;
    std::int32_t CrBeatsPerBar = 4;
    std::int32_t CrSubdivision = 2;
    std::int32_t CrCompoundTime = 0;
    std::int32_t DisplayedSubdiv = 2;
    std::int32_t DisplayDistinct = 1;

    bool operator==(const RhythmSettings&) const = default;
};

/// One complete set of metronome settings. Fields are named by their configuration keys
/// and read directly by every user; a copy is an ordinary value copy.
///
/// The record holds only what the user chose: a run keeps its working values apart, so
/// starting the metronome never changes the record.
struct ConfigurationData : RhythmSettings {
    std::u16string Name;
    std::u16string Description;
    SoundSource SoundEngineType = SoundSource::Midi;
    std::int32_t Bpm = 120;         ///< 10..400
    std::int32_t GlobalVolume = 100; ///< percent, scales every voice
    BeatKind BeatType = BeatKind::Simple;
    std::int32_t BeatsPerBar = 4;
    std::u16string CustomPattern;
    std::int32_t Subdivision1 = 0;
    std::int32_t Subdivision2 = 0;
    std::int32_t CompoundTime = 0;
    std::int32_t VisualIndicator = 1;
    TrainerMode SpeedTrainer = TrainerMode::Off;
    std::int32_t DurationsInBars = 0;
    std::int32_t Logarithmic = 0;
    std::int32_t Beep = 1;
    float From = 0.5f;      ///< trainer start tempo, fraction of Bpm
    float To = 1.0f;        ///< trainer end tempo, fraction of Bpm
    float Step = 0.1f;
    float Duration = 5.0f;  ///< minutes or bars
    float Warmup = 1.0f;
    float Warmdown = 1.0f;
    /// Practice: the count-in before the first bar (CountInOff, 1..4 bars, or CountInTwoBeats).
    std::int32_t CountIn = 0;
    std::int32_t CountInInstrument = 43; ///< index in the instrument list: Side Stick
    /// Practice: which bars are muted (GapMode values), and the rules' numbers.
    std::int32_t GapMode = 0;
    std::int32_t GapPlay = 2;     ///< periodic: bars played, 1..16
    std::int32_t GapMute = 1;     ///< periodic: bars muted after them, 1..16
    std::int32_t GapPercent = 30; ///< random: share of muted bars, 5..95
    std::int32_t GapRamp = 0;     ///< random: bars over which the share rises from 0 (0 = none)
    std::int32_t GapSeed = 1;     ///< random: the sequence's seed
    std::int32_t GapDownbeat = 0; ///< 1: a muted bar still sounds its first beat
    float Swing = 50.0f;          ///< percent of a pair of steps before its second: 50..75
    /// Spoken counting (CountVoice values), and whether it counts a bar's groups straight
    /// through (1) instead of from one at each group (0).
    std::int32_t CountVoice = 0;
    std::int32_t CountThrough = 0;
    /// The speed trainer that waits: with TrainerGate 1 a level moves on only when its hits
    /// (live timing feedback) had a mean within GateMean ms either side and a standard
    /// deviation within GateSpread ms; otherwise it is played again, at most GateRepeats times.
    std::int32_t TrainerGate = 0;
    std::int32_t GateMean = 10;
    std::int32_t GateSpread = 15;
    std::int32_t GateRepeats = 3;
    /// What each voice plays from SoundEngineType: a MIDI instrument (0..46, InstrumentList)
    /// or an audio file (0..11, File1..File12).
    std::int32_t Instrument[VoiceCount];
    /// What each voice plays from the other sound source, kept while that source is not in
    /// use: switching the source back finds the choice as it was.
    std::int32_t OtherInstrument[VoiceCount];
    std::int32_t Volume[VoiceCount]; ///< MIDI velocity scale 0..127
    std::int32_t Size[VoiceCount];   ///< lamp marker size 0..7
    std::int32_t Colour[VoiceCount]; ///< lamp marker colour 0..11
    std::u16string File[VoiceCount];
    /// Lines of this record's block that this version of the program does not understand
    /// (a newer version's settings, a line damaged by hand), kept as they were read and
    /// written back after the block's own lines.
    std::vector<std::string> KeptLines;

    /// Every settings field at its default.
    ConfigurationData();
    /// Every field equal, kept lines included.
    bool operator==(const ConfigurationData&) const = default;

    /// The instrument field of voice (0..11) for source: Instrument when it is the source in
    /// use, else OtherInstrument.
    std::int32_t& InstrumentFor(SoundSource source, int voice)
    {
        return source == SoundEngineType ? Instrument[voice] : OtherInstrument[voice];
    }
    /// Makes source the one in use; each voice's two choices change places when it changes.
    void SetSoundSource(SoundSource source);

    /// The custom rhythm and its grid, to be copied as one.
    RhythmSettings& Rhythm() { return *this; }
    const RhythmSettings& Rhythm() const { return *this; }
};

/// Where the main window was and how large, kept in the file between runs (the Window... lines
/// beside Language, outside every record: loading a preset keeps it).
struct WindowPlacement {
    static constexpr std::int32_t NoPosition = INT32_MIN;
    std::int32_t Left = NoPosition; ///< the frame's left edge on the desktop
    std::int32_t Top = NoPosition;  ///< the frame's top edge on the desktop
    std::int32_t Width = 0;         ///< the window's size without its frame, not maximised; 0: none kept
    std::int32_t Height = 0;
    std::int32_t Maximised = 0;

    bool HasSize() const { return Width > 0 && Height > 0; }
    bool HasPosition() const { return Left != NoPosition && Top != NoPosition; }
};

/// Program-wide choices, kept in the file beside Language, outside every record: loading a
/// preset keeps them. A line is written only when its value is not the default.
struct ProgramSwitches {
    std::int32_t Diary = 1; ///< 1: practice sessions are kept in the diary; 0: nothing is written to it
    std::int32_t TimingFeedback = 0; ///< 1: runs score the hits of the timing input and show them under the sliders
    std::int32_t TimingInput = 0;    ///< where the hits come from: 0 the MIDI input, 1 the audio input (microphone, line)
    std::string AudioRoundTrips;     ///< calibrated round trips per output and input (Core::Timing::RoundTripOf)
    // The export window's last choices, shown again when it next opens.
    std::int32_t ExportFormat = 0;   ///< WAV 16-bit, 24-bit, float, FLAC, Ogg Vorbis, MIDI
    std::int32_t ExportRate = 48000; ///< Hz
    std::int32_t ExportUnit = 0;     ///< bars, seconds, the whole run
    std::int32_t ExportLength = 160; ///< in tenths of the unit
    std::string ExportWhat;          ///< "preset:" and its name, "song:" and its file; empty: the current settings
    std::string ExportFile;          ///< the file last written (UTF-8); empty: click.wav in the home folder
    /// The full-screen beat view's flashes: 1 strong, 0 subtle.
    std::int32_t StrongFlashes = 1;
    /// 1: the program starts with View → Visual Only on (runs play at no volume), as it was left.
    std::int32_t VisualOnly = 0;
    /// The output offset per output and the MIDI input's latency per input, in ms
    /// (Core::Timing::PerDeviceValues' text): outputs and inputs not named have 0.
    std::string OutputOffsets;
    std::string InputLatencies;
};

/// How Tolvane is controlled from outside and plays in sync with others, kept in the file
/// between runs (lines beside Language, outside every record: loading a preset keeps them).
/// Only values other than the defaults are written.
/// ControlSettings::MidiClock: no clock, the clock sent (JACK's midi_out), the clock that comes in followed.
inline constexpr std::int32_t MidiClockOff = 0;
inline constexpr std::int32_t MidiClockSend = 1;
inline constexpr std::int32_t MidiClockFollow = 2;

struct ControlSettings {
    std::int32_t OscPort = 0;                 ///< UDP port for OSC commands; 0: off
    std::string OscAddress = "127.0.0.1";     ///< the address the port is bound to (numeric)
    std::string MidiMap;                      ///< notes and controllers to commands (Core::MidiMap's text)
    std::int32_t MidiClock = 1;               ///< MidiClockOff, MidiClockSend, MidiClockFollow
    std::int32_t JackTransport = 0;           ///< through JACK: 0 leaves the transport alone, 1 follows it, 2 leads it
    std::int32_t Link = 0;                    ///< 1: play in the Ableton Link session

    bool operator==(const ControlSettings&) const = default;
};

} // namespace Configuration
