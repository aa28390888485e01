// WebSocket frames as a client reads them, fed in pieces of any size:
// whole text messages (joined from their fragments) and control frames.
// Whatever breaks the rules is an error event with the code to close
// with, after which nothing more is read:
// - a masked frame, a reserved bit, an unknown opcode, a fragmented or
//   over-long control frame, a continuation without a message or a new
//   message inside one: protocol error;
// - a binary message: unsupported data (the server speaks text alone);
// - a message whose declared length takes it past the limit: too large,
//   before any byte of it is kept, so no length allocates;
// - a text message that is not UTF-8: invalid text, so the client never
//   reads a message that Qt would have mangled.
#pragma once

#include "websocket_codes.h"

#include <QByteArray>

#include <array>
#include <vector>

namespace remote_apps::websocket {

struct FrameEvent {
    enum class Kind { Text, Ping, Pong, Close, Error };
    Kind kind = Kind::Text;
    // Text: the message; Ping/Pong: the payload; Close and Error: a reason.
    QByteArray payload;
    // Close: the code received (CloseNoStatus if none); Error: the code to close with.
    std::uint16_t code = 0;

    bool operator==(const FrameEvent &other) const
    {
        return kind == other.kind && payload == other.payload && code == other.code;
    }
};

class FrameReader
{
public:
    explicit FrameReader(qint64 maxMessageBytes) : m_maxMessageBytes(maxMessageBytes) {}

    std::vector<FrameEvent> feed(const char *data, qint64 size);
    std::vector<FrameEvent> feed(const QByteArray &bytes) { return feed(bytes.constData(), bytes.size()); }
    // After an error or a close frame nothing more is read.
    bool finished() const { return m_finished; }

private:
    bool takeHeader(std::vector<FrameEvent> &events);
    void endFrame(std::vector<FrameEvent> &events);
    void fail(std::vector<FrameEvent> &events, std::uint16_t code, const char *reason);

    qint64 m_maxMessageBytes;
    std::array<unsigned char, 14> m_header{};
    int m_headerBytes = 0;
    bool m_inPayload = false;
    quint64 m_remaining = 0;
    Opcode m_opcode = Opcode::Continuation;
    bool m_fin = false;
    bool m_inMessage = false;  // a text message awaits its continuation
    QByteArray m_message;
    QByteArray m_control;
    bool m_finished = false;
};

}  // namespace remote_apps::websocket
