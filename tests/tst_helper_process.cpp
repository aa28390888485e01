// The helper as a process of its own, with the stand-in device service and
// a client: its arguments, a second helper, and settings files it cannot
// use. (A service found later: tst_light_link, and tst_faults' restarts.)
#include "command_client.h"
#include "names.h"
#include "process_support.h"
#include "test_support.h"

#include <QDir>
#include <QElapsedTimer>
#include <QtTest>

#include <sys/stat.h>

class TestHelperProcess : public QObject
{
    Q_OBJECT

private:
    ClientRig m_rig;

private slots:
    void initTestCase() { QVERIFY(m_rig.settingsWritten); }

    void wrongArgumentCountDoesNothing_data()
    {
        // clang-format off
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("a standalone one with two folders") << QStringList{QStringLiteral("--standalone"), QStringLiteral("/tmp/a/"), QStringLiteral("b/")};
        QTest::newRow("two") << QStringList{QStringLiteral("/tmp/a"), QStringLiteral("b/")};
        // clang-format on
    }
    void wrongArgumentCountDoesNothing()
    {
        QFETCH(QStringList, arguments);
        std::unique_ptr<Child> service = m_rig.startService();
        QVERIFY(service);
        QTest::qWait(200);
        std::unique_ptr<Child> helper = m_rig.startHelper(arguments);
        QVERIFY(helper && helper->finished());
        QCOMPARE(helper->process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(helper->process().exitCode(), 0);
        QCOMPARE(helper->errors().trimmed(), QStringLiteral("test"));
        QVERIFY(!QFile::exists(m_rig.serverPath()));
        QTest::qWait(200);
        QVERIFY(!service->output().contains(QStringLiteral("ATTACH sent")));
    }

    // A helper started beside a running one waits without touching the
    // light, takes the name over within 1 s of its release, and ends quietly
    // when no client comes.
    void aSecondHelperWaitsThenTakesOver()
    {
        std::unique_ptr<Child> service = m_rig.startService(), first = m_rig.startHelper({m_rig.configDir});
        CommandClient client;
        QVERIFY(service && first && client.connectTo(m_rig.serverPath()) && client.say(QStringLiteral("start")));
        QVERIFY(service->waitForCommands(1));
        QProcessEnvironment env = m_rig.env;
        env.insert(QStringLiteral("VOSSIK_HELPER_IDLE_MS"), QStringLiteral("1500"));
        Child second(QStringLiteral(HELPER_PATH), {m_rig.configDir}, env);
        QVERIFY(second.started());
        QVERIFY(
            QTest::qWaitFor([&] { return second.errors().contains(QStringLiteral("Another helper serves")); }, 3000));
        QVERIFY(client.say(QStringLiteral("shutdown")));
        QVERIFY(first->finished());
        QElapsedTimer released;
        released.start();
        QVERIFY(QTest::qWaitFor([&] { return second.errors().contains(QStringLiteral("Command server listening")); },
                                3000));
        qInfo("the waiting helper served %lld ms after the first ended; its peak resident memory %lld KiB",
              released.elapsed(), qint64(probe::peakResidentKiB(pid_t(second.process().processId()))));
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
        // clang-format off
        columns<QString, QString, QString>({"kind", "logged", "speaking"});
        QTest::newRow("a FIFO") << "fifo" << "is not a regular file" << "wParam=0x010002 lParam=0x000000";
        QTest::newRow("37 MB") << "huge" << "more than the 1048576 read" << "wParam=0x010002 lParam=0x000000";
        QTest::newRow("no trailing separator") << "bare" << QString() << kSpeaking;
        // clang-format on
    }
    void badSettingsFilesAreRefused()
    {
        QFETCH(QString, kind);
        QFETCH(QString, logged);
        QTemporaryDir parent;
        const QString folder = parent.path() + QStringLiteral("/config");
        const QString ini = folder + QStringLiteral("/TS3_Vossik_Plugin.ini");
        QVERIFY(QDir().mkpath(folder));
        if (kind == QLatin1String("fifo")) {
            QVERIFY(mkfifo(QFile::encodeName(ini).constData(), 0600) == 0);
        } else if (kind == QLatin1String("huge")) {
            QFile file(ini);
            QVERIFY(file.open(QIODevice::WriteOnly));
            const QByteArray line = sampleSettings().toUtf8().replace("[colors]\n", "");
            QVERIFY(file.write("[colors]\n") > 0);
            while (file.size() < 37 * 1024 * 1024)
                file.write(line);
        } else {
            QVERIFY(writeSettingsFile(folder));
        }
        const QStringList parentBefore = QDir(parent.path()).entryList(QDir::AllEntries | QDir::Hidden);
        std::unique_ptr<Child> service = m_rig.startService();
        QVERIFY(service);
        QElapsedTimer sinceStart;
        sinceStart.start();
        std::unique_ptr<Child> helper = m_rig.startHelper({kind == QLatin1String("bare") ? folder : folder + '/'});
        QVERIFY(helper);
        QVERIFY(m_rig.waitForServer(true, 3000));
        QVERIFY2(sinceStart.elapsed() < (kSanitized ? 3000 : 1000), qPrintable(QString::number(sinceStart.elapsed())));
        const QString named = QStringLiteral("Settings file %1 ").arg(ini);
        if (!logged.isEmpty())
            QVERIFY2(QTest::qWaitFor(
                         [&] { return helper->errors().contains(named) && helper->errors().contains(logged); }, 1000),
                     qPrintable(helper->errors()));
        CommandClient client;
        QVERIFY(client.connectTo(m_rig.serverPath()) && client.say(QStringLiteral("start")));
        QVERIFY(service->waitForCommands(1));
        const qint64 peak = probe::peakResidentKiB(pid_t(helper->process().processId()));
        qInfo("%s: helper peak resident memory %lld KiB", QTest::currentDataTag(), peak);
        QVERIFY2(peak < 100 * 1024, qPrintable(QString::number(peak)));
        QVERIFY(client.say(QStringLiteral("shutdown")));
        QVERIFY(helper->finished());
        QTEST(service->commands().value(0), "speaking");
        QCOMPARE(QDir(parent.path()).entryList(QDir::AllEntries | QDir::Hidden), parentBefore);
        QCOMPARE(QFileInfo(ini).isFile(), kind != QLatin1String("fifo"));
    }

    // The log beside the settings file holds what the helper wrote to its
    // standard error. One that cannot be written (its name taken by a
    // folder, which root cannot write through either, or by a FIFO nobody
    // reads) leaves the helper serving, at once, and logging there.
    void logBesideTheSettings_data()
    {
        QTest::addColumn<QString>("obstacle");
        QTest::newRow("a log file") << QString();
        QTest::newRow("its name taken by a folder") << "folder";
        QTest::newRow("its name taken by a FIFO") << "fifo";
    }
    void logBesideTheSettings()
    {
        QFETCH(QString, obstacle);
        QTemporaryDir parent;
        const QString folder = parent.path() + QStringLiteral("/config/");
        const QString log = folder + QLatin1String(protocol::kLogFileName);
        QVERIFY(writeSettingsFile(folder));
        if (obstacle == QLatin1String("folder"))
            QVERIFY(QDir().mkpath(log));
        else if (obstacle == QLatin1String("fifo"))
            QVERIFY(mkfifo(QFile::encodeName(log).constData(), 0600) == 0);
        std::unique_ptr<Child> service = m_rig.startService(), helper = m_rig.startHelper({folder});
        CommandClient client;
        QVERIFY(service && helper && m_rig.waitForServer(true, 3000));
        QVERIFY(client.connectTo(m_rig.serverPath()) && client.say(QStringLiteral("start")));
        QVERIFY(service->waitForCommands(1));
        QVERIFY(client.say(QStringLiteral("shutdown")) && helper->finished());
        QCOMPARE(service->commands().value(0), kSpeaking);
        const QString errors = helper->errors();
        if (!obstacle.isEmpty()) {  // still logged on the stream
            QVERIFY2(errors.contains(QStringLiteral("Command server listening")), qPrintable(errors));
            return;
        }
        const QString logged = QString::fromUtf8(readFile(log));
        QVERIFY2(logged.contains(QStringLiteral("Command server listening")) && errors.contains(logged),
                 qPrintable(logged));
    }
};

QTEST_MAIN(TestHelperProcess)
#include "tst_helper_process.moc"
