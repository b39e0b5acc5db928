#pragma once
#include "Configuration/ConfigurationData.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QLocalServer;
class QLocalSocket;
class QTimer;

namespace GUI {

/// Keeps the program to one copy per user, and lets other processes of the same user talk to
/// the running copy, through a local socket named "InstanceMap-<user id>" in a folder only
/// the user can write: $XDG_RUNTIME_DIR when it is private, else "tolvane-<user id>" (mode
/// 0700) in the temporary folder. Without such a folder the program runs unguarded (logged).
///
/// Requests are text lines of at most LongestRequest bytes: a word naming the request, then
/// its arguments after a space. Each gets a one-line answer; an unknown request, a refused
/// one or a longer line (none of which is run) is answered "0". The owner of the object adds
/// the requests it serves (AddRequest; the main window serves "query", "tempo N", "preset
/// NAME", "start", "song", "setlist" and, for tests, "startstop", "command N" and "state"); AskRunningCopy sends
/// "query". Requests marked TestsOnly exist only with the environment
/// variable TOLVANE_TEST_COMMANDS=1, and are answered "0" without running while a modal
/// window is open or another request is being answered, so they can never stack windows.
///
/// Neither side trusts the other blindly: a copy asking trusts a listener only when it runs
/// as the same user (its peer credentials), and the listener closes connections from other
/// users unanswered. The listener keeps at most Limits::connections connections (more are
/// closed at once), closes a connection that sends no complete request for Limits::idleMs,
/// stops reading from a connection while more than Limits::answerBytes of its answers wait
/// unread, and listens again (logged) whenever its socket was closed or removed.
/// GUI thread only.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    /// Longest request line, line end excluded: a song's ("song", its scale and label, the
    /// longest path), every code unit as three bytes of UTF-8.
    static constexpr qint64 LongestRequest = 16 + 3 * (Configuration::NameCapacity + Configuration::PathCapacity);

    struct Limits {
        int connections = 8;
        int idleMs = 5000;
        qint64 answerBytes = 4096;
        int watchMs = 2000; ///< how often the listening socket is checked
    };

    enum class Access { Everyone, TestsOnly };
    /// Answers one request, given the text after the request's word (trimmed).
    using Handler = std::function<QString(const QString& arguments)>;

    /// name empty: the program's own socket (DefaultName()).
    explicit SingleInstance(QString name = {}, QObject* parent = nullptr);
    ~SingleInstance() override;

    /// The socket's full path; empty when no private folder exists for it.
    const QString& Name() const { return name_; }

    /// Serves requests starting with word (one word, no spaces); a later call for the same
    /// word replaces the handler.
    void AddRequest(const QString& word, Handler handler, Access access = Access::Everyone);
    /// Before Listen; for tests.
    void SetLimits(const Limits& limits) { limits_ = limits; }

    /// True when another copy of this user answers on the socket; that copy has then been
    /// asked to come to the front. Waits at most about three seconds.
    bool AskRunningCopy();
    /// Sends request lines to the running copy, after a "query" that brings it to the front,
    /// and returns its answers to them (an empty answer for one that got none within 15
    /// seconds). nullopt when no copy of this user answers on the socket.
    std::optional<QStringList> SendToRunningCopy(const QStringList& requests);
    /// Starts answering requests. False when the socket cannot be made (logged; the program
    /// then runs without the single-instance guard).
    bool Listen();

    /// Handles one request line and returns its answer (also used by tests).
    QString Answer(const QString& request);

    /// Connections open now, for tests.
    int Connections() const { return static_cast<int>(connections_.size()); }

    /// The program's socket path for the current user; empty (logged) without a private
    /// folder.
    static QString DefaultName();

private:
    struct Entry {
        Handler handler;
        Access access = Access::Everyone;
    };
    struct Connection {
        QTimer* idle = nullptr;
        bool answering = false;
    };

    bool StartListening();
    void WatchListener();
    void OnNewConnection();
    void Serve(QLocalSocket* socket);

    QString name_;
    QLocalServer* server_ = nullptr;
    QTimer* watch_ = nullptr;
    Limits limits_;
    QHash<QString, Entry> requests_;
    QHash<QLocalSocket*, Connection> connections_;
    int answering_ = 0; // requests being answered now (more than one through nested event loops)
    bool testCommands_ = false;
};

} // namespace GUI
