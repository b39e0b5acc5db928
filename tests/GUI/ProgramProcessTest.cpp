// The real program as a process: one copy per user, requests from other processes over the
// instance socket, the settings saved when it is told to end, and, through a private
// PulseAudio server's null sink, the clicks it plays after Start.
//
// Each test runs a copy of the executable from a temporary folder, so its settings and log
// land there, with its own runtime folder for the instance socket. The copy gets
// TOLVANE_TEST_COMMANDS=1, which lets the socket take the "startstop" and "state" requests.
#include "AudioTestSupport.h"
#include "TestSupport.h"

#include <QtTest>

#include <QFile>
#include <QLocalSocket>
#include <QProcess>

namespace {

/// A copy of the program in a temporary folder, with its private runtime folder.
class ProgramCopy {
public:
    ProgramCopy()
    {
        const QString copy = Folder() + QStringLiteral("tolvane");
        QFile::copy(QStringLiteral(TOLVANE_EXECUTABLE), copy);
        QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::copy(QStringLiteral(TOLVANE_KIT_HELPER), Folder() + QStringLiteral("tolvane-kit"));
        std::filesystem::create_directories(folder_ / "run");
        std::filesystem::permissions(folder_ / "run", std::filesystem::perms::owner_all);
    }
    QString Folder() const { return QString::fromStdString(folder_.Path()); }
    QString Runtime() const { return Folder() + QStringLiteral("run"); }
    QString Socket() const { return Runtime() + QStringLiteral("/InstanceMap-") + QString::number(getuid()); }
    std::string File(const std::string& name) const { return folder_ / name; }

    QProcessEnvironment Environment(const QStringList& extra = {}) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), Runtime());
        environment.insert(QStringLiteral("TOLVANE_TEST_COMMANDS"), QStringLiteral("1"));
        environment.insert(QStringLiteral("LSAN_OPTIONS"), QStringLiteral("suppressions=" TOLVANE_LSAN_SUPPRESSIONS));
        for (const QString& entry : extra)
            environment.insert(entry.section(QLatin1Char('='), 0, 0), entry.section(QLatin1Char('='), 1));
        return environment;
    }
    void Launch(QProcess& process, const QStringList& extra = {}, const QStringList& arguments = {}) const
    {
        process.setProcessEnvironment(Environment(extra));
        process.setWorkingDirectory(Folder());
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(Folder() + QStringLiteral("tolvane"), arguments);
    }

    /// Runs a copy to its end; its exit code, or -1 when it crashed or did not end.
    int RunToEnd(const QStringList& arguments, const QStringList& extra = {}) const
    {
        QProcess process;
        Launch(process, extra, arguments);
        const bool ended = process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit;
        return ended ? process.exitCode() : -1;
    }
    /// Sends one request line and returns the answer, or an empty text when nobody answers.
    QString Request(const QString& line) const
    {
        QLocalSocket socket;
        socket.connectToServer(Socket());
        if (!socket.waitForConnected(500))
            return {};
        socket.write((line + QLatin1Char('\n')).toUtf8());
        if (!socket.waitForReadyRead(3000))
            return {};
        return QString::fromUtf8(socket.readLine()).trimmed();
    }
    /// Waits until the program answers requests (its window is up and its event loop runs).
    bool WaitUntilAnswering() const
    {
        return QTest::qWaitFor([this] { return !Request(QStringLiteral("state")).isEmpty(); }, 30000);
    }

private:
    TestSupport::TempFolder folder_;
};

/// A private PulseAudio server with a null sink, in its own runtime folder, and a recording of
/// the sink's monitor.
class PrivatePulseAudio {
public:
    explicit PrivatePulseAudio(const QString& folder) : socket_(folder + QStringLiteral("pulse/pulse/native"))
    {
        std::filesystem::create_directories((folder + QStringLiteral("pulse")).toStdString());
        std::filesystem::permissions((folder + QStringLiteral("pulse")).toStdString(), std::filesystem::perms::owner_all);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), folder + QStringLiteral("pulse"));
        environment.insert(QStringLiteral("HOME"), folder);
        for (QProcess* process : {&server_, &recorder_})
            process->setProcessEnvironment(environment);
        server_.setStandardErrorFile(folder + QStringLiteral("pulseaudio.log"));
        server_.start(QStringLiteral("pulseaudio"),
                      {"-n", "--daemonize=no", "--system=false", "--exit-idle-time=-1", "--disallow-exit",
                       "--use-pid-file=no", "--disable-shm=yes", "--log-target=stderr", "-L",
                       "module-null-sink sink_name=tolvane rate=44100 channels=2", "-L",
                       "module-native-protocol-unix auth-anonymous=1", "-L", "module-always-sink"});
        ready_ = QTest::qWaitFor([this] { return QFile::exists(socket_) && server_.state() == QProcess::Running; }, 10000);
    }
    ~PrivatePulseAudio() { End(); }
    bool Ready() const { return ready_; }
    QString Server() const { return QStringLiteral("PULSE_SERVER=unix:") + socket_; }
    bool Record(const QString& file)
    {
        recordFile_ = file;
        recorder_.setStandardOutputFile(file);
        recorder_.start(QStringLiteral("parec"), {"--server=unix:" + socket_, "--device=tolvane.monitor", "--rate=44100",
                                                  "--channels=2", "--format=s16le", "--raw", "--latency-msec=20"});
        return recorder_.waitForStarted();
    }
    /// The recording so far, as samples.
    std::vector<float> Recorded() const
    {
        const std::string bytes = TestSupport::ReadFile(recordFile_.toStdString());
        std::vector<float> samples(bytes.size() / 2);
        for (std::size_t i = 0; i < samples.size(); ++i)
            samples[i] = static_cast<float>(static_cast<std::int16_t>(static_cast<std::uint8_t>(bytes[2 * i])
                                                                      | static_cast<std::uint8_t>(bytes[2 * i + 1]) << 8))
                / 32768.0f;
        return samples;
    }
    void End()
    {
        for (QProcess* process : {&recorder_, &server_}) {
            process->terminate();
            if (!process->waitForFinished(5000))
                process->kill();
            process->waitForFinished();
        }
    }

private:
    QString socket_;
    QString recordFile_;
    QProcess server_;
    QProcess recorder_;
    bool ready_ = false;
};

} // namespace

class ProgramProcessTest : public QObject {
    Q_OBJECT

private slots:
    void SecondCopyEndsWhileTheFirstAnswers()
    {
        ProgramCopy program;
        QProcess first;
        program.Launch(first);
        QVERIFY(program.WaitUntilAnswering());
        QCOMPARE(program.Request(QStringLiteral("state")), QStringLiteral("0 120"));

        // Tempos from other processes: 4..1000 taken, others refused.
        QCOMPARE(program.Request(QStringLiteral("tempo 90")), QStringLiteral("1"));
        QCOMPARE(program.Request(QStringLiteral("tempo 1001")), QStringLiteral("0"));
        QCOMPARE(program.Request(QStringLiteral("state")), QStringLiteral("0 90"));

        QCOMPARE(program.RunToEnd({}), 0);
        QCOMPARE(first.state(), QProcess::Running);
        QVERIFY(!std::filesystem::exists(program.File("Tolvane.conf"))); // the second copy saved nothing

        // A second copy's command line goes to the first; a refused part makes it exit 1.
        QCOMPARE(program.RunToEnd({"--preset", "None such", "--tempo", "96"}), 1);
        QCOMPARE(program.Request(QStringLiteral("state")), QStringLiteral("0 96"));
        QCOMPARE(program.Request(QStringLiteral("tempo 90")), QStringLiteral("1"));

        // Told to end, the first copy closes its window the ordinary way and saves.
        first.terminate();
        QVERIFY(first.waitForFinished(30000));
        QCOMPARE(first.exitStatus(), QProcess::NormalExit);
        QCOMPARE(first.exitCode(), 0);
        const std::string saved = TestSupport::ReadFile(program.File("Tolvane.conf"));
        QVERIFY(saved.find("Bpm = 90") != std::string::npos);

    }

    void InstalledCopyFindsItsFiles()
    {
        ProgramCopy program;
        const std::string prefix = program.File("prefix/");
        const auto run = [](const QString& command, const QStringList& arguments) {
            QProcess process;
            process.setProcessChannelMode(QProcess::ForwardedChannels);
            process.start(command, arguments);
            return process.waitForFinished(120000) ? process.exitCode() : -1;
        };
        QCOMPARE(run(TOLVANE_CMAKE, {"--install", TOLVANE_BINARY_DIR, "--prefix", QString::fromStdString(prefix)}), 0);
        const std::string id = TOLVANE_APP_ID;
        const std::string layout[] = {"bin/tolvane", "share/tolvane/Lang/de.lng",
                                      "share/applications/" + id + ".desktop",
                                      "share/metainfo/" + id + ".metainfo.xml",
                                      "share/icons/hicolor/256x256/apps/" + id + ".png"};
        for (const std::string& path : layout)
            QVERIFY2(std::filesystem::is_regular_file(prefix + path), path.c_str());
        // A validator that is not installed does not start: that is install-deps' business.
        QVERIFY(run("desktop-file-validate", {QString::fromStdString(prefix + layout[2])}) <= 0);
        QVERIFY(run("appstreamcli", {"validate", "--no-net", QString::fromStdString(prefix + layout[3])}) <= 0);

        // In German the installed program must find de.lng in share/tolvane/; a language it
        // could not load would be emptied in the settings it saves. An installed copy keeps
        // its settings in the configuration folder, even where it could write beside itself.
        std::filesystem::create_directories(program.File("config/tolvane"));
        const std::string settings = program.File("config/tolvane/Tolvane.conf");
        TestSupport::WriteFile(settings, "\xEF\xBB\xBF# Metronome Configuration File\r\nLanguage = de\r\n");
        QProcess installed;
        installed.setProcessEnvironment(program.Environment({"XDG_CONFIG_HOME=" + program.Folder() + "config"}));
        installed.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        installed.start(QString::fromStdString(prefix + "bin/tolvane"), {});
        QVERIFY(program.WaitUntilAnswering());
        installed.terminate();
        QVERIFY(installed.waitForFinished(30000));
        QVERIFY(TestSupport::ReadFile(settings).find("Language = de\r\n") != std::string::npos);
        QVERIFY(!std::filesystem::exists(prefix + "bin/Tolvane.conf"));
    }

    void CommandLineAnswersWithoutAWindow()
    {
        const QStringList none, noDisplay{"QT_QPA_PLATFORM=", "DISPLAY=", "WAYLAND_DISPLAY="};
        const struct {
            QStringList arguments, environment;
            int status;
            QString out, error;
        } cases[] = {{{"--help"}, noDisplay, 0, "--tempo <bpm>", ""},
                     {{"--version"}, noDisplay, 0, "Tolvane " TOLVANE_VERSION "\n", ""},
                     {{"--bogus"}, none, 2, "", "Usage:"},
                     {{"song.mid"}, none, 2, "", "Usage:"},
                     {none, noDisplay, 1, "", "no display"},
                     {none, {"QT_QPA_PLATFORM=xcb", "DISPLAY=:4711"}, 1, "", "no display"}};
        ProgramCopy program;
        for (const auto& entry : cases) {
            QProcess process;
            process.setProcessEnvironment(program.Environment(entry.environment));
            process.start(program.Folder() + QStringLiteral("tolvane"), entry.arguments);
            QVERIFY(process.waitForFinished(30000));
            QCOMPARE(process.exitStatus(), QProcess::NormalExit); // never an abort
            QCOMPARE(process.exitCode(), entry.status);
            const QString printed = QString::fromLocal8Bit(process.readAllStandardOutput());
            const QString complaint = QString::fromLocal8Bit(process.readAllStandardError());
            QVERIFY2(entry.out.isEmpty() ? printed.isEmpty() : printed.contains(entry.out), qPrintable(printed));
            QVERIFY2(entry.error.isEmpty() ? complaint.isEmpty() : complaint.contains(entry.error),
                     qPrintable(complaint));
            if (entry.status == 1)
                QCOMPARE(complaint.count(QLatin1Char('\n')), 1); // one line
            QVERIFY(!std::filesystem::exists(program.File("Tolvane.conf")));
        }
    }

    void StartRequestsAndTheCommandLinePlayClicks()
    {
        ProgramCopy program;
        PrivatePulseAudio pulse(program.Folder());
        if (!pulse.Ready())
            QSKIP(TestSupport::ReadFile(program.File("pulseaudio.log")).c_str());
        const QStringList audio = {QStringLiteral("HOME=") + program.Folder(), pulse.Server()};
        QVERIFY(pulse.Record(program.Folder() + QStringLiteral("monitor.raw")));
        QProcess tolvane;
        program.Launch(tolvane, audio, {"--tempo", "150"});
        QVERIFY(program.WaitUntilAnswering());
        QCOMPARE(program.Request(QStringLiteral("startstop")), QStringLiteral("1"));
        QCOMPARE(program.Request(QStringLiteral("state")), QStringLiteral("1 150"));
        // Asked this soon after launch, the start may wait for the sounds being prepared; it
        // plays once they are.
        QVERIFY(QTest::qWaitFor([&] { return AudioTest::Onsets(pulse.Recorded(), 8000, 0.01f).size() > 7; }, 60000));
        QCOMPARE(program.Request(QStringLiteral("startstop")), QStringLiteral("1"));
        QCOMPARE(program.Request(QStringLiteral("state")), QStringLiteral("0 150"));

        // "tolvane --start" from a terminal starts the running copy playing.
        QCOMPARE(program.RunToEnd({"--start"}, audio), 0);
        QCOMPARE(program.Request(QStringLiteral("state")), QStringLiteral("1 150"));
        tolvane.terminate();
        QVERIFY(tolvane.waitForFinished(30000));
        QCOMPARE(tolvane.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(ProgramProcessTest)
#include "ProgramProcessTest.moc"
