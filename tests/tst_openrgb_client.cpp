// The lighting server's client against a server scripted with hand-written bytes; the effects' shapes.
#include "light_animation.h"
#include "openrgb_client.h"
#include "test_support.h"
#include "update_pacing.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtEndian>

Q_DECLARE_METATYPE(AtExit)

namespace {

const auto hex = [](const char *text) { return QByteArray::fromHex(text); };         // skips the spaces
const auto orgb = [](const char *fields) { return hex("4f524742") + hex(fields); };  // device, id, size, data
const auto command = [](int effect) { return protocol::LightCommand::pack(1, effect, 3, 0x10, 0x20, 0x30); };

// From the client: version request, name, count request; the mode "Direct"
// (name, value, flags, speed, brightness and colour ranges, speed,
// brightness, direction, colour mode, colours); all LEDs.
const QByteArray kStart = orgb("00000000 28000000 04000000 04000000") + orgb("00000000 32000000 17000000")
                          + QByteArray("Vossik colorful plugin", 23) + orgb("00000000 00000000 00000000");
const QByteArray kDirect = hex("0700 44697265637400 18000000 21000000 00000000 00000000 00000000 64000000 00000000"
                               " 00000000 00000000 64000000 00000000 01000000 0000");
const QByteArray kUpdateMode = orgb("00000000 4d040000 43000000 43000000 01000000") + kDirect;
const QByteArray kLeds = orgb("00000000 1a040000 0e000000 0e000000 0200 10203000 10203000");
const QByteArray kBlack = orgb("00000000 1a040000 0e000000 0e000000 0200 00000000 00000000");

// From the server: "Mat" (type, name, vendor from version 1, description,
// version, serial, location), modes "Off" and "Direct" (v0: "Off" without
// brightness), zone "Z" of 2 LEDs (v4: no segments), LEDs "A", "B", colours.
const QByteArray kMat = hex("0e000000 0400 4d617400 010000 010000 010000 010000");
const QByteArray kZone = hex("0100 0200 5a00 00000000 02000000 02000000 02000000 0000");
const QByteArray kMatLeds = hex("0200 0200 4100 00000000 0200 4200 01000000 0200 01020300 04050600");
const QByteArray kModes = hex("010000 0200 00000000 0400 4f666600") + QByteArray(48, 0) + hex("0000") + kDirect;
const QByteArray kMatV3 = orgb("00000000 01000000 ca000000 ca000000") + kMat + kModes + kZone + kMatLeds;
const QByteArray kMatV4 = orgb("00000000 01000000 cc000000 cc000000") + kMat + kModes + kZone + hex("0000") + kMatLeds;
const QByteArray kMatV0 = orgb("00000000 01000000 80000000 80000000") + kMat + hex("0100 00000000 0400 4f666600")
                          + QByteArray(36, 0) + hex("0000") + kZone + kMatLeds;
// The Off mode's block; the controller shown in Direct, its colours 010203 and 040506.
const QByteArray kOffBlock = hex("0400 4f666600") + QByteArray(48, 0) + hex("0000");
const QByteArray kMatV3InDirect = QByteArray(kMatV3).replace(hex("0200 00000000 0400"), hex("0200 01000000 0400"));
const QByteArray kVersion3 = orgb("00000000 28000000 04000000 03000000"),
                 kCountOne = orgb("00000000 00000000 04000000 01000000");

// Answers version, count, controller requests and the first LED update with
// `replies` 0 to 3, `chunk` bytes a millisecond (0: all); records all it got,
// and when each request came (ms).
struct ScriptedServer : QObject {
    QByteArrayList replies;
    int chunk = 0, connections = 0;
    QByteArray received, request, pending;
    QList<qint64> arrivals;
    QElapsedTimer clock;
    QTcpServer server;
    QTcpSocket *peer = nullptr;
    QTimer drip;

    ScriptedServer(const QByteArrayList &replies) : replies(replies)
    {
        QVERIFY(server.listen(QHostAddress::LocalHost));
        connect(&server, &QTcpServer::newConnection, this, [this] {
            ++connections;
            request.clear();
            peer = server.nextPendingConnection();
            connect(peer, &QTcpSocket::readyRead, this, [this, socket = peer] { onRead(socket); });
        });
        connect(&drip, &QTimer::timeout, this, [this] {
            const QByteArray part = pending.left(chunk ? chunk : pending.size());
            if (peer && peer->write(part) == part.size())
                pending.remove(0, part.size());
        });
        drip.start(1);
        clock.start();
    }
    void onRead(QTcpSocket *socket)
    {
        request += socket->peek(socket->bytesAvailable());
        received += socket->readAll();
        while (request.size() >= 16 && request.size() >= 16 + qFromLittleEndian<qint32>(request.constData() + 12)) {
            const int which =
                QList<quint32>{40, 0, 1, 1050}.indexOf(qFromLittleEndian<quint32>(request.constData() + 8));
            request.remove(0, 16 + qFromLittleEndian<qint32>(request.constData() + 12));
            arrivals << clock.elapsed();
            pending += which == 3 && replies.size() > 3 ? replies.takeLast() : which < 3 ? replies.value(which) : "";
        }
    }
};

}  // namespace

class TestOpenRgbClient : public QObject
{
    Q_OBJECT

private slots:
    // What the client sends by what the server answers; after a fault it
    // ends the connection, logs once, connects again at once, then later.
    void session_data()
    {
        // clang-format off
        columns<QByteArrayList, QStringList, int, QByteArray, int>(
            {"replies", "devices", "chunk", "expected", "connections"});
        const QByteArray start3 = kStart + orgb("00000000 01000000 04000000 03000000");
        const QByteArray shown3 = start3 + kUpdateMode + kLeds, version5 = orgb("00000000 28000000 04000000 05000000");
        const QStringList all, keyboard{"Keyboard"};
        using R = QByteArrayList;
        QTest::newRow("v5 read as v4, byte by byte, unknown packet skipped")
            << R{version5 + orgb("00000000 0f270000 03000000 aabbcc"), kCountOne, kMatV4} << QStringList{" MAT "} << 1
            << kStart + orgb("00000000 01000000 04000000 04000000") + kUpdateMode + kLeds << 1;
        QTest::newRow("v0 is silent: unversioned; no Direct, named: custom mode, still")
            << R{{}, kCountOne, kMatV0} << QStringList{"mat"} << 0
            << kStart + orgb("00000000 01000000 00000000") + orgb("00000000 4c040000 00000000") + kLeds << 1;
        QTest::newRow("no Direct, not named: left alone") << R{{}, kCountOne, kMatV0} << all << 0
            << kStart + orgb("00000000 01000000 00000000") << 1;
        QTest::newRow("v3: Direct mode, LEDs; device list updated: all again")
            << R{kVersion3, kCountOne, kMatV3, orgb("00000000 64000000 00000000")} << all << 0
            << shown3 + start3.right(36) + kUpdateMode + kLeds << 1;
        QTest::newRow("none selected") << R{kVersion3, kCountOne, kMatV3} << keyboard << 0 << start3 << 1;
        QTest::newRow("bad magic") << R{QByteArray(kVersion3).replace(3, 1, "X")} << all << 0 << kStart.left(20) << 3;
        QTest::newRow("> 1 MiB") << R{orgb("00000000 28000000 01001000 03000000")} << all << 0 << kStart.left(20) << 3;
        QTest::newRow("2 bytes") << R{kVersion3, orgb("00000000 00000000 02000000 0100")} << all << 0 << kStart << 3;
        QTest::newRow("cut mid-packet, then silence") << R{kVersion3, kCountOne.left(18)} << all << 0 << kStart << 3;
        // clang-format on
    }
    void session()
    {
        QFETCH(QByteArrayList, replies);
        QFETCH(QStringList, devices);
        QFETCH(QByteArray, expected);
        QFETCH(int, connections);
        ScriptedServer server(replies);
        QFETCH(int, chunk);
        server.chunk = chunk;
        LogCapture log;
        OpenRgbClient client({"127.0.0.1", server.server.serverPort(), devices});
        QSignalSpy ready(&client, &OpenRgbClient::readyChanged);
        QVERIFY(!client.show(command(protocol::LightEffectOn)));
        client.start();
        const int wait = (OpenRgbClient::kAnswerWaitMs + OpenRgbClient::kRetryIntervalMs) * 2 + 4000;
        QTRY_VERIFY_WITH_TIMEOUT(server.received.size() >= expected.size() && server.connections >= connections, wait);
        QTest::qWait(100);  // nothing more comes
        QCOMPARE(server.received.left(expected.size()).toHex(' '), expected.toHex(' '));
        QCOMPARE(server.connections, connections);
        QCOMPARE(client.isReady(), server.received.endsWith(kLeds));
        QCOMPARE(ready.count(), replies.size() > 3 ? 3 : int(client.isReady()));  // on, off, on for a new list
        if (connections > 1) {  // the same fault each time, logged once
            QCOMPARE(server.received.size(), expected.size() * connections);
            // Where the system cannot tell who runs the server (Wine), that is said once too.
            QCOMPARE(log.lines().filter(QRegularExpression("^(?!Cannot tell who runs)")).size(), 1);
        }
    }
    // A moving effect starts at full colour; blinking sends only its
    // edges, on its period's clock; stop() keeps the command for the next
    // start; a last Off just before the end still goes out.
    void animationAndLastCommand()
    {
        ScriptedServer server({kVersion3, kCountOne, kMatV3});
        auto client = std::make_unique<OpenRgbClient>(OpenRgbSettings{"127.0.0.1", server.server.serverPort(), {}});
        client->start();
        QTRY_VERIFY(client->isReady());
        // Right after another, a moving effect waits for its slot and then
        // begins at full colour.
        QVERIFY(client->show(command(protocol::LightEffectOn)));
        QVERIFY(client->show(command(protocol::LightEffectBreathing)));
        QTRY_VERIFY(server.received.endsWith(kUpdateMode + kLeds + kLeds));
        QTest::qWait(100);
        const int before = server.received.size(), firstEdge = server.arrivals.size();
        QVERIFY(client->show(command(protocol::LightEffectBlinking)));
        QTest::qWait(1100);  // fast: 250 ms on, 250 off
        const QByteArray frames = server.received.mid(before);
        QVERIFY(frames.size() >= 4 * kLeds.size());
        for (int i = 0; i < frames.size(); i += kLeds.size())
            QCOMPARE(frames.mid(i, kLeds.size()).toHex(' '), (i / kLeds.size() % 2 ? kBlack : kLeds).toHex(' '));
        const QList<qint64> edges = server.arrivals.mid(firstEdge);
        const double halfPeriod = double(edges.last() - edges.first()) / double(edges.size() - 1);
        QVERIFY2(qAbs(halfPeriod - 250) < 40, qPrintable(QString::number(halfPeriod)));
        client->stop();
        QVERIFY(!client->show(command(protocol::LightEffectOn)));
        client->start();
        QTRY_VERIFY(server.received.endsWith(kUpdateMode + kLeds) && server.connections == 2);
        QVERIFY(client->show(command(protocol::LightEffectOff)));
        client.reset();
        QTRY_VERIFY(server.received.endsWith(kBlack));
    }
    // Where the shutdown profile shows: the controller gets back the mode
    // (and a per-LED mode's colours) it had, also from the destructor
    // right after an animation filled its update budget; the next show
    // reads the controller again before taking it. Or the profile, with
    // no mode packet: the controller is still ours.
    void atExit_data()
    {
        // clang-format off
        columns<QByteArray, AtExit, QByteArray>({"controller", "atExit", "givenBack"});
        QTest::newRow("restore its Off mode") << kMatV3 << AtExit::Restore
            << orgb("00000000 4d040000 40000000 40000000 00000000") + kOffBlock;
        QTest::newRow("restore Direct and its colours")
            << kMatV3InDirect << AtExit::Restore << kUpdateMode + orgb("00000000 1a040000 0e000000 0e000000 0200 01020300 04050600");
        QTest::newRow("the profile") << kMatV3 << AtExit::Profile << kBlack;
        // clang-format on
    }
    void atExit()
    {
        QFETCH(QByteArray, controller);
        QFETCH(AtExit, atExit);
        QFETCH(QByteArray, givenBack);
        const QByteArray readAgain = orgb("00000000 00000000 00000000") + orgb("00000000 01000000 04000000 03000000");
        // Given back at the helper's end, then shown again, or when the
        // device service comes in auto mode (the client stops; the profile
        // then stays, as it always did).
        for (const QByteArray way : {"ended", "shown again", "stopped"}) {
            ScriptedServer server({kVersion3, kCountOne, controller});
            OpenRgbSettings settings{"127.0.0.1", server.server.serverPort(), {}};
            settings.atExit = atExit;
            auto client = std::make_unique<OpenRgbClient>(settings);
            client->start();
            QTRY_VERIFY(client->isReady());
            QVERIFY(client->show(command(way == "ended" ? protocol::LightEffectBreathing : protocol::LightEffectOn)));
            QTest::qWait(way == "ended" ? 1100 : 100);
            const int before = server.received.size();
            QByteArray expected = givenBack;
            if (way == "stopped") {
                client->stop();
                expected = atExit == AtExit::Restore ? givenBack : QByteArray();
            } else {
                QVERIFY(client->showShutdown(command(protocol::LightEffectOff)));
            }
            if (way == "ended") {
                client.reset();
            } else if (way == "shown again") {
                QTest::qWait(100);
                QVERIFY(client->show(command(protocol::LightEffectOn)));
                expected += (atExit == AtExit::Restore ? readAgain + kUpdateMode : QByteArray()) + kLeds;
            }
            QTRY_COMPARE(server.received.mid(before).toHex(' '), expected.toHex(' '));
        }
    }

    // However close together they are asked for, 30 updates, then the
    // next only once the first is more than a second old.
    void updateWindow()
    {
        light::UpdateWindow window;
        for (int i = 0; i < 30; window.record(i++ * 1000))
            QVERIFY(window.allows(i * 1000));
        const std::int64_t second = light::UpdateWindow::kSecondNs;
        QVERIFY(!window.allows(second) && window.allows(second + 1));
        window.record(second + 1);
        QVERIFY(!window.allows(second + 1000) && window.allows(second + 1001));
    }

    // Each effect's brightness at a moment: the shapes and their periods.
    void effectLevel_data()
    {
        // clang-format off
        columns<int, int, int, double>({"effect", "speed", "ms", "level"});
        QTest::newRow("off") << 0 << 2 << 0 << 0.0;
        QTest::newRow("unknown effect as on") << 9 << 2 << 700 << 1.0;
        QTest::newRow("blink slow, second half") << 2 << 1 << 1000 << 0.0;
        QTest::newRow("blink no speed as normal") << 2 << 0 << 500 << 0.0;
        QTest::newRow("blink fast, next period") << 2 << 3 << 500 << 1.0;
        QTest::newRow("breathe normal, quarter") << 3 << 2 << 250 << 0.5;
        QTest::newRow("breathe fast, full again") << 3 << 3 << 500 << 1.0;
        QTest::newRow("heart: first beat") << 4 << 2 << 100 << 1.0;
        QTest::newRow("heart: dark between") << 4 << 2 << 200 << 0.0;
        QTest::newRow("heart: second beat") << 4 << 2 << 300 << 1.0;
        QTest::newRow("heart: pause") << 4 << 2 << 700 << 0.0;
        // clang-format on
    }
    void effectLevel()
    {
        QFETCH(int, effect);
        QFETCH(int, speed);
        QFETCH(int, ms);
        QFETCH(double, level);
        QVERIFY(qAbs(light::effectLevel(effect, speed, ms) - level) < 1e-9);
    }
};

QTEST_GUILESS_MAIN(TestOpenRgbClient)
#include "tst_openrgb_client.moc"
