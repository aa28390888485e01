// WebSocket frames as a client sends them: whole (FIN set) and always
// masked.
#pragma once

#include "websocket_codes.h"

#include <QByteArray>

#include <array>

namespace remote_apps::websocket {

using Mask = std::array<char, 4>;

// `mask`: random in production (newMask()).
QByteArray encodeFrame(Opcode opcode, const QByteArray &payload, const Mask &mask);
Mask newMask();
// A close frame's payload: the code, big-endian, then a reason.
QByteArray closePayload(std::uint16_t code, const QByteArray &reason = QByteArray());

}  // namespace remote_apps::websocket
