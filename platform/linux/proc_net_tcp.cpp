#include "proc_net_tcp.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include <arpa/inet.h>

namespace platform {

namespace {

// Every address as IPv6; IPv4 as ::ffff:a.b.c.d, the way a dual-stack
// socket sees it too.
using Address = std::array<std::uint8_t, 16>;
constexpr std::uint8_t kMappedPrefix[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
constexpr std::string_view kListen = "0A";
// Left behind by a closed socket, owned by no one (uid 0): not a server.
constexpr std::string_view kTimeWait = "06";

struct End {
    Address address{};
    std::uint16_t port = 0;
    bool operator==(const End &o) const { return address == o.address && port == o.port; }
};

Address mapped(const std::uint8_t (&ipv4)[4])
{
    Address address{};
    std::memcpy(address.data(), kMappedPrefix, sizeof kMappedPrefix);
    std::memcpy(address.data() + 12, ipv4, 4);
    return address;
}

bool isMapped(const Address &address)
{
    return std::memcmp(address.data(), kMappedPrefix, sizeof kMappedPrefix) == 0;
}

bool isWildcard(const Address &address)
{
    return address == Address{} || address == mapped({0, 0, 0, 0});
}

std::optional<End> endOfText(std::string address, std::uint16_t port)
{
    address = address.substr(0, address.find('%'));  // a scope id
    End end;
    end.port = port;
    std::uint8_t ipv4[4];
    if (inet_pton(AF_INET, address.c_str(), ipv4) == 1)
        end.address = mapped(ipv4);
    else if (inet_pton(AF_INET6, address.c_str(), end.address.data()) != 1)
        return std::nullopt;
    return end;
}

std::optional<std::uint32_t> hexNumber(std::string_view text)
{
    if (text.empty() || text.size() > 8)
        return std::nullopt;
    std::uint32_t value = 0;
    for (char c : text) {
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                 : -1;
        if (digit < 0)
            return std::nullopt;
        value = value << 4 | std::uint32_t(digit);
    }
    return value;
}

// "0100007F:1A56": the kernel prints each 32-bit word of the address as a
// number in host byte order, so the word's bytes in memory are the
// address's bytes again.
std::optional<End> endOfProc(std::string_view text)
{
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos || (colon != 8 && colon != 32))
        return std::nullopt;
    std::uint8_t bytes[16];
    for (std::size_t word = 0; word < colon / 8; ++word) {
        const std::optional<std::uint32_t> value = hexNumber(text.substr(word * 8, 8));
        if (!value)
            return std::nullopt;
        std::memcpy(bytes + word * 4, &*value, 4);
    }
    const std::optional<std::uint32_t> port = hexNumber(text.substr(colon + 1));
    if (!port || *port > 0xFFFF)
        return std::nullopt;
    End end;
    end.port = std::uint16_t(*port);
    if (colon == 8)
        end.address = mapped({bytes[0], bytes[1], bytes[2], bytes[3]});
    else
        std::memcpy(end.address.data(), bytes, 16);
    return end;
}

std::optional<std::uint32_t> decimalNumber(std::string_view text)
{
    if (text.empty() || text.size() > 10)
        return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + std::uint64_t(c - '0');
    }
    if (value > 0xFFFFFFFFu)
        return std::nullopt;
    return std::uint32_t(value);
}

std::vector<std::string_view> fields(std::string_view line)
{
    std::vector<std::string_view> out;
    std::size_t at = 0;
    while (at < line.size()) {
        const std::size_t start = line.find_first_not_of(" \t", at);
        if (start == std::string_view::npos)
            break;
        const std::size_t end = std::min(line.find_first_of(" \t", start), line.size());
        out.push_back(line.substr(start, end - start));
        at = end;
    }
    return out;
}

struct Entry {
    End local;
    End remote;
    bool listening = false;
    std::uint32_t uid = 0;
};

// "  sl  local_address rem_address   st tx_queue:rx_queue tr:tm->when retrnsmt   uid ..."
// The heading and any line not of that form are skipped.
std::optional<Entry> entryOfLine(std::string_view line)
{
    const std::vector<std::string_view> field = fields(line);
    if (field.size() < 8)
        return std::nullopt;
    const std::optional<End> local = endOfProc(field[1]);
    const std::optional<End> remote = endOfProc(field[2]);
    const std::optional<std::uint32_t> uid = decimalNumber(field[7]);
    if (!local || !remote || !uid || field[3] == kTimeWait)
        return std::nullopt;
    return Entry{*local, *remote, field[3] == kListen, *uid};
}

}  // namespace

std::optional<std::uint32_t> tcpServerSocketUid(std::string_view procNetTcp, const std::string &localAddress,
                                                std::uint16_t localPort, const std::string &peerAddress,
                                                std::uint16_t peerPort)
{
    const std::optional<End> ours = endOfText(localAddress, localPort);
    const std::optional<End> server = endOfText(peerAddress, peerPort);
    if (!ours || !server)
        return std::nullopt;
    std::optional<std::uint32_t> listenerAtAddress;
    std::optional<std::uint32_t> listenerAtWildcard;
    std::size_t at = 0;
    while (at < procNetTcp.size()) {
        const std::size_t end = std::min(procNetTcp.find('\n', at), procNetTcp.size());
        const std::optional<Entry> entry = entryOfLine(procNetTcp.substr(at, end - at));
        at = end + 1;
        if (!entry)
            continue;
        if (!entry->listening && entry->local == *server && entry->remote == *ours)
            return entry->uid;
        if (!entry->listening || entry->local.port != server->port)
            continue;
        if (entry->local.address == server->address) {
            if (!listenerAtAddress)
                listenerAtAddress = entry->uid;
        } else if (isWildcard(entry->local.address)
                   // 0.0.0.0 takes IPv4 only; :: both, unless the socket is IPv6-only.
                   && (entry->local.address == Address{} || isMapped(server->address))) {
            if (!listenerAtWildcard)
                listenerAtWildcard = entry->uid;
        }
    }
    return listenerAtAddress ? listenerAtAddress : listenerAtWildcard;
}

}  // namespace platform
