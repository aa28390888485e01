// The WebSocket opening handshake, client side, over bytes alone: the
// request for ws://127.0.0.1:<port>/ and the check of the server's answer.
#pragma once

#include <QByteArray>

namespace remote_apps::websocket {

// A server's answer head longer than this is refused: no head of a real
// server comes near it, and nothing unbounded is kept while it is awaited.
constexpr int kMaxHeadBytes = 16 * 1024;

// `key`: 16 random bytes, base64 (newKey() in production).
QByteArray handshakeRequest(quint16 port, const QByteArray &key);
QByteArray newKey();
// The Sec-WebSocket-Accept value a server must answer `key` with.
QByteArray acceptFor(const QByteArray &key);

struct HandshakeCheck {
    enum class Status { NeedMore, Accepted, Refused };
    Status status = Status::NeedMore;
    // Accepted: the bytes of the head; those after it are the first frames.
    int headSize = 0;
    // Refused: why, for the log.
    QByteArray reason;
};

// `received`: everything read since the request was sent.
HandshakeCheck checkHandshake(const QByteArray &received, const QByteArray &key);

}  // namespace remote_apps::websocket
