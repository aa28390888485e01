// Who runs the server at the other end of a local TCP connection: a light
// server of another user of the machine could read our voice state from
// the colours we send, so the helper uses only its own user's or the
// administrator's.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

enum class PeerOwner {
    Trusted,    // this user, or the system administrator
    OtherUser,  // refuse it
    Unknown,    // the system could not tell
};

struct ServerOwner {
    PeerOwner verdict = PeerOwner::Unknown;
    // Whom a log line names: "user alice", "user S-1-5-21-… in session 2".
    std::string who;
};

// `localAddress`/`localPort`: our end of the connection; `peerAddress`/
// `peerPort`: the server's. Addresses in text (IPv4 or IPv6). Only
// meaningful for loopback connections.
ServerOwner tcpPeerOwner(const std::string &localAddress, std::uint16_t localPort, const std::string &peerAddress,
                         std::uint16_t peerPort);

}  // namespace platform
