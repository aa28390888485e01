// The WebSocket facts both directions share: frame opcodes and the close
// codes the helper sends or reads.
#pragma once

#include <cstdint>

namespace remote_apps::websocket {

enum class Opcode : std::uint8_t {
    Continuation = 0x0,
    Text = 0x1,
    Binary = 0x2,
    Close = 0x8,
    Ping = 0x9,
    Pong = 0xA,
};

enum CloseCode : std::uint16_t {
    CloseNormal = 1000,
    CloseProtocolError = 1002,
    CloseUnsupportedData = 1003,
    CloseNoStatus = 1005,  // a close frame without a code; never sent
    CloseInvalidText = 1007,
    CloseTooLarge = 1009,
};

// Control frames carry at most this many payload bytes.
constexpr int kMaxControlPayload = 125;

}  // namespace remote_apps::websocket
