#pragma once
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

class QLocalServer;
class QLocalSocket;

namespace GUI {

/// Keeps the program to one copy per user, and lets other processes of the same user talk to
/// the running copy, through a local socket named "InstanceMap-<user id>" in the user's
/// runtime folder ($XDG_RUNTIME_DIR, else the temporary folder).
///
/// Requests are single text lines; each gets a one-line answer:
///   "query"       the running copy comes to the front; answer "2"
///   "tempo N"     set the tempo to N bpm (4..1000; see ApplicationWindow::SetTempoRequest);
///                 answer "1" when taken, "0" when refused
///   "preset NAME" load the preset NAME (a playing metronome stops first); answer "1" when
///                 loaded, "0" when there is no such preset
///   "start"       start playing unless playing already; answer "1" when playing, "0" when
///                 the start was refused
/// With the environment variable TOLVANE_TEST_COMMANDS=1 set for the running copy, two more
/// requests exist for automated tests:
///   "startstop"   the Start/Stop command; answer "1"
///   "state"       answer "<running 0|1> <Bpm>"
/// Anything else is answered "0". Connections from another user are closed unanswered.
/// GUI thread only.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    /// name empty: the program's own socket.
    explicit SingleInstance(QString name = {}, QObject* parent = nullptr);
    ~SingleInstance() override;

    /// The socket's full path.
    const QString& Name() const { return name_; }

    /// True when another copy answers on the socket; that copy has then been asked to come
    /// to the front. Waits at most about three seconds.
    bool AskRunningCopy();
    /// Sends request lines to the running copy, after a "query" that brings it to the front,
    /// and returns its answers to them (an empty answer for one that got none within 15
    /// seconds).
    /// nullopt when no copy answers on the socket.
    std::optional<QStringList> SendToRunningCopy(const QStringList& requests);
    /// Starts answering requests. False when the socket cannot be made (the program then runs
    /// without the single-instance guard).
    bool Listen();

    /// Handles one request line and returns its answer (also used by tests).
    QString Answer(const QString& request);

    /// The program's socket path for the current user.
    static QString DefaultName();

signals:
    void ActivateRequested();
    /// Set the tempo; *accepted tells the socket's answer (true when it is left unchanged).
    void TempoRequested(int tempo, bool* accepted);
    /// Load a preset; *accepted tells the socket's answer (true when it is left unchanged).
    void PresetRequested(const QString& name, bool* accepted);
    /// Start playing; *accepted tells the socket's answer (true when it is left unchanged).
    void StartRequested(bool* accepted);
    void StartStopRequested();
    /// Fill in the state answer for tests.
    void StateRequested(QString* state);

private:
    void OnNewConnection();
    void OnReadyRead(QLocalSocket* socket);

    QString name_;
    QLocalServer* server_ = nullptr;
    bool testCommands_ = false;
};

} // namespace GUI
