#include "tcp_peer_owner.h"

#include "proc_net_tcp.h"

#include <fstream>
#include <sstream>

#include <unistd.h>

namespace platform {

namespace {

// /proc files report a size of 0; they are read to their end.
std::string fileText(const char *path)
{
    std::ifstream file(path);
    std::ostringstream text;
    if (file)
        text << file.rdbuf();
    return text.str();
}

}  // namespace

PeerOwner tcpPeerOwner(const std::string &localAddress, std::uint16_t localPort, const std::string &peerAddress,
                       std::uint16_t peerPort)
{
    const std::string tables = fileText("/proc/net/tcp") + "\n" + fileText("/proc/net/tcp6");
    const std::optional<std::uint32_t> uid = tcpServerSocketUid(tables, localAddress, localPort, peerAddress, peerPort);
    if (!uid)
        return PeerOwner::Unknown;
    return *uid == ::geteuid() || *uid == 0 ? PeerOwner::Trusted : PeerOwner::OtherUser;
}

}  // namespace platform
