// The plugin's entry points and its link against a command server of the
// test's own, in this process: what goes on the wire, when, and what the
// host's threads pay for it.
#include "command_framing.h"
#include "command_server_name.h"
#include "plugin_core.h"
#include "test_support.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QtTest>

#include <algorithm>
#include <memory>
#include <thread>
#include <vector>

namespace {

constexpr anyID kOwnId = 5;

// The test's stand-in for the helper's command server, on this thread's
// event loop: every connection's bytes, in the order connections came.
// A slow one sleeps after each read, as a helper whose GUI thread is busy.
class CommandServer : public QObject
{
public:
    explicit CommandServer(int sleepAfterReadMs = 0, bool reads = true)
        : m_sleepAfterReadMs(sleepAfterReadMs), m_reads(reads)
    {
        connect(&m_server, &QLocalServer::newConnection, this, [this] {
            while (QLocalSocket *client = m_server.nextPendingConnection()) {
                m_received.append(QByteArray());
                const int index = m_received.size() - 1;
                connect(client, &QLocalSocket::readyRead, this, [this, client, index] {
                    if (!m_reads)
                        return;
                    m_received[index] += client->readAll();
                    QThread::msleep(static_cast<unsigned long>(m_sleepAfterReadMs));
                });
            }
        });
    }

    bool listen() { return m_server.listen(QString::fromStdString(platform::commandServerName())); }
    // The helper goes away: its server and every connection close.
    void close()
    {
        for (QLocalSocket *client : m_server.findChildren<QLocalSocket *>())
            client->abort();
        m_server.close();
    }
    int connections() const { return m_received.size(); }

    // The words of every connection so far, waiting up to `timeoutMs` for
    // at least `count`.
    QStringList words(int count, int timeoutMs = 3000)
    {
        (void)QTest::qWaitFor([&] { return parse().size() >= count; }, timeoutMs);
        return parse();
    }

private:
    QStringList parse() const
    {
        QStringList found;
        for (QByteArray received : m_received) {
            for (framing::Frame frame; (frame = framing::parseFrame(received.constData(), received.size())).status
                                       == framing::FrameStatus::Complete;) {
                found << (frame.word ? QString::fromLatin1(protocol::commandWordText(*frame.word)) : frame.unknown);
                received.remove(0, frame.consumed);
            }
        }
        return found;
    }

    QLocalServer m_server;
    QList<QByteArray> m_received;
    int m_sleepAfterReadMs;
    bool m_reads;
};

qint64 microsecondsFor(const std::function<void()> &call)
{
    QElapsedTimer timer;
    timer.start();
    call();
    return timer.nsecsElapsed() / 1000;
}

void talk(int status, anyID client = kOwnId, uint64 connection = 1)
{
    plugin::onTalkStatusChangeEvent(connection, status, 0, client);
}

// The threads of this process, on Linux; 0 elsewhere.
int threadCount()
{
    return QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size();
}

}  // namespace

class TestPluginLink : public QObject
{
    Q_OBJECT

private:
    PrivateRuntimeDir m_runtime;
    int m_threads = 0;  // before the plugin's init

private slots:
    void initTestCase()
    {
        TS3Functions functions{};
        functions.getClientID = [](uint64, anyID *result) {
            *result = kOwnId;
            return 0u;
        };
        functions.getConfigPath = [](char *path, size_t maxLen) { qstrncpy(path, "/nonexistent/config/", maxLen); };
        // No helper there: the link has only the test's server. (API 26 adds
        // the plugin's id, which `auto...` takes.)
        functions.getPluginPath = [](char *path, size_t maxLen, auto...) {
            qstrncpy(path, "/nonexistent/plugins/", maxLen);
        };
        plugin::setFunctionPointers(functions);
    }

    void init()
    {
        m_threads = threadCount();
        QCOMPARE(plugin::init(), 0);
    }

    void cleanup() { plugin::shutdown(); }  // ends the link, so each test starts with a new one

    // Init's "stop", then each host event's word on the wire, read as the
    // helper reads it, in order, though the server listens only after the
    // first events; another plugin's menu item sends nothing.
    void eventsBecomeWireBytes()
    {
        talk(STATUS_TALKING);
        talk(STATUS_NOT_TALKING);
        CommandServer server;
        QVERIFY(server.listen());
        talk(STATUS_TALKING_WHILE_DISABLED);
        talk(STATUS_NOT_TALKING);
        talk(STATUS_TALKING, 9);
        plugin::onMenuItemEvent(1, PLUGIN_MENU_TYPE_GLOBAL, 1, 0);
        plugin::onMenuItemEvent(1, PLUGIN_MENU_TYPE_CLIENT, 1, 0);
        plugin::onMenuItemEvent(1, PLUGIN_MENU_TYPE_GLOBAL, 2, 0);
        QCOMPARE(server.words(7), (QStringList{"stop", "start", "stop", "mute", "stop", "startother", "wnd"}));
        QCOMPARE(server.connections(), 1);
    }

    // A helper that goes away and comes back is told the toggle, the voice
    // state, the facts and the whisper at once, with no new event (the
    // newest of each, once), but no poke, which was a moment; a "wnd" on
    // its way when it went is not lost.
    void aHelperThatComesBackIsToldTheState()
    {
        CommandServer first;
        QVERIFY(first.listen());
        talk(STATUS_TALKING);
        plugin::onTalkStatusChangeEvent(1, STATUS_TALKING, 1, 9);
        plugin::onClientPoke(1, 9, 0);
        plugin::currentServerConnectionChanged(1);
        plugin::onClientSelfVariableUpdateEvent(1, CLIENT_INPUT_MUTED, "0", "1");
        plugin::onClientSelfVariableUpdateEvent(1, CLIENT_AWAY, "0", "1");
        plugin::onClientSelfVariableUpdateEvent(1, CLIENT_AWAY, "1", "0");
        plugin::onHotkeyEvent("vossik_toggle_lights");
        QCOMPARE(first.words(8),
                 (QStringList{"stop", "start", "whisper", "poke", "micmuted", "away", "back", "lightsoff"}));
        first.close();
        QTest::qWait(50);
        plugin::onHotkeyEvent("vossik_open_settings");
        CommandServer second;
        QVERIFY(second.listen());
        QCOMPARE(second.words(6), (QStringList{"lightsoff", "start", "micmuted", "back", "whisper", "wnd"}));
        plugin::onHotkeyEvent("vossik_toggle_lights");
        plugin::onHotkeyEvent("another_plugins_key");
        QCOMPARE(second.words(7),
                 (QStringList{"lightsoff", "start", "micmuted", "back", "whisper", "wnd", "lightson"}));
    }

    // A helper whose GUI thread sleeps half a second after each read:
    // every word arrives, in order, while the host's thread never waits.
    void aSlowReaderGetsEveryWordInOrder()
    {
        CommandServer server(500);
        QVERIFY(server.listen());
        const int events = 200;
        std::vector<qint64> took;
        std::thread host([&took] {
            for (int i = 0; i < events; ++i) {
                took.push_back(microsecondsFor([i] { talk(i % 2 == 0 ? STATUS_TALKING : STATUS_NOT_TALKING); }));
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        });
        const QStringList words = server.words(1 + events, 15000);
        host.join();
        QStringList expected{"stop"};
        for (int i = 0; i < events; ++i)
            expected << (i % 2 == 0 ? "start" : "stop");
        QCOMPARE(words, expected);
        std::sort(took.begin(), took.end());
        QVERIFY2(took[events * 99 / 100] < 1000, qPrintable(QString::number(took[events * 99 / 100])));
        QVERIFY2(took.back() < 20000, qPrintable(QString::number(took.back())));
    }

    // Entry points called from several host threads at once: every word
    // arrives whole, none is lost, and the talk state ends balanced.
    void concurrentCallersNeverInterleave()
    {
        CommandServer server;
        QVERIFY(server.listen());
        QCOMPARE(server.words(1), QStringList{"stop"});  // connected
        const int threads = 4, rounds = 30;              // within the queue's bound, however the writer is scheduled
        std::vector<std::thread> callers;
        for (int t = 0; t < threads; ++t) {
            callers.emplace_back([t] {
                for (int i = 0; i < rounds; ++i) {
                    talk(STATUS_TALKING, kOwnId, uint64(t + 1));
                    talk(STATUS_NOT_TALKING, kOwnId, uint64(t + 1));
                }
            });
        }
        for (std::thread &caller : callers)
            caller.join();
        // Overlapping talk phases send a word only where the state changes:
        // whole words, alternating, ending silent.
        QVERIFY(QTest::qWaitFor([&] { return server.words(3, 0).size() >= 3; }, 3000));
        QTest::qWait(200);
        const QStringList words = server.words(0, 0);
        QVERIFY(words.endsWith(QStringLiteral("stop")));
        for (int i = 0; i < words.size(); ++i)
            QCOMPARE(words.at(i), QString::fromLatin1(i % 2 == 0 ? "stop" : "start"));
        QCOMPARE(plugin::ownTalkCount(), 0);
    }

    // The host's id stays until shutdown; a null one, a host's mistake,
    // changes nothing, before an id or after it.
    void aNullPluginIdIsIgnored()
    {
        plugin::registerPluginID(nullptr);
        plugin::registerPluginID("vossik.7");
        plugin::registerPluginID(nullptr);
        QCOMPARE(QString::fromStdString(plugin::registeredPluginID()), QStringLiteral("vossik.7"));
    }

    // Shutdown returns once "shutdown" is written, and within a second
    // whatever the helper does; with nobody to tell, at once. The link's
    // threads end with it, so unloading the plugin leaves none.
    void shutdownIsDeliveredAndBounded_data()
    {
        // clang-format off
        columns<bool, bool, int>({"listening", "reads", "limitMs"});
        QTest::newRow("a helper that reads") << true << true << 100;
        QTest::newRow("a helper that never reads") << true << false << 1200;
        QTest::newRow("no helper, none starting") << false << false << 100;
        // clang-format on
    }
    void shutdownIsDeliveredAndBounded()
    {
        QFETCH(bool, listening);
        QFETCH(bool, reads);
        QFETCH(int, limitMs);
        CommandServer server(0, reads);
        if (listening) {
            QVERIFY(server.listen());
            QVERIFY(QTest::qWaitFor([&] { return server.connections() == 1; }, 2000));
        }
        QTest::qWait(50);  // the failed start of the missing helper is behind
        const int threads = threadCount();
        const qint64 took = microsecondsFor([] { plugin::shutdown(); }) / 1000;
        QVERIFY2(took < limitMs, qPrintable(QString::number(took)));
        if (reads)
            QCOMPARE(server.words(2), (QStringList{"stop", "shutdown"}));
        QVERIFY(threads > m_threads || QSysInfo::kernelType() != QLatin1String("linux"));  // counted on Linux only
        QCOMPARE(threadCount(), m_threads);
    }
};

QTEST_GUILESS_MAIN(TestPluginLink)
#include "tst_plugin_link.moc"
