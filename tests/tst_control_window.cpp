#include "attach_event_filter.h"
#include "command_framing.h"
#include "command_server_name.h"
#include "config_wnd.h"
#include "light_control_api.h"
#include "message_endpoint.h"
#include "qt_wnd.h"
#include "settings_file.h"
#include "test_support.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QtTest>

#include <memory>

using protocol::LightCommand;
using protocol::muteSignal;

Q_DECLARE_METATYPE(LightProfile)

namespace {

QString describe(const LightProfile &p)
{
    return QStringLiteral("zone %1 effect %2 speed %3 rgb %4,%5,%6")
        .arg(p.zone).arg(p.effect).arg(p.speed).arg(p.red).arg(p.green).arg(p.blue);
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
    winmsg::Handle m_service = 0;
    std::uint32_t m_commandMsg = winmsg::registerMessage("WM_VOSSIK_ZELL_LIGHT_CONTROL_API");

    void writeSettings(const QString &ini)
    {
        QFile file(settingsFilePath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(ini.toUtf8());
    }

    // A control window whose light link is attached to our stand-in service
    // and whose command server listens, as after a normal start. It shows
    // nothing until a client speaks.
    std::unique_ptr<Qt_wnd> startHelper()
    {
        auto window = std::make_unique<Qt_wnd>();
        g_lightApi = new LightControlApi;
        g_lightApi->serviceWnd = m_service;
        startLightHandshake(g_lightApi, winmsg::openEndpoint(window.get()));
        const bool ready = QTest::qWaitFor(
            [&] {
                auto *server = window->findChild<QLocalServer *>();
                return server && server->isListening();
            },
            2000);
        return ready ? std::move(window) : nullptr;
    }

    static void connectClient(QLocalSocket &client)
    {
        client.connectToServer(QString::fromStdString(platform::commandServerName()));
        QVERIFY(client.waitForConnected(1000));
    }

    // The server reads in this thread, so wait with the event loop running:
    // a Windows pipe may take nothing more until it is read.
    static void send(QLocalSocket &client, const QByteArray &bytes)
    {
        client.write(bytes);
        QVERIFY(QTest::qWaitFor([&] { return client.bytesToWrite() == 0; }, 2000));
    }

    QList<LightCommand> commandsSeen(const MessageRecorder &recorder) const
    {
        QList<LightCommand> commands;
        for (const winmsg::Message &m : recorder.to(m_service, m_commandMsg))
            commands.append(LightCommand{m.wParam, m.lParam});
        return commands;
    }

    bool waitForCommands(const MessageRecorder &recorder, int count, int timeoutMs = 2000) const
    {
        return QTest::qWaitFor([&] { return commandsSeen(recorder).size() >= count; }, timeoutMs);
    }

private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(settings);
        g_settingsDir = m_settings.path() + QLatin1Char('/');
        qApp->installNativeEventFilter(&m_filter);
        m_serviceWindow = std::make_unique<QWidget>();
        m_service = winmsg::openEndpoint(m_serviceWindow.get());
    }

    void cleanup()
    {
        QFile::remove(settingsFilePath());
        QVERIFY(!g_lightApi);  // each window frees its record
    }

    // The control window's reader: what each stored value becomes.
    void readsTheSettingsFile_data()
    {
        QTest::addColumn<QString>("ini");  // empty: no file at all
        QTest::addColumn<int>("profile");
        QTest::addColumn<LightProfile>("expected");
        QTest::addColumn<int>("otherTalking");
        QTest::addColumn<QStringList>("logged");

        const QString zoneError = QStringLiteral("setOptZone ERROR!");
        QTest::newRow("missing file")
            << QString() << 2 << LightProfile{1, 0, 2, 0, 0, 0} << 0
            << QStringList{QStringLiteral("Settings file %1 does not exist: every profile is off").arg(settingsFilePath()),
                           zoneError, zoneError, zoneError, zoneError};
        QTest::newRow("all keys valid")
            << "[colors]\nradioZone=2\nradioEffect=3\nradioSpeed=1\nm_redValue=16\nm_greenValue=32\nm_blueValue=48\n"
               "otherTalkingBool=1\n"
            << 1 << LightProfile{2, 3, 1, 16, 32, 48} << 1 << QStringList{zoneError, zoneError, zoneError};
        QTest::newRow("suffix keys reach their profile")
            << "[colors]\nradioZone_4=1\nradioEffect_4=4\nradioSpeed_4=3\nm_redValue_4=1\nm_greenValue_4=2\nm_blueValue_4=3\n"
            << 4 << LightProfile{1, 4, 3, 1, 2, 3} << 0 << QStringList{zoneError, zoneError, zoneError};
        QTest::newRow("text reads as 0") << "[colors]\nradioZone_2=abc\nradioEffect_2=x\nm_redValue_2=red\n" << 2
                                         << LightProfile{1, 0, 2, 0, 0, 0} << 0
                                         << QStringList{zoneError, zoneError, zoneError, zoneError};
        QTest::newRow("keys outside the group are not read") << "[general]\nradioEffect_2=3\nm_redValue_2=9\n" << 2
                                                             << LightProfile{1, 0, 2, 0, 0, 0} << 0
                                                             << QStringList{zoneError, zoneError, zoneError, zoneError};
        QTest::newRow("zone 3 rejected")
            << "[colors]\nradioZone_3=3\nradioZone=1\nradioZone_2=1\nradioZone_4=1\n" << 3
            << LightProfile{1, 0, 2, 0, 0, 0} << 0 << QStringList{zoneError};
        QTest::newRow("effect 5 and speed 4 rejected")
            << "[colors]\nradioZone=1\nradioZone_2=1\nradioZone_3=1\nradioZone_4=1\nradioEffect=5\nradioSpeed=4\n" << 1
            << LightProfile{1, 1, 2, 0, 0, 0} << 0
            << QStringList{QStringLiteral("setOptEffect ERROR!"), QStringLiteral("setOptSpeed ERROR!")};
        QTest::newRow("negative effect and speed rejected")
            << "[colors]\nradioZone=1\nradioZone_2=1\nradioZone_3=1\nradioZone_4=1\nradioEffect=-1\nradioSpeed=-3\n"
            << 1 << LightProfile{1, 1, 2, 0, 0, 0} << 0
            << QStringList{QStringLiteral("setOptEffect ERROR!"), QStringLiteral("setOptSpeed ERROR!")};
        QTest::newRow("colours clamped into a byte")
            << "[colors]\nradioZone=1\nradioZone_2=1\nradioZone_3=1\nradioZone_4=1\nradioEffect=1\nradioSpeed=2\n"
               "m_redValue=300\nm_greenValue=-5\nm_blueValue=255\n"
            << 1 << LightProfile{1, 1, 2, 255, 0, 255} << 0
            << QStringList{QStringLiteral("m_greenValue = -5 out of range, clamped to 0"),
                           QStringLiteral("m_redValue = 300 out of range, clamped to 255")};
        QTest::newRow("otherTalkingBool 2 kept as it is")
            << "[colors]\nradioZone=1\nradioZone_2=1\nradioZone_3=1\nradioZone_4=1\notherTalkingBool=2\n" << 1
            << LightProfile{1, 0, 2, 0, 0, 0} << 2 << QStringList();
    }
    void readsTheSettingsFile()
    {
        QFETCH(QString, ini);
        QFETCH(int, profile);
        QFETCH(LightProfile, expected);
        QFETCH(int, otherTalking);
        QFETCH(QStringList, logged);
        if (!ini.isEmpty())
            writeSettings(ini);
        Qt_wnd window;
        LogCapture log;
        QVERIFY(QMetaObject::invokeMethod(&window, "loadConfig"));
        QCOMPARE(describe(window.profile(profile)), describe(expected));
        QCOMPARE(window.otherTalking(), otherTalking);
        QStringList readerLines = log.lines();
        readerLines.removeAll(QStringLiteral("Failed to set vossik colors"));  // no light link in this test
        QCOMPARE(readerLines, logged);
    }

    void rejectedValuesKeepThePreviousLoad()
    {
        writeSettings("[colors]\nradioZone=2\nradioEffect=4\nradioSpeed=3\n");
        Qt_wnd window;
        QVERIFY(QMetaObject::invokeMethod(&window, "loadConfig"));
        writeSettings("[colors]\nradioZone=7\nradioEffect=9\nradioSpeed=5\nm_redValue=12\n");
        QVERIFY(QMetaObject::invokeMethod(&window, "loadConfig"));
        QCOMPARE(describe(window.profile(1)), describe(LightProfile{2, 4, 3, 12, 0, 0}));
    }

    void settersCheckValueAndTab_data()
    {
        QTest::addColumn<QByteArray>("slot");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("logged");
        QTest::addColumn<LightProfile>("profile2");  // every call goes to profile 2 or misses
        const LightProfile start{1, 1, 2, 0, 0, 0};
        QTest::newRow("zone 2 stored") << QByteArray("setOptZone") << 2 << 2 << QString() << LightProfile{2, 1, 2, 0, 0, 0};
        QTest::newRow("zone 0 refused") << QByteArray("setOptZone") << 0 << 2 << "setOptZone ERROR!" << start;
        QTest::newRow("zone bad tab") << QByteArray("setOptZone") << 1 << 5 << "OPTZONE TAB ERROR" << start;
        QTest::newRow("zone bad tab, bad value") << QByteArray("setOptZone") << 9 << 0 << "OPTZONE TAB ERROR" << start;
        QTest::newRow("effect 0 stored") << QByteArray("setOptEffect") << 0 << 2 << QString() << LightProfile{1, 0, 2, 0, 0, 0};
        QTest::newRow("effect 5 refused") << QByteArray("setOptEffect") << 5 << 2 << "setOptEffect ERROR!" << start;
        QTest::newRow("effect bad tab") << QByteArray("setOptEffect") << 1 << -1 << "OPTEFFECT TAB ERROR" << start;
        QTest::newRow("speed 0 stored") << QByteArray("setOptSpeed") << 0 << 2 << QString() << LightProfile{1, 1, 0, 0, 0, 0};
        QTest::newRow("speed 4 refused") << QByteArray("setOptSpeed") << 4 << 2 << "setOptSpeed ERROR!" << start;
        QTest::newRow("speed bad tab") << QByteArray("setOptSpeed") << 1 << 6 << "OPTSPEED TAB ERROR" << start;
    }
    void settersCheckValueAndTab()
    {
        QFETCH(QByteArray, slot);
        QFETCH(int, value);
        QFETCH(int, tab);
        QFETCH(QString, logged);
        QFETCH(LightProfile, profile2);
        Qt_wnd window;
        LogCapture log;
        QVERIFY(QMetaObject::invokeMethod(&window, slot.constData(), Q_ARG(int, value), Q_ARG(int, tab)));
        QCOMPARE(log.lines(), logged.isEmpty() ? QStringList() : QStringList{logged});
        QCOMPARE(describe(window.profile(2)), describe(profile2));
    }

    void aWordWrittenByteByByteIsCarriedOutOnce()
    {
        std::unique_ptr<Qt_wnd> window = startHelper();
        QVERIFY(window);
        MessageRecorder recorder;
        QLocalSocket client;
        connectClient(client);
        for (char byte : frames({"mute"})) {
            send(client, QByteArray(1, byte));
            QTest::qWait(5);
        }
        QVERIFY(waitForCommands(recorder, 1));
        QTest::qWait(100);
        QCOMPARE(commandsSeen(recorder).size(), 1);
        QCOMPARE(commandsSeen(recorder).first(), muteSignal());
    }

    void aThousandWordsInOneWriteAllArriveInOrder()
    {
        std::unique_ptr<Qt_wnd> window = startHelper();
        QVERIFY(window);
        MessageRecorder recorder;
        QStringList words;
        for (int i = 0; i < 1000; ++i)
            words << (i % 2 ? QStringLiteral("mute") : QStringLiteral("stop"));
        QLocalSocket client;
        connectClient(client);
        send(client, frames(words));
        QVERIFY(waitForCommands(recorder, 1000, 5000));
        const QList<LightCommand> seen = commandsSeen(recorder);
        QCOMPARE(seen.size(), 1000);
        for (int i = 0; i < 1000; ++i)
            QCOMPARE(seen.at(i).wParam == muteSignal().wParam, i % 2 == 1);
    }

    // A bad frame ends only the connection that sent it.
    void badFramesCloseTheirConnection_data()
    {
        QTest::addColumn<QByteArray>("garbage");
        QTest::newRow("odd length") << QByteArray("\x00\x00\x00\x03\x00\x61\x00", 7);
        QTest::newRow("over the cap") << QByteArray("\x00\x00\x04\x02", 4) + QByteArray(1026, 'x');
        QTest::newRow("huge length prefix") << QByteArray("\x7f\xff\xff\xff", 4);
        QTest::newRow("text bytes") << QByteArray("GET / HTTP/1.1\r\n\r\n");
    }
    void badFramesCloseTheirConnection()
    {
        QFETCH(QByteArray, garbage);
        std::unique_ptr<Qt_wnd> window = startHelper();
        QVERIFY(window);
        MessageRecorder recorder;
        LogCapture log;
        QLocalSocket bad;
        connectClient(bad);
        send(bad, frames({"start"}) + garbage + frames({"stop"}));
        QVERIFY(QTest::qWaitFor([&] { return bad.state() == QLocalSocket::UnconnectedState; }, 2000));
        QVERIFY(log.lines().filter(QStringLiteral("Bad command frame")).size() == 1);

        QLocalSocket good;
        connectClient(good);
        send(good, frames({"mute"}));
        QVERIFY(waitForCommands(recorder, 2));
        QCOMPARE(commandsSeen(recorder).size(), 2);  // "start" before the garbage, then "mute"
        QCOMPARE(commandsSeen(recorder).at(1), muteSignal());
    }

    // "wnd" opens one settings window, on top at (100, 150) at its smallest;
    // closing it shows the silent profile again.
    void wndOpensOneSettingsWindow()
    {
        writeSettings("[colors]\nradioZone_2=2\nradioEffect_2=3\nradioSpeed_2=1\nm_blueValue_2=9\n");
        std::unique_ptr<Qt_wnd> window = startHelper();
        QVERIFY(window);
        QLocalSocket client;
        connectClient(client);
        send(client, frames({"wnd"}));
        QVERIFY(QTest::qWaitFor([&] { return window->settingsWindow() && window->settingsWindow()->isVisible(); }, 2000));
        QWidget *settings = window->settingsWindow();
        QCOMPARE(settings->windowTitle(), QStringLiteral("Color settings"));
        QCOMPARE(settings->pos(), QPoint(100, 150));
        QCOMPARE(settings->size(), QSize(550, 442));
        send(client, frames({"wnd"}));
        QTest::qWait(50);
        QCOMPARE(static_cast<QWidget *>(window->settingsWindow()), settings);

        MessageRecorder recorder;
        settings->close();
        QVERIFY(QTest::qWaitFor([&] { return !window->settingsWindow(); }, 2000));
        QVERIFY(waitForCommands(recorder, 1));
        QCOMPARE(commandsSeen(recorder).last(), LightCommand::pack(2, 3, 1, 0, 0, 9));
    }

};

QTEST_MAIN(TestControlWindow)
#include "tst_control_window.moc"
