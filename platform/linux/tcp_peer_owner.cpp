#include "tcp_peer_owner.h"

#include "proc_net_tcp.h"

#include <fstream>
#include <sstream>
#include <vector>

#include <pwd.h>
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

// The account's name, else its number.
std::string userText(uid_t uid)
{
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd *found = nullptr;
    if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_name)
        return "user " + std::string(found->pw_name);
    return "user " + std::to_string(uid);
}

}  // namespace

ServerOwner tcpPeerOwner(const std::string &localAddress, std::uint16_t localPort, const std::string &peerAddress,
                         std::uint16_t peerPort)
{
    const std::string tables = fileText("/proc/net/tcp") + "\n" + fileText("/proc/net/tcp6");
    const std::optional<std::uint32_t> uid = tcpServerSocketUid(tables, localAddress, localPort, peerAddress, peerPort);
    if (!uid)
        return {PeerOwner::Unknown, "no socket"};
    if (*uid == ::geteuid())
        return {PeerOwner::Trusted, "you"};
    if (*uid == 0)
        return {PeerOwner::Trusted, "root"};
    return {PeerOwner::OtherUser, userText(*uid)};
}

}  // namespace platform
