// The helper's own WebSocket client over bytes: the server's answer to the
// opening handshake, and frames as a server sends them, whole and fed one
// byte at a time. Its interop with Qt's own server is in tst_remote_apps.
#include "websocket_frame_reader.h"
#include "websocket_frame_writer.h"
#include "websocket_handshake.h"

#include <QtTest>

using namespace remote_apps::websocket;

namespace {

// The key and answer of RFC 6455's own example, worked out by its authors.
const QByteArray kKey = "dGhlIHNhbXBsZSBub25jZQ==";
const QByteArray kAccept = "s3pPLMBiTxaQ9kYGzzhZRbK+xOo=";
constexpr qint64 kLimit = 100000;

// An unmasked frame, its length in the 7-, 16- or 64-bit form (0: the least).
QByteArray frame(int first, const QByteArray &payload, int lengthBits = 0)
{
    const quint64 size = quint64(payload.size());
    if (!lengthBits)
        lengthBits = size <= 125 ? 7 : size <= 0xFFFF ? 16 : 64;
    QByteArray out(1, char(first));
    out += char(lengthBits == 7 ? size : lengthBits == 16 ? 126 : 127);
    for (int shift = lengthBits == 7 ? -8 : lengthBits - 8; shift >= 0; shift -= 8)
        out += char(size >> shift);
    return out + payload;
}

// A header declaring `size` bytes in the 64-bit form, with no payload.
QByteArray declared(int first, quint64 size)
{
    QByteArray out(1, char(first));
    out += char(127);
    for (int shift = 56; shift >= 0; shift -= 8)
        out += char(size >> shift);
    return out;
}

QStringList described(const std::vector<FrameEvent> &events)
{
    static const char *const kinds[] = {"text", "ping", "pong", "close", "error"};
    QStringList out;
    for (const FrameEvent &e : events) {
        QString line = QLatin1String(kinds[int(e.kind)]);
        if (e.code)
            line += QLatin1Char(' ') + QString::number(e.code);
        if (e.kind != FrameEvent::Kind::Error)
            line += QLatin1Char(' ')
                    + (e.payload.size() > 20 ? QString::number(e.payload.size()) + QLatin1Char('B')
                                             : QString::fromUtf8(e.payload));
        out << line;
    }
    return out;
}

}  // namespace

class TestWebSocket : public QObject
{
    Q_OBJECT

private slots:
    void handshakeAnswer_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("status");      // HandshakeCheck::Status
        QTest::addColumn<int>("frameBytes");  // after the head
        const auto accepted = int(HandshakeCheck::Status::Accepted), refused = int(HandshakeCheck::Status::Refused);
        const QByteArray good = "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                                "Sec-WebSocket-Accept: "
                                + kAccept + "\r\n\r\n";
        QTest::newRow("good") << good << accepted << 0;
        QTest::newRow("other case and order, a token list, frames after the head")
            << "HTTP/1.1 101 OK\r\nsec-websocket-accept: " + kAccept
                   + "\r\nCONNECTION: keep-alive, upgrade\r\nupgrade: WebSocket\r\n\r\n\x81\x02hi"
            << accepted << 4;
        QTest::newRow("head not yet whole") << good.left(good.size() - 1) << int(HandshakeCheck::Status::NeedMore) << 0;
        QTest::newRow("wrong accept") << QByteArray(good).replace(kAccept, kKey) << refused << 0;
        QTest::newRow("not 101") << QByteArray(good).replace("101", "200") << refused << 0;
        QTest::newRow("no upgrade header") << QByteArray(good).replace("Upgrade: websocket\r\n", "") << refused << 0;
        QTest::newRow("connection without upgrade")
            << QByteArray(good).replace("Connection: Upgrade", "Connection: x") << refused << 0;
        QTest::newRow("a subprotocol not asked for")
            << QByteArray(good).replace("\r\n\r\n", "\r\nSec-WebSocket-Protocol: chat\r\n\r\n") << refused << 0;
        QTest::newRow("oversize head, unfinished")
            << good.left(good.size() - 2) + "X-Pad: " + QByteArray(kMaxHeadBytes, 'a') << refused << 0;
        QTest::newRow("oversize head, finished")
            << QByteArray(good).replace("\r\n\r\n", "\r\nX-Pad: " + QByteArray(kMaxHeadBytes, 'a') + "\r\n\r\n")
            << refused << 0;
    }
    void handshakeAnswer()
    {
        QFETCH(QByteArray, answer);
        QFETCH(int, status);
        QFETCH(int, frameBytes);
        const HandshakeCheck check = checkHandshake(answer, kKey);
        QCOMPARE(int(check.status), status);
        if (check.status == HandshakeCheck::Status::Accepted)
            QCOMPARE(answer.size() - check.headSize, frameBytes);
    }

    void frameReader_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("events");
        const QByteArray text(300, 't');
        QTest::newRow("7-bit length") << frame(0x81, "hello") << QStringList{"text hello"};
        QTest::newRow("16-bit length") << frame(0x81, text) << QStringList{"text 300B"};
        QTest::newRow("64-bit length") << frame(0x81, QByteArray(70000, 'x')) << QStringList{"text 70000B"};
        QTest::newRow("short payload in the 64-bit form") << frame(0x81, "hi", 64) << QStringList{"text hi"};
        QTest::newRow("two messages, empty one first")
            << frame(0x81, "") + frame(0x81, "b") << QStringList{"text ", "text b"};
        QTest::newRow("fragmented, split inside a character")
            << frame(0x01, "gr\xC3") + frame(0x00, "\xBC\xC3\x9F") + frame(0x80, "e \xF0\x9F\x98\x80")
            << QStringList{QString::fromUtf8("text gr\xC3\xBC\xC3\x9F"
                                             "e \xF0\x9F\x98\x80")};
        QTest::newRow("ping and pong between fragments")
            << frame(0x01, "a") + frame(0x89, "p") + frame(0x8A, "q") + frame(0x80, "b")
            << QStringList{"ping p", "pong q", "text ab"};
        QTest::newRow("close with code and reason, then nothing read") << frame(0x81, "x")
                                                                              + frame(0x88, "\x03\xE8"
                                                                                            "bye")
                                                                              + frame(0x81, "y")
                                                                       << QStringList{"text x", "close 1000 bye"};
        QTest::newRow("close without code") << frame(0x88, "") << QStringList{"close 1005 "};
        QTest::newRow("exactly the limit")
            << frame(0x81, QByteArray(int(kLimit), 'x')) << QStringList{QStringLiteral("text %1B").arg(kLimit)};
        // Errors: nothing after them is read.
        QTest::newRow("masked server frame")
            << QByteArray("\x81\x82\x01\x02\x03\x04\x69\x6b", 8) << QStringList{"error 1002"};
        QTest::newRow("reserved bit") << frame(0xC1, "x") << QStringList{"error 1002"};
        QTest::newRow("unknown opcode") << frame(0x83, "x") << QStringList{"error 1002"};
        QTest::newRow("fragmented ping") << frame(0x09, "x") << QStringList{"error 1002"};
        QTest::newRow("ping over 125 bytes") << frame(0x89, QByteArray(126, 'p')) << QStringList{"error 1002"};
        QTest::newRow("one-byte close code") << frame(0x88, "\x03") << QStringList{"error 1002"};
        QTest::newRow("continuation without a message") << frame(0x80, "x") << QStringList{"error 1002"};
        QTest::newRow("new message inside a fragmented one")
            << frame(0x01, "a") + frame(0x81, "b") << QStringList{"error 1002"};
        QTest::newRow("length's top bit") << declared(0x81, quint64(1) << 63) << QStringList{"error 1002"};
        QTest::newRow("binary") << frame(0x82, "x") << QStringList{"error 1003"};
        QTest::newRow("not UTF-8: overlong") << frame(0x81, "\xC0\xAF") << QStringList{"error 1007"};
        QTest::newRow("not UTF-8: surrogate") << frame(0x81, "\xED\xA0\x80") << QStringList{"error 1007"};
        QTest::newRow("not UTF-8: cut short") << frame(0x81, "ok\xE2\x82") << QStringList{"error 1007"};
        // Refused on the declared length, before anything is kept.
        QTest::newRow("declared one past the limit") << declared(0x81, kLimit + 1) << QStringList{"error 1009"};
        QTest::newRow("declared 2^63 - 1") << declared(0x81, ~quint64(0) >> 1) << QStringList{"error 1009"};
        QTest::newRow("fragments past the limit")
            << frame(0x01, QByteArray(int(kLimit) - 10, 'x')) + declared(0x80, 11) << QStringList{"error 1009"};
    }
    void frameReader()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, events);
        FrameReader whole(kLimit);
        QCOMPARE(described(whole.feed(bytes)), events);
        FrameReader bytewise(kLimit);
        std::vector<FrameEvent> got;
        for (const char byte : bytes)
            for (const FrameEvent &e : bytewise.feed(&byte, 1))
                got.push_back(e);
        QCOMPARE(described(got), events);
        QCOMPARE(bytewise.finished(), events.last().startsWith("close") || events.last().startsWith("error"));
    }

    // Client frames: masked with the given mask, each length in its form.
    void frameWriter_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("headerSize");
        QTest::newRow("empty") << 0 << 6;
        QTest::newRow("125") << 125 << 6;
        QTest::newRow("126") << 126 << 8;
        QTest::newRow("65535") << 65535 << 8;
        QTest::newRow("65536") << 65536 << 14;
    }
    void frameWriter()
    {
        QFETCH(int, size);
        QFETCH(int, headerSize);
        QByteArray payload(size, Qt::Uninitialized);
        for (int i = 0; i < size; ++i)
            payload[i] = char('a' + i % 26);  // text: the reader checks UTF-8
        const Mask mask{'\x12', '\x34', '\x56', '\x78'};
        const QByteArray encoded = encodeFrame(Opcode::Text, payload, mask);
        QCOMPARE(encoded.size(), headerSize + size);
        QCOMPARE(quint8(encoded[0]), quint8(0x81));
        QVERIFY(quint8(encoded[1]) & 0x80);
        QCOMPARE(encoded.mid(headerSize - 4, 4), QByteArray(mask.data(), 4));
        QByteArray unmasked = encoded.mid(headerSize);
        for (int i = 0; i < unmasked.size(); ++i)
            unmasked[i] = char(unmasked[i] ^ mask[i % 4]);
        QCOMPARE(unmasked, payload);
        // Its header, unmasked, as a server's frame: the same length comes back.
        QByteArray asServer = encoded.left(headerSize - 4) + payload;
        asServer[1] = char(asServer[1] & 0x7F);
        QCOMPARE(described(FrameReader(kLimit).feed(asServer)), described({{FrameEvent::Kind::Text, payload, 0}}));
    }
};

QTEST_GUILESS_MAIN(TestWebSocket)
#include "tst_websocket.moc"
