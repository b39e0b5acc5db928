#include "GUI/CommandLine.h"

#include "Configuration/ConfigurationData.h"
#include "Core/Engine/Practice.h"
#include "GUI/TempoControl.h"

#include <QCoreApplication>

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
    parser_.addOptions({tempo, preset, start});
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
    }
    start_ = parser_.isSet(start);
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
    if (!preset_.isEmpty())
        requests << QStringLiteral("preset ") + preset_;
    requests << practice_;
    if (tempo_)
        requests << QStringLiteral("tempo %1").arg(*tempo_);
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
