// Who owns a TCP socket, read from the text of /proc/net/tcp and
// /proc/net/tcp6. Pure, so the parsing is tested on fixed lines.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The uid of the server's socket of the connection from our end
// (`localAddress:localPort`) to the server's (`peerAddress:peerPort`):
// the accepted socket whose local end is the server's and whose remote end
// is ours; failing that, the listening socket on the server's port, at its
// address or the wildcard. `procNetTcp` holds /proc/net/tcp and
// /proc/net/tcp6, one after the other. Addresses are text, IPv4 or IPv6
// (IPv4-mapped too). Nullopt when no socket matches.
std::optional<std::uint32_t> tcpServerSocketUid(std::string_view procNetTcp, const std::string &localAddress,
                                                std::uint16_t localPort, const std::string &peerAddress,
                                                std::uint16_t peerPort);

}  // namespace platform
