#include "GUI/CommandLine.h"

#include "Configuration/ConfigurationData.h"
#include "Core/Engine/Practice.h"
#include "GUI/TempoControl.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cmath>
#include <cstdio>

namespace GUI {

namespace {

// Options of Qt's own that QApplication takes from the command line; they are accepted here
// so that Qt still sees them, and not listed in the help.
constexpr const char* QtValueOptions[] = {"platform", "platformpluginpath", "platformtheme", "plugin", "display",
                                          "style", "stylesheet", "qwindowgeometry", "geometry", "qwindowtitle",
                                          "title", "qwindowicon", "icon", "session"};
constexpr const char* QtFlagOptions[] = {"reverse", "nograb", "dograb", "sync", "widgetcount"};

} // namespace

CommandLine::CommandLine(const QStringList& arguments)
{
    parser_.setApplicationDescription(QStringLiteral("Tolvane, a metronome for practising musicians."));
    parser_.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help = parser_.addHelpOption();
    const QCommandLineOption version = parser_.addVersionOption();
    const QCommandLineOption tempo(QStringLiteral("tempo"),
                                   QStringLiteral("Start with the tempo <bpm> (%1 to %2).")
                                       .arg(KeyboardTempoMinimum)
                                       .arg(KeyboardTempoMaximum),
                                   QStringLiteral("bpm"));
    const QCommandLineOption preset(QStringLiteral("preset"), QStringLiteral("Start with the preset <name> loaded."),
                                    QStringLiteral("name"));
    const QCommandLineOption start(QStringLiteral("start"), QStringLiteral("Start playing at once."));
    const QCommandLineOption score(QStringLiteral("score"),
                                   QStringLiteral("Score the recorded take <file> (WAV, FLAC or MIDI file) against the settings "
                                                  "(with --tempo, --preset, --beats, --subdivision and the practice "
                                                  "options), print its figures and end."),
                                   QStringLiteral("file"));
    const QCommandLineOption beats(QStringLiteral("beats"), QStringLiteral("With --score: <n> beats to the bar (1 to 16)."),
                                   QStringLiteral("n"));
    const QCommandLineOption subdivision(QStringLiteral("subdivision"),
                                         QStringLiteral("With --score: <n> clicks to the beat (1 to 8)."), QStringLiteral("n"));
    const QCommandLineOption offset(QStringLiteral("offset"),
                                    QStringLiteral("With --score: the first beat lies <ms> after the take's start."),
                                    QStringLiteral("ms"));
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("With --score: print one JSON object only."));
    const QCommandLineOption diaryCsv(QStringLiteral("diary-csv"),
                                      QStringLiteral("Write the practice diary's sessions to <file> as CSV "
                                                     "(- for standard output) and end."),
                                      QStringLiteral("file"));
    const QCommandLineOption oscPort(QStringLiteral("osc-port"),
                                     QStringLiteral("Take OSC commands on UDP port <n> of the loopback address (0: off)."),
                                     QStringLiteral("n"));
    const QCommandLineOption midiClock(QStringLiteral("midi-clock-out"),
                                       QStringLiteral("Send the MIDI clock to the JACK MIDI port <port> (\"client:port\")."),
                                       QStringLiteral("port"));
    parser_.addOptions({tempo, preset, start, score, beats, subdivision, offset, json, diaryCsv, oscPort, midiClock});
    const QCommandLineOption midiClockMode(
        QStringLiteral("midi-clock"),
        QStringLiteral("MIDI clock: off, send (from the port midi_out, through JACK or ALSA) or follow the clock that comes in."),
        QStringLiteral("off|send|follow"));
    parser_.addOption(midiClockMode);
    const QCommandLineOption jackTransport(QStringLiteral("jack-transport"),
                                           QStringLiteral("Through JACK, follow or lead the transport (off: leave it alone); "
                                                          "kept in the settings."),
                                           QStringLiteral("follow|lead|off"));
    parser_.addOption(jackTransport);
    const QCommandLineOption link(QStringLiteral("link"),
                                  QStringLiteral("Play in the Ableton Link session of the local network (on), or not (off); "
                                                 "kept in the settings."),
                                  QStringLiteral("on|off"));
    parser_.addOption(link);
    parser_.addOption(QCommandLineOption(QStringLiteral("fullscreen"),
                                         QStringLiteral("Show the beat over the whole screen (F11; Escape leaves).")));
    parser_.addOption(QCommandLineOption(QStringLiteral("visual-only"),
                                         QStringLiteral("Mute the sound: the beat is only shown.")));
    const QCommandLineOption song(QStringLiteral("song"), QStringLiteral("Play the song <file>, a tempo map in klick's format."),
                                  QStringLiteral("file"));
    const QCommandLineOption from(QStringLiteral("from"), QStringLiteral("With --song: start at the part labelled <label>."),
                                  QStringLiteral("label"));
    const QCommandLineOption scale(QStringLiteral("scale"),
                                   QStringLiteral("With --song: play at <percent> of its tempos (50 to 150)."),
                                   QStringLiteral("percent"));
    const QCommandLineOption setlist(QStringLiteral("setlist"), QStringLiteral("Play the songs the setlist <file> names."),
                                     QStringLiteral("file"));
    parser_.addOptions({song, from, scale, setlist});
    const struct {
        const char* name;
        const char* valueName;
        const char* description;
    } exportOptions[] = {
        {"export", "file", "Write a click track to <file> (.wav, .flac, .ogg or .mid) of the settings and exit."},
        {"bars", "n", "With --export: <n> bars after the count-in (the default: 16, or a trainer's whole run)."},
        {"seconds", "s", "With --export: <s> seconds long."},
        {"rate", "hz", "With --export: 44100, 48000 (the default) or 96000 frames per second."},
        {"bits", "n", "With --export to .wav: 16 (the default), 24, or 32 for float samples."},
        {"force", nullptr, "With --export: replace a file that exists."},
    };
    for (const auto& option : exportOptions) {
        if (option.valueName == nullptr)
            parser_.addOption(QCommandLineOption(QString::fromLatin1(option.name), QString::fromLatin1(option.description)));
        else
            parser_.addOption(QCommandLineOption(QString::fromLatin1(option.name), QString::fromLatin1(option.description),
                                                 QString::fromLatin1(option.valueName)));
    }
    const struct {
        const char* name;
        const char* valueName;
        const char* description;
    } practiceOptions[] = {
        {"count-in", "bars", "Count in 0, 1, 2 or 4 bars before the first, or 2b for two beats."},
        {"gap", "play:mute", "Play <play> bars, then mute <mute> bars (1 to 16 each), over and over."},
        {"gap-random", "percent[:bars]", "Mute <percent> of the bars at random (5 to 95), rising to it over <bars>."},
        {"seed", "n", "The seed that chooses the randomly muted bars."},
        {"swing", "percent", "Swing eighths or sixteenths by <percent> (50 straight to 75)."},
        {"count-voice", "on|off|count-in", "Speak the count: every beat and the count-in, nothing, or the count-in only."},
    };
    for (const auto& option : practiceOptions)
        parser_.addOption(QCommandLineOption(QString::fromLatin1(option.name), QString::fromLatin1(option.description),
                                             QString::fromLatin1(option.valueName)));
    for (const char* name : QtValueOptions) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser_.addOption(option);
    }
    for (const char* name : QtFlagOptions) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser_.addOption(option);
    }

    if (!parser_.parse(arguments)) {
        outcome_ = Outcome::Invalid;
        error_ = parser_.errorText();
        return;
    }
    if (parser_.isSet(help) || parser_.isSet(QStringLiteral("help-all"))) {
        outcome_ = Outcome::Help;
        return;
    }
    if (parser_.isSet(version)) {
        outcome_ = Outcome::Version;
        return;
    }
    if (parser_.isSet(diaryCsv)) {
        diaryCsv_ = parser_.value(diaryCsv);
        outcome_ = diaryCsv_.isEmpty() ? Outcome::Invalid : Outcome::DiaryCsv;
        error_ = QStringLiteral("--diary-csv needs a file name.");
        return;
    }
    if (!parser_.positionalArguments().isEmpty()) {
        outcome_ = Outcome::Invalid;
        error_ = QStringLiteral("Unexpected argument '%1'.").arg(parser_.positionalArguments().constFirst());
        return;
    }
    if (parser_.isSet(tempo)) {
        bool number = false;
        const int bpm = parser_.value(tempo).toInt(&number);
        if (!number || bpm < KeyboardTempoMinimum || bpm > KeyboardTempoMaximum) {
            outcome_ = Outcome::Invalid;
            error_ = QStringLiteral("The tempo must be a whole number from %1 to %2 (not '%3').")
                         .arg(KeyboardTempoMinimum)
                         .arg(KeyboardTempoMaximum)
                         .arg(parser_.value(tempo));
            return;
        }
        tempo_ = bpm;
    }
    midiClockPort_ = parser_.value(midiClock);
    if (parser_.isSet(midiClockMode)) {
        const QString mode = parser_.value(midiClockMode);
        if (mode != QLatin1String("off") && mode != QLatin1String("send") && mode != QLatin1String("follow")) {
            outcome_ = Outcome::Invalid;
            error_ = QStringLiteral("--midi-clock takes off, send or follow (not '%1').").arg(mode);
            return;
        }
        midiClockMode_ = QStringLiteral("clock ") + mode;
    }
    if (parser_.isSet(oscPort)) {
        bool number = false;
        const int port = parser_.value(oscPort).toInt(&number);
        if (!number || port < 0 || port > 65535) {
            outcome_ = Outcome::Invalid;
            error_ = QStringLiteral("The OSC port must be a number from 0 to 65535 (not '%1').").arg(parser_.value(oscPort));
            return;
        }
        oscPort_ = port;
    }
    if (parser_.isSet(jackTransport)) {
        const QString mode = parser_.value(jackTransport);
        if (mode != QLatin1String("follow") && mode != QLatin1String("lead") && mode != QLatin1String("off")) {
            outcome_ = Outcome::Invalid;
            error_ = QStringLiteral("--jack-transport takes follow, lead or off (not '%1').").arg(mode);
            return;
        }
        transport_ = QStringLiteral("transport ") + mode;
    }
    if (parser_.isSet(link)) {
        const QString mode = parser_.value(link);
        if (mode != QLatin1String("on") && mode != QLatin1String("off")) {
            outcome_ = Outcome::Invalid;
            error_ = QStringLiteral("--link takes on or off (not '%1').").arg(mode);
            return;
        }
        link_ = QStringLiteral("link ") + mode;
    }
    if (parser_.isSet(preset)) {
        preset_ = parser_.value(preset);
        // The instance socket carries one line per request.
        if (preset_.isEmpty() || preset_.size() >= Configuration::NameCapacity || preset_.contains(QLatin1Char('\n'))
            || preset_.contains(QLatin1Char('\r'))) {
            outcome_ = Outcome::Invalid;
            error_ = QStringLiteral("A preset name is one line of 1 to %1 characters.").arg(Configuration::NameCapacity - 1);
            return;
        }
    }
    // Checked here on a scratch record, so that a value out of range is refused at once.
    Configuration::ConfigurationData scratch;
    for (const auto& option : practiceOptions) {
        const QString name = QString::fromLatin1(option.name);
        if (!parser_.isSet(name))
            continue;
        const QString value = parser_.value(name);
        if (!Core::ApplyPracticeOption(option.name, value.toStdString(), scratch)) {
            outcome_ = Outcome::Invalid;
            error_ = QStringLiteral("--%1 does not take '%2'.").arg(name, value);
            return;
        }
        practice_ << QStringLiteral("practice %1 %2").arg(name, value);
        export_.practice << name << value;
    }
    if ((parser_.isSet(from) || parser_.isSet(scale)) && !parser_.isSet(song)) {
        outcome_ = Outcome::Invalid;
        error_ = QStringLiteral("--from and --scale go with --song.");
        return;
    }
    if (parser_.isSet(song)) {
        bool number = true;
        const double percent = parser_.isSet(scale) ? parser_.value(scale).toDouble(&number) : 100.0;
        const QString label = parser_.value(from);
        if (!number || percent < 50 || percent > 150 || label.contains(QLatin1Char('\t')) || label.contains(QLatin1Char('\n'))) {
            outcome_ = Outcome::Invalid;
            error_ = QStringLiteral("--scale takes 50 to 150 percent (not '%1').").arg(parser_.value(scale));
            return;
        }
        // The running copy that may carry it out has a folder of its own: the path goes whole.
        song_ = QStringLiteral("song %1\t%2\t%3").arg(percent).arg(label, QFileInfo(parser_.value(song)).absoluteFilePath());
        export_.song = QFileInfo(parser_.value(song)).absoluteFilePath();
        export_.songFrom = label;
        export_.songScale = percent;
    }
    if (parser_.isSet(setlist))
        setlist_ = QStringLiteral("setlist ") + QFileInfo(parser_.value(setlist)).absoluteFilePath();
    start_ = parser_.isSet(start);
    if (!ParseExport()) {
        outcome_ = Outcome::Invalid;
        return;
    }
    if (parser_.isSet(score)) {
        if (outcome_ == Outcome::Export) {
            outcome_ = Outcome::Invalid;
            error_ = QStringLiteral("--score and --export do not go together.");
            return;
        }
        ReadScoreOptions(score, beats, subdivision, offset, json);
    } else if (parser_.isSet(beats) || parser_.isSet(subdivision) || parser_.isSet(offset) || parser_.isSet(json)) {
        outcome_ = Outcome::Invalid;
        error_ = QStringLiteral("--beats, --subdivision, --offset and --json go with --score.");
    }
}

bool CommandLine::ParseExport()
{
    const bool exporting = parser_.isSet(QStringLiteral("export"));
    for (const char* name : {"bars", "seconds", "rate", "bits", "force"}) {
        if (!exporting && parser_.isSet(QString::fromLatin1(name))) {
            error_ = QStringLiteral("--%1 goes with --export.").arg(QString::fromLatin1(name));
            return false;
        }
    }
    if (!exporting)
        return true;
    if (start_) {
        error_ = QStringLiteral("--start and --export do not go together.");
        return false;
    }
    export_.path = parser_.value(QStringLiteral("export"));
    export_.preset = preset_;
    export_.tempo = tempo_;
    export_.force = parser_.isSet(QStringLiteral("force"));
    if (parser_.isSet(QStringLiteral("bars")) && parser_.isSet(QStringLiteral("seconds"))) {
        error_ = QStringLiteral("Give the length in --bars or in --seconds, not both.");
        return false;
    }
    const auto number = [this](const char* name, double least, double most, double& value) {
        bool ok = false;
        value = parser_.value(QString::fromLatin1(name)).toDouble(&ok);
        if (ok && value >= least && value <= most)
            return true;
        error_ = QStringLiteral("--%1 takes a number from %2 to %3 (not '%4').")
                     .arg(QString::fromLatin1(name))
                     .arg(least)
                     .arg(most)
                     .arg(parser_.value(QString::fromLatin1(name)));
        return false;
    };
    if (parser_.isSet(QStringLiteral("bars"))) {
        export_.unit = ExportWish::Unit::Bars;
        if (!number("bars", 1, 10000, export_.amount) || export_.amount != static_cast<int>(export_.amount)) {
            error_ = QStringLiteral("--bars takes a whole number from 1 to 10000 (not '%1').").arg(parser_.value(QStringLiteral("bars")));
            return false;
        }
    }
    if (parser_.isSet(QStringLiteral("seconds"))) {
        export_.unit = ExportWish::Unit::Seconds;
        if (!number("seconds", 0.1, 3 * 3600, export_.amount))
            return false;
    }
    if (parser_.isSet(QStringLiteral("rate"))) {
        export_.rate = parser_.value(QStringLiteral("rate")).toInt();
        if (export_.rate != 44100 && export_.rate != 48000 && export_.rate != 96000) {
            error_ = QStringLiteral("--rate takes 44100, 48000 or 96000 (not '%1').").arg(parser_.value(QStringLiteral("rate")));
            return false;
        }
    }
    if (parser_.isSet(QStringLiteral("bits"))) {
        export_.bits = parser_.value(QStringLiteral("bits")).toInt();
        if (export_.bits != 16 && export_.bits != 24 && export_.bits != 32) {
            error_ = QStringLiteral("--bits takes 16, 24 or 32 (not '%1').").arg(parser_.value(QStringLiteral("bits")));
            return false;
        }
    }
    outcome_ = Outcome::Export;
    return true;
}

bool CommandLine::ReadScoreOptions(const QCommandLineOption& score, const QCommandLineOption& beats,
                                   const QCommandLineOption& subdivision, const QCommandLineOption& offset,
                                   const QCommandLineOption& json)
{
    score_.take = parser_.value(score);
    score_.preset = preset_;
    score_.tempo = tempo_;
    score_.json = parser_.isSet(json);
    for (const QString& request : practice_) {
        const QStringList parts = request.split(QLatin1Char(' '));
        score_.practice << parts.value(1) << parts.value(2);
    }
    const struct {
        const QCommandLineOption& option;
        int low, high;
        std::optional<int>& value;
    } numbers[] = {{beats, 1, 16, score_.beats}, {subdivision, 1, 8, score_.subdivision}};
    for (const auto& number : numbers) {
        if (!parser_.isSet(number.option))
            continue;
        bool ok = false;
        const int value = parser_.value(number.option).toInt(&ok);
        if (!ok || value < number.low || value > number.high) {
            outcome_ = Outcome::Invalid;
            error_ = QStringLiteral("--%1 takes a whole number from %2 to %3.")
                         .arg(number.option.names().constFirst())
                         .arg(number.low)
                         .arg(number.high);
            return false;
        }
        number.value = value;
    }
    if (parser_.isSet(offset)) {
        bool ok = false;
        score_.offsetMs = parser_.value(offset).toDouble(&ok);
        if (!ok || std::abs(score_.offsetMs) > 3.6e6) {
            outcome_ = Outcome::Invalid;
            error_ = QStringLiteral("--offset takes milliseconds (not '%1').").arg(parser_.value(offset));
            return false;
        }
    }
    if (start_) {
        outcome_ = Outcome::Invalid;
        error_ = QStringLiteral("--score and --start do not go together.");
        return false;
    }
    outcome_ = Outcome::Score;
    return true;
}

QString CommandLine::Help() const
{
    return parser_.helpText();
}

QString CommandLine::VersionLine()
{
    return QStringLiteral("Tolvane " TOLVANE_VERSION);
}

QStringList CommandLine::Requests() const
{
    QStringList requests;
    if (oscPort_)
        requests << QStringLiteral("osc %1").arg(*oscPort_);
    if (!midiClockMode_.isEmpty())
        requests << midiClockMode_;
    if (!transport_.isEmpty())
        requests << transport_;
    if (!link_.isEmpty())
        requests << link_;
    if (!preset_.isEmpty())
        requests << QStringLiteral("preset ") + preset_;
    requests << practice_;
    if (tempo_)
        requests << QStringLiteral("tempo %1").arg(*tempo_);
    for (const char* wish : {"visual-only", "fullscreen"}) {
        if (parser_.isSet(QString::fromLatin1(wish)))
            requests << QStringLiteral("view ") + QString::fromLatin1(wish);
    }
    if (!setlist_.isEmpty())
        requests << setlist_;
    if (!song_.isEmpty())
        requests << song_;
    if (start_)
        requests << QStringLiteral("start");
    return requests;
}

void ReportRefusedRequest(const QString& request)
{
    std::fprintf(stderr, "tolvane: not carried out: %s\n", qPrintable(request));
}

bool DisplayNamed(const QStringList& arguments)
{
    QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    bool displayArgument = false;
    for (qsizetype i = 1; i + 1 < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("-platform") || argument == QLatin1String("--platform"))
            platform = arguments[i + 1];
        if (argument == QLatin1String("-display") || argument == QLatin1String("--display"))
            displayArgument = !arguments[i + 1].isEmpty();
    }
    // Platforms other than the two desktop ones (offscreen, vnc, eglfs, ...) need no display.
    if (!platform.isEmpty() && !platform.startsWith(QLatin1String("xcb"))
        && !platform.startsWith(QLatin1String("wayland")))
        return true;
    return displayArgument || !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

} // namespace GUI
