// The helper, the stand-in device service and a client as real processes.
#include "command_framing.h"
#include "process_support.h"
#include "test_support.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include <memory>

class TestHelperProcess : public QObject
{
    Q_OBJECT

private:
    ProcessRig m_rig;
    QTemporaryDir m_settings;

    QString serverPath() const { return m_rig.serverPath(); }

    void writeSettings(int otherTalking)
    {
        QVERIFY(writeSettingsFile(m_settings.path(), otherTalking));
    }

    std::unique_ptr<Child> startService(const QStringList &extra = {}) { return m_rig.startService(extra); }

    std::unique_ptr<Child> startHelper(const QStringList &arguments)
    {
        auto helper = std::make_unique<Child>(QStringLiteral(HELPER_PATH), arguments, m_rig.env);
        return helper->started() ? std::move(helper) : nullptr;
    }

    std::unique_ptr<Child> startHelper() { return startHelper({m_settings.path() + QLatin1Char('/')}); }

    bool connectClient(QLocalSocket &client)
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 3000) {
            client.connectToServer(serverPath());
            if (client.waitForConnected(200))
                return true;
            QTest::qWait(50);
        }
        return false;
    }

    // The service, then a helper on settings with this option, and a client
    // connected to the helper.
    bool startAll(int otherTalking, std::unique_ptr<Child> &service, std::unique_ptr<Child> &helper, QLocalSocket &client)
    {
        writeSettings(otherTalking);
        service = startService();
        helper = service ? startHelper() : nullptr;
        return helper && connectClient(client);
    }

    static void send(QLocalSocket &client, const QStringList &words)
    {
        QByteArray bytes;
        for (const QString &word : words)
            bytes += framing::encodeFrame(word);
        client.write(bytes);
        client.waitForBytesWritten(1000);
    }

private slots:
    void wrongArgumentCountDoesNothing_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("none") << QStringList();
        QTest::newRow("two") << QStringList{QStringLiteral("/tmp/a"), QStringLiteral("b/")};
        QTest::newRow("a path split at its blank") << QStringList{QStringLiteral("/home/x/My"), QStringLiteral("Config/")};
    }
    void wrongArgumentCountDoesNothing()
    {
        QFETCH(QStringList, arguments);
        std::unique_ptr<Child> service = startService();
        QVERIFY(service);
        QTest::qWait(200);
        std::unique_ptr<Child> helper = startHelper(arguments);
        QVERIFY(helper);
        QVERIFY(helper->finished());
        QCOMPARE(helper->process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(helper->process().exitCode(), 0);
        QCOMPARE(helper->errors().trimmed(), QStringLiteral("test"));
        QVERIFY(!QFile::exists(serverPath()));
        QTest::qWait(200);
        QVERIFY(!service->output().contains(QStringLiteral("ATTACH sent")));
    }

    // A session's words, and what the device is told.
    void wordsReachTheDevice_data()
    {
        QTest::addColumn<int>("otherTalking");
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QStringList>("commands");
        QTest::addColumn<QStringList>("logged");
        QTest::newRow("a session") << 1 << QStringList{"start", "stop", "mute", "stop", "startother", "stop", "shutdown"}
                                   << QStringList{kSilent, kSpeaking, kSilent, kMute, kSilent, kOthers, kSilent, kShutdown}
                                   << QStringList{"----->SHUTDOWN<-----"};
        QTest::newRow("others ignored when the option is 2")
            << 2 << QStringList{"startother", "shutdown"} << QStringList{kSilent, kShutdown}
            << QStringList{"param not equal \"startother\"", "----->SHUTDOWN<-----"};
        QTest::newRow("others ignored when the option is missing")
            << 0 << QStringList{"startother", "Start", QString(), "shutdown"} << QStringList{kSilent, kShutdown}
            << QStringList{"param not equal \"startother\"", "param not equal \"Start\"", "param not equal \"\"",
                           "----->SHUTDOWN<-----"};
    }
    void wordsReachTheDevice()
    {
        QFETCH(int, otherTalking);
        QFETCH(QStringList, words);
        QFETCH(QStringList, commands);
        QFETCH(QStringList, logged);
        std::unique_ptr<Child> service, helper;
        QLocalSocket client;
        QVERIFY(startAll(otherTalking, service, helper, client));
        QVERIFY(service->waitForCommands(1));  // the silent profile at start-up
        for (const QString &word : words) {
            send(client, {word});
            QTest::qWait(20);
        }
        QVERIFY(helper->finished());
        QCOMPARE(helper->process().exitCode(), 0);
        QVERIFY(service->waitForCommands(commands.size()));
        QTest::qWait(100);
        QCOMPARE(service->commands(), commands);
        for (const QString &line : logged)
            QVERIFY2(helper->errors().contains(line), qPrintable(line));
        QCOMPARE(helper->failedPosts(), 0);
    }

    // Without a device service every command fails; a service that starts
    // later is found within about two seconds and shown the current state.
    void aServiceStartedLaterIsFound()
    {
        writeSettings(1);
        std::unique_ptr<Child> helper = startHelper();
        QVERIFY(helper);
        QLocalSocket client;
        QVERIFY(connectClient(client));
        send(client, {QStringLiteral("start")});
        QVERIFY(QTest::qWaitFor([&] { return helper->failedPosts() >= 2; }, 2000));

        QElapsedTimer sinceStart;
        sinceStart.start();
        std::unique_ptr<Child> service = startService();
        QVERIFY(service);
        QVERIFY(service->waitForCommands(1, 3500));
        QVERIFY2(sinceStart.elapsed() < 3000, qPrintable(QString::number(sinceStart.elapsed())));
        QCOMPARE(service->commands(), QStringList{kSpeaking});
        QVERIFY(helper->errors().contains(QStringLiteral("VOSSIK ATTACH")));

        // The service goes away and comes back: found again.
        service.reset();
        const int failures = helper->failedPosts();
        send(client, {QStringLiteral("stop")});
        QVERIFY(QTest::qWaitFor([&] { return helper->failedPosts() > failures; }, 2000));
        service = startService();
        QVERIFY(service);
        QVERIFY(service->waitForCommands(1, 3500));
        QCOMPARE(service->commands(), QStringList{kSilent});

        send(client, {QStringLiteral("shutdown")});
        QVERIFY(helper->finished());
        QCOMPARE(helper->process().exitCode(), 0);
    }

    void aSecondHelperDoesNotTakeTheCommandServer()
    {
        std::unique_ptr<Child> service, first;
        QLocalSocket client;
        QVERIFY(startAll(1, service, first, client));
        std::unique_ptr<Child> second = startHelper();
        QVERIFY(second);
        QVERIFY(QTest::qWaitFor([&] { return second->errors().contains(QStringLiteral("Command server not listening")); },
                                3000));
        QLocalSocket another;
        QVERIFY(connectClient(another));
        send(another, {QStringLiteral("shutdown")});
        QVERIFY(first->finished());  // the first helper got the word
        QCOMPARE(second->process().state(), QProcess::Running);
    }

    void aNameLeftByADeadHelperIsTakenOver()
    {
        writeSettings(1);
        std::unique_ptr<Child> dead = startHelper();
        QVERIFY(dead);
        QVERIFY(QTest::qWaitFor([&] { return QFile::exists(serverPath()); }, 3000));
        dead->process().kill();
        QVERIFY(dead->finished());
        QVERIFY(QFile::exists(serverPath()));  // left behind

        std::unique_ptr<Child> helper = startHelper();
        QVERIFY(helper);
        QLocalSocket client;
        QVERIFY(connectClient(client));
        send(client, {QStringLiteral("shutdown")});
        QVERIFY(helper->finished());
        QCOMPARE(helper->process().exitCode(), 0);
    }
};

QTEST_MAIN(TestHelperProcess)
#include "tst_helper_process.moc"
