#pragma once
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <optional>

namespace GUI {

/// The program's command line:
///   -h, --help        the usage, exit status 0
///   -v, --version     "Tolvane <version>", exit status 0
///   --tempo N         start with N bpm (4..1000, the range the tempo keys reach)
///   --preset NAME     start with the preset NAME loaded
///   --start           start playing at once
///   --fullscreen      show the full-screen beat view; --visual-only: mute the sound
///   --osc-port N      take OSC commands on UDP port N (0: off), kept in the settings
///   --midi-clock-out PORT  connect the MIDI clock (Tolvane:midi_out) to the JACK port PORT
///   --midi-clock off|send|follow  no MIDI clock, send it, or follow the clock that comes in;
///                     kept in the settings
///   --jack-transport follow|lead|off  follow or lead the JACK transport, kept in the settings
///   --count-in BARS, --gap PLAY:MUTE, --gap-random PERCENT[:BARS], --seed N, --swing PERCENT,
///   --count-voice on|off|count-in
///                     the practice options (Core::ApplyPracticeOption), kept in the settings
///   --song FILE       play the song FILE (a tempo map) at the next Start, with --from LABEL
///                     (start at that part) and --scale PERCENT (50..150 of its tempos)
///   --setlist FILE    play the setlist FILE's songs, from its first
///   --export FILE     write a click track instead of starting the window (Outcome::Export),
///                     with --bars N | --seconds S, --rate R, --bits 16|24|32 and --force
///   --score TAKE      score a recorded take (WAV, FLAC, MIDI file) against the settings, with
///                     --tempo, --preset, --beats, --subdivision, --offset MS, --json and the
///                     practice options; runs in its own process without a display
///   --diary-csv FILE  write the practice diary's sessions to FILE ("-": standard output) as
///                     CSV and end, without a display and without a running copy
/// Qt's own options (-platform, -display, -style, ...) are accepted and left to Qt.
/// When a copy of the program runs already, the wishes go to it as requests over the
/// instance socket (see SingleInstance). The parser needs no QCoreApplication; Help() does.
class CommandLine {
public:
    enum class Outcome {
        Run,     ///< start the program (or hand the requests to the running copy)
        Help,    ///< print Help(), exit status 0
        Version, ///< print VersionLine(), exit status 0
        Invalid, ///< print Error() and Help(), exit status 2
        Export,  ///< write the click track Export() describes, without a window or a copy's help
        Score,   ///< score the take ScoreRequest() names, print its figures
        DiaryCsv ///< write the diary as CSV to DiaryCsvFile(), in this process
    };

    /// What --score asks for: the take, the settings to change, how to print.
    struct ScoreOptions {
        QString take;
        QString preset;
        QString song;        ///< a song file (absolute), played with the settings' sounds
        QString songFrom;    ///< the label of the part it starts from; empty: the first
        double songScale = 100; ///< percent of its tempi
        std::optional<int> tempo;
        std::optional<int> beats;
        std::optional<int> subdivision;
        QStringList practice; ///< NAME VALUE pairs for Core::ApplyPracticeOption
        double offsetMs = 0;
        bool json = false;
    };
    const ScoreOptions& ScoreRequest() const { return score_; }

    /// Parses arguments (the program name first, as argv gives them).
    explicit CommandLine(const QStringList& arguments);

    Outcome Result() const { return outcome_; }
    /// Why the command line was refused (Outcome::Invalid), one line.
    const QString& Error() const { return error_; }
    /// The usage and the options. Needs a QCoreApplication for the program's name.
    QString Help() const;
    /// "Tolvane" and the project's version.
    static QString VersionLine();

    /// The wishes, as request lines of the instance socket, in the order they are carried
    /// out: the OSC port ("osc N"), the JACK transport ("transport MODE"), then the preset, so that a tempo and practice options given
    /// beside it win, then the practice options ("practice NAME VALUE"), the tempo, the setlist
    /// ("setlist PATH") and the song ("song SCALE\tLABEL\tPATH", paths made absolute), then the start.
    QStringList Requests() const;
    /// The file --diary-csv names.
    const QString& DiaryCsvFile() const { return diaryCsv_; }
    /// The JACK MIDI port --midi-clock-out names (the clock's destination); empty: none.
    const QString& MidiClockPort() const { return midiClockPort_; }

    /// What --export asks for; the settings part is applied to the user's settings.
    struct ExportWish {
        QString path;
        QString preset;
        QString song;        ///< a song file (absolute), played with the settings' sounds
        QString songFrom;    ///< the label of the part it starts from; empty: the first
        double songScale = 100; ///< percent of its tempi
        std::optional<int> tempo;
        QStringList practice; ///< "NAME VALUE" pairs of the practice options
        enum class Unit { Default, Bars, Seconds } unit = Unit::Default;
        double amount = 0;
        int rate = 48000;
        int bits = 16;
        bool force = false;
    };
    const ExportWish& Export() const { return export_; }

private:
    bool ParseExport();

    ExportWish export_;
    bool ReadScoreOptions(const QCommandLineOption& score, const QCommandLineOption& beats,
                          const QCommandLineOption& subdivision, const QCommandLineOption& offset,
                          const QCommandLineOption& json);

    QCommandLineParser parser_;
    Outcome outcome_ = Outcome::Run;
    QString error_;
    std::optional<int> tempo_;
    std::optional<int> oscPort_;
    QString preset_;
    QStringList practice_;
    QString song_;    ///< its request line, or empty
    QString setlist_; ///< its request line, or empty
    bool start_ = false;
    ScoreOptions score_;
    QString diaryCsv_;
    QString midiClockPort_;
    QString midiClockMode_; ///< "clock MODE" request, or empty
    QString transport_; ///< "transport follow|lead|off", or empty
    QString link_; ///< "link on|off", or empty
};

/// Tells on stderr that a request of the command line was not carried out.
void ReportRefusedRequest(const QString& request);

/// True when the arguments or the environment name a Qt platform that can show windows; false
/// when no display is named at all (no DISPLAY, no WAYLAND_DISPLAY and no other platform). A
/// display that is named but cannot be reached is found only when Qt tries it.
bool DisplayNamed(const QStringList& arguments);

} // namespace GUI
