// The helper driving the stand-in lighting server over TCP: each version a
// server may speak, the effects' timing on the wire, servers that restart,
// change their controllers, belong to another user or misbehave.
#include "command_framing.h"
#include "light_command.h"
#include "process_support.h"
#include "sample_lights.h"

#include <QLocalSocket>
#include <QtTest>

#include <csignal>
#include <grp.h>
#include <optional>
#include <pwd.h>
#include <unistd.h>

namespace {

// The server's default controllers.
const QStringList kControllers{"Desk strip", "Keyboard", "Mouse"};

struct Event {
    qint64 ms;
    bool leds;  // else a mode
    QString controller;
    QString what;  // the mode's name, or the LEDs' count and colours
    quint32 rgb;   // the first LED's colour
};

// The stand-in server, its log on standard output; another user's when
// `uid` is not 0.
class Server : public QProcess
{
public:
    Server(const QProcessEnvironment &env, const QStringList &arguments, uid_t uid = 0) : m_uid(uid)
    {
        setProcessEnvironment(env);
        start(QStringLiteral(OPENRGBSERVER_PATH), arguments);
    }
    ~Server() override
    {
        kill();
        waitForFinished(2000);
    }
    QString log() { return m_log += QString::fromUtf8(readAllStandardOutput()); }
    quint16 port()  // 0 when it never listened
    {
        return QTest::qWaitFor([&] { return log().contains('\n'); }, 5000)
                   ? quint16(log().section('\n', 0, 0).section("listening on ", 1).toUInt())
                   : 0;
    }
    QList<Event> events()
    {
        static const QRegularExpression line("^(\\d+) (mode|leds) \\d+ \"([^\"]*)\" \"?([^\"\n]*)",
                                             QRegularExpression::MultilineOption);
        QList<Event> found;
        for (auto it = line.globalMatch(log()); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            found.append({m.captured(1).toLongLong(), m.captured(2) == "leds", m.captured(3), m.captured(4),
                          m.captured(4).section('#', 1).left(6).toUInt(nullptr, 16)});
        }
        return found;
    }
    // Until every controller, in its per-LED mode, shows `colour` on every
    // LED in its last frame, or in its first after event `from` (when the
    // frames before `from` stood still).
    bool showsEverywhere(int from, const QStringList &controllers, quint32 colour, int timeoutMs, bool first = false)
    {
        const auto shows = [&](const QString &controller) {
            const QList<Event> all = events();
            bool perLed = false;
            std::optional<quint32> shown;
            for (int i = 0; i < all.size(); ++i) {
                if (all[i].controller == controller && !all[i].leds)
                    perLed = all[i].what != QLatin1String("Rainbow");
                else if (all[i].controller == controller && i >= from && (!first || !shown))
                    shown = perLed && !all[i].what.contains(',') ? all[i].rgb : 0x1000000;
            }
            return shown == colour;
        };
        return QTest::qWaitFor([&] { return std::all_of(controllers.begin(), controllers.end(), shows); }, timeoutMs);
    }

protected:
    void setupChildProcess() override
    {
        if (m_uid != 0 && (::setgroups(0, nullptr) != 0 || ::setgid(m_uid) != 0 || ::setuid(m_uid) != 0))
            ::_exit(1);
    }

private:
    uid_t m_uid;
    QString m_log;
};

// The command a word gives under the sample settings, with Off as black.
protocol::LightFields commandOf(const QString &word)
{
    const sample::Light light = sample::light(word.toStdString());
    protocol::LightFields fields = protocol::LightCommand{light.wParam, light.lParam}.unpack();
    fields.rgb = fields.effect == protocol::LightEffectOff ? 0 : fields.rgb;
    return fields;
}

}  // namespace

class TestOpenRgbSession : public QObject
{
    Q_OBJECT

private:
    ClientRig m_rig;
    std::unique_ptr<Child> m_helper;
    QLocalSocket m_words;

    // The sample settings on this server, the first profile's effect and
    // speed as given.
    [[nodiscard]] bool startHelper(quint16 port, const QString &devices = {}, int effect = 3, int speed = 1,
                                   const QString &service = QStringLiteral("openrgb"))
    {
        QFile file(m_rig.configDir + QStringLiteral("TS3_Vossik_Plugin.ini"));
        const QString settings =
            sampleSettings().replace(QRegularExpression("\nradioEffect=\\d+\nradioSpeed=\\d+\n"),
                                     QStringLiteral("\nradioEffect=%1\nradioSpeed=%2\n").arg(effect).arg(speed))
            + QStringLiteral("\n[device]\nlightService=%3\nopenrgbHost=127.0.0.1\nopenrgbPort=%1\nopenrgbDevices=%2\n")
                  .arg(port)
                  .arg(devices, service);
        if (port == 0 || !file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(settings.toUtf8()) <= 0)
            return false;
        file.close();
        m_helper = m_rig.startHelper({m_rig.configDir});
        if (!m_helper || !m_rig.waitForServer(true, 3000))
            return false;
        m_words.connectToServer(m_rig.serverPath());
        return m_words.waitForConnected(1000);
    }
    void say(const QString &word)
    {
        m_words.write(framing::encodeFrame(word));
        m_words.waitForBytesWritten(1000);
    }

private slots:
    void cleanup()
    {
        m_words.abort();
        m_helper.reset();  // killed by pid, also after a failed check
        QFile::remove(m_rig.serverPath());
    }

    void everyWordOnEverySelectedController_data()
    {
        // clang-format off
        QTest::addColumn<int>("version");
        QTest::addColumn<QString>("devices");
        QTest::newRow("version 0") << 0 << QString();
        QTest::newRow("version 1") << 1 << QString();
        QTest::newRow("version 3") << 3 << QString();
        QTest::newRow("version 4") << 4 << QString();
        QTest::newRow("version 4, the keyboard") << 4 << QStringLiteral("Keyboard");
        QTest::newRow("version 0, the mouse") << 0 << QStringLiteral("Mouse");
        // clang-format on
    }
    void everyWordOnEverySelectedController()
    {
        QFETCH(int, version);
        QFETCH(QString, devices);
        Server server(m_rig.env, {"--port", "0", "--protocol", QString::number(version)});
        QVERIFY(startHelper(server.port(), devices));
        const QStringList selected = devices.isEmpty() ? kControllers : QStringList{devices};
        // A steady word before each, so a moving effect's first frame is
        // the first after the word; the first once the helper is ready.
        for (const QString word : {"stop", "start", "stop", "mute", "stop", "startother", "stop", "shutdown"}) {
            const int mark = server.events().size();
            say(word);
            QVERIFY2(server.showsEverywhere(mark, selected, commandOf(word).rgb, 4000,
                                            commandOf(word).effect > protocol::LightEffectOn),
                     qPrintable(word + server.log().right(3000)));
        }
        QVERIFY(server.log().contains(QStringLiteral("client \"Vossik colorful plugin\" version %1").arg(version)));
        for (const Event &event : server.events())
            QVERIFY2(selected.contains(event.controller), qPrintable(event.controller));
    }

    // By default the device service while one is attached, else the
    // lighting server, which the helper leaves while the service is back.
    void theDeviceServiceWhileAttachedElseTheServer()
    {
        Server server(m_rig.env, {"--port", "0"});
        std::unique_ptr<Child> service = m_rig.startService();
        QVERIFY(service);
        QVERIFY(startHelper(server.port(), {}, 3, 1, QStringLiteral("auto")));
        say(QStringLiteral("stop"));
        QVERIFY(service->waitForLast(kSilent));
        QTest::qWait(500);
        QVERIFY2(!server.log().contains(" connected "), qPrintable(server.log()));
        service.reset();  // killed by pid: the helper sees its end
        QVERIFY(server.showsEverywhere(0, kControllers, commandOf("stop").rgb, 2500));
        service = m_rig.startService();
        QVERIFY(service && service->waitForLast(kSilent, 3000));  // found again, shown the current state
        QVERIFY(QTest::qWaitFor([&] { return server.log().contains("disconnected"); }, 1000));
        const int mark = server.events().size();
        say(QStringLiteral("start"));
        QVERIFY(service->waitForLast(kSpeaking));
        QTest::qWait(300);
        QCOMPARE(server.events().size(), mark);
    }

    // From the rising edges after the dark stretches in the log: blinking's
    // off half, breathing's minimum, heartbeat's pause after two beats.
    void effectPeriods_data()
    {
        // clang-format off
        QTest::addColumn<int>("effect");
        QTest::addColumn<int>("speed");
        QTest::addColumn<int>("periodMs");
        QTest::newRow("blinking slow") << 2 << 1 << 2000;
        QTest::newRow("blinking fast") << 2 << 3 << 500;
        QTest::newRow("breathing normal") << 3 << 2 << 1000;
        QTest::newRow("heartbeat fast") << 4 << 3 << 500;
        // clang-format on
    }
    void effectPeriods()
    {
        QFETCH(int, effect);
        QFETCH(int, speed);
        QFETCH(int, periodMs);
        Server server(m_rig.env, {"--port", "0", "--controllers", "Bar:1:Direct"});
        QVERIFY(startHelper(server.port(), {}, effect, speed));
        say(QStringLiteral("start"));
        QVERIFY(server.showsEverywhere(0, {"Bar"}, commandOf("start").rgb, 4000, true));
        QTest::qWait(periodMs * 37 / 10);
        QList<qint64> edges;
        qint64 darkSince = -1;
        for (const Event &event : server.events()) {
            // Lit above 15 % of the green of 00c83c, the start profile's colour.
            const bool lit = !event.leds || (event.rgb >> 8 & 0xff) >= 30;
            if (lit && darkSince >= 0 && event.ms - darkSince >= periodMs * 15 / 100)
                edges << event.ms;
            darkSince = lit ? -1 : darkSince < 0 ? event.ms : darkSince;
        }
        QVERIFY2(edges.size() >= 3, qPrintable(server.log().right(2000)));
        const double measured = double(edges.last() - edges.first()) / (edges.size() - 1);
        qInfo("period %.0f ms over %lld edges", measured, qint64(edges.size()));
        QVERIFY(qAbs(measured - periodMs) <= periodMs * 0.15);
    }

    // The first server restarted, or another user's, or a broken one, then
    // a good one on its port: the current profile within the budget (since
    // it started). Or the first one's list of controllers switched.
    void aReplacedServerGetsTheProfile_data()
    {
        // clang-format off
        QTest::addColumn<QStringList>("first");
        QTest::addColumn<int>("user");
        QTest::addColumn<int>("budgetMs");
        QTest::newRow("restarted, version 4") << QStringList{"--protocol", "4"} << 0 << 2500;
        QTest::newRow("restarted, version 0") << QStringList{"--protocol", "0"} << 0 << 3500;
        QTest::newRow("another user's") << QStringList() << 65534 << 2500;
        QTest::newRow("garbage") << QStringList{"--fault", "garbage"} << 0 << 2500;
        QTest::newRow("wrong magic") << QStringList{"--fault", "magic"} << 0 << 2500;
        QTest::newRow("2 GiB packet") << QStringList{"--fault", "oversize"} << 0 << 2500;
        QTest::newRow("silent") << QStringList{"--fault", "silent"} << 0 << 2500;
        QTest::newRow("cut answer") << QStringList{"--fault", "cut"} << 0 << 2500;
        QTest::newRow("switched list") << QStringList{"--then-controllers", "Lamp:5:Direct,Panel:5:Custom"} << 0 << 3000;
        // clang-format on
    }
    void aReplacedServerGetsTheProfile()
    {
        QFETCH(QStringList, first);
        QFETCH(int, user);
        QFETCH(int, budgetMs);
        if (user != 0 && ::geteuid() != 0)
            QSKIP("only root can run a server as another user");
        auto server = std::make_unique<Server>(m_rig.env, QStringList{"--port", "0"} + first, uid_t(user));
        const quint16 port = server->port();
        QVERIFY(startHelper(port));
        say(QStringLiteral("stop"));
        if (!first.contains("--fault") && user == 0)
            QVERIFY(server->showsEverywhere(0, kControllers, commandOf("stop").rgb, 4000));
        else {  // refused or failed, logged once, tried again and again, in bounded memory
            QVERIFY(QTest::qWaitFor([&] { return server->log().contains(" connected "); }, 3000));
            const qint64 before = probe::residentKiB(pid_t(m_helper->process().processId()));
            QVERIFY(QTest::qWaitFor([&] { return server->log().count(" connected ") >= 3; }, 15000));
            const qint64 grown = probe::residentKiB(pid_t(m_helper->process().processId())) - before;
            QVERIFY2(grown < (kSanitized ? 65536 : 8192), qPrintable(QStringLiteral("grew %1 KiB").arg(grown)));
            QCOMPARE(server->events().size(), 0);
            const QRegularExpression failure("^(?!Cannot tell).*light server at", QRegularExpression::MultilineOption);
            QCOMPARE(m_helper->errors().count(failure), 1);
            const passwd *account = ::getpwuid(uid_t(user));
            const QString who = account ? QString::fromLocal8Bit(account->pw_name) : QString::number(user);
            QVERIFY(user == 0 || m_helper->errors().contains("another user runs it (user " + who + ")"));
        }
        const int mark = server->events().size();
        if (first.contains("--then-controllers")) {
            QCOMPARE(::kill(pid_t(server->processId()), SIGUSR1), 0);
            QVERIFY(server->showsEverywhere(mark, {"Lamp", "Panel"}, commandOf("stop").rgb, budgetMs));
        } else {
            server.reset();  // killed by pid, before the next one takes its port
            QTest::qWait(300);
            server = std::make_unique<Server>(m_rig.env, QStringList{"--port", QString::number(port)}
                                                             + (first.contains("--protocol") ? first : QStringList()));
            QCOMPARE(server->port(), port);
            QVERIFY(server->showsEverywhere(0, kControllers, commandOf("stop").rgb, budgetMs + 2000));
            qInfo("shown %lld ms after the server started", server->events().constLast().ms);
            QVERIFY2(server->events().constLast().ms <= budgetMs, qPrintable(server->log()));
        }
        QCOMPARE(m_helper->process().state(), QProcess::Running);
    }
};

QTEST_MAIN(TestOpenRgbSession)
#include "tst_openrgb_session.moc"
