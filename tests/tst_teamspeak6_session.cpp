// TeamSpeak 5/6 through its Remote Apps interface, as separate processes:
// the stand-in Remote Apps server, a standalone helper and the stand-in
// device service; and a plugin client beside them.
#include "process_support.h"
#include "sample_lights.h"
#include "test_support.h"

#include <QtTest>

namespace {

const QString kKey = QStringLiteral("0d9e3f44-5a1b-4c55-9e21-6d0a8b4f7c13");

QString light(const QString &word)
{
    return QString::fromStdString(sample::light(word.toStdString()).text);
}

// The commands with repeats of the one before left out: a state told again
// shows nothing new.
QStringList changes(const QStringList &commands)
{
    QStringList shown;
    for (const QString &command : commands) {
        if (shown.isEmpty() || shown.last() != command)
            shown << command;
    }
    return shown;
}

}  // namespace

class TestTeamSpeak6Session : public QObject
{
    Q_OBJECT

private:
    ClientRig m_rig;
    std::unique_ptr<Child> m_service, m_server, m_helper;
    QString settingsPath() const { return m_rig.configDir + QStringLiteral("/TS3_Vossik_Plugin.ini"); }

    // The stand-in server on a free port, the settings pointing at it (the
    // optional states on, and `storedKey`), the device service.
    bool startServer(const QStringList &options, const QString &storedKey = {})
    {
        m_server =
            std::make_unique<Child>(QStringLiteral(REMOTEAPPS_PATH),
                                    QStringList{QStringLiteral("--port"), QStringLiteral("0")} + options, m_rig.env);
        QString port;
        if (!m_server->started()
            || !QTest::qWaitFor(
                [&] {
                    port =
                        QRegularExpression(QStringLiteral("listening on (\\d+)")).match(m_server->output()).captured(1);
                    return !port.isEmpty();
                },
                5000))
            return false;
        QString settings = sampleSettings().replace(QRegularExpression(QStringLiteral("stateEnabled_([5-8])=0")),
                                                    QStringLiteral("stateEnabled_\\1=1"));
        settings += QStringLiteral("[teamspeak]\nremoteAppsPort=%1\n").arg(port);
        if (!storedKey.isEmpty())
            settings += QStringLiteral("remoteAppsKey=%1\n").arg(storedKey);
        writeFile(settingsPath(), settings.toUtf8());
        m_service = m_rig.startService();
        return bool(m_service);
    }
    bool startHelper()
    {
        m_helper = m_rig.startHelper({QStringLiteral("--standalone"), m_rig.configDir + QLatin1Char('/')});
        return bool(m_helper);
    }
    // How the stand-in saw each "auth": "empty", "known" or "unknown".
    QStringList auths()
    {
        QStringList keys;
        auto found = QRegularExpression(QStringLiteral(" auth \\d+ key=(\\w+)")).globalMatch(m_server->output());
        while (found.hasNext())
            keys << found.next().captured(1);
        return keys;
    }
    QString storedKey() const
    {
        QSettings settings(settingsPath(), QSettings::IniFormat);
        return settings.value(QStringLiteral("teamspeak/remoteAppsKey")).toString();
    }

private slots:
    void initTestCase() { m_rig.env.insert(QStringLiteral("VOSSIK_REMOTE_APPS_RETRY_MS"), QStringLiteral("100")); }
    void cleanup()
    {
        for (auto *child : {&m_helper, &m_server, &m_service})
            child->reset();
    }

    // The pairing's outcomes, then what the device shows. The helper looks
    // again every 100 ms at first, so a second "auth" it should not send
    // would show within the wait.
    void pairing_data()
    {
        // clang-format off
        columns<QStringList, QString, QStringList, QStringList, QString>({"server", "stored", "auths", "shown", "keyAfter"});
        QTest::newRow("allowed: a conversation")
            << QStringList{"--key", kKey, "--answer-delay", "300", "--script", "conversation"} << QString()
            << QStringList{"empty"} << QStringList{"stop", "startother", "stop", "micmuted", "offline"} << kKey;
        QTest::newRow("a stored key: no question")
            << QStringList{"--key", kKey, "--script", "conversation"} << kKey
            << QStringList{"known"} << QStringList{"stop", "startother", "stop", "micmuted", "offline"} << kKey;
        QTest::newRow("denied") << QStringList{"--auth", "deny"} << QString() << QStringList{"empty"} << QStringList{} << QString();
        QTest::newRow("a refused key, by status") << QStringList{"--key", kKey} << QStringLiteral("stale")
                                                  << QStringList{"unknown"} << QStringList{} << QString();
        QTest::newRow("a refused key, by a close") << QStringList{"--key", kKey, "--refuse-key-by", "close"}
                                                   << QStringLiteral("stale") << QStringList{"unknown"} << QStringList{} << QString();
        QTest::newRow("TeamSpeak quit before the user decided")
            << QStringList{"--key", kKey, "--auth", "quit", "--back-after", "1"} << QString()
            << QStringList{"empty", "empty"} << QStringList{"stop"} << kKey;
        // clang-format on
    }
    void pairing()
    {
        QFETCH(QStringList, server);
        QFETCH(QString, stored);
        QFETCH(QStringList, auths);
        QFETCH(QStringList, shown);
        QVERIFY(startServer(server, stored));
        QVERIFY(startHelper());
        QStringList expected{kShutdown};  // no client yet
        for (const QString &word : shown)
            expected << light(word);
        (void)QTest::qWaitFor([&] { return changes(m_service->commands()) == expected && this->auths() == auths; },
                              8000);
        QTest::qWait(1500);  // and nothing more
        QCOMPARE(this->auths(), auths);
        QCOMPARE(changes(m_service->commands()), expected);
        QTEST(storedKey(), "keyAfter");
        const QString log = m_helper->errors();
        QCOMPARE(log.count(QStringLiteral("TeamSpeak refused")), shown.isEmpty() ? 1 : 0);
        QCOMPARE(log.count(QStringLiteral("Settings → Extensions → Remote Apps")), stored.isEmpty() ? 1 : 0);
        QVERIFY2(!log.contains(kKey) && !m_server->output().contains(kKey), "the key is a secret");
        if (!storedKey().isEmpty())
            QCOMPARE(QFile::permissions(settingsPath()) & 0x0077, QFileDevice::Permissions());
    }

    // TeamSpeak quits: the shutdown profile (as before it came); back five seconds later, the
    // state it tells shows again within ten, with the stored key.
    void theClientQuitsAndComesBack()
    {
        QTemporaryFile script;
        QVERIFY(script.open());
        script.write("sleep 300\ntalk 7 1\nsleep 300\ntalk 7 0\nsleep 300\nquit 5\n");
        script.close();
        QVERIFY(startServer({"--key", kKey, "--script", script.fileName()}, kKey));
        QVERIFY(startHelper());
        QVERIFY(QTest::qWaitFor([&] { return changes(m_service->commands()).count(kShutdown) == 2; }, 5000));
        QElapsedTimer back;
        back.start();
        QVERIFY(m_service->waitForLast(kSilent, 16000));
        QVERIFY2(back.elapsed() < 15000, qPrintable(QString::number(back.elapsed())));
        QCOMPARE(changes(m_service->commands()),
                 (QStringList{kShutdown, kSilent, kOthers, kSilent, kShutdown, kSilent}));
        QCOMPARE(auths(), (QStringList{"known", "known"}));
    }

    // A plugin client and TeamSpeak 5/6 at once: the higher-ranked state of
    // the two; the shutdown profile only once both have gone.
    void besideAPluginClient()
    {
        QTemporaryFile script;
        QVERIFY(script.open());
        script.write("sleep 1000\ntalk 7 1\nsleep 1500\nquit\n");
        script.close();
        QVERIFY(startServer({"--key", kKey, "--script", script.fileName()}, kKey));
        QVERIFY(startHelper());
        QVERIFY(m_service->waitForCommands(1));
        std::unique_ptr<Child> client = m_rig.startBareClient();
        QVERIFY(client);
        play(*client, {"talk own 1", "sleep 1200", "talk own 0"});
        const QStringList bothThenOne{kShutdown, kSilent, kSpeaking, kOthers, kSilent};
        (void)QTest::qWaitFor([&] { return changes(m_service->commands()) == bothThenOne; }, 6000);
        QCOMPARE(changes(m_service->commands()), bothThenOne);
        QVERIFY(shutDown(*client));
        QVERIFY(m_service->waitForLast(kShutdown));
        QCOMPARE(changes(m_service->commands()),
                 (QStringList{kShutdown, kSilent, kSpeaking, kOthers, kSilent, kShutdown}));
        QVERIFY(m_helper->process().state() == QProcess::Running);  // standalone: it stays
    }
};

QTEST_GUILESS_MAIN(TestTeamSpeak6Session)
#include "tst_teamspeak6_session.moc"
