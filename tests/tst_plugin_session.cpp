// The whole chain as separate processes: the stand-in client loads the
// plugin, the plugin starts the helper, and talk events reach the device.
#include "process_support.h"

#include <QDir>
#include <QtTest>

#include <csignal>

namespace {

// "A few milliseconds" for an event, with room for a loaded machine.
constexpr qint64 kEventBudgetUs = 10000;

const QString kTimingLine = QStringLiteral("^ts3host: (ts3plugin_\\w+) took (\\d+) us$");

// The pid of the running helper started from `program`, or 0.
qint64 helperPid(const QString &program)
{
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(entry));
        if (cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().startsWith(QFile::encodeName(program) + '\0'))
            return entry.toLongLong();
    }
    return 0;
}

}  // namespace

class TestPluginSession : public QObject
{
    Q_OBJECT

private:
    ProcessRig m_rig;
    QTemporaryDir m_home;
    QString m_configDir;
    QString m_pluginsDir;

    QString helperCopy() const { return m_pluginsDir + QStringLiteral("/Vossik_Plugin/TS3_Vossik_Helper_win64"); }

    std::unique_ptr<Child> startHost(const QString &host, const QString &library, bool withHelper = true)
    {
        QStringList arguments{QStringLiteral("--plugin"), library, QStringLiteral("--plugins-dir"), m_pluginsDir,
                              QStringLiteral("--config-dir"), m_configDir, QStringLiteral("--timings")};
        if (withHelper)
            arguments << QStringLiteral("--helper") << QStringLiteral(HELPER_PATH);
        auto client = std::make_unique<Child>(host, arguments, m_rig.env);
        return client->started() ? std::move(client) : nullptr;
    }

    static void play(Child &client, const QStringList &lines)
    {
        for (const QString &line : lines) {
            client.process().write((line + QLatin1Char('\n')).toUtf8());
            client.process().waitForBytesWritten(1000);
            QTest::qWait(30);
        }
    }

    // How long each entry point took since `from` lines of stderr, in µs.
    static QList<QPair<QString, qint64>> timings(Child &client, int from = 0)
    {
        static const QRegularExpression line(kTimingLine);
        QList<QPair<QString, qint64>> found;
        const QStringList lines = client.errors().split(QLatin1Char('\n'));
        for (int i = from; i < lines.size(); ++i) {
            const QRegularExpressionMatch match = line.match(lines.at(i));
            if (match.hasMatch())
                found.append({match.captured(1), match.captured(2).toLongLong()});
        }
        return found;
    }

private slots:
    void cleanup()
    {
        // A helper that a failed check left running would hold the next test's server.
        if (const qint64 pid = helperPid(helperCopy())) {
            ::kill(pid_t(pid), SIGKILL);
            QVERIFY(QTest::qWaitFor([&] { return helperPid(helperCopy()) == 0; }, 2000));
            QFile::remove(m_rig.serverPath());  // left behind by the killed helper
        }
    }

    void initTestCase()
    {
        // A configuration folder whose path holds blanks and non-ASCII letters.
        m_configDir = m_home.path() + QString::fromUtf8("/Jo Ann M\xC3\xBCller/TS3 Client/");
        m_pluginsDir = m_home.path() + QStringLiteral("/plugins");
        QVERIFY(QDir().mkpath(m_configDir));
        QFile settings(m_configDir + QStringLiteral("TS3_Vossik_Plugin.ini"));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write(kSettings.arg(1).toUtf8());
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
        QVERIFY(helperPid(helperCopy()) != 0);  // kept alive by the open window
    }

    // The helper killed mid-session costs the host nothing; started again, it
    // is reached again and the lights follow.
    void aHelperKilledAndStartedAgain()
    {
        std::unique_ptr<Child> service = m_rig.startService();
        QVERIFY(service);
        std::unique_ptr<Child> client = startHost(QStringLiteral(TS3HOST_PATH), QStringLiteral(PLUGIN_PATH));
        QVERIFY(client);
        QVERIFY(m_rig.waitForServer(true));
        play(*client, {"talk own 1"});
        QVERIFY(service->waitForCommands(2));

        const qint64 pid = helperPid(helperCopy());
        QVERIFY(pid > 0);
        QCOMPARE(::kill(pid_t(pid), SIGKILL), 0);
        QVERIFY(QTest::qWaitFor([&] { return helperPid(helperCopy()) == 0; }, 2000));
        const int mark = client->errors().split(QLatin1Char('\n')).size() - 1;
        play(*client, {"talk own 0", "talk own 1", "talk own 0", "talk 7 1", "talk 7 0"});
        QTest::qWait(100);
        const auto whileGone = timings(*client, mark);
        QCOMPARE(whileGone.size(), 5);
        for (const auto &call : whileGone)
            QVERIFY2(call.second < kEventBudgetUs, qPrintable(QStringLiteral("%1 took %2 us").arg(call.first).arg(call.second)));

        QProcess again;  // the helper back, in the same runtime folder
        again.setProcessEnvironment(m_rig.env);
        again.setProgram(helperCopy());
        again.setArguments({m_configDir});
        QVERIFY(again.startDetached());
        QVERIFY(m_rig.waitForServer(true));
        QTest::qWait(1100);  // the link looks for it at most once a second
        play(*client, {"talk 7 1"});
        QVERIFY(QTest::qWaitFor([&] { return service->commands().endsWith(kOthers); }, 2000));
        play(*client, {"shutdown"});
        QVERIFY(client->finished());
        QCOMPARE(client->process().exitCode(), 0);
        QVERIFY(m_rig.waitForServer(false));
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
        const auto calls = timings(*client);
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
