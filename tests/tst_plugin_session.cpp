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

    std::unique_ptr<Child> startHost(const QString &host, const QString &library)
    {
        return m_rig.startHost(host, library, m_pluginsDir, m_configDir);
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

    // The light after moments that once showed a wrong state: it is always
    // that of the true one.
    void theLightShowsTheTrueState_data()
    {
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QString>("shown");
        QTest::newRow("two others talk, the first stops") << QStringList{"talk 7 1", "talk 8 1", "talk 7 0"} << kOthers;
        QTest::newRow("you stop while another talks") << QStringList{"talk 7 1", "talk own 1", "talk own 0"} << kOthers;
        QTest::newRow("the connection ends while you talk") << QStringList{"talk own 1", "status 0"} << kSilent;
        QTest::newRow("a talker moves out of view") << QStringList{"talk 7 1", "move 7 2"} << kSilent;
        QTest::newRow("a talker is kicked") << QStringList{"talk 7 1", "kick 7"} << kSilent;
    }
    void theLightShowsTheTrueState()
    {
        QFETCH(QStringList, script);
        QFETCH(QString, shown);
        std::unique_ptr<Child> service = m_rig.startService();
        QVERIFY(service);
        std::unique_ptr<Child> client = startHost(QStringLiteral(TS3HOST_PATH), QStringLiteral(PLUGIN_PATH));
        QVERIFY(client && service->waitForCommands(1, 5000));
        play(*client, script);
        QTest::qWait(300);
        QCOMPARE(service->commands().last(), shown);
        play(*client, {"shutdown"});
        QVERIFY(client->finished());
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
                       "talk own 0", "talk 7 1", "talk 8 1", "talk 7 0",  // one of two others stops: nothing
                       "talk own 5", "talk own 2", "talk own 0",  // an unknown status changes nothing
                       "clientid-error 1234", "talk own 1", "clientid-error 0", "menu 2", "shutdown"});
        QVERIFY(client->finished());
        QCOMPARE(client->process().exitCode(), 0);
        QVERIFY(m_rig.waitForServer(false));  // the helper ended
        QVERIFY(service->waitForCommands(7));
        QTest::qWait(100);
        QCOMPARE(service->commands(), (QStringList{kSilent, kSpeaking, kSilent, kOthers, kMute, kOthers, kShutdown}));
        QVERIFY(client->output().contains(QStringLiteral("Error getting own client ID: 1234")));
        // The one menu item and the icon, as the client lists them before it frees them.
        QCOMPARE(client->errors().count(QStringLiteral("ts3host: menu item ")), 1);
        QVERIFY(client->errors().contains(QStringLiteral("ts3host: menu item 1 \"Color settings\" icon \"1.png\" type 0\n")));
        QVERIFY(client->errors().contains(QStringLiteral("ts3host: menu icon \"vossik.png\"\n")));
        QVERIFY(client->output().contains(  // another item: nothing is sent
            QStringLiteral("PLUGIN: onMenuItemEvent: serverConnectionHandlerID=1, type=0, menuItemID=2, selectedItemID=0")));
        QVERIFY(client->output().contains(QStringLiteral("PLUGIN: shutdown")));
    }

    // Words in the helper's first moments, before it listens, wait for it:
    // a word at once reaches the device, and a "shutdown" at once still
    // ends the helper. A configuration path of 600 bytes reaches it whole.
    void theFirstMomentsLoseNothing_data()
    {
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<int>("configPathBytes");  // 0: the usual folder
        QTest::newRow("a word at once") << QStringList{"talk own 1", "sleep 600", "shutdown"}
                                        << QStringList{kSilent, kSpeaking, kShutdown} << 0;
        for (const int ms : {0, 50, 100, 150}) {
            QTest::addRow("shutdown after %d ms", ms)
                << QStringList{QStringLiteral("sleep %1").arg(ms), "shutdown"} << QStringList{kSilent, kShutdown} << 0;
        }
        QTest::newRow("a 600-byte configuration path") << QStringList{"talk own 1", "sleep 600", "shutdown"}
                                                       << QStringList{kSilent, kSpeaking, kShutdown} << 600;
    }
    void theFirstMomentsLoseNothing()
    {
        QFETCH(QStringList, script);
        QFETCH(QStringList, shown);
        QFETCH(int, configPathBytes);
        QString configDir = m_configDir;
        if (configPathBytes) {
            configDir = m_home.path() + QLatin1Char('/');
            while (configDir.size() < configPathBytes)
                configDir += QString(qMin(200, configPathBytes - configDir.size() - 1), QLatin1Char('c')) + '/';
            QCOMPARE(configDir.toUtf8().size(), configPathBytes);
            QVERIFY(writeSettingsFile(configDir));
        }
        std::unique_ptr<Child> service = m_rig.startService();
        QVERIFY(service);
        std::unique_ptr<Child> client = m_rig.startHost(TS3HOST_PATH, PLUGIN_PATH, m_pluginsDir, configDir, true,
                                                        {"--script", "-"});
        QVERIFY(client);
        client->process().write(script.join(QLatin1Char('\n')).toUtf8() + '\n');  // read whole before the plugin loads
        client->process().closeWriteChannel();
        QVERIFY(client->finished());
        QVERIFY(service->waitForCommands(shown.size()));
        QVERIFY(QTest::qWaitFor([&] { return runningPid(helperCopy()) == 0; }, 3000));
        QCOMPARE(service->commands(), shown);
    }

    // Clients started and shut down again and again, each as soon as it
    // can: no helper is left behind.
    void fastCyclesLeaveNoHelper()
    {
        std::unique_ptr<Child> service = m_rig.startService();
        QVERIFY(service);
        for (int cycle = 0; cycle < 20; ++cycle) {
            std::unique_ptr<Child> client = m_rig.startHost(TS3HOST_PATH, PLUGIN_PATH, m_pluginsDir, m_configDir,
                                                            true, {"--script", "-"});
            QVERIFY(client);
            client->process().write("shutdown\n");
            client->process().closeWriteChannel();
            QVERIFY(client->finished());
        }
        QVERIFY(QTest::qWaitFor([&] { return runningPid(helperCopy()) == 0; }, 3000));
        QVERIFY(service->waitForCommands(2));
        QCOMPARE(service->commands().last(), kShutdown);
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
        std::unique_ptr<Child> client = m_rig.startHost(TS3HOST_PATH, PLUGIN_PATH, m_home.path() + "/bare", m_configDir,
                                                        /*withHelper=*/false);
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
