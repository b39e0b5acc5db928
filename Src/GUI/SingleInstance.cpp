#include "GUI/SingleInstance.h"

#include "Platform/PrivateFolder.h"
#include "System/Log.h"

#include <QApplication>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>

#include <sys/socket.h>
#include <unistd.h>

namespace GUI {

namespace {

constexpr int ConnectTimeoutMs = 1000;
constexpr int AnswerTimeoutMs = 2000;
// A request may start the metronome, which loads the synthesizer first: its answer may take
// longer than the query's.
constexpr int RequestAnswerTimeoutMs = 15000;

/// The user the other end of socket runs as; for the asking side that is the listener's
/// user when it started listening. False when the system cannot tell.
bool PeerUser(const QLocalSocket& socket, uid_t& user)
{
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (getsockopt(static_cast<int>(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0)
        return false;
    user = credentials.uid;
    return true;
}

bool SameUser(const QLocalSocket& socket)
{
    uid_t user = 0;
    return PeerUser(socket, user) && user == geteuid();
}

} // namespace

SingleInstance::SingleInstance(QString name, QObject* parent)
    : QObject(parent), name_(name.isEmpty() ? DefaultName() : std::move(name)),
      testCommands_(qEnvironmentVariable("TOLVANE_TEST_COMMANDS") == QLatin1String("1"))
{
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::DefaultName()
{
    std::string problem;
    const std::string folder = Platform::RuntimeFolder(problem);
    if (folder.empty()) {
        System::Log().Write(System::Warn,
                            "No private folder for the instance socket (%s); running without the single-instance guard",
                            problem.c_str());
        return {};
    }
    return QString::fromStdString(folder) + QStringLiteral("InstanceMap-") + QString::number(geteuid());
}

void SingleInstance::AddRequest(const QString& word, Handler handler, Access access)
{
    requests_.insert(word, Entry{std::move(handler), access});
}

bool SingleInstance::AskRunningCopy()
{
    return SendToRunningCopy({}).has_value();
}

std::optional<QStringList> SingleInstance::SendToRunningCopy(const QStringList& requests)
{
    if (name_.isEmpty())
        return std::nullopt;
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(ConnectTimeoutMs))
        return std::nullopt;
    uid_t user = 0;
    if (!PeerUser(socket, user) || user != geteuid()) {
        // Not ours: it gets no request, and Listen replaces the socket file.
        System::Log().Write(System::Warn, "The instance socket %s is held by user %u, not by this user; ignoring it",
                            qPrintable(name_), static_cast<unsigned>(user));
        return std::nullopt;
    }
    QByteArray lines("query\n");
    for (const QString& request : requests)
        lines += request.toUtf8() + '\n';
    socket.write(lines);
    socket.waitForBytesWritten(AnswerTimeoutMs);
    // The running copy owns the socket whether it answers or not; its first answer only
    // confirms the query.
    QStringList answers;
    for (qsizetype expected = requests.size() + 1; expected > 0; --expected) {
        const int timeout = answers.isEmpty() ? AnswerTimeoutMs : RequestAnswerTimeoutMs;
        while (!socket.canReadLine() && socket.waitForReadyRead(timeout)) {
        }
        answers << (socket.canReadLine() ? QString::fromUtf8(socket.readLine()).trimmed() : QString());
    }
    socket.disconnectFromServer();
    answers.removeFirst();
    return answers;
}

bool SingleInstance::Listen()
{
    if (name_.isEmpty())
        return false;
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::OnNewConnection);
    watch_ = new QTimer(this);
    connect(watch_, &QTimer::timeout, this, &SingleInstance::WatchListener);
    watch_->start(limits_.watchMs);
    if (StartListening())
        return true;
    System::Log().Write(System::Warn, "Unable to listen on the instance socket %s: %s", qPrintable(name_),
                        qPrintable(server_->errorString()));
    return false;
}

bool SingleInstance::StartListening()
{
    if (server_->listen(name_))
        return true;
    if (server_->serverError() != QAbstractSocket::AddressInUseError)
        return false;
    // A socket file left behind by a copy that did not end normally, or one held by another
    // user: nobody of ours answers on it (AskRunningCopy has just found that), and the folder
    // is the user's own, so it can go.
    QLocalServer::removeServer(name_);
    return server_->listen(name_);
}

void SingleInstance::WatchListener()
{
    // The server closes itself when accepting fails (no descriptors left, for one), and
    // removes its socket file then; someone may also remove the file. Either way another copy
    // would no longer find this one.
    if (server_->isListening() && QFileInfo::exists(name_))
        return;
    server_->close();
    if (StartListening())
        System::Log().Write(System::Warn, "The instance socket %s was lost; listening on it again", qPrintable(name_));
}

void SingleInstance::OnNewConnection()
{
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        if (connections_.size() >= limits_.connections || !SameUser(*socket)) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        // Qt reads no further than this ahead, so a client that never stops writing is held
        // back by the system, and one that writes no line end is found out at once.
        socket->setReadBufferSize(4 * (LongestRequest + 2));
        auto* idle = new QTimer(socket);
        idle->setSingleShot(true);
        connect(idle, &QTimer::timeout, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        idle->start(limits_.idleMs);
        connections_.insert(socket, Connection{idle, false});
        connect(socket, &QObject::destroyed, this, [this, socket] { connections_.remove(socket); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { Serve(socket); });
        connect(socket, &QLocalSocket::bytesWritten, this, [this, socket] { Serve(socket); });
        Serve(socket);
    }
}

void SingleInstance::Serve(QLocalSocket* socket)
{
    // A request whose handler runs a nested event loop (a message box) must not see the next
    // request of the same connection answered before its own.
    const auto found = connections_.find(socket);
    if (found == connections_.end() || found->answering)
        return;
    const QPointer<QLocalSocket> alive(socket);
    while (alive && alive->bytesToWrite() <= limits_.answerBytes && alive->canReadLine()) {
        const QByteArray line = alive->readLine(LongestRequest + 2);
        // A line longer than any request is refused whole: the rest of it, up to its line end
        // (in the buffer, as canReadLine said), must not be read as a request of its own.
        bool whole = line.endsWith('\n');
        const bool overlong = !whole;
        while (!whole && alive->canReadLine())
            whole = alive->readLine(LongestRequest + 2).endsWith('\n');
        connections_[socket].answering = true;
        connections_[socket].idle->stop(); // a request being answered is no idle connection
        QString answer = overlong ? QStringLiteral("0") : Answer(QString::fromUtf8(line).trimmed());
        if (!alive)
            return; // closed while it was being answered
        connections_[socket].answering = false;
        connections_[socket].idle->start(limits_.idleMs);
        answer.replace(QLatin1Char('\n'), QLatin1Char(' '));
        alive->write((answer + QLatin1Char('\n')).toUtf8());
        alive->flush(); // out before a client that has closed its side makes us close ours
    }
    if (alive && !alive->canReadLine() && alive->bytesAvailable() > LongestRequest) {
        alive->abort(); // a line this long is no request of ours
        alive->deleteLater();
    }
}

QString SingleInstance::Answer(const QString& request)
{
    const QString word = request.section(QLatin1Char(' '), 0, 0);
    const auto found = requests_.constFind(word);
    if (found == requests_.constEnd())
        return QStringLiteral("0");
    if (found->access == Access::TestsOnly
        && (!testCommands_ || answering_ > 0 || QApplication::activeModalWidget() != nullptr))
        return QStringLiteral("0");
    const Handler handler = found->handler; // the handler may change the table
    ++answering_;
    QString answer = handler(request.mid(word.size()).trimmed());
    --answering_;
    return answer;
}

} // namespace GUI
