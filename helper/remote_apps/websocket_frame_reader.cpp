#include "websocket_frame_reader.h"

#include <algorithm>

namespace remote_apps::websocket {

namespace {

// Strict UTF-8: no overlong forms, surrogates or code points past U+10FFFF.
bool isUtf8(const QByteArray &text)
{
    const auto *bytes = reinterpret_cast<const unsigned char *>(text.constData());
    const int size = text.size();
    for (int i = 0; i < size;) {
        const unsigned char lead = bytes[i++];
        if (lead < 0x80)
            continue;
        int more;
        char32_t point, least;
        if ((lead & 0xE0) == 0xC0)
            more = 1, point = lead & 0x1F, least = 0x80;
        else if ((lead & 0xF0) == 0xE0)
            more = 2, point = lead & 0x0F, least = 0x800;
        else if ((lead & 0xF8) == 0xF0)
            more = 3, point = lead & 0x07, least = 0x10000;
        else
            return false;
        for (; more > 0; --more, ++i) {
            if (i >= size || (bytes[i] & 0xC0) != 0x80)
                return false;
            point = (point << 6) | (bytes[i] & 0x3F);
        }
        if (point < least || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
            return false;
    }
    return true;
}

bool isControl(Opcode opcode)
{
    return int(opcode) & 0x8;
}

}  // namespace

std::vector<FrameEvent> FrameReader::feed(const char *data, qint64 size)
{
    std::vector<FrameEvent> events;
    qint64 at = 0;
    while (!m_finished) {
        if (!m_inPayload) {
            const int lengthBytes = m_headerBytes < 2             ? 0
                                    : (m_header[1] & 0x7F) == 126 ? 2
                                    : (m_header[1] & 0x7F) == 127 ? 8
                                                                  : 0;
            if (m_headerBytes < 2 + lengthBytes) {
                if (at == size)
                    break;
                m_header[m_headerBytes++] = static_cast<unsigned char>(data[at++]);
                continue;
            }
            if (!takeHeader(events))
                break;
        }
        if (m_remaining > 0) {
            if (at == size)
                break;
            const qint64 n = qint64(std::min<quint64>(m_remaining, quint64(size - at)));
            (isControl(m_opcode) ? m_control : m_message).append(data + at, int(n));
            at += n;
            m_remaining -= quint64(n);
        }
        if (m_remaining == 0)
            endFrame(events);
    }
    return events;
}

bool FrameReader::takeHeader(std::vector<FrameEvent> &events)
{
    const unsigned char first = m_header[0], second = m_header[1];
    quint64 length = second & 0x7F;
    if (length >= 126) {
        const int bytes = length == 126 ? 2 : 8;
        length = 0;
        for (int i = 0; i < bytes; ++i)
            length = (length << 8) | m_header[2 + i];
    }
    m_headerBytes = 0;
    if (first & 0x70)
        return fail(events, CloseProtocolError, "reserved bit set"), false;
    if (second & 0x80)
        return fail(events, CloseProtocolError, "masked frame from the server"), false;
    if (length >> 63)
        return fail(events, CloseProtocolError, "length's top bit set"), false;
    const auto opcode = Opcode(first & 0x0F);
    const bool fin = first & 0x80;
    switch (opcode) {
    case Opcode::Close:
    case Opcode::Ping:
    case Opcode::Pong:
        if (!fin || length > quint64(kMaxControlPayload))
            return fail(events, CloseProtocolError, "control frame fragmented or too long"), false;
        m_control.clear();
        break;
    case Opcode::Text:
        if (m_inMessage)
            return fail(events, CloseProtocolError, "new message inside a fragmented one"), false;
        m_inMessage = true;
        break;
    case Opcode::Continuation:
        if (!m_inMessage)
            return fail(events, CloseProtocolError, "continuation without a message"), false;
        break;
    case Opcode::Binary:
        return fail(events, CloseUnsupportedData, "binary message"), false;
    default:
        return fail(events, CloseProtocolError, "unknown opcode"), false;
    }
    // On the declared length, before any byte of it is kept.
    if (!isControl(opcode) && length > quint64(m_maxMessageBytes - m_message.size()))
        return fail(events, CloseTooLarge, "message too large"), false;
    m_opcode = opcode;
    m_fin = fin;
    m_remaining = length;
    m_inPayload = true;
    return true;
}

void FrameReader::endFrame(std::vector<FrameEvent> &events)
{
    m_inPayload = false;
    switch (m_opcode) {
    case Opcode::Ping:
        events.push_back({FrameEvent::Kind::Ping, m_control, 0});
        return;
    case Opcode::Pong:
        events.push_back({FrameEvent::Kind::Pong, m_control, 0});
        return;
    case Opcode::Close:
        if (m_control.size() == 1)
            return fail(events, CloseProtocolError, "close frame with a one-byte code");
        events.push_back({FrameEvent::Kind::Close, m_control.mid(2),
                          m_control.isEmpty() ? std::uint16_t(CloseNoStatus)
                                              : std::uint16_t(quint8(m_control[0]) << 8 | quint8(m_control[1]))});
        m_finished = true;
        return;
    default:
        break;
    }
    if (!m_fin)
        return;
    if (!isUtf8(m_message))
        return fail(events, CloseInvalidText, "text message not UTF-8");
    events.push_back({FrameEvent::Kind::Text, m_message, 0});
    m_message = QByteArray();
    m_inMessage = false;
}

void FrameReader::fail(std::vector<FrameEvent> &events, std::uint16_t code, const char *reason)
{
    events.push_back({FrameEvent::Kind::Error, QByteArray(reason), code});
    m_finished = true;
}

}  // namespace remote_apps::websocket
