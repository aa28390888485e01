#include "tcp_peer_owner.h"

#include "process_owner_facts.h"
#include "tcp_socket_table.h"
#include "user_sid.h"

#include <array>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include <winsock2.h>  // before windows.h
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>

namespace platform {

namespace {

std::optional<TcpEnd> endOfText(std::string address, std::uint16_t port)
{
    address = address.substr(0, address.find('%'));  // a scope id
    TcpEnd end;
    end.port = port;
    IN_ADDR ipv4;
    if (inet_pton(AF_INET, address.c_str(), &ipv4) == 1)
        end.address = mappedIpv4(&ipv4);
    else if (inet_pton(AF_INET6, address.c_str(), end.address.data()) != 1)
        return std::nullopt;
    return end;
}

// The table of one address family; ports are in network byte order in the
// low 16 bits, IPv4 addresses in network byte order.
std::unique_ptr<unsigned char[]> tcpTable(ULONG family)
{
    for (int attempt = 0; attempt < 4; ++attempt) {  // the table may grow between the calls
        DWORD size = 0;
        if (GetExtendedTcpTable(nullptr, &size, FALSE, family, TCP_TABLE_OWNER_PID_ALL, 0) != ERROR_INSUFFICIENT_BUFFER)
            return nullptr;
        auto table = std::make_unique<unsigned char[]>(size);
        const DWORD result = GetExtendedTcpTable(table.get(), &size, FALSE, family, TCP_TABLE_OWNER_PID_ALL, 0);
        if (result == NO_ERROR)
            return table;
        if (result != ERROR_INSUFFICIENT_BUFFER)
            return nullptr;
    }
    return nullptr;
}

std::vector<TcpSocketRow> tcpRows()
{
    std::vector<TcpSocketRow> rows;
    if (const auto table = tcpTable(AF_INET)) {
        const auto *rows4 = reinterpret_cast<const MIB_TCPTABLE_OWNER_PID *>(table.get());
        for (DWORD i = 0; i < rows4->dwNumEntries; ++i) {
            const MIB_TCPROW_OWNER_PID &r = rows4->table[i];
            rows.push_back({{mappedIpv4(&r.dwLocalAddr), ntohs(static_cast<u_short>(r.dwLocalPort))},
                            {mappedIpv4(&r.dwRemoteAddr), ntohs(static_cast<u_short>(r.dwRemotePort))},
                            r.dwState == MIB_TCP_STATE_LISTEN,
                            r.dwState == MIB_TCP_STATE_TIME_WAIT,
                            r.dwOwningPid});
        }
    }
    if (const auto table = tcpTable(AF_INET6)) {
        const auto *rows6 = reinterpret_cast<const MIB_TCP6TABLE_OWNER_PID *>(table.get());
        for (DWORD i = 0; i < rows6->dwNumEntries; ++i) {
            const MIB_TCP6ROW_OWNER_PID &r = rows6->table[i];
            TcpSocketRow row;
            std::memcpy(row.local.address.data(), r.ucLocalAddr, 16);
            std::memcpy(row.remote.address.data(), r.ucRemoteAddr, 16);
            row.local.port = ntohs(static_cast<u_short>(r.dwLocalPort));
            row.remote.port = ntohs(static_cast<u_short>(r.dwRemotePort));
            row.listening = r.dwState == MIB_TCP_STATE_LISTEN;
            row.closed = r.dwState == MIB_TCP_STATE_TIME_WAIT;
            row.owner = r.dwOwningPid;
            rows.push_back(row);
        }
    }
    return rows;
}

}  // namespace

ServerOwner tcpPeerOwner(const std::string &localAddress, std::uint16_t localPort, const std::string &peerAddress,
                         std::uint16_t peerPort)
{
    const std::optional<TcpEnd> ours = endOfText(localAddress, localPort);
    const std::optional<TcpEnd> server = endOfText(peerAddress, peerPort);
    if (!ours || !server)
        return {PeerOwner::Unknown, "no address"};
    const DWORD pid = serverSocketOwner(tcpRows(), *ours, *server).value_or(0);
    return windowsProcessOwner(processOwnerFacts(pid), accountNameOfSid);
}

}  // namespace platform
