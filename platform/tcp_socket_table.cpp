#include "tcp_socket_table.h"

#include <cstring>

namespace platform {

namespace {

constexpr std::uint8_t kMappedPrefix[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};

bool isMapped(const TcpAddress &address)
{
    return std::memcmp(address.data(), kMappedPrefix, sizeof kMappedPrefix) == 0;
}

}  // namespace

TcpAddress mappedIpv4(const void *fourBytes)
{
    TcpAddress address{};
    std::memcpy(address.data(), kMappedPrefix, sizeof kMappedPrefix);
    std::memcpy(address.data() + 12, fourBytes, 4);
    return address;
}

std::optional<std::uint32_t> serverSocketOwner(const std::vector<TcpSocketRow> &rows, const TcpEnd &ours,
                                               const TcpEnd &server)
{
    const std::uint8_t anyIpv4[4] = {};
    std::optional<std::uint32_t> atAddress;
    std::optional<std::uint32_t> atWildcard;
    for (const TcpSocketRow &row : rows) {
        if (row.closed)
            continue;
        if (!row.listening && row.local == server && row.remote == ours)
            return row.owner;
        if (!row.listening || row.local.port != server.port)
            continue;
        if (row.local.address == server.address) {
            if (!atAddress)
                atAddress = row.owner;
        } else if (row.local.address == TcpAddress{}
                   || (row.local.address == mappedIpv4(anyIpv4) && isMapped(server.address))) {
            if (!atWildcard)
                atWildcard = row.owner;
        }
    }
    return atAddress ? atAddress : atWildcard;
}

}  // namespace platform
