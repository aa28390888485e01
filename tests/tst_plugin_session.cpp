// The whole chain as separate processes: the stand-in client loads the
// plugin, the plugin starts the helper, and talk events reach the device.
#include "process_support.h"

#include <QDir>
#include <QtTest>

class TestPluginSession : public QObject
{
    Q_OBJECT

private:
    ProcessRig m_rig;
    QTemporaryDir m_home;
    QString m_configDir;
    QString m_pluginsDir;

    QString helperCopy() const { return helperCopyIn(m_pluginsDir); }

    std::unique_ptr<Child> startHost(const QString &host, const QString &library, bool withHelper = true)
    {
        return m_rig.startHost(host, library, m_pluginsDir, m_configDir, withHelper);
    }

private slots:
    void cleanup()
    {
        // A helper that a failed check left running would hold the next test's server.
        if (runningPid(helperCopy())) {
            QVERIFY(killRunning(helperCopy()));
            QFile::remove(m_rig.serverPath());  // left behind by the killed helper
        }
    }

    void initTestCase()
    {
        // A configuration folder whose path holds blanks and non-ASCII letters.
        m_configDir = m_home.path() + QString::fromUtf8("/Jo Ann M\xC3\xBCller/TS3 Client/");
        m_pluginsDir = m_home.path() + QStringLiteral("/plugins");
        QVERIFY(writeSettingsFile(m_configDir));
    }

    // A session with the talk tables' edge cases, for each plugin API.
    void aSessionLightsTheDevice_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("library");
        QTest::newRow("API " VOSSIK_API_TEXT) << QStringLiteral(TS3HOST_PATH) << QStringLiteral(PLUGIN_PATH);
        QTest::newRow("API " OTHER_API_TEXT) << QStringLiteral(TS3HOST_OTHER_PATH) << QStringLiteral(PLUGIN_OTHER_PATH);
    }
    void aSessionLightsTheDevice()
    {
        QFETCH(QString, host);
        QFETCH(QString, library);
        std::unique_ptr<Child> service = m_rig.startService();
        QVERIFY(service);
        std::unique_ptr<Child> client = startHost(host, library);
        QVERIFY(client);
        QVERIFY(m_rig.waitForServer(true));  // the plugin started the helper, which read its settings
        QVERIFY(service->waitForCommands(1));
        play(*client, {"talk own 1", "talk 7 1", "talk 7 0",  // others while you talk send nothing
                       "talk own 0", "talk 7 1", "talk 8 1", "talk 7 0",  // the first of two to stop sends stop
                       "talk own 5", "talk own 2", "talk own 0",  // an unknown status changes nothing
                       "clientid-error 1234", "talk own 1", "clientid-error 0", "menu 2", "shutdown"});
        QVERIFY(client->finished());
        QCOMPARE(client->process().exitCode(), 0);
        QVERIFY(m_rig.waitForServer(false));  // the helper ended
        QVERIFY(service->waitForCommands(9));
        QTest::qWait(100);
        QCOMPARE(service->commands(),
                 (QStringList{kSilent, kSpeaking, kSilent, kOthers, kOthers, kSilent, kMute, kSilent, kShutdown}));
        QVERIFY(client->output().contains(QStringLiteral("Error getting own client ID: 1234")));
        QVERIFY(client->output().contains(  // another item: nothing is sent
            QStringLiteral("PLUGIN: onMenuItemEvent: serverConnectionHandlerID=1, type=0, menuItemID=2, selectedItemID=0")));
        QVERIFY(client->output().contains(QStringLiteral("PLUGIN: shutdown")));
        QVERIFY(!client->errors().contains(QStringLiteral("client connection failed")));
    }

    // The menu item opens the settings window in the helper; while it is
    // open, the helper outlives the client's shutdown.
    void theMenuItemOpensTheSettingsWindow()
    {
        std::unique_ptr<Child> service = m_rig.startService();
        QVERIFY(service);
        std::unique_ptr<Child> client = startHost(QStringLiteral(TS3HOST_PATH), QStringLiteral(PLUGIN_PATH));
        QVERIFY(client);
        QVERIFY(m_rig.waitForServer(true));
        play(*client, {"menu 1"});
        // Built from the settings file, previewing each profile on the device.
        QVERIFY(QTest::qWaitFor([&] { return client->errors().contains(QStringLiteral("boolother 1")); }, 2000));
        QVERIFY(service->waitForCommands(5));
        play(*client, {"shutdown"});
        QVERIFY(client->finished());
        QVERIFY(service->waitForCommands(6));
        QCOMPARE(service->commands().last(), kShutdown);
        QTest::qWait(300);
        QVERIFY(runningPid(helperCopy()) != 0);  // kept alive by the open window
    }

    // Without its helper folder the plugin starts nothing, and every entry
    // point still returns at once.
    void withoutTheHelperEveryCallReturnsAtOnce()
    {
        std::unique_ptr<Child> client =
            startHost(QStringLiteral(TS3HOST_PATH), QStringLiteral(PLUGIN_PATH), /*withHelper=*/false);
        QVERIFY(client);
        play(*client, {"talk own 1", "talk own 0", "menu 1", "talk 7 1", "shutdown"});
        QVERIFY(client->finished());
        QCOMPARE(client->process().exitCode(), 0);
        const auto calls = entryPointTimings(*client);
        QVERIFY(calls.size() >= 10);
        for (const auto &call : calls) {
            // Starting (a process) and ending may take longer than an event, but not long.
            const bool event = call.first != QLatin1String("ts3plugin_init") && call.first != QLatin1String("ts3plugin_shutdown");
            QVERIFY2(call.second < (event ? kEventBudgetUs : 50000),
                     qPrintable(QStringLiteral("%1 took %2 us").arg(call.first).arg(call.second)));
        }
        QVERIFY(client->errors().contains(QStringLiteral("client connection failed")));
    }
};

QTEST_GUILESS_MAIN(TestPluginSession)
#include "tst_plugin_session.moc"
