// The whole chain as separate processes: the stand-in client loads the
// plugin, the plugin starts the helper, and talk events reach the device.
#include "process_support.h"
#include "sample_lights.h"
#include "test_support.h"

#include <QElapsedTimer>
#include <QtTest>

#include <functional>

class TestPluginSession : public QObject
{
    Q_OBJECT

private:
    // A configuration folder whose path holds blanks and non-ASCII letters.
    ClientRig m_rig{QString::fromUtf8("Jo Ann M\xC3\xBCller/TS3 Client")};

private slots:
    void init() { QVERIFY(writeSettingsFile(m_rig.configDir)); }
    void cleanup() { QVERIFY(m_rig.endHelper()); }

    // The attention signals through the whole chain, all four on and one
    // second long. "B:" lines are a second client's, played beside the
    // first's. `span`: the ms between two of the lights shown, by the
    // device service's clock, lie in [min, max]. The client never drops a
    // poke or message: no entry point returned anything but 0.
    void theLightsCallTheUser_data()
    {
        // clang-format off
        columns<QStringList, QStringList, QList<int>>({"script", "shown", "span"});  // span: from, to, min, max
        QTest::newRow("a poke shows for its seconds") << QStringList{"poke 7"} << QStringList{"poke", "stop"}
                                                      << QList<int>{0, 1, 995, 1100};
        QTest::newRow("a private message") << QStringList{"message 1 7"} << QStringList{"message", "stop"}
                                           << QList<int>{0, 1, 995, 1100};
        QTest::newRow("someone joins your channel") << QStringList{"move 7 to 2", "move 7 to 1"}
                                                    << QStringList{"join", "stop"} << QList<int>{0, 1, 995, 1100};
        QTest::newRow("a whisper lasts while it lasts")
            << QStringList{"talk 7 1 whisper", "sleep 1500", "talk 7 0"} << QStringList{"whisper", "stop"}
            << QList<int>{0, 1, 1450, 1700};
        QTest::newRow("nothing for your own, ignored, channel or server ones")
            << QStringList{"poke own", "poke 7 ignored", "message 1 own", "message 1 7 ignored", "message 2 7",
                           "message 3 7", "subscribe 8"} << QStringList{} << QList<int>{};
        QTest::newRow("speaking muted stays on top; the poke shows the rest of its time")
            << QStringList{"talk own 2", "sleep 100", "poke 7", "sleep 400", "talk own 0"}
            << QStringList{"mute", "poke", "stop"} << QList<int>{1, 2, 520, 700};
        QTest::newRow("dismiss ends a signal at once")
            << QStringList{"poke 7", "sleep 300", "hotkey vossik_dismiss_signal"} << QStringList{"poke", "stop"}
            << QList<int>{0, 1, 250, 500};
        QTest::newRow("with the lights off nothing posts")
            << QStringList{"hotkey vossik_toggle_lights", "poke 7", "message 1 7", "sleep 1200",
                           "hotkey vossik_toggle_lights"} << QStringList{"shutdown", "stop"}
            << QList<int>{0, 1, 1150, 1500};
        QTest::newRow("two clients' signals combine")
            << QStringList{"poke 7", "B:sleep 200", "B:talk 9 1 whisper", "B:sleep 1500", "B:talk 9 0"}
            << QStringList{"poke", "whisper", "stop"} << QList<int>{0, 1, 995, 1100};
        // clang-format on
    }
    void theLightsCallTheUser()
    {
        QFETCH(QStringList, script);
        QFETCH(QStringList, shown);
        QFETCH(QList<int>, span);
        QString settings = sampleSettings();
        settings
            .replace(QRegularExpression(QStringLiteral("stateEnabled_(9|1[0-2])=0")),
                     QStringLiteral("stateEnabled_\\1=1"))
            .replace(QRegularExpression(QStringLiteral("stateSeconds_(\\d+)=\\d+")),
                     QStringLiteral("stateSeconds_\\1=1"));
        writeFile(m_rig.configDir + QStringLiteral("/TS3_Vossik_Plugin.ini"), settings.toUtf8());
        std::unique_ptr<Child> service, client, second;
        QVERIFY(m_rig.startChain(service, client));
        const QStringList secondScript =
            script.filter(QRegularExpression(QStringLiteral("^B:"))).replaceInStrings(QStringLiteral("B:"), QString());
        if (!secondScript.isEmpty()) {
            QVERIFY(second = m_rig.startBareClient());
            QVERIFY(service->waitForCommands(2));  // its first word shows the silent profile again
        }
        const int before = service->commands().size();
        // Whole, so that the client's own sleeps time the events.
        const auto send = [](Child &to, const QStringList &lines) {
            to.process().write(lines.join(QLatin1Char('\n')).toUtf8() + '\n');
        };
        send(*client, script.filter(QRegularExpression(QStringLiteral("^(?!B:)"))));
        if (second)
            send(*second, secondScript);
        QStringList expected;
        for (const QString &word : shown)
            expected << QString::fromStdString(sample::light(word.toStdString()).text);
        QVERIFY(service->waitForCommands(before + expected.size(), 5000));
        QTest::qWait(300);  // and nothing after them
        const QList<QPair<qint64, QString>> lights = service->timedCommands().mid(before);
        QCOMPARE(service->commands().mid(before), expected);
        if (!span.isEmpty()) {
            const qint64 ms = lights[span[1]].first - lights[span[0]].first;
            qInfo("%lld ms between lights %d and %d", ms, span[0], span[1]);
            QVERIFY2(ms >= span[2] && ms <= span[3], qPrintable(QStringLiteral("%1 ms").arg(ms)));
        }
        for (Child *each : {client.get(), second.get()}) {
            if (each) {
                QVERIFY(shutDown(*each));
                QVERIFY2(!each->errors().contains(QStringLiteral(" returned ")), qPrintable(each->errors()));
            }
        }
    }

    // A flood of pokes posts the poke profile once and ends the sample's
    // five seconds after the last.
    void aFloodOfPokesDoesNotStrobe()
    {
        std::unique_ptr<Child> service, client;
        QVERIFY(m_rig.startChain(service, client));
        const int before = service->commands().size();
        QStringList flood;
        for (int poke = 0; poke < 100; ++poke)
            flood << QStringLiteral("poke 7") << QStringLiteral("sleep 8");
        client->process().write((flood << QStringLiteral("echo flood over")).join(QLatin1Char('\n')).toUtf8() + '\n');
        const auto waitClosely = [](const std::function<bool()> &done) {
            QElapsedTimer limit;
            limit.start();
            while (!done() && limit.elapsed() < 8000)
                QTest::qWait(1);
            return done();
        };
        QElapsedTimer clock;
        clock.start();
        QVERIFY(waitClosely([&] { return client->output().contains(QStringLiteral("flood over")); }));
        const qint64 lastPoke = clock.elapsed();
        QVERIFY(lastPoke < 1500);  // about a second of pokes
        QVERIFY(waitClosely([&] { return service->commands().size() > before + 1; }));
        const qint64 ended = clock.elapsed() - lastPoke;
        qInfo("the light changed %lld ms after the last poke", ended);
        const QString poke = QString::fromStdString(sample::light("poke").text);
        QCOMPARE(service->commands().mid(before), (QStringList{poke, kSilent}));
        QVERIFY2(ended >= 4950 && ended <= 5250, qPrintable(QStringLiteral("%1 ms").arg(ended)));
        // Each poke cost the client's thread no more than any other event.
        const EventCallTimes times = eventCallTimes(entryPointTimings(client->errors()));
        QVERIFY2(times.max < kEventBudgetUs, qPrintable(QStringLiteral("%1 us").arg(times.max)));
        QVERIFY(shutDown(*client));
    }

    // A session with the talk tables' edge cases, for each plugin API.
    void aSessionLightsTheDevice_data()
    {
        // clang-format off
        columns<QString, QString>({"host", "library"});
        QTest::newRow("API " VOSSIK_API_TEXT) << QStringLiteral(TS3HOST_PATH) << QStringLiteral(PLUGIN_PATH);
        QTest::newRow("API " OTHER_API_TEXT) << QStringLiteral(TS3HOST_OTHER_PATH) << QStringLiteral(PLUGIN_OTHER_PATH);
        // clang-format on
    }
    void aSessionLightsTheDevice()
    {
        QFETCH(QString, host);
        QFETCH(QString, library);
        std::unique_ptr<Child> service = m_rig.startService();
        QVERIFY(service);
        std::unique_ptr<Child> client = m_rig.startHost(m_rig.pluginsDir, m_rig.configDir, {}, true, host, library);
        QVERIFY(client);
        QVERIFY(m_rig.waitForServer(true));  // the plugin started the helper, which read its settings
        QVERIFY(service->waitForCommands(1));
        play(*client, {"talk own 1", "talk 7 1", "talk 7 0",              // others while you talk send nothing
                       "talk own 0", "talk 7 1", "talk 8 1", "talk 7 0",  // one of two others stops: nothing
                       "talk own 5", "talk own 2", "talk own 0",          // an unknown status changes nothing
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
        QVERIFY(client->errors().contains(
            QStringLiteral("ts3host: menu item 1 \"Color settings\" icon \"1.png\" type 0\n")));
        QVERIFY(client->errors().contains(QStringLiteral("ts3host: menu icon \"vossik.png\"\n")));
        QVERIFY(client->output().contains(  // another item: nothing is sent
            QStringLiteral(
                "PLUGIN: onMenuItemEvent: serverConnectionHandlerID=1, type=0, menuItemID=2, selectedItemID=0")));
        QVERIFY(client->output().contains(QStringLiteral("PLUGIN: shutdown")));
    }

    // Words in the helper's first moments, before it listens, wait for it:
    // a word at once reaches the device, and a "shutdown" at once still
    // ends the helper. A configuration path of 600 bytes reaches it whole.
    // The script, read whole first, has comments, blanks, tabs and CRs that
    // ts3host skips, an echo, and a line after "shutdown" that it ignores.
    void theFirstMomentsLoseNothing_data()
    {
        // clang-format off
        columns<QStringList, QStringList, int>({"script", "shown", "configPathBytes"});  // 0: the usual folder
        const QStringList talk{" talk\town   1 \r", "\t", "sleep 600"};
        QTest::newRow("a word at once") << talk << QStringList{kSilent, kSpeaking, kShutdown} << 0;
        for (const int ms : {0, 50, 100, 150})
            QTest::addRow("shutdown after %d ms", ms) << QStringList{QStringLiteral("sleep %1").arg(ms)}
                                                      << QStringList{kSilent, kShutdown} << 0;
        QTest::newRow("a 600-byte configuration path") << talk << QStringList{kSilent, kSpeaking, kShutdown} << 600;
        // clang-format on
    }
    void theFirstMomentsLoseNothing()
    {
        QFETCH(QStringList, script);
        QFETCH(QStringList, shown);
        QFETCH(int, configPathBytes);
        QString configDir = m_rig.configDir;
        if (configPathBytes) {
            configDir = m_rig.home.path() + QLatin1Char('/');
            while (configDir.size() < configPathBytes)
                configDir += QString(qMin(200, configPathBytes - configDir.size() - 1), QLatin1Char('c')) + '/';
            QCOMPARE(configDir.toUtf8().size(), configPathBytes);
            QVERIFY(writeSettingsFile(configDir));
        }
        std::unique_ptr<Child> service = m_rig.startService();
        QVERIFY(service);
        std::unique_ptr<Child> client = m_rig.startHost(m_rig.pluginsDir, configDir, {"--script", "-"});
        QVERIFY(client);
        QVERIFY(playScript(*client, QStringList{"# talk own 2", ""} + script << "echo  said  so # not a comment"
                                                                             << "shutdown"
                                                                             << "talk own 1"));
        QVERIFY(service->waitForCommands(shown.size()));
        QVERIFY(QTest::qWaitFor([&] { return runningPid(m_rig.helperCopy()) == 0; }, 3000));
        QCOMPARE(service->commands(), shown);
        QVERIFY(client->output().contains("\nsaid  so # not a comment\n"));
    }

    // --settings and --quit ask the helper the plugin started, as no client
    // of it: the session goes on after --settings; --quit ends the helper
    // (its settings window open) with the shutdown profile, and the plugin
    // starts one again for its next word. With none left, --quit fails.
    void theCommandLineAsksTheHelper()
    {
        std::unique_ptr<Child> service, client;
        QVERIFY(m_rig.startChain(service, client));
        const auto ask = [&](const char *option, const QString &says = QString()) {
            Child request(m_rig.helperCopy(), {QLatin1String(option)}, m_rig.env);
            return request.finished(8000) && request.errors().contains(says) ? request.process().exitCode() : -1;
        };
        QCOMPARE(ask("--settings"), 0);
        QVERIFY(QTest::qWaitFor([&] { return client->errors().contains(QStringLiteral("Opening the settings")); }));
        play(*client, {"talk own 1"});
        QVERIFY(service->waitForLast(kSpeaking));
        QCOMPARE(ask("--quit"), 0);
        QVERIFY(m_rig.waitForServer(false));
        QVERIFY(service->waitForLast(kShutdown));
        play(*client, {"talk own 0"});
        QVERIFY(service->waitForLast(kSilent, 10000));
        QCOMPARE(ask("--quit"), 0);
        QVERIFY(m_rig.waitForServer(false));
        QCOMPARE(ask("--quit", QStringLiteral("No Vossik helper runs")), 1);
        QVERIFY2(!client->errors().contains(QStringLiteral("ended without shutdown")), "a request made a client");
    }

    // Clients started and shut down again and again, each as soon as it
    // can: no helper is left behind.
    void fastCyclesLeaveNoHelper()
    {
        std::unique_ptr<Child> service = m_rig.startService();
        QVERIFY(service);
        for (int cycle = 0; cycle < 20; ++cycle) {
            std::unique_ptr<Child> client = m_rig.startClient({"--script", "-"});
            QVERIFY(client);
            QVERIFY(playScript(*client, {"shutdown"}));
        }
        QVERIFY(QTest::qWaitFor([&] { return runningPid(m_rig.helperCopy()) == 0; }, 3000));
        QVERIFY(service->waitForLast(kShutdown));  // the last helper's shutdown may still be on its way
        QTest::qWait(300);
        QCOMPARE(service->commands().last(), kShutdown);
    }
};

QTEST_GUILESS_MAIN(TestPluginSession)
#include "tst_plugin_session.moc"
