// The lighting server's protocol against bytes written by hand from its
// documentation, and who owns the server's end of a local connection.
#include "openrgb_protocol.h"
#include "tcp_peer_owner.h"
#include "test_support.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtEndian>
#include <QtTest>

#include <sstream>

#ifdef __linux__
#include "proc_net_tcp.h"
#endif

using namespace protocol::openrgb;

Q_DECLARE_METATYPE(HeaderStatus)

namespace {

QByteArray bytes(const Bytes &b)
{
    return QByteArray(reinterpret_cast<const char *>(b.data()), int(b.size()));
}
const std::uint8_t *data(const QByteArray &b)
{
    return reinterpret_cast<const std::uint8_t *>(b.constData());
}
QByteArray le32(std::uint32_t v)
{
    QByteArray b(4, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

template <typename... T>
QString line(const T &...v)
{
    std::ostringstream s;
    ((s << v << '|'), ...);
    return QString::fromStdString(s.str());
}
QString text(const std::vector<Colour> &colours)
{
    QString out;
    for (const Colour &c : colours)
        out += line(int(c.red), int(c.green), int(c.blue));
    return out;
}
// One line per part, so a mismatch names the part.
QStringList describe(const Controller &c)
{
    QStringList out{line(c.type, c.name, c.vendor, c.description, c.version, c.serial, c.location, c.activeMode)};
    for (const Mode &m : c.modes)
        out << line(m.name, m.value, m.flags, m.speedMin, m.speedMax, m.brightnessMin, m.brightnessMax, m.colorsMin,
                    m.colorsMax, m.speed, m.brightness, m.direction, m.colorMode)
                   + text(m.colors);
    for (const Zone &z : c.zones) {
        out << line(z.name, z.type, z.ledsMin, z.ledsMax, z.ledsCount, z.matrixHeight, z.matrixWidth, z.flags);
        for (std::uint32_t entry : z.matrix)
            out.last() += line(entry);
        for (const Segment &s : z.segments)
            out << line(s.name, s.type, s.start, s.count);
    }
    for (const Led &l : c.leds)
        out << line(l.name, l.value);
    out << text(c.colors) << line(c.flags);
    for (const std::string &name : c.alternateLedNames)
        out << line(name);
    return out;
}

// A made-up mat: two modes, a 2x2 grid zone and an empty resizable one,
// three LEDs; what each version carries of it.
// clang-format off
Controller madeUp(std::uint32_t v)
{
    const auto from = [v](std::uint32_t version, std::uint32_t value) { return v >= version ? value : 0; };
    Controller c{5, "Pad", v >= 1 ? "Vk" : "", "d", "1", "", "L", 1,
        {{"Static", 1, 2, 3, 4, from(3, 5), from(3, 6), 7, 8, 9, from(3, 10), 11, 12, {{255, 0, 0}}},
            {"Direct", 24, 32, 0, 0, 0, from(3, 100), 0, 0, 0, from(3, 100), 0, 1, {}}},
        {{"Grid", 2, 3, 3, 3, 2, 2, {0, 1, 2, 0xFFFFFFFF}, {}, from(5, 1)}, {"Y", 0, 0, 8, 0, 0, 0, {}, {}, 0}},
        {{"A", 1}, {"B", 2}, {"C", 3}}, {{0x10, 0x20, 0x30}, {0x40, 0x50, 0x60}, {0x70, 0x80, 0x90}},
        {v >= 5 ? 1u : 0u, "a"}, from(5, 2)};
    if (v >= 4)
        c.zones[0].segments = {{"S", 1, 0, 3}};
    return c;
}

// The same controller, byte by byte.
QByteArray madeUpBlock(std::uint32_t v)
{
    const auto at = [v](std::uint32_t version, const char *hex) { return QByteArray(v >= version ? hex : ""); };
    const QByteArray hex = QByteArray("05000000 0400 50616400") + at(1, "0300 566b00") + "0200 6400 0200 3100 0100 00 0200 4c00" // type, strings
        + "0200 01000000" // 2 modes, the second active
        + "0700 53746174696300 01000000 02000000 03000000 04000000" + at(3, "05000000 06000000") + "07000000 08000000 09000000" + at(3, "0a000000") + "0b000000 0c000000 0100 ff000000"
        + "0700 44697265637400 18000000 20000000 00000000 00000000" + at(3, "00000000 64000000") + "00000000 00000000 00000000" + at(3, "64000000") + "00000000 01000000 0000"
        + "0200 0500 4772696400 02000000 03000000 03000000 03000000 1800 02000000 02000000 00000000 01000000 02000000 ffffffff" // 2 zones
        + at(4, "0100 0200 5300 01000000 00000000 03000000") + at(5, "01000000")
        + "0200 5900 00000000 00000000 08000000 00000000 0000" + at(4, "0000") + at(5, "00000000")
        + "0300 0200 4100 01000000 0200 4200 02000000 0200 4300 03000000 0300 10203000 40506000 70809000" // LEDs, colours
        + at(5, "0100 0200 6100 02000000");
    const QByteArray block = QByteArray::fromHex(hex);
    return le32(std::uint32_t(block.size() + 4)) + block;
}
// clang-format on

std::optional<Controller> parse(const QByteArray &block, std::uint32_t version, int size = -1)
{
    return parseControllerData(data(block), size < 0 ? std::size_t(block.size()) : std::size_t(size), version);
}

}  // namespace

class TestOpenRgbProtocol : public QObject
{
    Q_OBJECT

private slots:
    // The requests with fields a session's bytes leave out (the rest, as the
    // client sends them: tst_openrgb_client).
    void clientRequests_data()
    {
        // clang-format off
        columns<QByteArray, QByteArray>({"sent", "expected"});
        const Mode mode{"Direct", 24, 0x21, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, {{0x11, 0x22, 0x33}}};
        QTest::newRow("3 LEDs") << bytes(updateLeds(0, {{255, 0, 0}, {0, 255, 0}, {0x12, 0x34, 0x56}}))
            << QByteArray("4f524742 00000000 1a040000 12000000  12000000 0300 ff000000 00ff0000 12345600");
        QTest::newRow("mode v1") << bytes(updateMode(1, 3, mode, 1)) << QByteArray("4f524742 01000000 4d040000 3b000000  3b000000 03000000 0700 44697265637400"
            "18000000 21000000 01000000 02000000 05000000 06000000 07000000 09000000 0a000000 0100 11223300");
        QTest::newRow("mode v3") << bytes(updateMode(1, 3, mode, 3)) << QByteArray("4f524742 01000000 4d040000 47000000  47000000 03000000 0700 44697265637400"
            "18000000 21000000 01000000 02000000 03000000 04000000 05000000 06000000 07000000 08000000 09000000 0a000000 0100 11223300");
        // clang-format on
    }
    void clientRequests()
    {
        QFETCH(QByteArray, sent);
        QFETCH(QByteArray, expected);
        expected = QByteArray::fromHex(expected);
        QCOMPARE(sent.toHex(' '), expected.toHex(' '));
        // The stand-in server reads the hand-written bytes back into the same request.
        Header h;
        QCOMPARE(parseHeader(data(expected), std::size_t(expected.size()), &h), HeaderStatus::Complete);
        const QByteArray body = expected.mid(kHeaderSize);
        const std::uint8_t *d = data(body);
        const std::size_t n = std::size_t(body.size());
        const std::uint32_t version = h.size == 0x47 ? 3 : 1;
        QByteArray again = expected;  // nothing to read in the others
        if (h.packetId == UpdateLeds) {
            const std::optional<LedUpdate> leds = parseUpdateLeds(d, n);
            again = leds ? bytes(updateLeds(h.deviceIndex, leds->colours)) : QByteArray();
        } else if (h.packetId == UpdateMode) {
            const std::optional<ModeUpdate> mode = parseUpdateMode(d, n, version);
            again = mode ? bytes(updateMode(h.deviceIndex, mode->modeIndex, mode->mode, version)) : QByteArray();
        }
        QCOMPARE(again.toHex(' '), expected.toHex(' '));
    }

    void controllerBlock_data()
    {
        QTest::addColumn<std::uint32_t>("version");
        for (std::uint32_t version = 0; version <= 5; ++version)
            QTest::addRow("v%u", version) << version;
    }
    void controllerBlock()
    {
        QFETCH(std::uint32_t, version);
        const QByteArray block = madeUpBlock(version);
        const std::optional<Controller> parsed = parse(block, version);
        QVERIFY(parsed);
        QCOMPARE(describe(*parsed), describe(madeUp(version)));
        QCOMPARE(bytes(encodeControllerData(madeUp(version), version)).toHex(' '), block.toHex(' '));
        // Cut anywhere, with the size left or made to agree: never read.
        for (int size = 0; size < block.size(); ++size)
            QVERIFY2(!parse(block, version, size) && !parse(le32(size) + block.mid(4, size - 4), version),
                     qPrintable(QString::number(size)));
        QVERIFY(!parse(le32(std::uint32_t(block.size() + 1)) + block.mid(4) + '\0', version));
    }

    // Version 0 blocks: type, five strings, modes, active mode, zones, LEDs,
    // colours. (Counts beyond the data: controllerBlock's cuts.)
    void malformedBlock_data()
    {
        // clang-format off
        columns<QByteArray, bool>({"body", "valid"});
        QTest::newRow("smallest") << QByteArray("00000000 0100 00 0100 00 0100 00 0100 00 0100 00 0000 00000000 0000 0000 0000") << true;
        QTest::newRow("string length 0 read as empty") << QByteArray("00000000 0000 0100 00 0100 00 0100 00 0100 00 0000 00000000 0000 0000 0000") << true;
        QTest::newRow("string without NUL") << QByteArray("00000000 0200 4141 0100 00 0100 00 0100 00 0100 00 0000 00000000 0000 0000 0000") << false;
        // clang-format on
    }
    void malformedBlock()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, valid);
        body = QByteArray::fromHex(body);
        QCOMPARE(bool(parse(le32(std::uint32_t(body.size() + 4)) + body, 0)), valid);
    }

    void header_data()
    {
        // clang-format off
        columns<QByteArray, std::uint32_t, HeaderStatus, std::uint32_t>({"input", "maxSize", "status", "size"});
        QTest::newRow("complete, data after it") << QByteArray("4f524742 02000000 01000000 10000000 ffff") << kMaxPacketSize << HeaderStatus::Complete << 16u;
        QTest::newRow("empty") << QByteArray() << kMaxPacketSize << HeaderStatus::NeedMore << 0u;
        QTest::newRow("one byte short") << QByteArray("4f524742 02000000 01000000 100000") << kMaxPacketSize << HeaderStatus::NeedMore << 0u;
        QTest::newRow("bad third byte") << QByteArray("4f5258") << kMaxPacketSize << HeaderStatus::BadMagic << 0u;
        QTest::newRow("at the limit") << QByteArray("4f524742 02000000 01000000 00001000") << kMaxPacketSize << HeaderStatus::Complete << kMaxPacketSize;
        QTest::newRow("over the limit") << QByteArray("4f524742 00000000 01000000 01001000") << kMaxPacketSize << HeaderStatus::TooLarge << 0u;
        QTest::newRow("over a small limit") << QByteArray("4f524742 00000000 01000000 11000000") << 16u << HeaderStatus::TooLarge << 0u;
        // clang-format on
    }
    void header()
    {
        QFETCH(QByteArray, input);
        QFETCH(std::uint32_t, maxSize);
        QFETCH(HeaderStatus, status);
        QFETCH(std::uint32_t, size);
        input = QByteArray::fromHex(input);
        Header header;
        QCOMPARE(parseHeader(data(input), std::size_t(input.size()), &header, maxSize), status);
        if (status == HeaderStatus::Complete)
            QCOMPARE(line(header.deviceIndex, header.packetId, header.size), line(2, 1, size));
    }

    // "/save": the mode stores every update (AUTOMATIC_SAVE). The per-LED
    // mode takes a still colour; only a Direct mode that does not store
    // is driven often.
    void perLedMode_data()
    {
        // clang-format off
        columns<QStringList, int, int>({"modes", "index", "direct"});
        QTest::newRow("Direct") << QStringList{"Static", "Breathing", "Direct"} << 2 << 2;
        QTest::newRow("custom") << QStringList{"Static", "custom"} << 1 << -1;
        QTest::newRow("STATIC") << QStringList{"Rainbow", "STATIC"} << 1 << -1;
        QTest::newRow("none") << QStringList{"Rainbow", "Directional"} << -1 << -1;
        QTest::newRow("no modes") << QStringList{} << -1 << -1;
        QTest::newRow("Direct over Static") << QStringList{"Static", "Direct"} << 1 << 1;
        QTest::newRow("Custom over Static") << QStringList{"static", "Custom"} << 1 << -1;
        QTest::newRow("Direct that stores") << QStringList{"Static", "Direct/save"} << 1 << -1;
        QTest::newRow("a second DIRECT that does not") << QStringList{"Direct/save", "DIRECT"} << 0 << 1;
        // clang-format on
    }
    void perLedMode()
    {
        QFETCH(QStringList, modes);
        QFETCH(int, index);
        QFETCH(int, direct);
        Controller controller;
        for (const QString &name : modes) {
            Mode &mode = controller.modes.emplace_back();
            mode.name = name.section('/', 0, 0).toStdString();
            // Every other flag set, so only AUTOMATIC_SAVE can matter.
            mode.flags = name.endsWith("/save") ? 0xfff : 0xfff & ~kModeAutomaticSave;
        }
        QCOMPARE(perLedModeIndex(controller), index);
        QCOMPARE(directModeIndex(controller), direct);
    }

#ifdef __linux__
    // Our end 127.0.0.1:40000 (9C40), the server's 127.0.0.1:6742 (1A56).
    void serverSocketOwner_data()
    {
        // clang-format off
        columns<QStringList, QString, QString, int>({"lines", "ours", "server", "uid"});
        const QString head = "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  timeout inode";
        const QString tail = " 00000000:00000000 00:00000000 00000000 %1 0 4242 1 0000000000000000 100 0 0 10 0";
        const auto row = [&](const char *local, const char *remote, const char *state, int uid) {
            return QString("   0: %1 %2 %3").arg(local, remote, state) + tail.arg(uid);
        };
        const QString listen4 = row("0100007F:1A56", "00000000:0000", "0A", 1001);
        const QString client4 = row("0100007F:9C40", "0100007F:1A56", "01", 1000);
        QTest::newRow("accepted IPv4") << QStringList{head, listen4, client4, row("0100007F:1A56", "0100007F:9C40", "01", 1002)} << "127.0.0.1" << "127.0.0.1" << 1002;
        QTest::newRow("TIME_WAIT skipped") << QStringList{row("0100007F:1A56", "0100007F:9C40", "06", 0), listen4} << "127.0.0.1" << "127.0.0.1" << 1001;
        QTest::newRow("listener") << QStringList{head, client4, listen4} << "127.0.0.1" << "127.0.0.1" << 1001;
        QTest::newRow("wildcard listener") << QStringList{head, row("00000000:1A56", "00000000:0000", "0A", 1003), client4} << "127.0.0.1" << "127.0.0.1" << 1003;
        QTest::newRow("own address over wildcard") << QStringList{row("00000000:1A56", "00000000:0000", "0A", 1003), listen4} << "127.0.0.1" << "127.0.0.1" << 1001;
        QTest::newRow("other port") << QStringList{row("0100007F:1A57", "00000000:0000", "0A", 1001), client4} << "127.0.0.1" << "127.0.0.1" << -1;
        QTest::newRow("other address") << QStringList{row("0200007F:1A56", "00000000:0000", "0A", 1001)} << "127.0.0.1" << "127.0.0.1" << -1;
        QTest::newRow("accepted IPv6") << QStringList{head, row("00000000000000000000000001000000:1A56", "00000000000000000000000001000000:9C40", "01", 1004)} << "::1" << "::1" << 1004;
        QTest::newRow("mapped") << QStringList{row("0000000000000000FFFF00000100007F:1A56", "0000000000000000FFFF00000100007F:9C40", "01", 1005)} << "127.0.0.1" << "::ffff:127.0.0.1" << 1005;
        QTest::newRow(":: takes IPv4") << QStringList{row("00000000000000000000000000000000:1A56", "00000000000000000000000000000000:0000", "0A", 1006)} << "127.0.0.1" << "127.0.0.1" << 1006;
        QTest::newRow("0.0.0.0 not IPv6") << QStringList{row("00000000:1A56", "00000000:0000", "0A", 1007)} << "::1" << "::1" << -1;
        QTest::newRow("garbage") << QStringList{"0: 0100007F:1A56 0100007F:9C40 01", "0: zz00007F:1A56 0100007F:9C40 01 0:0 0:0 0 1", ""} << "127.0.0.1" << "127.0.0.1" << -1;
        // clang-format on
    }
    void serverSocketOwner()
    {
        QFETCH(QStringList, lines);
        QFETCH(QString, ours);
        QFETCH(QString, server);
        QFETCH(int, uid);
        const std::optional<std::uint32_t> found = platform::tcpServerSocketUid(
            lines.join('\n').toStdString(), ours.toStdString(), 40000, server.toStdString(), 6742);
        QCOMPARE(found ? int(*found) : -1, uid);
    }
#endif

    // A server of our own is ours; a port no one listens on tells nothing.
    void ownServerIsTrusted()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, server.serverPort());
        QVERIFY(client.waitForConnected(5000) && server.waitForNewConnection(5000));
        const std::string local = client.localAddress().toString().toStdString();
        QCOMPARE(platform::tcpPeerOwner(local, 1, "127.0.0.1", 1).verdict, platform::PeerOwner::Unknown);
        const platform::PeerOwner owner =
            platform::tcpPeerOwner(local, client.localPort(), "127.0.0.1", server.serverPort()).verdict;
#ifdef Q_OS_WIN
        if (owner == platform::PeerOwner::Unknown)
            QSKIP("no process named for the server's socket (Wine names none)");
#endif
        QCOMPARE(owner, platform::PeerOwner::Trusted);
    }
};

QTEST_GUILESS_MAIN(TestOpenRgbProtocol)
#include "tst_openrgb_protocol.moc"
