#include "websocket_handshake.h"

#include <QCryptographicHash>
#include <QList>
#include <QRandomGenerator>

namespace remote_apps::websocket {

namespace {

HandshakeCheck refused(const char *reason)
{
    HandshakeCheck check;
    check.status = HandshakeCheck::Status::Refused;
    check.reason = reason;
    return check;
}

bool hasToken(const QByteArray &list, const QByteArray &token)
{
    for (const QByteArray &item : list.split(','))
        if (item.trimmed().toLower() == token)
            return true;
    return false;
}

}  // namespace

QByteArray handshakeRequest(quint16 port, const QByteArray &key)
{
    return "GET / HTTP/1.1\r\n"
           "Host: 127.0.0.1:"
           + QByteArray::number(port)
           + "\r\n"
             "Upgrade: websocket\r\n"
             "Connection: Upgrade\r\n"
             "Sec-WebSocket-Key: "
           + key
           + "\r\n"
             "Sec-WebSocket-Version: 13\r\n"
             "\r\n";
}

QByteArray newKey()
{
    QByteArray bytes(16, Qt::Uninitialized);
    for (char &byte : bytes)
        byte = char(QRandomGenerator::system()->bounded(256));
    return bytes.toBase64();
}

QByteArray acceptFor(const QByteArray &key)
{
    return QCryptographicHash::hash(key + "258EAFA5-E914-47DA-95CA-C5AB0DC85B11", QCryptographicHash::Sha1).toBase64();
}

HandshakeCheck checkHandshake(const QByteArray &received, const QByteArray &key)
{
    const int end = received.left(kMaxHeadBytes).indexOf("\r\n\r\n");
    if (end < 0)
        return received.size() >= kMaxHeadBytes ? refused("answer head too large") : HandshakeCheck();
    const QList<QByteArray> lines = received.left(end).split('\n');
    const QList<QByteArray> status = lines.first().trimmed().split(' ');
    if (status.size() < 2 || status[0] != "HTTP/1.1" || status[1] != "101")
        return refused("not switching protocols");
    bool upgrade = false, connection = false, accept = false;
    for (int i = 1; i < lines.size(); ++i) {
        const QByteArray &line = lines[i];
        const int colon = line.indexOf(':');
        if (colon <= 0)
            return refused("malformed header");
        const QByteArray name = line.left(colon).trimmed().toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (name == "upgrade")
            upgrade = value.toLower() == "websocket";
        else if (name == "connection")
            connection = hasToken(value, "upgrade");
        else if (name == "sec-websocket-accept")
            accept = value == acceptFor(key);
        else if (name == "sec-websocket-extensions" || name == "sec-websocket-protocol")
            return refused("extension or subprotocol not asked for");
    }
    if (!upgrade || !connection)
        return refused("no upgrade to websocket");
    if (!accept)
        return refused("wrong Sec-WebSocket-Accept");
    HandshakeCheck check;
    check.status = HandshakeCheck::Status::Accepted;
    check.headSize = end + 4;
    return check;
}

}  // namespace remote_apps::websocket
