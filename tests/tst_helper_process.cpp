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
#include <sys/stat.h>

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
                                   << QStringList{kSpeaking, kSilent, kMute, kSilent, kOthers, kSilent, kShutdown}
                                   << QStringList{"----->SHUTDOWN<-----"};
        QTest::newRow("others shown as silence when the option is 2")
            << 2 << QStringList{"start", "startother", "shutdown"} << QStringList{kSpeaking, kSilent, kShutdown}
            << QStringList{"----->SHUTDOWN<-----"};
        QTest::newRow("others shown as silence when the option is missing")
            << 0 << QStringList{"startother", "Start", QString(), "shutdown"} << QStringList{kSilent, kShutdown}
            << QStringList{"param not equal \"Start\"", "param not equal \"\"", "----->SHUTDOWN<-----"};
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
        QVERIFY(QTest::qWaitFor([&] { return helper->failedPosts() >= 1; }, 2000));

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

    // A helper started beside a running one waits without touching the
    // light, takes the name over within 1 s of its release, and ends quietly
    // when no client comes.
    void aSecondHelperWaitsThenTakesOver()
    {
        std::unique_ptr<Child> service, first;
        QLocalSocket client;
        QVERIFY(startAll(1, service, first, client));
        send(client, {QStringLiteral("start")});
        QVERIFY(service->waitForCommands(1));
        QProcessEnvironment env = m_rig.env;
        env.insert(QStringLiteral("VOSSIK_HELPER_IDLE_MS"), QStringLiteral("1500"));
        Child second(QStringLiteral(HELPER_PATH), {m_settings.path() + QLatin1Char('/')}, env);
        QVERIFY(second.started());
        QVERIFY(QTest::qWaitFor([&] { return second.errors().contains(QStringLiteral("Another helper serves")); }, 3000));
        send(client, {QStringLiteral("shutdown")});
        QVERIFY(first->finished());
        QElapsedTimer released;
        released.start();
        QVERIFY(QTest::qWaitFor([&] { return second.errors().contains(QStringLiteral("Command server listening")); }, 3000));
        qInfo("the waiting helper served %lld ms after the first ended; its peak resident memory %lld KiB",
              released.elapsed(), residentKiB(second.process().processId(), "VmHWM:"));
        QVERIFY2(released.elapsed() < 1000, qPrintable(QString::number(released.elapsed())));
        QVERIFY(second.finished());
        QCOMPARE(second.process().exitCode(), 0);
        QCOMPARE(service->commands(), (QStringList{kSpeaking, kShutdown}));
        QVERIFY(!m_rig.waitForServer(true, 200));
    }

    // A settings file the helper cannot use is refused with a reason, never
    // waited on or held whole in memory; a folder named without its
    // trailing separator is a folder all the same.
    void badSettingsFilesAreRefused_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("logged");
        QTest::addColumn<QString>("speaking");
        QTest::newRow("a FIFO") << "fifo" << "is not a regular file" << "wParam=0x010002 lParam=0x000000";
        QTest::newRow("37 MB") << "huge" << "more than the 1048576 read" << "wParam=0x010002 lParam=0x000000";
        QTest::newRow("no trailing separator") << "bare" << QString() << kSpeaking;
    }
    void badSettingsFilesAreRefused()
    {
        QFETCH(QString, kind);
        QFETCH(QString, logged);
        QFETCH(QString, speaking);
        QTemporaryDir parent;
        const QString folder = parent.path() + QStringLiteral("/config");
        const QString ini = folder + QStringLiteral("/TS3_Vossik_Plugin.ini");
        QVERIFY(QDir().mkpath(folder));
        if (kind == QLatin1String("fifo")) {
            QVERIFY(mkfifo(QFile::encodeName(ini).constData(), 0600) == 0);
        } else if (kind == QLatin1String("huge")) {
            QFile file(ini);
            QVERIFY(file.open(QIODevice::WriteOnly));
            const QByteArray line = kSettings.arg(1).toUtf8().replace("[colors]\n", "");
            QVERIFY(file.write("[colors]\n") > 0);
            while (file.size() < 37 * 1024 * 1024)
                file.write(line);
        } else {
            QVERIFY(writeSettingsFile(folder));
        }
        const QStringList parentBefore = QDir(parent.path()).entryList(QDir::AllEntries | QDir::Hidden);
        std::unique_ptr<Child> service = startService();
        QVERIFY(service);
        QElapsedTimer sinceStart;
        sinceStart.start();
        std::unique_ptr<Child> helper = startHelper({kind == QLatin1String("bare") ? folder : folder + QLatin1Char('/')});
        QVERIFY(helper);
        QVERIFY(m_rig.waitForServer(true, 3000));
        QVERIFY2(sinceStart.elapsed() < (kSanitized ? 3000 : 1000), qPrintable(QString::number(sinceStart.elapsed())));
        const QString named = QStringLiteral("Settings file %1 ").arg(ini);
        if (!logged.isEmpty())
            QVERIFY2(QTest::qWaitFor([&] { return helper->errors().contains(named) && helper->errors().contains(logged); }, 1000),
                     qPrintable(helper->errors()));
        QLocalSocket client;
        QVERIFY(connectClient(client));
        send(client, {QStringLiteral("start")});
        QVERIFY(service->waitForCommands(1));
        const qint64 peak = residentKiB(helper->process().processId(), "VmHWM:");
        qInfo("%s: helper peak resident memory %lld KiB", QTest::currentDataTag(), peak);
        QVERIFY2(peak < 100 * 1024, qPrintable(QString::number(peak)));
        send(client, {QStringLiteral("shutdown")});
        QVERIFY(helper->finished());
        QCOMPARE(service->commands().value(0), speaking);
        QCOMPARE(QDir(parent.path()).entryList(QDir::AllEntries | QDir::Hidden), parentBefore);
        QCOMPARE(QFileInfo(ini).isFile(), kind != QLatin1String("fifo"));
    }

};

QTEST_MAIN(TestHelperProcess)
#include "tst_helper_process.moc"
