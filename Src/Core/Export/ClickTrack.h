#pragma once
#include "Configuration/ConfigurationData.h"
#include "Core/Songs/Song.h"
#include "Core/Songs/SongStrategy.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Core::Export {

/// What an exported file holds: sound in one of libsndfile's encodings, or a Standard MIDI File.
enum class FileKind { Wav16, Wav24, WavFloat, Flac, OggVorbis, Midi };

/// The kind a file name asks for by its extension (.wav, .flac, .ogg, .mid or .midi, any
/// case; a wave file as wavBits says: 16, 24 or 32 for float); none for any other name.
std::optional<FileKind> KindOfName(std::string_view path, int wavBits = 16);

/// How long the track is: bars after the count-in, seconds in all, or a speed-trainer run
/// from its first tempo to its end, or a whole song (capped at MaxSeconds).
struct Length {
    enum class Unit { Bars, Seconds, WholeRun };
    Unit unit = Unit::Bars;
    double amount = 16;
};

/// The longest track made, in seconds (a trainer run that never ends stops here).
constexpr double MaxSeconds = 3 * 3600.0;
/// The output rates offered.
constexpr std::uint32_t Rates[] = {44100, 48000, 96000};

struct Request {
    Configuration::ConfigurationData settings;
    std::string path;
    FileKind kind = FileKind::Wav16;
    std::uint32_t rate = 48000;
    Length length;
    bool replace = false; ///< an existing file at path is replaced (else the export fails)
    /// A song played instead of the settings' beat, from start on (the settings give its
    /// sounds and volumes); it ends after its last part, whatever its file says follows.
    std::optional<Song> song;
    SongStart songStart;
};

/// Why an export failed.
enum class Failure {
    None,
    Cancelled,
    Exists,          ///< a file is at the path and replace was not asked for
    CannotWrite,     ///< the temporary file could not be made, written or renamed (detail: why)
    SettingsRefused, ///< the metronome would not start with the settings (startResult)
    SoundsFailed,    ///< the sounds could not be prepared (startResult; the log has more)
};

struct Outcome {
    Failure failure = Failure::None;
    std::string detail;
    std::uint32_t startResult = 0;
    std::uint64_t frames = 0; ///< of the track, at the request's rate (MIDI too)
};

/// Asked along the way: cancel is read between blocks, progress gets the share done (0..1)
/// now and then, on the exporting thread.
struct Control {
    std::atomic<bool> cancel{false};
    std::function<void(double)> progress;
};

/// Renders the request's settings as the metronome plays them, through the same beat and
/// timer strategies, practice rules and (for sound) sound engines and mixer as a live run,
/// on an offline stream at the request's rate, and writes the file: into a temporary file in
/// the target folder, renamed to the path when complete. A failure or cancel leaves nothing
/// behind and writes one log line. Blocks until done; any thread but a run's timer thread.
Outcome ExportClickTrack(const Request& request, Control* control = nullptr);

/// The one message that tells the user why an export failed, in the current language.
std::u16string FailureMessage(const Outcome& outcome, const std::string& path);
/// The message for a file name of no kind KindOfName knows.
std::u16string UnknownKindMessage(const std::string& path);

/// One sounding click of a track: where (frame from the track's start, and position in MIDI
/// ticks of a quarter note of TicksPerQuarter), which General MIDI note and how loud.
struct Click {
    double frame = 0;
    double tick = 0;
    std::uint8_t note = 0;
    std::uint8_t velocity = 0;
};

/// A tempo or time signature from a tick on.
struct TempoChange {
    double tick = 0;
    std::uint32_t microsecondsPerQuarter = 500000;
};
struct MeterChange {
    double tick = 0;
    std::int32_t numerator = 4;
    std::int32_t denominator = 4; ///< 4, or 8 in compound time
};

constexpr int TicksPerQuarter = 960;

/// The track as the engine's run plays it, without sound: its clicks, tempo map, bars and
/// length. What a MIDI file is written from, and what the audio rendering follows.
struct Score {
    std::vector<Click> clicks;
    std::vector<TempoChange> tempos;
    std::vector<MeterChange> meters;
    std::uint64_t timerTicks = 0; ///< ticks of the run within the track
    std::uint64_t frames = 0;
    double endTick = 0;
};

/// Plays settings (or song with the settings' sounds) through the engine, without sound, for
/// length at rate; startResult gets the metronome's Start result (0 on success). A song's
/// tempo map, metres and MIDI positions come from the song itself (SongCursor).
Score ScoreOf(const Configuration::ConfigurationData& settings, const Length& length, std::uint32_t rate,
              std::uint32_t& startResult, const Song* song = nullptr, const SongStart& songStart = {});

/// A Standard MIDI File (type 1, TicksPerQuarter): a tempo track with the meters and tempos,
/// and the clicks as channel 10 notes.
std::string MidiFileOf(const Score& score);

} // namespace Core::Export
