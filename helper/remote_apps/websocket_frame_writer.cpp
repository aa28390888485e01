#include "websocket_frame_writer.h"

#include <QRandomGenerator>

namespace remote_apps::websocket {

QByteArray encodeFrame(Opcode opcode, const QByteArray &payload, const Mask &mask)
{
    const quint64 size = quint64(payload.size());
    QByteArray frame;
    frame.reserve(payload.size() + 14);
    frame.append(char(0x80 | int(opcode)));
    if (size <= 125) {
        frame.append(char(0x80 | size));
    } else if (size <= 0xFFFF) {
        frame.append(char(0x80 | 126));
        frame.append(char(size >> 8)).append(char(size));
    } else {
        frame.append(char(0x80 | 127));
        for (int shift = 56; shift >= 0; shift -= 8)
            frame.append(char(size >> shift));
    }
    frame.append(mask.data(), int(mask.size()));
    const int start = frame.size();
    frame.append(payload);
    for (int i = 0; i < payload.size(); ++i)
        frame[start + i] = char(frame[start + i] ^ mask[i % 4]);
    return frame;
}

Mask newMask()
{
    const quint32 bits = QRandomGenerator::global()->generate();
    return {char(bits), char(bits >> 8), char(bits >> 16), char(bits >> 24)};
}

QByteArray closePayload(std::uint16_t code, const QByteArray &reason)
{
    return QByteArray(1, char(code >> 8)) + char(code) + reason;
}

}  // namespace remote_apps::websocket
