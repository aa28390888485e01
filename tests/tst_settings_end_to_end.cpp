// The settings window used for real, under an X server: the client's menu
// click opens it in the helper, a click on Ok saves into the client's
// configuration folder, and the helper follows the saved option at once.
#include "config_wnd.h"
#include "desktop_session.h"
#include "process_support.h"
#include "sample_lights.h"
#include "test_support.h"

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

    // At its centre, or at its left end: a check box or radio button wider
    // than its text takes clicks on its indicator and text alone.
    QPoint control(const char *name, bool leftEnd = false)
    {
        auto *widget = m_window.findChild<QWidget *>(QLatin1String(name));
        const QPoint at = leftEnd ? QPoint(8, widget->height() / 2) : widget->rect().center();
        return kOrigin + widget->mapTo(&m_window, at);
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

// What xdotool printed, or nothing if it failed.
QByteArray xdotool(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    return process.waitForFinished(10000) && process.exitCode() == 0 ? process.readAllStandardOutput() + ' ' : "";
}

// The ids of the visible settings windows, once there is one. A search now
// and then fails on a window that goes while it looks: it is asked again.
QByteArray settingsWindows()
{
    QByteArray ids;
    const auto search = [&] {
        return !(ids = xdotool({"search", "--onlyvisible", "--name", "^Color settings$"})).isEmpty();
    };
    (void)QTest::qWaitFor(search, 10000);
    return ids;
}

bool click(const QPoint &at)
{
    // No --sync: a move to where the pointer already is never reports back.
    return !xdotool({"mousemove", QString::number(at.x()), QString::number(at.y()), "sleep", "0.1", "click", "1"})
                .isEmpty();
}

// Clicks into a box and types `text` over what it holds.
bool typeInto(const QPoint &at, const QString &text)
{
    return click(at) && !xdotool({"key", "ctrl+a", "type", text}).isEmpty();
}

// The service, then a client whose helper, on the X server, opens the
// settings window at the menu click: one window, however often clicked.
bool openSettings(ClientRig &rig, std::unique_ptr<Child> &service, std::unique_ptr<Child> &client)
{
    rig.env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    if (!rig.startChain(service, client))
        return false;
    play(*client, {"menu 1"});
    const bool shown = !settingsWindows().isEmpty();
    play(*client, {"menu 1"});  // once more: the same window
    QTest::qWait(300);
    return shown && settingsWindows().count('\n') == 1;
}

}  // namespace

class TestSettingsEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("needs an X server (run under xvfb-run)");
        Q_INIT_RESOURCE(settings);
        platform::useDialogFont(qApp);
    }

    void okSavesWhatTheHelperThenFollows()
    {
        ClientRig rig;
        QVERIFY(writeSettingsFile(rig.configDir, 2));  // others' talking changes nothing yet
        std::unique_ptr<Child> service, client;
        QVERIFY(openSettings(rig, service, client));
        play(*client, {"talk 7 1"});
        SettingsWindowMap map;
        QVERIFY(click(map.tab(3)));  // "options"
        QVERIFY(click(map.control("radioOtherTalkingChange")));
        const int before = service->commands().size();
        QVERIFY(click(map.control("configOkButton_3")));
        const QString ini = rig.configDir + QStringLiteral("TS3_Vossik_Plugin.ini");
        QVERIFY(QTest::qWaitFor(
            [&] { return QSettings(ini, QSettings::IniFormat).value("colors/otherTalkingBool") == 1; }, 3000));
        // The reload shows the silent profile; then "startother" counts.
        QVERIFY(service->waitForCommands(before + 1));
        play(*client, {"talk 7 0", "talk 7 1"});
        QVERIFY(service->waitForLast(kOthers));  // the others profile as saved, its Ambient zone kept
        play(*client, {"shutdown"});
        QVERIFY(client->finished());
        QVERIFY(rig.waitForServer(false));  // the window closed with Ok, so the helper ends
    }

    // The fifth tab under real clicks and keys: the sample's join signal,
    // off, chosen and turned on previews its profile, gets seconds typed
    // and a heartbeat (previewed); Apply saves them. (Each state's
    // controls, the whisper's disabled seconds, the other states' keys:
    // tst_config_window; what a save keeps: the settings readers' golden
    // dump in tst_control_window.)
    void statesTabSavesTheChosenState()
    {
        ClientRig rig;
        const QString ini = rig.configDir + QStringLiteral("TS3_Vossik_Plugin.ini");
        std::unique_ptr<Child> service, client;
        QVERIFY(openSettings(rig, service, client));
        SettingsWindowMap map;
        QVERIFY(click(map.tab(4)));  // "More states"
        QVERIFY(click(map.control("radioStateJoined", true)));
        QVERIFY(click(map.control("checkStateEnabled", true)));
        QVERIFY(service->waitForLast(QString::fromStdString(sample::light("join").text)));
        QVERIFY(typeInto(map.control("spinStateSeconds"), QStringLiteral("33")));
        QVERIFY(click(map.control("radioEffectHeartbeat_states")));
        QVERIFY(service->waitForLast(QStringLiteral("wParam=0x020401 lParam=0xff6020")));  // its zone and speed
        QVERIFY(click(map.control("applyButton_5")));
        const QStringList expected = {"colors/stateEnabled_12=1", "colors/stateSeconds_12=33",
                                      "colors/radioEffect_12=4"};
        const auto saved = [&ini, &expected] {
            QSettings settings(ini, QSettings::IniFormat);
            QStringList values;
            for (const QString &line : expected) {
                const QString key = line.section(QLatin1Char('='), 0, 0);
                values << key + QLatin1Char('=') + settings.value(key).toString();
            }
            return values;
        };
        QTRY_COMPARE_WITH_TIMEOUT(saved(), expected, 3000);

        QVERIFY(click(map.control("configCancelButton_5")));
        play(*client, {"shutdown"});
        QVERIFY(client->finished());
        QVERIFY(rig.waitForServer(false));
    }

    // The light after the settings window's moments is the true state's,
    // whatever was previewed: Apply while you talk keeps the speaking
    // profile; once the client has shut down, Ok or Cancel shows the
    // shutdown profile again.
    void theWindowLeavesTheTrueState_data()
    {
        // clang-format off
        // The client's lines once the window is open, and a button on the silent profile's tab.
        columns<QString, QByteArray, QString>({"before", "button", "shown"});
        QTest::newRow("Apply while you talk") << "talk own 1" << QByteArray("applyButton_2") << kSpeaking;
        QTest::newRow("Ok after the shutdown") << "shutdown" << QByteArray("configOkButton_2") << kShutdown;
        QTest::newRow("Cancel after the shutdown") << "shutdown" << QByteArray("configCancelButton_2") << kShutdown;
        // clang-format on
    }
    void theWindowLeavesTheTrueState()
    {
        QFETCH(QString, before);
        QFETCH(QByteArray, button);
        QFETCH(QString, shown);
        ClientRig rig;
        std::unique_ptr<Child> service, client;
        QVERIFY(openSettings(rig, service, client));
        const qint64 helper = runningPid(rig.helperCopy());
        play(*client, {before});
        QVERIFY(service->waitForLast(shown));

        SettingsWindowMap map;
        QVERIFY(click(map.tab(1)));
        QVERIFY(click(map.control("radioEffectBlinking_2")));
        QVERIFY(QTest::qWaitFor([&] { return !service->commands().endsWith(shown); }, 3000));  // previewed
        QVERIFY(click(map.control(button.constData())));
        QVERIFY(service->waitForLast(shown));
        QTest::qWait(300);
        QCOMPARE(service->commands().last(), shown);
        if (client->process().state() == QProcess::Running) {
            play(*client, {"shutdown"});
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
        ClientRig rig;
        std::unique_ptr<Child> service, first;
        QVERIFY(openSettings(rig, service, first));
        const qint64 oldHelper = runningPid(rig.helperCopy());
        play(*first, {"shutdown"});
        QVERIFY(first->finished());
        QVERIFY(service->waitForLast(kShutdown));
        QVERIFY(rig.waitForServer(false));
        QCOMPARE(::kill(pid_t(oldHelper), 0), 0);  // kept by its window

        std::unique_ptr<Child> second = rig.startClient();
        QVERIFY(second && rig.waitForServer(true, 5000));
        play(*second, {"talk own 1"});
        QVERIFY(service->waitForLast(kSpeaking));
        const int shown = service->commands().size();
        qInfo("the old helper's peak resident memory, its window open: %lld KiB",
              qint64(probe::peakResidentKiB(pid_t(oldHelper))));
        SettingsWindowMap map;
        QVERIFY(click(map.control("configCancelButton")));
        QVERIFY(QTest::qWaitFor([&] { return ::kill(pid_t(oldHelper), 0) != 0; }, 3000));
        QTest::qWait(200);
        QCOMPARE(service->commands().size(), shown);
        play(*second, {"talk own 0", "shutdown"});
        QVERIFY(second->finished());
        QVERIFY(service->waitForLast(kShutdown));
        QCOMPARE(service->commands().mid(shown), (QStringList{kSilent, kShutdown}));
        QVERIFY(rig.waitForServer(false));
    }
};

QTEST_MAIN(TestSettingsEndToEnd)
#include "tst_settings_end_to_end.moc"
