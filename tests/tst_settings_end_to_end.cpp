// The settings window used for real, under an X server: the client's menu
// click opens it in the helper, a click on Ok saves into the client's
// configuration folder, and the helper follows the saved option at once.
#include "config_wnd.h"
#include "desktop_session.h"
#include "process_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QSettings>
#include <QTabBar>
#include <QTabWidget>
#include <QtTest>

#include <csignal>

namespace {

// Where a control of the settings window lies on the screen once the helper
// has placed the window at (100, 150): measured on a window of our own,
// built by the same code with the same style and font.
class SettingsWindowMap
{
public:
    SettingsWindowMap()
    {
        m_window.setAttribute(Qt::WA_DontShowOnScreen);  // laid out, but in nobody's way
        m_window.show();
    }

    QPoint control(const char *name)
    {
        auto *widget = m_window.findChild<QWidget *>(QLatin1String(name));
        return kOrigin + widget->mapTo(&m_window, widget->rect().center());
    }

    QPoint tab(int index)
    {
        QTabBar *bar = m_window.findChild<QTabWidget *>(QStringLiteral("tabWidget"))->tabBar();
        return kOrigin + bar->mapTo(&m_window, bar->tabRect(index).center());
    }

private:
    static constexpr QPoint kOrigin{100, 150};
    ConfigWnd m_window;  // without a light link: the bare form
};

void say(Child &client, const QByteArray &lines)
{
    client.process().write(lines);
    client.process().waitForBytesWritten(1000);
}

bool xdotool(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    return process.waitForFinished(10000) && process.exitCode() == 0;
}

bool click(const QPoint &at)
{
    // No --sync: a move to where the pointer already is never reports back.
    return xdotool({"mousemove", QString::number(at.x()), QString::number(at.y()), "sleep", "0.1", "click", "1"});
}

}  // namespace

class TestSettingsEndToEnd : public QObject
{
    Q_OBJECT

private:
    ProcessRig m_rig;
    QTemporaryDir m_home;

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("needs an X server (run under xvfb-run)");
        Q_INIT_RESOURCE(settings);
        platform::useDialogFont(qApp);
        m_rig.env.remove(QStringLiteral("QT_QPA_PLATFORM"));  // the helper's windows go to the X server
    }

    void okSavesWhatTheHelperThenFollows()
    {
        const QString configDir = m_home.path() + QStringLiteral("/config/");
        QVERIFY(QDir().mkpath(configDir));
        const QString ini = configDir + QStringLiteral("TS3_Vossik_Plugin.ini");
        QFile settings(ini);
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write(kSettings.arg(2).toUtf8());  // others' talking changes nothing yet
        settings.close();

        std::unique_ptr<Child> service = m_rig.startService();
        QVERIFY(service);
        Child client(QStringLiteral(TS3HOST_PATH),
                     {"--plugin", PLUGIN_PATH, "--helper", HELPER_PATH, "--plugins-dir", m_home.path() + "/plugins",
                      "--config-dir", configDir},
                     m_rig.env);
        QVERIFY(client.started());
        QVERIFY(m_rig.waitForServer(true));
        say(client, "talk 7 1\nmenu 1\n");
        QVERIFY(xdotool({"search", "--sync", "--onlyvisible", "--name", "^Color settings$"}));
        QTest::qWait(300);

        SettingsWindowMap map;
        QVERIFY(click(map.tab(3)));  // "options"

        QVERIFY(click(map.control("radioOtherTalkingChange")));
        const int before = service->commands().size();
        QVERIFY(click(map.control("configOkButton_3")));
        QVERIFY(QTest::qWaitFor([&] { return QSettings(ini, QSettings::IniFormat).value("colors/otherTalkingBool").toInt() == 1; },
                                3000));
        // The reload shows the silent profile; then "startother" counts.
        QVERIFY(service->waitForCommands(before + 1));
        say(client, "talk 7 0\ntalk 7 1\n");
        // The others profile as saved, its Ambient zone kept.
        QVERIFY(QTest::qWaitFor([&] { return service->commands().endsWith(kOthers); }, 3000));

        say(client, "shutdown\n");
        QVERIFY(client.finished());
        QVERIFY(m_rig.waitForServer(false));  // the window closed with Ok, so the helper ends
    }

    // The file edited by hand while the window is open, its group header
    // left without its ']' (read all the same): Apply saves over it, and the
    // helper reloads and shows the new silent profile.
    void applyOverABrokenHeader()
    {
        const QString configDir = m_home.path() + QStringLiteral("/broken/");
        QVERIFY(writeSettingsFile(configDir));
        // A runtime folder of its own: no endpoint left by the earlier tests'
        // processes is cleared while the service's own is counted.
        ProcessRig rig;
        rig.env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        std::unique_ptr<Child> service = rig.startService();
        QVERIFY(service);
        std::unique_ptr<Child> client =
            rig.startHost(TS3HOST_PATH, PLUGIN_PATH, m_home.path() + QStringLiteral("/broken-plugins"), configDir);
        QVERIFY(client && rig.waitForServer(true, 5000));
        say(*client, "menu 1\n");
        QVERIFY(xdotool({"search", "--sync", "--onlyvisible", "--name", "^Color settings$"}));
        QTest::qWait(300);
        QFile settings(configDir + QStringLiteral("TS3_Vossik_Plugin.ini"));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write(kSettings.arg(1).replace(QStringLiteral("[colors]"), QStringLiteral("[colors")).toUtf8());
        settings.close();

        SettingsWindowMap map;
        QVERIFY(click(map.tab(1)));  // the silent profile
        QVERIFY(click(map.control("radioEffectHeartbeat_2")));
        const QString heartbeat = QStringLiteral("wParam=0x010402 lParam=0x0000ff");
        QVERIFY(QTest::qWaitFor([&] { return service->commands().endsWith(heartbeat); }, 3000));  // the preview
        const int previewed = service->commands().size();
        QVERIFY(click(map.control("applyButton_2")));
        QVERIFY(service->waitForCommands(previewed + 1));
        QCOMPARE(service->commands().mid(previewed), QStringList{heartbeat});

        QVERIFY(click(map.control("configOkButton_2")));  // not where the next test's first click goes
        say(*client, "shutdown\n");
        QVERIFY(client->finished());
        QVERIFY(rig.waitForServer(false));
    }

    // The light after the settings window's moments is the true state's,
    // whatever was previewed: Apply while you talk keeps the speaking
    // profile; once the client has shut down, Ok or Cancel shows the
    // shutdown profile again.
    void theWindowLeavesTheTrueState_data()
    {
        QTest::addColumn<QByteArray>("before");  // the client's lines once the window is open
        QTest::addColumn<QByteArray>("button");  // on the silent profile's tab
        QTest::addColumn<QString>("shown");
        QTest::newRow("Apply while you talk") << QByteArray("talk own 1\n") << QByteArray("applyButton_2") << kSpeaking;
        QTest::newRow("Ok after the shutdown") << QByteArray("shutdown\n") << QByteArray("configOkButton_2") << kShutdown;
        QTest::newRow("Cancel after the shutdown")
            << QByteArray("shutdown\n") << QByteArray("configCancelButton_2") << kShutdown;
    }
    void theWindowLeavesTheTrueState()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, button);
        QFETCH(QString, shown);
        const QString folder = m_home.path() + QLatin1Char('/') + QLatin1String(QTest::currentDataTag());
        QVERIFY(writeSettingsFile(folder + QStringLiteral("/config")));
        ProcessRig rig;
        rig.env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        std::unique_ptr<Child> service = rig.startService();
        QVERIFY(service);
        std::unique_ptr<Child> client = rig.startHost(TS3HOST_PATH, PLUGIN_PATH, folder + "/plugins", folder + "/config");
        QVERIFY(client && service->waitForCommands(1, 5000));
        const qint64 helper = runningPid(helperCopyIn(folder + "/plugins"));
        say(*client, "menu 1\n");
        QVERIFY(xdotool({"search", "--sync", "--onlyvisible", "--name", "^Color settings$"}));
        QTest::qWait(300);
        say(*client, before);
        QVERIFY(QTest::qWaitFor([&] { return service->commands().endsWith(shown); }, 3000));

        SettingsWindowMap map;
        QVERIFY(click(map.tab(1)));
        QVERIFY(click(map.control("radioEffectBlinking_2")));
        QVERIFY(QTest::qWaitFor([&] { return !service->commands().endsWith(shown); }, 3000));  // previewed
        QVERIFY(click(map.control(button.constData())));
        QVERIFY(QTest::qWaitFor([&] { return service->commands().endsWith(shown); }, 3000));
        QTest::qWait(300);
        QCOMPARE(service->commands().last(), shown);
        if (client->process().state() == QProcess::Running) {
            say(*client, "shutdown\n");
            QVERIFY(click(map.control("configCancelButton_2")));
        }
        QVERIFY(QTest::qWaitFor([&] { return ::kill(pid_t(helper), 0) != 0; }, 5000));
    }

    // A client restarted while the old helper keeps its settings window
    // open: the old helper stops serving at once, the new client's helper
    // takes over, and closing the old window later changes nothing on the
    // device: the lights follow the new client.
    void aClientRestartedBesideAnOpenSettingsWindow()
    {
        const QString configDir = m_home.path() + QStringLiteral("/restart/");
        const QString pluginsDir = m_home.path() + QStringLiteral("/restart-plugins");
        QVERIFY(writeSettingsFile(configDir));
        std::unique_ptr<Child> service = m_rig.startService();
        QVERIFY(service);
        std::unique_ptr<Child> first = m_rig.startHost(TS3HOST_PATH, PLUGIN_PATH, pluginsDir, configDir);
        QVERIFY(first && m_rig.waitForServer(true, 5000));
        const qint64 oldHelper = runningPid(helperCopyIn(pluginsDir));
        say(*first, "menu 1\n");
        QVERIFY(xdotool({"search", "--sync", "--onlyvisible", "--name", "^Color settings$"}));
        say(*first, "shutdown\n");
        QVERIFY(first->finished());
        QVERIFY(QTest::qWaitFor([&] { return service->commands().endsWith(kShutdown); }, 3000));
        QVERIFY(m_rig.waitForServer(false));
        QCOMPARE(::kill(pid_t(oldHelper), 0), 0);  // kept by its window

        std::unique_ptr<Child> second = m_rig.startHost(TS3HOST_PATH, PLUGIN_PATH, pluginsDir, configDir);
        QVERIFY(second && m_rig.waitForServer(true, 5000));
        say(*second, "talk own 1\n");
        QVERIFY(QTest::qWaitFor([&] { return service->commands().endsWith(kSpeaking); }, 3000));
        const int shown = service->commands().size();
        qInfo("the old helper's peak resident memory, its window open: %lld KiB", residentKiB(oldHelper, "VmHWM:"));
        SettingsWindowMap map;
        QVERIFY(click(map.control("configCancelButton")));
        QVERIFY(QTest::qWaitFor([&] { return ::kill(pid_t(oldHelper), 0) != 0; }, 3000));
        QTest::qWait(200);
        QCOMPARE(service->commands().size(), shown);
        say(*second, "talk own 0\nshutdown\n");
        QVERIFY(second->finished());
        QVERIFY(QTest::qWaitFor([&] { return service->commands().endsWith(kShutdown); }, 3000));
        QCOMPARE(service->commands().mid(shown), (QStringList{kSilent, kShutdown}));
        QVERIFY(m_rig.waitForServer(false));
    }
};

QTEST_MAIN(TestSettingsEndToEnd)
#include "tst_settings_end_to_end.moc"
