// The instance socket under hostile clients: a listener of another user, a flood of idle
// connections, a client that never reads its answers, a removed socket file, and test requests
// that would stack modal windows. Clients run on their own threads with plain sockets, so
// the listener's event loop keeps running while they wait.
#include "GUI/SingleInstance.h"

#include "TestSupport.h"

#include <QtTest>

#include <QCoreApplication>
#include <QEventLoop>
#include <QLocalSocket>

#include <future>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

int Connect(const std::string& path)
{
    const int descriptor = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    if (connect(descriptor, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        close(descriptor);
        return -1;
    }
    return descriptor;
}

/// One request on a connection of its own; the answer without its line end, "" for none.
std::string Ask(const std::string& path, const std::string& line)
{
    const int descriptor = Connect(path);
    if (descriptor < 0)
        return {};
    // A listener that has already answered and closed (the fake one below) gives EPIPE here,
    // not SIGPIPE, and its answer is still there to read.
    [[maybe_unused]] const auto sent = send(descriptor, (line + "\n").data(), line.size() + 1, MSG_NOSIGNAL);
    std::string answer;
    char c = 0;
    pollfd wait{descriptor, POLLIN, 0};
    while (poll(&wait, 1, 20000) == 1 && read(descriptor, &c, 1) == 1 && c != '\n')
        answer += c;
    close(descriptor);
    return answer;
}

/// True when the other end has closed the connection (within a generous time).
bool ClosedByPeer(int descriptor)
{
    char c = 0;
    pollfd wait{descriptor, POLLIN, 0};
    return poll(&wait, 1, 20000) == 1 && read(descriptor, &c, 1) <= 0;
}

/// Runs work on its own thread while this thread's event loop serves the listener.
template <typename Work>
auto Served(Work work)
{
    auto result = std::async(std::launch::async, work);
    while (result.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return result.get();
}

struct Listener {
    Listener(GUI::SingleInstance::Limits limits = {})
        : path(folder / "InstanceMap"), instance(QString::fromStdString(path))
    {
        instance.SetLimits(limits);
        instance.AddRequest(QStringLiteral("ping"), [](const QString& arguments) { return arguments; });
    }
    std::string Ask(const std::string& line) { return Served([&] { return ::Ask(path, line); }); }
    TestSupport::TempFolder folder;
    std::string path;
    GUI::SingleInstance instance;
};

} // namespace

class SingleInstanceTest : public QObject {
    Q_OBJECT

private slots:
    void ListenerOfAnotherUserIsNotAskedButReplaced()
    {
        if (geteuid() != 0)
            QSKIP("a listener of another user needs root to make");
        Listener listener;
        // Another user's program listening at the name and answering as a copy would.
        const pid_t child = fork();
        if (child == 0) {
            const int server = socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            listener.path.copy(address.sun_path, sizeof address.sun_path - 1);
            if (bind(server, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0
                || setresuid(65534, 65534, 65534) != 0 || listen(server, 8) != 0)
                _exit(1);
            for (;;) {
                const int client = accept(server, nullptr, nullptr);
                if (write(client, "2\n", 2) < 0) {}
                close(client);
            }
        }
        // The socket file appears at bind, before the child listens: ask until it answers.
        QTRY_COMPARE_WITH_TIMEOUT(Ask(listener.path, "x"), std::string("2"), 20000);

        TestSupport::ScopedLog log;
        QVERIFY(!listener.instance.AskRunningCopy());
        QVERIFY(log.Has("is held by user 65534"));
        QVERIFY(listener.instance.Listen());
        QCOMPARE(listener.Ask("ping mine"), std::string("mine"));
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }

    // Each hostile client is dealt with, and the listener answers the next request.
    void HostileClientsLeaveTheListenerAnswering()
    {
        const struct {
            const char* name;
            GUI::SingleInstance::Limits limits;
            std::function<bool(Listener&)> attack; // true when dealt with
            const char* logged = "";
        } cases[] = {
            // 40 connections that never send a line: at most four are kept, the rest closed at
            // once, and the four go after the idle time.
            {"idle flood", {4, 300, 256, 2000}, [](Listener& listener) {
                 int most = 0;
                 QTimer watch;
                 QObject::connect(&watch, &QTimer::timeout, [&] { most = std::max(most, listener.instance.Connections()); });
                 watch.start(1);
                 return Served([&] {
                     std::vector<int> descriptors;
                     for (int i = 0; i < 40; ++i)
                         descriptors.push_back(Connect(listener.path));
                     int closed = 0;
                     for (const int descriptor : descriptors) {
                         closed += descriptor >= 0 && ClosedByPeer(descriptor);
                         close(descriptor);
                     }
                     return closed;
                 }) == 40 && most <= 4;
             }},
            // Requests written without reading the answers: once the answers waiting are
            // bounded, the writes block long before 64 MiB have gone out.
            {"unread answers", {4, 60000, 256, 2000}, [](Listener& listener) {
                 return Served([&] {
                     const int descriptor = Connect(listener.path);
                     const std::string requests(64 * 1024, '\n');
                     std::size_t written = 0;
                     pollfd wait{descriptor, POLLOUT, 0};
                     while (written < 64u << 20 && poll(&wait, 1, 3000) == 1) {
                         const ssize_t count = send(descriptor, requests.data(), requests.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
                         written += count > 0 ? static_cast<std::size_t>(count) : 0;
                     }
                     close(descriptor);
                     return written;
                 }) < 16u << 20;
             }},
            // A line longer than any request is refused whole; its tail is no request either.
            {"overlong line", {4, 5000, 4096, 2000}, [](Listener& listener) {
                 return listener.Ask(std::string(GUI::SingleInstance::LongestRequest + 1, 'x') + "ping tail") == "0";
             }},
            {"socket file removed", {4, 5000, 4096, 50}, [](Listener& listener) {
                 return QFile::remove(QString::fromStdString(listener.path))
                        && QTest::qWaitFor([&] { return QFileInfo::exists(QString::fromStdString(listener.path)); });
             }, "was lost; listening on it again"},
        };
        for (const auto& entry : cases) {
            Listener listener(entry.limits);
            QVERIFY(listener.instance.Listen());
            TestSupport::ScopedLog log;
            QVERIFY2(entry.attack(listener), entry.name);
            QCOMPARE(listener.Ask(std::string("ping ") + entry.name), std::string(entry.name));
            QVERIFY2(log.Has(entry.logged), entry.name);
        }
    }

    void TestRequestsNeverNest()
    {
        qputenv("TOLVANE_TEST_COMMANDS", "1");
        Listener listener;
        qunsetenv("TOLVANE_TEST_COMMANDS");
        // "box" stands for a request whose handler shows a modal message box: while it is
        // open, the event loop runs inside the handler, and more requests arrive.
        int depth = 0;
        int deepest = 0;
        std::vector<std::string> more;
        listener.instance.AddRequest(
            QStringLiteral("box"),
            [&](const QString&) {
                deepest = std::max(deepest, ++depth);
                if (depth == 1) {
                    for (const char* request : {"box", "box", "ping still answered"})
                        more.push_back(listener.Ask(request));
                }
                --depth;
                return QStringLiteral("1");
            },
            GUI::SingleInstance::Access::TestsOnly);
        QVERIFY(listener.instance.Listen());

        QCOMPARE(listener.Ask("box"), std::string("1"));
        QCOMPARE(deepest, 1);
        QCOMPARE(more, (std::vector<std::string>{"0", "0", "still answered"}));
    }
};

QTEST_MAIN(SingleInstanceTest)
#include "SingleInstanceTest.moc"
