#include "proc_net_tcp.h"

#include "tcp_socket_table.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include <arpa/inet.h>

namespace platform {

namespace {

constexpr std::string_view kListen = "0A";
constexpr std::string_view kTimeWait = "06";

std::optional<TcpEnd> endOfText(std::string address, std::uint16_t port)
{
    address = address.substr(0, address.find('%'));  // a scope id
    TcpEnd end;
    end.port = port;
    std::uint8_t ipv4[4];
    if (inet_pton(AF_INET, address.c_str(), ipv4) == 1)
        end.address = mappedIpv4(ipv4);
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
std::optional<TcpEnd> endOfProc(std::string_view text)
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
    TcpEnd end;
    end.port = std::uint16_t(*port);
    if (colon == 8)
        end.address = mappedIpv4(bytes);
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

// "  sl  local_address rem_address   st tx_queue:rx_queue tr:tm->when retrnsmt   uid ..."
// The heading and any line not of that form are skipped.
std::optional<TcpSocketRow> rowOfLine(std::string_view line)
{
    const std::vector<std::string_view> field = fields(line);
    if (field.size() < 8)
        return std::nullopt;
    const std::optional<TcpEnd> local = endOfProc(field[1]);
    const std::optional<TcpEnd> remote = endOfProc(field[2]);
    const std::optional<std::uint32_t> uid = decimalNumber(field[7]);
    if (!local || !remote || !uid)
        return std::nullopt;
    return TcpSocketRow{*local, *remote, field[3] == kListen, field[3] == kTimeWait, *uid};
}

}  // namespace

std::optional<std::uint32_t> tcpServerSocketUid(std::string_view procNetTcp, const std::string &localAddress,
                                                std::uint16_t localPort, const std::string &peerAddress,
                                                std::uint16_t peerPort)
{
    const std::optional<TcpEnd> ours = endOfText(localAddress, localPort);
    const std::optional<TcpEnd> server = endOfText(peerAddress, peerPort);
    if (!ours || !server)
        return std::nullopt;
    std::vector<TcpSocketRow> rows;
    std::size_t at = 0;
    while (at < procNetTcp.size()) {
        const std::size_t end = std::min(procNetTcp.find('\n', at), procNetTcp.size());
        if (const std::optional<TcpSocketRow> row = rowOfLine(procNetTcp.substr(at, end - at)))
            rows.push_back(*row);
        at = end + 1;
    }
    return serverSocketOwner(rows, *ours, *server);
}

}  // namespace platform
