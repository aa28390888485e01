// The system's table of TCP sockets, as each system's reader fills it, and
// the one rule that finds a local server's socket in it: who owns the
// server's end of our connection.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace platform {

// Every address as IPv6; IPv4 as ::ffff:a.b.c.d, the way a dual-stack
// socket sees it too.
using TcpAddress = std::array<std::uint8_t, 16>;

struct TcpEnd {
    TcpAddress address{};
    std::uint16_t port = 0;
    bool operator==(const TcpEnd &o) const { return address == o.address && port == o.port; }
};

struct TcpSocketRow {
    TcpEnd local;
    TcpEnd remote;
    bool listening = false;
    // Left behind by a closed socket (TIME_WAIT), owned by no one: never
    // the server's.
    bool closed = false;
    std::uint32_t owner = 0;  // a uid or a process id, as the system tells
};

TcpAddress mappedIpv4(const void *fourBytes);

// The owner of the server's accepted socket of our connection (its local
// end the server's, its remote end ours); failing that, of the listening
// socket on the server's port, at the server's address or else the
// wildcard (0.0.0.0 takes IPv4 only, :: both). Nullopt when none matches.
std::optional<std::uint32_t> serverSocketOwner(const std::vector<TcpSocketRow> &rows, const TcpEnd &ours,
                                               const TcpEnd &server);

}  // namespace platform
