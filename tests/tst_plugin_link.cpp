// The plugin's entry-point logic against a command server of the test's own.
#include "command_framing.h"
#include "command_server_name.h"
#include "plugin_core.h"
#include "test_support.h"

#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QtTest>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace {

std::atomic<unsigned int> g_clientIdError{0};
constexpr anyID kOwnId = 5;

unsigned int fakeGetClientID(uint64, anyID *result)
{
    if (g_clientIdError)
        return g_clientIdError;
    *result = kOwnId;
    return 0;
}

void fakeGetConfigPath(char *path, size_t maxLen)
{
    qstrncpy(path, "/nonexistent/config/", maxLen);
}

#if TS3_PLUGIN_API_VERSION >= 26
void fakeGetPluginPath(char *path, size_t maxLen, const char *)
#else
void fakeGetPluginPath(char *path, size_t maxLen)
#endif
{
    qstrncpy(path, "/nonexistent/plugins/", maxLen);  // no helper there: nothing is started
}

// The words that have arrived at `server`, in order, from its newest client.
class WordReader
{
public:
    explicit WordReader(QLocalServer &server) : m_server(server) {}

    QByteArray bytes(int atLeast, int timeoutMs = 2000)
    {
        QElapsedTimer timer;
        timer.start();
        while (m_received.size() < atLeast && timer.elapsed() < timeoutMs) {
            if (m_server.hasPendingConnections() || m_server.waitForNewConnection(10))
                m_client.reset(m_server.nextPendingConnection());
            if (m_client && m_client->waitForReadyRead(10))
                m_received += m_client->readAll();
        }
        return m_received;
    }

    QStringList words(int count, int timeoutMs = 2000)
    {
        QElapsedTimer timer;
        timer.start();
        for (;;) {
            const QStringList found = parse(m_received);
            if (found.size() >= count || timer.elapsed() >= timeoutMs)
                return found;
            bytes(m_received.size() + 1, 20);
        }
    }

    void reset()
    {
        m_client.reset();
        m_received.clear();
    }

private:
    static QStringList parse(const QByteArray &received)
    {
        QStringList found;
        for (int offset = 0;;) {
            const framing::Frame frame = framing::parseFrame(received.constData() + offset, received.size() - offset);
            if (frame.status != framing::FrameStatus::Complete)
                return found;
            found << frame.word;
            offset += frame.consumed;
        }
    }

    QLocalServer &m_server;
    std::unique_ptr<QLocalSocket> m_client;
    QByteArray m_received;
};

qint64 microsecondsFor(const std::function<void()> &call)
{
    QElapsedTimer timer;
    timer.start();
    call();
    return timer.nsecsElapsed() / 1000;
}

}  // namespace

class TestPluginLink : public QObject
{
    Q_OBJECT

private:
    PrivateRuntimeDir m_runtime;

    static void talk(int status, anyID client = kOwnId, uint64 connection = 1)
    {
        plugin::onTalkStatusChangeEvent(connection, status, 0, client);
    }

private slots:
    void initTestCase()
    {
        TS3Functions functions{};
        functions.getClientID = fakeGetClientID;
        functions.getConfigPath = fakeGetConfigPath;
        functions.getPluginPath = fakeGetPluginPath;
        plugin::setFunctionPointers(functions);
    }

    void init()
    {
        g_clientIdError = 0;
        QCOMPARE(plugin::init(), 0);
    }

    void cleanup()
    {
        plugin::shutdown();  // drops the link, so each test starts without one
    }

    // Each host event and the exact bytes it puts on the wire.
    void eventsBecomeWireBytes()
    {
        QLocalServer server;
        QVERIFY(server.listen(platform::commandServerName()));
        WordReader reader(server);
        talk(STATUS_TALKING);
        talk(STATUS_NOT_TALKING);
        talk(STATUS_TALKING_WHILE_DISABLED);
        talk(STATUS_NOT_TALKING);
        talk(STATUS_TALKING, 9);
        plugin::onMenuItemEvent(1, PLUGIN_MENU_TYPE_GLOBAL, 1, 0);
        plugin::onMenuItemEvent(1, PLUGIN_MENU_TYPE_CLIENT, 1, 0);  // not ours: nothing
        plugin::onMenuItemEvent(1, PLUGIN_MENU_TYPE_GLOBAL, 2, 0);
        plugin::shutdown();

        QByteArray expected;
        for (const char *word : {"start", "stop", "mute", "stop", "startother", "wnd", "shutdown"}) {
            QDataStream stream(&expected, QIODevice::Append);
            stream.setVersion(QDataStream::Qt_4_0);
            stream << QString::fromLatin1(word);
        }
        const QByteArray received = reader.bytes(expected.size());
        QCOMPARE(received.toHex(' '), expected.toHex(' '));
        QVERIFY(received.contains(QByteArray::fromHex("0000000800730074006f0070")));  // "stop"
    }

    void aFailedClientIdSendsNothing()
    {
        QLocalServer server;
        QVERIFY(server.listen(platform::commandServerName()));
        WordReader reader(server);
        g_clientIdError = 0x200;
        talk(STATUS_TALKING);
        talk(STATUS_TALKING, 9);
        QVERIFY(!plugin::ownTalking());
        g_clientIdError = 0;
        talk(STATUS_TALKING, 9);
        QCOMPARE(reader.words(1), QStringList{"startother"});
    }

    // The first event may come before the helper listens, and the helper may
    // be restarted: the link looks for it again, at most once a second.
    void aHelperThatComesLaterOrComesBackIsReachedAgain()
    {
        qint64 first = microsecondsFor([] { talk(STATUS_TALKING, 9); });  // nobody listens: lost
        QVERIFY2(first < 50000, qPrintable(QString::number(first)));

        QLocalServer server;
        QVERIFY(server.listen(platform::commandServerName()));
        WordReader reader(server);
        const qint64 early = microsecondsFor([] { talk(STATUS_NOT_TALKING, 9); });  // within the second: not yet
        QVERIFY2(early < 5000, qPrintable(QString::number(early)));
        QTest::qWait(1050);
        talk(STATUS_TALKING, 9);
        QCOMPARE(reader.words(1), QStringList{"startother"});

        server.close();  // the helper goes away...
        reader.reset();
        QTest::qWait(1050);
        const qint64 gone = microsecondsFor([] { talk(STATUS_NOT_TALKING, 9); });
        QVERIFY2(gone < 150000, qPrintable(QString::number(gone)));
        QVERIFY(server.listen(platform::commandServerName()));  // ...and comes back
        QTest::qWait(1050);
        talk(STATUS_TALKING);
        QCOMPARE(reader.words(1), QStringList{"start"});
    }

    // Entry points called from several host threads at once: every word
    // arrives whole, none is lost, and the talk state ends balanced.
    void concurrentCallersNeverInterleave()
    {
        QLocalServer server;
        QVERIFY(server.listen(platform::commandServerName()));
        WordReader reader(server);
        talk(STATUS_NOT_TALKING, 9);  // connects
        QCOMPARE(reader.words(1), QStringList{"stop"});

        const int threads = 4, rounds = 250;
        std::vector<std::thread> callers;
        for (int t = 0; t < threads; ++t) {
            callers.emplace_back([t] {
                for (int i = 0; i < rounds; ++i) {
                    talk(STATUS_TALKING, kOwnId, uint64(t + 1));
                    talk(STATUS_NOT_TALKING, kOwnId, uint64(t + 1));
                }
            });
        }
        const QStringList words = reader.words(1 + threads * rounds * 2, 5000);  // read while they write
        for (std::thread &caller : callers)
            caller.join();
        QCOMPARE(words.size(), 1 + threads * rounds * 2);
        QCOMPARE(words.count(QStringLiteral("start")), threads * rounds);
        QCOMPARE(words.count(QStringLiteral("stop")), threads * rounds + 1);
        QCOMPARE(plugin::ownTalkCount(), 0);
    }

    void menuItemsAreHandedOutAsTheClientExpects()
    {
        PluginMenuItem **items = nullptr;
        char *icon = nullptr;
        plugin::initMenus(&items, &icon);
        QVERIFY(items && icon);
        QCOMPARE(items[0]->type, PLUGIN_MENU_TYPE_GLOBAL);
        QCOMPARE(items[0]->id, 1);
        QCOMPARE(QByteArray(items[0]->text), QByteArray("Color settings"));
        QCOMPARE(QByteArray(items[0]->icon), QByteArray("1.png"));
        QVERIFY(!items[1]);
        QCOMPARE(QByteArray(icon), QByteArray("vossik.png"));
        plugin::freeMemory(items[0]);
        plugin::freeMemory(items);
        plugin::freeMemory(icon);
    }
};

QTEST_GUILESS_MAIN(TestPluginLink)
#include "tst_plugin_link.moc"
