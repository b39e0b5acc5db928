#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace Core {

/// How one beat of a part sounds: its level picks the voice (see SongPart::VoiceOf).
enum class BeatLevel : std::uint8_t { Silent, Plain, Accent, BarStart };

/// One part of a song: a line of a tempo map, "[label:] bars [meter] tempo[-tempo2|,tempo...]
/// [pattern] [volume]", plus what Tolvane adds in a "#tolvane:" comment at its end. The tempo is
/// in quarter notes a minute whatever the metre, so a beat (a 1/denominator note) lasts
/// 240 / (tempo x denominator) seconds.
struct SongPart {
    std::string label;
    std::int32_t bars = 1;          ///< 1.. ; an endless part plays until the user moves on
    bool endless = false;
    std::int32_t beats = 4;         ///< beats in a bar, 1..64
    std::int32_t denominator = 4;   ///< the beat's note value: 1, 2, 4, 8, 16, 32
    double tempo = 120;             ///< quarter notes a minute at the part's start
    double tempo2 = 0;              ///< >0: the tempo at the part's end, reached by a ramp
    std::vector<double> tempi;      ///< one tempo per beat of the part instead (bars x beats)
    std::string pattern;            ///< 'X' accented, 'x' plain, '.' silent, one a beat; empty: default
    double volume = 1.0;            ///< 0..10, scales every voice of the part
    // Tolvane's additions, in the "#tolvane:" comment.
    bool compound = false;          ///< 6/8, 9/8, 12/8: beats of three eighths
    std::string groups;             ///< accents by groups such as "3+2+2" (when no pattern)
    std::int32_t subdivision = 0;   ///< ticks a beat, 0 or 1 = none, 2..8
    double swing = 50;              ///< 50..75, with 2 or 4 ticks a beat
    std::int32_t gapPlay = 0;       ///< muted bars: play this many, then mute gapMute (0 = off)
    std::int32_t gapMute = 0;
    std::string preset;             ///< a preset whose sounds the part plays; empty: the settings'
    std::string otherExtras;        ///< "#tolvane:" words this version does not know, kept
    std::string comment;            ///< the line's own comment, without "#", kept

    bool operator==(const SongPart&) const = default;
    /// Whether the tempo changes across the part (ramp or per-beat tempi).
    bool ChangesTempo() const { return tempo2 > 0 || !tempi.empty(); }
    /// The level of beat (0-based within the bar).
    BeatLevel LevelOf(std::int32_t beat) const;
    /// The voice index (0..11) a beat of this level plays: the bar's first 0, an accent 2,
    /// a plain beat 1 (3 in compound time, as the accented bar plays its eighths).
    std::int32_t VoiceOf(BeatLevel level) const;
    /// Seconds from the part's first bar line to its beat `beat` (0 .. bars x beats), at
    /// scale x every tempo. Exact: a ramp moves the tempo linearly in beats and the time is
    /// its integral in closed form, per-beat tempi are summed from the part's start.
    double SecondsTo(std::int64_t beat, double scale = 1.0) const;
    /// The tempo (quarters a minute) at the start of beat `beat`.
    double TempoAt(std::int64_t beat) const;
};

/// What happens after a song's last part.
enum class SongEnding : std::uint8_t { Stop, Loop, Next };

/// Why a part line could not be read: the rule it broke and up to two words or numbers its
/// message names. The window shows it in the user's language; English() is the text for logs
/// and the command line.
struct PartProblem {
    enum class Kind : std::uint8_t {
        None, Label, BarsMissing, Bars, Metre, TempoMissing, Tempo, PatternLength, NotPatternOrVolume,
        Volume, Unexpected, ExtraOutOfRange, CompoundBeats, TempoCount, EndlessChange,
    };
    static constexpr int KindCount = 15;

    Kind kind = Kind::None;
    std::string first, second; ///< what %1 and %2 of the message stand for

    bool Empty() const noexcept { return kind == Kind::None; }
    std::string English() const;
};

/// The English message of a kind, with %1 and %2 where PartProblem's words go.
const char* PartProblemMessage(PartProblem::Kind kind) noexcept;

/// A line of a song file: a part, or text kept as it was (a comment, an empty line, a line
/// that could not be read, with its message).
struct SongLine {
    bool isPart = false;
    SongPart part;
    std::string text;      ///< the line as read, for everything but parts
    PartProblem problem;   ///< why the line could not be read; none for a comment
    std::int32_t number = 0; ///< line number in the file it came from (1-based), 0 for new lines
};

/// A song: its parts in order with every other line of its file kept between them, the
/// count-in played once before the first part, and what follows its end.
struct Song {
    std::string name;                  ///< shown in the window; the file's name without ".klick"/".txt"
    std::vector<SongLine> lines;
    std::int32_t countIn = 0;          ///< 0 none, 1..4 bars, 5 two beats (as the CountIn setting)
    SongEnding ending = SongEnding::Stop;
    std::string otherExtras;           ///< song-level "#tolvane:" words this version does not know

    /// The parts, in order (pointers into lines, valid until lines changes).
    std::vector<const SongPart*> Parts() const;
    /// The index among Parts() of the first part labelled label; -1 if none.
    std::int32_t FindLabel(const std::string& label) const;
    /// Every line that could not be read: "line N: message".
    std::vector<std::string> Problems() const;
};

/// Reads a song from the bytes of its file. Never fails: a line that cannot be read is kept
/// as text with its line number and message (Song::Problems).
Song ParseSong(const std::string& bytes, const std::string& name);
/// The file's text: song-level "#tolvane:" line first (when anything is set), then every line
/// in order, parts written in the tempo-map syntax klick reads.
std::string FormatSong(const Song& song);
/// The text of one part's line.
std::string FormatPart(const SongPart& part);
/// Reads one part line; false with the message when it cannot be read.
bool ParsePart(const std::string& line, SongPart& part, PartProblem& problem);

} // namespace Core
