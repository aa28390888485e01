#include "tcp_peer_owner.h"

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

// Every address as IPv6; IPv4 as ::ffff:a.b.c.d, as a dual-mode socket
// sees it too.
using Address = std::array<unsigned char, 16>;
constexpr unsigned char kMappedPrefix[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};

struct End {
    Address address{};
    unsigned short port = 0;
    bool operator==(const End &o) const { return address == o.address && port == o.port; }
};

struct Row {
    End local;
    End remote;
    bool listening = false;
    bool closed = false;  // left behind in TIME_WAIT, owned by no process
    DWORD pid = 0;
};

Address mapped(const void *ipv4)
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

std::optional<End> endOfText(std::string address, std::uint16_t port)
{
    address = address.substr(0, address.find('%'));  // a scope id
    End end;
    end.port = port;
    IN_ADDR ipv4;
    if (inet_pton(AF_INET, address.c_str(), &ipv4) == 1)
        end.address = mapped(&ipv4);
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

std::vector<Row> tcpRows()
{
    std::vector<Row> rows;
    if (const auto table = tcpTable(AF_INET)) {
        const auto *rows4 = reinterpret_cast<const MIB_TCPTABLE_OWNER_PID *>(table.get());
        for (DWORD i = 0; i < rows4->dwNumEntries; ++i) {
            const MIB_TCPROW_OWNER_PID &r = rows4->table[i];
            rows.push_back({{mapped(&r.dwLocalAddr), ntohs(static_cast<u_short>(r.dwLocalPort))},
                            {mapped(&r.dwRemoteAddr), ntohs(static_cast<u_short>(r.dwRemotePort))},
                            r.dwState == MIB_TCP_STATE_LISTEN,
                            r.dwState == MIB_TCP_STATE_TIME_WAIT,
                            r.dwOwningPid});
        }
    }
    if (const auto table = tcpTable(AF_INET6)) {
        const auto *rows6 = reinterpret_cast<const MIB_TCP6TABLE_OWNER_PID *>(table.get());
        for (DWORD i = 0; i < rows6->dwNumEntries; ++i) {
            const MIB_TCP6ROW_OWNER_PID &r = rows6->table[i];
            Row row;
            std::memcpy(row.local.address.data(), r.ucLocalAddr, 16);
            std::memcpy(row.remote.address.data(), r.ucRemoteAddr, 16);
            row.local.port = ntohs(static_cast<u_short>(r.dwLocalPort));
            row.remote.port = ntohs(static_cast<u_short>(r.dwRemotePort));
            row.listening = r.dwState == MIB_TCP_STATE_LISTEN;
            row.closed = r.dwState == MIB_TCP_STATE_TIME_WAIT;
            row.pid = r.dwOwningPid;
            rows.push_back(row);
        }
    }
    return rows;
}

// The process of the server's accepted socket; failing that, of the
// listening socket on its port, at its address or the wildcard. 0: none.
DWORD serverProcess(const std::vector<Row> &rows, const End &ours, const End &server)
{
    const unsigned char anyIpv4[4] = {};
    DWORD atAddress = 0;
    DWORD atWildcard = 0;
    for (const Row &row : rows) {
        if (row.closed)
            continue;
        if (!row.listening && row.local == server && row.remote == ours)
            return row.pid;
        if (!row.listening || row.local.port != server.port)
            continue;
        if (row.local.address == server.address) {
            if (!atAddress)
                atAddress = row.pid;
        } else if (row.local.address == Address{}
                   || (row.local.address == mapped(anyIpv4) && isMapped(server.address))) {
            if (!atWildcard)
                atWildcard = row.pid;
        }
    }
    return atAddress ? atAddress : atWildcard;
}

// The user of a process's token, as a TOKEN_USER buffer; empty when it
// cannot be read (another user's process usually cannot be asked).
std::vector<unsigned char> tokenUser(HANDLE process)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token))
        return {};
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    if (!size || !GetTokenInformation(token, TokenUser, buffer.data(), size, &size))
        buffer.clear();
    CloseHandle(token);
    return buffer;
}

PSID sidOf(std::vector<unsigned char> &tokenUserBuffer)
{
    return reinterpret_cast<TOKEN_USER *>(tokenUserBuffer.data())->User.Sid;
}

}  // namespace

PeerOwner tcpPeerOwner(const std::string &localAddress, std::uint16_t localPort, const std::string &peerAddress,
                       std::uint16_t peerPort)
{
    const std::optional<End> ours = endOfText(localAddress, localPort);
    const std::optional<End> server = endOfText(peerAddress, peerPort);
    if (!ours || !server)
        return PeerOwner::Unknown;
    const DWORD pid = serverProcess(tcpRows(), *ours, *server);
    if (pid == 0)
        return PeerOwner::Unknown;
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process)
        return PeerOwner::Unknown;
    std::vector<unsigned char> theirs = tokenUser(process);
    CloseHandle(process);
    std::vector<unsigned char> mine = tokenUser(GetCurrentProcess());
    if (theirs.empty() || mine.empty())
        return PeerOwner::Unknown;
    if (EqualSid(sidOf(theirs), sidOf(mine)) || IsWellKnownSid(sidOf(theirs), WinLocalSystemSid))
        return PeerOwner::Trusted;
    return PeerOwner::OtherUser;
}

}  // namespace platform
