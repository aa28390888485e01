// One helper serves every client of the user: clients that come and go in
// either order or are killed outright, helpers started at the same instant,
// a flood of connections that never finish a word, and one process that
// holds many.
#include "command_channel.h"
#include "command_framing.h"
#include "process_support.h"
#include "test_support.h"

#include <QDir>
#include <QElapsedTimer>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

sockaddr_un addressOf(const QString &path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    qstrncpy(address.sun_path, QFile::encodeName(path).constData(), sizeof address.sun_path);
    return address;
}

// A connection that sends `bytes`, or -1; never waits, not even on a full
// backlog. System calls only, for a forked child.
int connectAndSend(const sockaddr_un &address, const QByteArray &bytes, int fd = -1)
{
    fd = fd < 0 ? ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0) : fd;
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0
        || ::send(fd, bytes.constData(), std::size_t(bytes.size()), MSG_NOSIGNAL) != bytes.size()) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// `count` such connections on sockets of ours, connected by a child process
// that then ends: to the helper they are that child's, as the peer of a
// socket is who connected it. Those refused are left out.
std::vector<int> connectFromChild(const sockaddr_un &address, const QByteArray &bytes, int count)
{
    std::vector<int> fds(static_cast<std::size_t>(count)), connected;
    for (int &fd : fds)
        fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const pid_t child = ::fork();
    if (child == 0) {
        for (const int fd : fds)
            connectAndSend(address, bytes, fd);
        ::_exit(0);
    }
    ::waitpid(child, nullptr, 0);
    for (const int fd : fds) {
        sockaddr_un peer{};
        socklen_t size = sizeof peer;
        if (::getpeername(fd, reinterpret_cast<sockaddr *>(&peer), &size) == 0)
            connected.push_back(fd);
        else
            ::close(fd);
    }
    return connected;
}

bool closedByPeer(int fd)
{
    char byte;
    return ::recv(fd, &byte, 1, MSG_DONTWAIT) == 0;
}

}  // namespace

class TestSessions : public QObject
{
    Q_OBJECT

private:
    ClientRig m_rig;

    void reportPeak(const char *run, qint64 pid)
    {
        qInfo("%s: helper peak resident memory %lld KiB", run, qint64(probe::peakResidentKiB(pid_t(pid))));
    }

private slots:
    // Only the copy in this test's own folder: the helpers started from the
    // build may be other tests', running beside this one.
    void initTestCase() { QVERIFY(m_rig.settingsWritten); }
    void cleanup() { QVERIFY(m_rig.endHelper()); }

    // Two clients at once share one helper, and the light shows the higher
    // of their states; the first to end leaves the light to the other, also
    // when it had turned the lights off (each toggle its own: the control
    // window's two-client rows). The last ends it on the shutdown profile,
    // also when it is killed (the helper then ends within a second).
    void twoClientsShareOneHelper_data()
    {
        // clang-format off
        columns<int, bool>({"firstToEnd", "lastKilled"});
        QTest::newRow("first ends first, last shuts down") << 0 << false;
        QTest::newRow("second ends first, last killed") << 1 << true;
        // clang-format on
    }
    void twoClientsShareOneHelper()
    {
        QFETCH(int, firstToEnd);
        QFETCH(bool, lastKilled);
        std::unique_ptr<Child> service, clients[2];
        QVERIFY(m_rig.startChain(service, clients[0]));
        clients[1] = m_rig.startClient();
        QVERIFY(clients[1]);
        const qint64 helper = runningPid(m_rig.helperCopy());

        play(*clients[0], {"talk own 1"});
        QVERIFY(service->waitForLast(kSpeaking, 2000));
        play(*clients[1], {"talk 7 1", "talk own 1", "talk own 0", "talk 7 0"});  // lower than speaking, or the same
        QTest::qWait(200);
        QCOMPARE(service->commands().last(), kSpeaking);
        QCOMPARE(runningPids(m_rig.helperCopy()).size(), 1);

        Child &leaving = *clients[firstToEnd];
        Child &staying = *clients[1 - firstToEnd];
        play(staying, {"talk own 0"});
        play(leaving, {"hotkey vossik_toggle_lights"});
        QVERIFY(service->waitForLast(kShutdown, 2000));
        const int lightsOff = service->commands().size() - 1;
        play(leaving, {"shutdown"});
        QVERIFY(leaving.finished());
        QVERIFY(service->waitForLast(kSilent, 2000));  // the other's state, at once
        QCOMPARE(service->commands().mid(lightsOff), (QStringList{kShutdown, kSilent}));
        QCOMPARE(runningPids(m_rig.helperCopy()).size(), 1);
        reportPeak(QTest::currentDataTag(), helper);

        QElapsedTimer ending;
        ending.start();
        if (lastKilled)
            staying.process().kill();
        else
            play(staying, {"shutdown"});
        QVERIFY(service->waitForLast(kShutdown, 3000));
        QVERIFY(QTest::qWaitFor([&] { return runningPid(m_rig.helperCopy()) == 0; }, 3000));
        qInfo("from the last client's end to the helper's: %lld ms", ending.elapsed());
        if (lastKilled)
            QVERIFY2(ending.elapsed() < (kSanitized ? 2000 : 1000), qPrintable(QString::number(ending.elapsed())));
    }

    // However close together two helpers start, exactly one serves; the
    // other waits, touching nothing. Asked to end (SIGTERM), the one that
    // serves shows the shutdown profile and both go; the waiter never takes
    // over on its way out, however late its event loop sees the request.
    void helpersStartedTogether()
    {
        const int rounds = 10, pairs = 5;
        qint64 peak = 0;
        const auto serves = [](Child *h) { return h->errors().contains(QStringLiteral("Command server listening")); };
        const auto decided = [&](Child *h) {
            return serves(h) || h->errors().contains(QStringLiteral("Another helper serves"));
        };
        const auto ended = [](Child *h) { return h->finished() && h->process().exitCode() == 0; };
        const QString shutdown = QStringLiteral("----->SHUTDOWN<-----");
        for (int round = 0; round < rounds; ++round) {
            std::vector<std::unique_ptr<ProcessRig>> rigs;  // a runtime folder for each pair
            std::vector<std::unique_ptr<Child>> helpers;
            for (int pair = 0; pair < pairs; ++pair) {
                rigs.push_back(std::make_unique<ProcessRig>());
                for (int i = 0; i < 2; ++i)  // both started before either is waited for
                    helpers.push_back(
                        std::make_unique<Child>(HELPER_PATH, QStringList{m_rig.configDir}, rigs.back()->env));
            }
            for (auto &h : helpers)
                QVERIFY(h->started() && QTest::qWaitFor([&] { return decided(h.get()); }, 5000));
            for (auto &helper : helpers)
                peak = qMax(peak, qint64(probe::peakResidentKiB(pid_t(helper->process().processId()))));
            std::vector<Child *> waiters, servers;
            for (int pair = 0; pair < pairs; ++pair) {
                Child *first = helpers[2 * pair].get(), *second = helpers[2 * pair + 1].get();
                QCOMPARE(int(serves(first)) + int(serves(second)), 1);
                servers.push_back(serves(first) ? first : second);
                waiters.push_back(serves(first) ? second : first);
            }
            // Each waiter is asked first but held still until its name has
            // been free for longer than a take-over poll, so its event loop
            // sees the request as late as it can.
            for (Child *waiter : waiters) {
                ::kill(pid_t(waiter->process().processId()), SIGSTOP);
                waiter->process().terminate();
            }
            for (Child *server : servers)
                server->process().terminate();
            for (Child *server : servers)
                QVERIFY(ended(server) && server->errors().contains(shutdown));
            QTest::qWait(300);
            for (Child *waiter : waiters)
                ::kill(pid_t(waiter->process().processId()), SIGCONT);
            for (Child *waiter : waiters)
                QVERIFY(ended(waiter) && !serves(waiter) && !waiter->errors().contains(shutdown));
        }
        qInfo("%d pairs, one helper serving in each; peak resident memory %lld KiB at most", rounds * pairs, peak);
    }

    // Connections that each hold part of a word, four from each process:
    // against a helper with 1,024 descriptors, 1,100 of them fill its 32
    // places; against one with too few descriptors for 32, they make its
    // server fail to accept. And one process that speaks on 40 connections
    // of its own, one after the other, which would fill the places with
    // connections that cannot be replaced: only its newest 8 stay. Either
    // way a real client still gets through, connections that never finish
    // a word are closed after 5 s, the fault is logged once, and afterwards
    // the helper serves as before.
    void aFloodOfConnections_data()
    {
        // clang-format off
        // perProcess 0: every connection is this process's, each says "stop"
        columns<int, int, int, int, QString>({"descriptors", "connections", "perProcess", "clientAfter", "logged"});
        QTest::newRow("1,024 descriptors") << 1024 << 1100 << 4 << 550 << "Command connections full";
        QTest::newRow("too few descriptors") << 30 << 200 << 4 << 100 << "Command server stopped listening";
        QTest::newRow("one process on 40") << 1024 << 40 << 0 << 40
                                           << QStringLiteral("holds %1 command connections")
                                                  .arg(CommandChannel::kMaxConnectionsPerClient);
        // clang-format on
    }
    void aFloodOfConnections()
    {
        QFETCH(int, descriptors);
        QFETCH(int, connections);
        QFETCH(int, perProcess);
        QFETCH(int, clientAfter);
        QFETCH(QString, logged);
        rlimit limit{};
        QVERIFY(::getrlimit(RLIMIT_NOFILE, &limit) == 0);
        if (limit.rlim_max < rlim_t(connections) + 100)
            QSKIP("this process may not open enough descriptors for the flood");
        limit.rlim_cur = limit.rlim_max;
        QVERIFY(::setrlimit(RLIMIT_NOFILE, &limit) == 0);
        std::unique_ptr<Child> service = m_rig.startService();
        QVERIFY(service);
        Child helper(QStringLiteral("prlimit"),
                     {QStringLiteral("--nofile=%1:%1").arg(descriptors), QStringLiteral(HELPER_PATH), m_rig.configDir},
                     m_rig.env);
        QVERIFY(helper.started() && m_rig.waitForServer(true, 5000));

        const sockaddr_un address = addressOf(m_rig.serverPath());
        const bool ours = perProcess == 0;
        const QByteArray bytes =
            ours ? framing::encodeFrame(QStringLiteral("stop")) : framing::encodeFrame(QStringLiteral("start")).left(7);
        std::vector<int> flood;
        std::unique_ptr<Child> client;
        QElapsedTimer storm;
        storm.start();
        for (int i = 0; i < connections; i += ours ? 1 : perProcess) {
            if (ours) {
                // Each spoken, so none of them may simply be replaced.
                const int shown = service->commands().size();
                flood.push_back(connectAndSend(address, bytes));
                QVERIFY(flood.back() >= 0 && service->waitForCommands(shown + 1));
            } else {
                for (const int fd : connectFromChild(address, bytes, perProcess))  // none while the server is closed
                    flood.push_back(fd);
            }
            if (i + 1 >= clientAfter && !client) {
                client = m_rig.startBareClient();
                QVERIFY(client && service->waitForCommands(1, 10000));
                play(*client, {"talk own 1"});
            }
        }
        qInfo("%d connections, %d of them taken, in %lld ms", connections, int(flood.size()), storm.elapsed());
        QVERIFY(!flood.empty());
        play(*client, {"talk own 0"});
        // A connection the failing server had queued is lost, and the state
        // said again on the next: the same light.
        QVERIFY(service->waitForLast(kSilent, 3000));
        QStringList shown;
        for (const QString &command : service->commands()) {
            if (shown.isEmpty() || shown.last() != command)
                shown << command;
        }
        QCOMPARE(shown, (QStringList{kSilent, kSpeaking, kSilent}));
        if (ours) {
            const int kept = CommandChannel::kMaxConnectionsPerClient;
            for (int i = 0; i < connections; ++i)
                QCOMPARE(closedByPeer(flood[i]), i < connections - kept);
            const QByteArray shutdown = framing::encodeFrame(QStringLiteral("shutdown"));
            QCOMPARE(::send(flood.back(), shutdown.constData(), std::size_t(shutdown.size()), MSG_NOSIGNAL),
                     ssize_t(shutdown.size()));
        } else {
            QVERIFY(QTest::qWaitFor([&] { return closedByPeer(flood.back()); }, 8000));
        }
        for (const int fd : flood)
            ::close(fd);
        QCOMPARE(helper.errors().count(logged), 1);

        play(*client, {"talk own 1"});
        QVERIFY(service->waitForLast(kSpeaking, 3000));
        QVERIFY(m_rig.waitForServer(true, 3000));
        reportPeak(QTest::currentDataTag(), helper.process().processId());
        play(*client, {"shutdown"});
        QVERIFY(service->waitForLast(kShutdown, 3000));
        QVERIFY(helper.finished());
        QCOMPARE(helper.process().exitCode(), 0);
    }
};

QTEST_MAIN(TestSessions)
#include "tst_sessions.moc"
