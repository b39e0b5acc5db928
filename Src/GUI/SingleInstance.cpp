#include "GUI/SingleInstance.h"

#include "Configuration/ConfigurationData.h"
#include "System/Log.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

#include <sys/socket.h>
#include <unistd.h>

namespace GUI {

namespace {

constexpr int ConnectTimeoutMs = 1000;
constexpr int AnswerTimeoutMs = 2000;
// A request may start the metronome, which loads the synthesizer first: its answer may take
// longer than the query's.
constexpr int RequestAnswerTimeoutMs = 15000;
// "preset " and the longest preset name, every code unit as three bytes of UTF-8.
constexpr qint64 LongestRequest = 7 + 3 * Configuration::NameCapacity;

bool SameUser(const QLocalSocket* socket)
{
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (getsockopt(static_cast<int>(socket->socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0)
        return false;
    return credentials.uid == getuid();
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
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || !QDir::isAbsolutePath(folder) || !QFileInfo(folder).isDir())
        folder = QDir::tempPath();
    return folder + QStringLiteral("/InstanceMap-") + QString::number(getuid());
}

bool SingleInstance::AskRunningCopy()
{
    return SendToRunningCopy({}).has_value();
}

std::optional<QStringList> SingleInstance::SendToRunningCopy(const QStringList& requests)
{
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(ConnectTimeoutMs))
        return std::nullopt;
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
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::OnNewConnection);
    if (server_->listen(name_))
        return true;
    if (server_->serverError() == QAbstractSocket::AddressInUseError) {
        // A socket file left behind by a copy that did not end normally: nobody answers on
        // it (AskRunningCopy has just found that), so it can go.
        QLocalServer::removeServer(name_);
        if (server_->listen(name_))
            return true;
    }
    System::Log().Write(System::Warn, "Unable to listen on the instance socket %s: %s", qPrintable(name_),
                        qPrintable(server_->errorString()));
    return false;
}

void SingleInstance::OnNewConnection()
{
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (!SameUser(socket)) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { OnReadyRead(socket); });
        if (socket->canReadLine())
            OnReadyRead(socket);
    }
}

void SingleInstance::OnReadyRead(QLocalSocket* socket)
{
    while (socket->canReadLine()) {
        const QString request = QString::fromUtf8(socket->readLine(LongestRequest + 1)).trimmed();
        socket->write((Answer(request) + QLatin1Char('\n')).toUtf8());
        socket->flush(); // out before a client that has closed its side makes us close ours
    }
    if (socket->bytesAvailable() > LongestRequest)
        socket->abort(); // a line this long is no request of ours
}

QString SingleInstance::Answer(const QString& request)
{
    if (request == QLatin1String("query")) {
        emit ActivateRequested();
        return QStringLiteral("2");
    }
    if (request.startsWith(QLatin1String("tempo "))) {
        bool number = false;
        const int tempo = request.mid(6).trimmed().toInt(&number);
        bool accepted = false;
        if (number)
            emit TempoRequested(tempo, &accepted);
        return accepted ? QStringLiteral("1") : QStringLiteral("0");
    }
    if (request.startsWith(QLatin1String("preset "))) {
        bool accepted = false;
        emit PresetRequested(request.mid(7), &accepted);
        return accepted ? QStringLiteral("1") : QStringLiteral("0");
    }
    if (request == QLatin1String("start")) {
        bool accepted = false;
        emit StartRequested(&accepted);
        return accepted ? QStringLiteral("1") : QStringLiteral("0");
    }
    if (testCommands_ && request == QLatin1String("startstop")) {
        emit StartStopRequested();
        return QStringLiteral("1");
    }
    if (testCommands_ && request == QLatin1String("state")) {
        QString state;
        emit StateRequested(&state);
        return state;
    }
    return QStringLiteral("0");
}

} // namespace GUI
