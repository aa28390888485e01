// The helper's control window in this process: the settings file as it and
// the settings window read it, and the words on its command socket as the
// device sees them.
#include "attach_event_filter.h"
#include "command_client.h"
#include "command_framing.h"
#include "command_server_name.h"
#include "config_wnd.h"
#include "light_control_api.h"
#include "light_router.h"
#include "light_rule.h"
#include "device_settings.h"
#include "message_endpoint.h"
#include "qt_wnd.h"
#include "settings_file.h"
#include "standalone_tray.h"
#include "tray_menu.h"
#include "autostart.h"
#include "remote_apps_client.h"
#include "test_support.h"

#include <QLocalServer>
#include <QMenu>
#include <QRadioButton>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using protocol::LightCommand;
using protocol::muteSignal;

Q_DECLARE_METATYPE(LightProfile)

namespace {

QString describe(const LightProfile &p)
{
    return QString::asprintf("zone %d effect %d speed %d rgb %d,%d,%d", p.zone, p.effect, p.speed, p.red, p.green,
                             p.blue);
}

QByteArray frames(const QStringList &words)
{
    QByteArray bytes;
    for (const QString &word : words)
        bytes += framing::encodeFrame(word);
    return bytes;
}

}  // namespace

class TestControlWindow : public QObject
{
    Q_OBJECT

private:
    PrivateRuntimeDir m_runtime;
    QTemporaryDir m_settings;
    AttachEventFilter m_filter;
    std::unique_ptr<QWidget> m_serviceWindow;
    platform::Handle m_service = 0;
    std::unique_ptr<LightRouter> m_router;
    std::uint32_t m_commandMsg = platform::registerMessage("WM_VOSSIK_ZELL_LIGHT_CONTROL_API");

    // A control window whose light link is attached to our stand-in service
    // and whose command server listens, as after a normal start. It shows
    // nothing until a client speaks.
    std::unique_ptr<Qt_wnd> startHelper(remote_apps::Client *remoteApps = nullptr, bool standalone = false)
    {
        g_lightApi = new LightControlApi;
        g_lightApi->serviceWnd = m_service;
        m_router = std::make_unique<LightRouter>(LightService::Zell, g_lightApi, nullptr);
        auto window = std::make_unique<Qt_wnd>(*m_router, nullptr, Qt_wnd::kIdleLimitMs, remoteApps, standalone);
        startLightHandshake(g_lightApi, platform::openEndpoint(window.get()));
        const bool ready = QTest::qWaitFor(
            [&] {
                auto *server = window->findChild<QLocalServer *>();
                return server && server->isListening();
            },
            2000);
        return ready ? std::move(window) : nullptr;
    }

    QList<LightCommand> commandsSeen(const MessageRecorder &recorder) const
    {
        QList<LightCommand> commands;
        for (const platform::Message &m : recorder.to(m_service, m_commandMsg))
            commands.append(LightCommand{m.wParam, m.lParam});
        return commands;
    }

private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(settings);
        Q_INIT_RESOURCE(icons);
        g_settingsDir = m_settings.path() + QLatin1Char('/');
        qputenv("XDG_CONFIG_HOME", (m_settings.path() + QStringLiteral("/config")).toUtf8());  // the autostart entry's
        qApp->installNativeEventFilter(&m_filter);
        m_serviceWindow = std::make_unique<QWidget>();
        m_service = platform::openEndpoint(m_serviceWindow.get());
    }

    void cleanup()
    {
        QFile::remove(settingsFilePath());
        m_router.reset();
        QVERIFY(!g_lightApi);  // each window frees its record
    }

    // Both readers of the settings file on the same files: no file at all,
    // and the fuzz seeds in tests/fuzz/corpus/settings (odd values, values
    // out of range, keys elsewhere). What the control window holds and
    // logs; what the settings window checks and logs, and what its save at
    // once writes back, keeping what it does not own.
    void bothReadersOfTheSettingsFile()
    {
        const QDir seeds(QStringLiteral(GOLDEN_DIR "/../fuzz/corpus/settings"));
        const auto logged = [](const LogCapture &log) {
            QStringList lines;
            for (QString line : log.lines()) {
                if (line != QLatin1String("Failed to set vossik colors"))  // no light link here
                    lines << "  log: " + line.replace(settingsFilePath(), QLatin1String("<file>"));
            }
            return lines;
        };
        QStringList dump;
        for (const QString &name : QStringList{QString()} + seeds.entryList(QDir::Files, QDir::Name)) {
            QFile::remove(settingsFilePath());
            QVERIFY(name.isEmpty() || QFile::copy(seeds.filePath(name), settingsFilePath()));
            dump << "== " + (name.isEmpty() ? QStringLiteral("no file") : name) << "control window:";
            {
                LightRouter noLight(LightService::Zell, nullptr, nullptr);
                Qt_wnd helper(noLight);
                LogCapture log;
                QVERIFY(QMetaObject::invokeMethod(&helper, "loadConfig"));
                for (int n = SpeakingProfile; n <= OthersProfile; ++n)
                    dump << QStringLiteral("  profile %1: %2").arg(n).arg(describe(helper.profile(n)));
                const ShowOptions &shown = helper.m_light.options();
                QString enabled;
                for (const bool on : shown.enabled)
                    enabled += QString::number(on);
                for (const bool on : shown.signalsOn)
                    enabled += QString::number(on);
                dump << QStringLiteral("  others option %1").arg(helper.otherTalking())
                     << QStringLiteral("  states 5-12 enabled %1, signal seconds %2 %3 %4")
                            .arg(enabled)
                            .arg(shown.seconds[0])
                            .arg(shown.seconds[1])
                            .arg(shown.seconds[3])
                     << logged(log);
                LogCapture deviceLog;
                const DeviceSettings device = readDeviceSettings();
                const char *const services[] = {"auto", "zell", "openrgb"};
                dump << QStringLiteral("  device: %1 at %2:%3, controllers [%4], at exit %5")
                            .arg(QLatin1String(services[int(device.service)]), device.openrgb.host)
                            .arg(device.openrgb.port)
                            .arg(device.openrgb.devices.join(QLatin1Char('|')),
                                 device.openrgb.atExit == AtExit::Restore ? "restore" : "profile")
                     << logged(deviceLog);
            }
            g_lightApi = new LightControlApi;  // with a light link: not the bare form
            const auto freeLink = qScopeGuard([] { freeLightControlApi(g_lightApi); });
            LightRouter router(LightService::Zell, g_lightApi, nullptr);
            LogCapture log;
            ConfigWnd window(&router);
            QSignalSpy changed(&window, &ConfigWnd::settingsChanged);
            QStringList checked;
            for (QRadioButton *radio : window.findChildren<QRadioButton *>()) {
                if (radio->isChecked())
                    checked << radio->objectName();
            }
            checked.sort();
            dump << "settings window:"
                 << "  checked: " + checked.join(' ') << logged(log);
            LogCapture saveLog;
            window.saveConfig();
            // A save that fails says why, and the control window is not told.
            const QStringList failed = saveLog.lines().filter(QStringLiteral("Failed to save settings"));
            QCOMPARE(changed.count(), failed.isEmpty() ? 1 : 0);
            for (QString line : failed)
                dump << "  log: " + line.replace(settingsFilePath(), QLatin1String("<file>"));
            if (!failed.isEmpty()) {
                QCOMPARE(readFile(settingsFilePath()), readFile(seeds.filePath(name)));
                dump << "  file unchanged";
                continue;
            }
            QFile saved(settingsFilePath());
            QVERIFY(saved.open(QIODevice::ReadOnly | QIODevice::Text));
            for (const QByteArray &line : saved.readAll().split('\n'))
                dump << "  saved: " + QString::fromUtf8(line);
        }
        compareWithGolden(QStringLiteral("settings_readers.txt"), dump);
    }

    void rejectedValuesKeepThePreviousLoad()
    {
        writeFile(settingsFilePath(), "[colors]\nradioZone=2\nradioEffect=4\nradioSpeed=3\n");
        LightRouter noLight(LightService::Zell, nullptr, nullptr);
        Qt_wnd window(noLight);
        QVERIFY(QMetaObject::invokeMethod(&window, "loadConfig"));
        writeFile(settingsFilePath(), "[colors]\nradioZone=7\nradioEffect=9\nradioSpeed=5\nm_redValue=12\n");
        QVERIFY(QMetaObject::invokeMethod(&window, "loadConfig"));
        QCOMPARE(describe(window.profile(1)), describe(LightProfile{2, 4, 3, 12, 0, 0}));
    }

    // Bytes on the command socket, and the light commands they become, one
    // per word, each once, in order ('m' the mute signal, '-' another); a
    // text that is no command word is passed over. A bad frame, of either
    // kind (which bytes are one: tst_command_framing), ends only the
    // connection that sent it: the word before it counts, and a new
    // connection's "mute" is carried out.
    void wordsOnTheCommandSocket_data()
    {
        // clang-format off
        columns<QList<QByteArray>, bool, QString>({"writes", "bad", "shown"});
        QList<QByteArray> bytewise;
        for (char byte : frames({"mute"}))
            bytewise << QByteArray(1, byte);
        QTest::newRow("a word written byte by byte") << bytewise << false << "m";
        QStringList words;
        for (int i = 0; i < 1000; ++i)
            words << (i % 2 ? QStringLiteral("mute") : QStringLiteral("stop"));
        QTest::newRow("no command word between two") << QList<QByteArray>{frames({"start", "starts", "", QString(), "mute"})} << false << "-m";
        QTest::newRow("a thousand words in one write") << QList<QByteArray>{frames(words)} << false
                                                       << QString("-m").repeated(500);
        const QList<QPair<const char *, QByteArray>> garbage{
            {"odd length", QByteArray("\x00\x00\x00\x03\x00\x61\x00", 7)},
            {"text bytes, a length over the cap", QByteArray("GET / HTTP/1.1\r\n\r\n")}};
        for (const auto &[tag, bytes] : garbage)
            QTest::newRow(tag) << QList<QByteArray>{frames({"start"}) + bytes + frames({"stop"})} << true << "-m";
        // clang-format on
    }
    void wordsOnTheCommandSocket()
    {
        QFETCH(QList<QByteArray>, writes);
        QFETCH(bool, bad);
        QFETCH(QString, shown);
        std::unique_ptr<Qt_wnd> window = startHelper();
        QVERIFY(window);
        MessageRecorder recorder;
        LogCapture log;
        const QString server = QString::fromStdString(platform::commandServerName());
        CommandClient client, good;
        QVERIFY(client.connectTo(server));
        for (const QByteArray &bytes : writes) {
            QVERIFY(client.send(bytes));
            QTest::qWait(writes.size() > 1 ? 5 : 0);
        }
        if (bad) {
            QVERIFY(QTest::qWaitFor([&] { return client.state() == QLocalSocket::UnconnectedState; }, 2000));
            QCOMPARE(log.lines().filter(QStringLiteral("Bad command frame")).size(), 1);
            QVERIFY(good.connectTo(server) && good.say(QStringLiteral("mute")));
        }
        QVERIFY(QTest::qWaitFor([&] { return commandsSeen(recorder).size() >= shown.size(); }, 5000));
        QTest::qWait(100);
        QString seen;
        for (const LightCommand &command : commandsSeen(recorder))
            seen += command == muteSignal() ? 'm' : '-';
        QCOMPARE(seen, shown);
    }

    // The standalone helper's tray menu on a helper of its own: "say:W" is a
    // word of this process, a plugin's; "menu:T" chooses the item whose text
    // is T now (so the toggle's label is checked). Each profile's red is
    // its number times 10, and the posts are those numbers, the start's
    // shutdown profile first, matched as a pattern; the tooltip, last.
    void theTrayMenu_data()
    {
        // clang-format off
        columns<QStringList, QString, QString>({"steps", "posts", "tip"});
        QTest::newRow("the toggle, and its label") << QStringList{"say:start", "menu:Lights on", "say:stop", "menu:Lights off"}
            << "3 1 3 2" << "off in the settings\nTeamSpeak 3: 1 plugin$";
        QTest::newRow("off outlasts the clients") << QStringList{"say:start", "menu:Lights on", "say:shutdown", "say:start", "menu:Lights off"}
            << "3 1 3 1" << "settings\nTeamSpeak 3: 1 plugin$";
        QTest::newRow("on with no client left") << QStringList{"say:stop", "menu:Lights on", "say:shutdown", "menu:Lights off"}
            << "3 2 3 3" << "settings$";
        QTest::newRow("dismiss") << QStringList{"say:stop", "say:poke", "menu:Dismiss the light signal"} << "3 2 9 2" << "plugin$";
        QTest::newRow("quit with the settings window open") << QStringList{"say:start", "menu:Color settings", "menu:Quit"}
            << "3 1 .* 3" << "";
        QTest::newRow("start with the system, and not") << QStringList{"menu:Start with the system", "menu:Start with the system"}
            << "3" << "";
        // clang-format on
    }
    void theTrayMenu()
    {
        QFETCH(QStringList, steps);
        QString settings = QStringLiteral("[colors]\nstateEnabled_9=1\n");
        for (const int n : {1, 2, 3, 9})
            settings += QStringLiteral("m_redValue%1=%2\n").arg(profileSuffix(n)).arg(10 * n);
        writeFile(settingsFilePath(), settings.toUtf8());
        const auto off = [] { return remote_apps::Settings{false, 0, QString()}; };
        remote_apps::Client remoteApps(off, [](const QString &) { return true; });
        MessageRecorder recorder;
        std::unique_ptr<Qt_wnd> window = startHelper(&remoteApps, true);
        QVERIFY(window);
        const std::unique_ptr<TrayMenu> tray =
            makeStandaloneTray(*window, remoteApps, QString(), QStringLiteral("/opt/v/helper"));
        QSignalSpy quit(window.get(), &Qt_wnd::quitRequested);
        CommandClient plugin;
        QVERIFY(plugin.connectTo(QString::fromStdString(platform::commandServerName())));
        QVERIFY(QTest::qWaitFor([&] { return !commandsSeen(recorder).isEmpty(); }, 2000));
        const bool autostartBefore = platform::autostartEnabled();
        for (const QString &step : steps) {
            const QString what = step.section(':', 1);
            if (step.startsWith(QLatin1String("say:"))) {
                QVERIFY(plugin.say(what));
                QTest::qWait(50);
                continue;
            }
            tray->menu()->popup(QPoint());  // reads what the items show, as a click does
            QAction *item = nullptr;
            for (QAction *action : tray->menu()->actions())
                item = action->text() == what ? action : item;
            tray->menu()->hide();
            QVERIFY2(item, qPrintable(what));
            const bool wasChecked = item->isChecked();
            item->trigger();
            if (what == QLatin1String("Start with the system"))
                QVERIFY(platform::autostartEnabled() != wasChecked && item->isChecked() != wasChecked);
        }
        QTest::qWait(50);
        QStringList seen;
        for (const LightCommand &command : commandsSeen(recorder))
            seen << QString::number(command.unpack().red() / 10);
        QFETCH(QString, posts);
        QFETCH(QString, tip);
        QVERIFY2(QRegularExpression('^' + posts + '$').match(seen.join(' ')).hasMatch(), qPrintable(seen.join(' ')));
        QVERIFY2(QRegularExpression(tip).match(tray->toolTip()).hasMatch(), qPrintable(tray->toolTip()));
        const QList<QSize> sizes{{16, 16}, {20, 20}, {24, 24}, {32, 32}, {40, 40}, {48, 48}};
        QCOMPARE(tray->icon().availableSizes(), sizes);  // drawn for each, none scaled
        QCOMPARE(platform::autostartEnabled(), autostartBefore);
        QCOMPARE(quit.count(), steps.contains(QStringLiteral("menu:Quit")) ? 1 : 0);
        const auto *server = window->findChild<QLocalServer *>();
        QVERIFY(quit.isEmpty() || (!window->settingsWindow() && (!server || !server->isListening())));
    }

    // The rule alone, with the time told: words of clients a and b, "a:end"
    // (the client has gone), "tick" (the timer came) and "reload:<on>"
    // (Apply), each at the time after '@', else at the time before. Enabled:
    // the signals PMWJ, '6' microphone muted; seconds 5, 5, 3. For each
    // event what posts: '-' nothing, 'x' the shutdown profile, or the state
    // as in statesShown, then "@T" while the rule asks to be woken at T.
    void signalsOverTheVoiceState_data()
    {
        // clang-format off
        columns<QString, QString, QString>({"enabled", "events", "posts"});
        QTest::newRow("a poke for 5 s") << "PMWJ" << "a:stop@0 a:poke@1000 tick@5999 tick@6000" << ". P@6000 -@6000 .";
        QTest::newRow("a whisper while it lasts") << "PMWJ" << "a:start@0 a:whisper a:stop@9000 a:whisperend@70000" << "S W - .";
        QTest::newRow("repeats only move the end") << "PMWJ" << "a:stop@0 a:poke a:poke@1000 a:poke@4000 tick@9000" << ". P@5000 -@6000 -@9000 .";
        QTest::newRow("a poke again after its end") << "PMWJ" << "a:stop@0 a:poke tick@5000 a:poke" << ". P@5000 . P@10000";
        QTest::newRow("in rank, each on its clock") << "PMWJ" << "a:stop@0 a:join a:whisper@1000 a:message@2000 a:poke@3000 tick@8000 a:whisperend" << ". J@3000 W M@7000 P@8000 W .";
        QTest::newRow("the red warning stays on top") << "PMWJ" << "a:mute@0 a:poke@1000 a:whisper a:stop@3000 tick@6000 a:whisperend" << "m - - P@6000 W .";
        QTest::newRow("heard elsewhere, the signal shows") << "PMWJ" << "b:start@0 a:mute a:poke a:stop@5000" << "S - P@5000 S";
        QTest::newRow("no word re-posts a signal") << "PMWJ6" << "a:stop@0 a:poke a:start@100 a:micmuted a:stop a:poke@2000 tick@7000" << ". P@5000 -@5000 -@5000 -@5000 -@7000 6";
        QTest::newRow("dismiss ends the timed ones") << "PMWJ" << "a:stop@0 a:poke a:join@100 a:whisper@200 a:dismiss@300 a:dismiss a:whisperend" << ". P@5000 -@5000 -@5000 W - .";
        QTest::newRow("dismiss: every client's") << "PMWJ" << "a:stop@0 b:stop b:message a:dismiss@100" << ". . M@5000 .";
        QTest::newRow("two clients: the later end") << "PMWJ" << "a:stop@0 b:stop a:poke b:poke@2000 tick@7000" << ". . P@5000 -@7000 .";
        QTest::newRow("a client ends with its signals") << "PMWJ" << "a:stop@0 b:stop b:whisper b:poke@100 b:end@1000" << ". . W P@5100 .";
        QTest::newRow("the last client ends during a poke") << "PMWJ" << "a:stop@0 a:poke a:end@1000" << ". P@5000 -";
        QTest::newRow("disabled ones post nothing") << "M" << "a:stop@0 a:poke a:whisper a:join a:message@1000 tick@6000" << ". - - - M@6000 .";
        QTest::newRow("enabled mid-signal: its rest") << "" << "a:stop@0 a:poke reload:P@1000 tick@5000" << ". - P@5000 .";
        QTest::newRow("lights off: nothing, then what holds") << "PMWJ" << "a:stop@0 a:lightsoff a:poke a:lightson@1000 tick@5000" << ". x - P@5000 .";
        QTest::newRow("lights off over a signal") << "PMWJ" << "a:stop@0 a:poke a:lightsoff@1000 tick@5000 a:lightson@6000" << ". P@5000 x - .";
        // clang-format on
    }
    void signalsOverTheVoiceState()
    {
        QFETCH(QString, enabled);
        QFETCH(QString, events);
        QFETCH(QString, posts);
        const auto optionsOf = [](const QString &on) {
            ShowOptions options;
            options.enabled[int(Fact::MicMuted)] = on.contains('6');
            for (int signal = 0; signal < kSignalCount; ++signal)
                options.signalsOn[signal] = on.contains(QStringLiteral("PMWJ").at(signal));
            return options;
        };
        LightRule rule;
        rule.setOptions(optionsOf(enabled));
        std::int64_t now = 0;
        QStringList seen;
        for (const QString &event : events.split(' ')) {
            if (event.contains('@'))
                now = event.section('@', 1).toLongLong();
            const QString who = event.section('@', 0, 0).section(':', 0, 0);
            const QString word = event.section('@', 0, 0).section(':', 1);
            const std::int64_t client = who == QLatin1String("a") ? 1 : 2;
            LightRule::Post post;
            if (who == QLatin1String("tick")) {
                post = rule.onTime(now);
            } else if (who == QLatin1String("reload")) {
                rule.setOptions(optionsOf(word));
                post = rule.showAgain(now);
            } else if (word == QLatin1String("end")) {
                post = rule.removeClient(client, now);
            } else {
                const auto command = protocol::commandWordFromText(word.toStdU16String());
                QVERIFY2(command, qPrintable(event));
                rule.addClient(client);
                post = rule.onWord(client, *command, now);
            }
            QString text(post.kind == LightRule::Post::State ? QLatin1String(".8765oSJWMPm").at(int(post.state))
                                                             : QLatin1String("- x").at(post.kind));
            if (const std::optional<std::int64_t> wake = rule.wakeAt())
                text += '@' + QString::number(*wake);
            seen << text;
        }
        QCOMPARE(seen.join(' '), posts);
    }

    // Words from client a or b, "reload" (Apply), "wnd" and "close" (the
    // settings window), and the commands the device gets as profile numbers
    // "S.xo5678PMWJ" (speaking, silent, shutdown, others, sound muted, mic
    // muted, away, not connected, poked, message, whispered, joined) or 'm'
    // (the mute signal). No profile has a speed. (The signals through
    // Qt_wnd and its timer: tst_plugin_session's whole chain.)
    void statesShown_data()
    {
        // clang-format off
        columns<QByteArray, QString, QString>({"settings", "words", "shown"});
        const QByteArray all = "stateEnabled_5=1\nstateEnabled_6=1\nstateEnabled_7=1\nstateEnabled_8=1\n";
        QTest::newRow("new states off") << QByteArray("stateEnabled_5=2\nstateEnabled_6=yes\n") << "a:micmuted a:soundmuted a:start a:away a:offline a:stop" << "S.";
        QTest::newRow("in rank, each word") << all << "a:offline a:away a:micmuted a:soundmuted a:away a:start a:mute a:stop a:soundunmuted a:micunmuted a:back a:online" << "87655Sm5678.";
        QTest::newRow("only away on") << QByteArray("stateEnabled_7=1\n") << "a:micmuted a:away a:micunmuted a:back" << "7.";
        QTest::newRow("others option on") << "otherTalkingBool=1\n" + all << "a:micmuted a:startother a:stop" << "6o6";
        QTest::newRow("others option 2: off") << "otherTalkingBool=2\n" + all << "a:micmuted a:startother a:micunmuted" << "66.";
        QTest::newRow("two: offline when both are") << all << "b:stop a:offline b:offline a:online" << ".8.";
        QTest::newRow("two: muted when either is") << all << "b:stop a:micmuted b:start b:stop a:micunmuted" << ".6S6.";
        QTest::newRow("two, new states off") << QByteArray() << "b:start a:micmuted a:stop b:stop" << "S.";
        QTest::newRow("two: heard there, muted here") << QByteArray() << "b:start a:mute a:stop b:stop" << "S.";
        QTest::newRow("two: muted here, heard there") << QByteArray() << "a:mute b:start b:stop a:stop" << "mSm.";
        QTest::newRow("lights off follows") << all << "a:micmuted a:lightsoff a:start a:stop a:away a:lightson a:micunmuted" << "6x67";
        QTest::newRow("lights off: window") << QByteArray() << "a:start a:lightsoff a:wnd reload close a:lightson" << "SxxxS";
        QTest::newRow("two toggles: off while either is") << QByteArray() << "b:stop a:start a:lightsoff b:lightsoff a:lightson b:start b:lightson" << ".SxS";
        QTest::newRow("two toggles: one ends with its client") << QByteArray() << "b:stop a:lightsoff a:shutdown b:start b:lightsoff" << ".x.Sx";
        // clang-format on
    }
    void statesShown()
    {
        QFETCH(QByteArray, settings);
        QFETCH(QString, words);
        QFETCH(QString, shown);
        QByteArray ini = "[colors]\n";
        QList<LightCommand> profiles;
        for (int n = SpeakingProfile; n <= kProfileCount; ++n) {
            ini += QStringLiteral("m_redValue%1=%2\nradioZone%1=%3\nradioEffect%1=%4\n")
                       .arg(profileSuffix(n))
                       .arg(n * 10)
                       .arg(1 + n % 2)
                       .arg(n % 5)
                       .toUtf8();
            profiles << LightProfile{1 + n % 2, n % 5, protocol::LightSpeedNormal, n * 10, 0, 0}.command();
        }
        writeFile(settingsFilePath(), ini + settings);
        std::unique_ptr<Qt_wnd> window = startHelper();
        QVERIFY(window && QTest::qWaitFor([&] { return window->profile(OfflineProfile).red == 80; }, 2000));
        MessageRecorder recorder;
        QString seen;
        const auto take = [&] {  // what came since the last call
            QTest::qWait(150);
            for (const LightCommand &command : commandsSeen(recorder)) {
                const int n = profiles.indexOf(command);
                seen += command == muteSignal() ? QChar('m')
                        : n < 0                 ? QChar('?')
                                                : QStringLiteral("S.xo5678PMWJ").at(n);
            }
            recorder.messages.clear();
        };
        for (const QString &word : words.split(' ')) {
            if (word == QLatin1String("reload")) {
                QVERIFY(QMetaObject::invokeMethod(window.get(), "loadConfig"));
            } else if (word == QLatin1String("close")) {
                window->settingsWindow()->close();
                QVERIFY(QTest::qWaitFor([&] { return !window->settingsWindow(); }, 2000));
            } else if (word.endsWith(QLatin1String("wnd"))) {
                take();
                window->dispatch(-1, protocol::CommandWord::Wnd);
                QTest::qWait(150);
                recorder.messages.clear();  // its previews are the settings window's affair
            } else {
                const auto command = protocol::commandWordFromText(word.mid(2).toStdU16String());
                QVERIFY2(command, qPrintable(word));
                window->dispatch(word.startsWith('a') ? -1 : -2, *command);
            }
            QTest::qWait(20);  // the service's messages in the order of the words
        }
        QVERIFY(QTest::qWaitFor([&] { return seen.size() + commandsSeen(recorder).size() >= shown.size(); }, 3000));
        take();
        QCOMPARE(seen, shown);
    }
};

QTEST_MAIN(TestControlWindow)
#include "tst_control_window.moc"
